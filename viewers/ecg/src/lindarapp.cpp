#include "lindar/lindarapp.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "lindar/lindarstrings.h"
#include "lindar/mainframe.h"
#include "oxuutil/singleinstanceserver.h"
#include "platform/folders.h"
#include "platform/notifier.h"
#include "viewers/common/smallwindows.h"

using namespace lindar;

CLindarApp::CLindarApp() {
    m_lock.SetApp(this, kLockName, "");
}

CLindarApp::~CLindarApp() {
    m_pServer.reset();
    m_pFrame.reset();
}

BOOL CLindarApp::Login(const CString&, const CString&) {
    return TRUE;
}

namespace {
std::string DataHome() {
    const char* p = std::getenv("XDG_DATA_HOME");
    if (p && *p)
        return std::string(p) + "/";
    const char* h = std::getenv("HOME");
    return std::string(h ? h : "") + "/.local/share/";
}

void WriteIfMissing(const std::string& strDir, const std::string& strName, const std::string& strText) {
    const std::string strPath = strDir + strName;
    if (access(strPath.c_str(), F_OK) == 0 || !platform::MakeDirs(strDir))
        return;
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out << strText;
}

int g_signalPipe[2] = {-1, -1};
bool g_bQuitRequested = false;

extern "C" void OnQuitSignal(int) {
    const char c = 1;
    if (g_signalPipe[1] >= 0)
        (void)!write(g_signalPipe[1], &c, 1);
}
}  // namespace

void CLindarApp::RegisterShellFileTypes() {
    const std::string strData = DataHome();
    const std::string strExe = platform::ProgramPath();
    WriteIfMissing(strData + "applications/", "corvane-lindar.desktop",
                   "[Desktop Entry]\nType=Application\nName=Lindar\nComment=Lindar Document\n"
                   "Exec=\"" + strExe + "\" %f\nMimeType=application/x-lindar-document;\nTerminal=false\n");
    WriteIfMissing(strData + "mime/packages/", "corvane-lindar.xml",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                   "  <mime-type type=\"application/x-lindar-document\">\n"
                   "    <comment>Lindar Document</comment>\n"
                   "    <glob pattern=\"*.ekg\"/>\n"
                   "  </mime-type>\n"
                   "</mime-info>\n");
}

void CLindarApp::InstallQuitSignals() {
    if (g_signalPipe[0] >= 0 || pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* pNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(pNotifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char buf[16];
        while (read(g_signalPipe[0], buf, sizeof buf) > 0) {
        }
        g_bQuitRequested = true;
        QCoreApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = OnQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

bool CLindarApp::QuitRequested() {
    return g_bQuitRequested;
}

namespace {
// The splash, modal over the frame; it closes itself after its time or on a click.
void ShowSplash(QWidget* pParent) {
    if (g_bQuitRequested)
        return;
    CSplashDialog splash(pParent);
    splash.exec();
}
}  // namespace

BOOL CLindarApp::InitInstance(const std::vector<CString>& args) {
    // Socket and OLE start-up, and the automation server, have no counterpart here.
    if (!m_lock.Lock()) {
        m_bSecond = true;
        CWinCmdLineInfo cmd;
        cmd.ParseCommandLine(args);
        const CString strSid = cmd.GetParam("sid");
        const CString strFile = cmd.GetParam(0);
        if (!strSid.empty())
            m_lock.ProcessCommandLine(strSid.c_str(), CMainFrame::COPY_SID);
        if (!strFile.empty())
            m_lock.ProcessCommandLine(strFile.c_str(), CMainFrame::COPY_FILE);
        return FALSE;
    }
    RegisterShellFileTypes();

    CWinCmdLineInfo cmd;
    cmd.ParseCommandLine(args);
    m_pFrame = std::make_unique<CMainFrame>();
    std::string strError;
    if (!m_pFrame->Create(&strError)) {
        platform::ShowMessage("Lindar: " + strError, platform::MB_ICONERROR);
        m_pFrame.reset();
        return FALSE;
    }
    m_pServer = std::make_unique<CSingleInstanceServer>();
    CMainFrame* pFrame = m_pFrame.get();
    m_pServer->Listen(kLockName, [pFrame](DWORD dwCode, const CString& strText) {
        pFrame->OnCopyData(dwCode, strText);
    });
    m_pFrame->PlaceAtStart();
    m_pFrame->show();

    const CString strUser = cmd.GetParam("u");
    const CString strPassword = cmd.GetParam("p");
    if (!strUser.empty() && !strPassword.empty())
        Login(strUser, strPassword);

    ShowSplash(m_pFrame.get());

    const CString strFile = cmd.GetParam(0);
    // "-p" names a record to print only without "-u"; with it, it is the password.
    const CString strPrint = strUser.empty() ? strPassword : CString();
    COxuLindarDoc& doc = m_pFrame->Doc();
    if (!strFile.empty()) {
        doc.OpenExam(strFile, 0);
    } else if (!strPrint.empty()) {
        doc.OpenExam(strPrint, 0);
        m_pFrame->PostCommand(COxuLindarView::ID_FILE_PRINT);
    } else {
        doc.SetTitle(LoadStr(IDS_EMPTY_TITLE));
    }
    return TRUE;
}

int CLindarApp::ExitInstance() {
    if (m_pFrame)
        m_pFrame->Recent().WriteList();
    m_pServer.reset();
    m_lock.Unlock();
    return 0;
}
