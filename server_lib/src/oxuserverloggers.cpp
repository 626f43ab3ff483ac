#include "server_lib/oxuserverloggers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "oxuutil/inifile.h"
#include "platform/notifier.h"

namespace {

std::mutex g_clockMutex;
std::function<std::time_t()> g_fnClock;

std::time_t Now() {
    std::lock_guard<std::mutex> lock(g_clockMutex);
    return g_fnClock ? g_fnClock() : std::time(nullptr);
}

CString LocalTime(std::time_t t, const char* pszFormat) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char sz[64];
    return CString(sz, std::strftime(sz, sizeof sz, pszFormat, &tm));
}

}  // namespace

void COxuServerLogger::SetClock(std::function<std::time_t()> fnClock) {
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_fnClock = std::move(fnClock);
}

COxuServerLogger::COxuServerLogger(LPCSTR lpszSuffix) : m_strSuffix(lpszSuffix) {}

COxuServerLogger::~COxuServerLogger() = default;

CString COxuServerLogger::GetFileName() {
    return FileNameAt(Now());
}

// The date of the line's own time names the file, so a line after midnight starts the
// next day's file.
CString COxuServerLogger::FileNameAt(std::time_t t) const {
    const CString strFolder = CIniFile::HomeFolder() + "Log";
    ::mkdir(strFolder.c_str(), 0777);  // one level; an existing folder is no error
    return strFolder + "/" + LocalTime(t, "%Y%m%d") + m_strSuffix;
}

void COxuServerLogger::LogWrite(LPCSTR lpszText) {
    const std::time_t now = Now();
    const CString strPath = FileNameAt(now);
    const int fd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        platform::ShowMessage("Fail to create log file !!!", platform::MB_OK);
        return;
    }
    const CString strLine =
        "[" + LocalTime(now, "%Y/%m/%d %H:%M:%S") + "] " + (lpszText ? lpszText : "") + "\r\n";
    // One write per line: lines of several threads never mix.
    const ssize_t n = ::write(fd, strLine.data(), strLine.size());
    (void)n;
    ::close(fd);
}
