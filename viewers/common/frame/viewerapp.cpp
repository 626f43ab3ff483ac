#include "viewerapp.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "oxuutil/singleinstancelock.h"
#include "oxuutil/wincmdlineinfo.h"
#include "platform/folders.h"
#include "platform/qtmsgpump.h"

namespace viewerapp {
namespace {
std::atomic<bool> g_bQuit{false};
int g_signalPipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    g_bQuit = true;
    const char c = 1;
    if (g_signalPipe[1] >= 0)
        (void)!write(g_signalPipe[1], &c, 1);
}
}  // namespace

void StartApplication() {
    platform::InstallQtMessagePump();
}

std::string DataHome() {
    const char* p = std::getenv("XDG_DATA_HOME");
    if (p && *p)
        return std::string(p) + "/";
    const char* h = std::getenv("HOME");
    return std::string(h ? h : "") + "/.local/share/";
}

void WriteIfMissing(const std::string& strDir, const std::string& strName,
                    const std::string& strText) {
    const std::string strPath = strDir + strName;
    if (access(strPath.c_str(), F_OK) == 0 || !platform::MakeDirs(strDir))
        return;
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out << strText;
}

void InstallQuitSignals() {
    if (g_signalPipe[0] >= 0 || pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* pNotifier =
        new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(pNotifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char buf[16];
        while (read(g_signalPipe[0], buf, sizeof buf) > 0) {
        }
        QCoreApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

bool QuitRequested() {
    return g_bQuit;
}

void ForwardToFirstInstance(const CSingleInstanceLock& lock, const std::vector<CString>& args) {
    CWinCmdLineInfo cmd;
    cmd.ParseCommandLine(args);
    const CString strSid = cmd.GetParam("sid");
    const CString strFile = HandOverPath(cmd.GetParam(0));
    if (!strSid.empty())
        lock.ProcessCommandLine(strSid.c_str(), COPY_SID);
    if (!strFile.empty())
        lock.ProcessCommandLine(strFile.c_str(), COPY_FILE);
}

CString HandOverPath(const CString& strPath) {
    // The first instance runs in a folder of its own: a name relative to the caller's folder
    // would name another file there. An address ("http://...") is no file name.
    if (strPath.empty() || strPath.front() == '/' || strPath.find("://") != CString::npos)
        return strPath;
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(strPath, ec);
    return ec ? strPath : p.lexically_normal().string();
}

}  // namespace viewerapp
