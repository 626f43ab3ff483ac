#include "testsupport/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"

namespace testsupport {

CXvfb::~CXvfb() {
    Stop();
}

bool CXvfb::Start(const std::string& strScreen) {
    Stop();
    // On a machine shared by several test runs each may be given a display number of its
    // own (":71"); else the server takes the first free one.
    const char* pszDisplay = std::getenv("CORVANE_XVFB_DISPLAY");
    // Made before the fork: the child only execs.
    std::vector<const char*> argv = {"Xvfb"};
    if (pszDisplay && *pszDisplay)
        argv.push_back(pszDisplay);
    for (const char* psz : {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0"})
        argv.push_back(psz);
    argv.push_back(strScreen.c_str());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(fds[1], STDOUT_FILENO);
        const int nul = ::open("/dev/null", O_RDWR);
        if (nul >= 0) {
            ::dup2(nul, STDIN_FILENO);
            ::dup2(nul, STDERR_FILENO);
        }
        ::execvp("Xvfb", const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(fds[1]);
    ::setpgid(pid, pid);  // also when the child has not run yet: Stop kills the group
    m_pid = pid;
    std::string strNum;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 20000) > 0) {
        char c = 0;
        if (::read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        strNum += c;
    }
    ::close(fds[0]);
    if (strNum.empty()) {
        Stop();
        return false;
    }
    m_strDisplay = ":" + strNum;
    return true;
}

void CXvfb::Stop() {
    m_pWm.reset();
    if (m_pid > 0) {
        ::kill(-m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
    m_strDisplay.clear();
}

std::string CXvfb::Tree() const {
    return RunCommand("xwininfo -display " + m_strDisplay + " -root -tree 2>&1");
}

bool CXvfb::WaitForWindow(const std::string& strName, int nTimeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (Tree().find("\"" + strName + "\"") == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

namespace {
void Pause(int nMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
}
}  // namespace

std::string CXvfb::X(const std::string& strCommand) const {
    // Exported: every command of a list goes to this display, not only the first (a test
    // process may have no DISPLAY of its own).
    return RunCommand("export DISPLAY=" + m_strDisplay + "; " + strCommand);
}

bool CXvfb::StartWindowManager() {
    if (m_strDisplay.empty())
        return false;
    m_pWm = std::make_unique<CChildProcess>();
    // The window manager's themes are in the system's data folders.
    if (!m_pWm->Start({"/usr/bin/openbox"}, "/dev/null",
                      {"DISPLAY=" + m_strDisplay, "XDG_DATA_DIRS=/usr/local/share:/usr/share"}))
        return false;
    // Up when it has taken the root window's supporting-WM property.
    for (int t = 0; t < 100; ++t) {
        if (X("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") !=
            std::string::npos)
            return true;
        Pause(100);
    }
    return false;
}

std::string CXvfb::WaitForWindowId(const std::string& strNameRegex, int nTimeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (true) {
        std::string strId = X("xdotool search --onlyvisible --name " + ShellQuote(strNameRegex) +
                              " 2>/dev/null | head -1");
        while (!strId.empty() && (strId.back() == '\n' || strId.back() == ' '))
            strId.pop_back();
        if (!strId.empty())
            return strId;
        if (std::chrono::steady_clock::now() > deadline)
            return {};
        Pause(100);
    }
}

bool CXvfb::IsViewable(const std::string& strId) const {
    return X("xwininfo -id " + strId + " 2>/dev/null").find("IsViewable") != std::string::npos;
}

void CXvfb::Key(const std::string& strId, const std::string& strKeys) const {
    X("xdotool windowactivate --sync " + strId + " 2>/dev/null; xdotool key --clearmodifiers " +
      strKeys);
}

void CXvfb::Type(const std::string& strId, const std::string& strText) const {
    X("xdotool windowactivate --sync " + strId + " 2>/dev/null; xdotool type --clearmodifiers " +
      ShellQuote(strText));
}

void CXvfb::Click(int nX, int nY) const {
    X("xdotool mousemove " + std::to_string(nX) + " " + std::to_string(nY) + " click 1");
}

std::string CXvfb::CopyText(const std::string& strId) const {
    for (int t = 0; t < 20; ++t) {
        Key(strId, "ctrl+c");
        Pause(150);
        const std::string strText = X("timeout 5 xclip -o -selection clipboard 2>/dev/null");
        if (strText.find("---") != std::string::npos)
            return strText;
    }
    return {};
}

bool CXvfb::Grab(const std::string& strId, const std::string& strPngPath) const {
    int nStatus = -1;
    RunCommand(
        "DISPLAY=" + m_strDisplay + " import -window " + strId + " " + ShellQuote(strPngPath),
        &nStatus);
    return nStatus == 0;
}

CScreenOperator::CScreenOperator(const CXvfb& x, std::string strBoxNameRegex)
    : m_x(x), m_strRegex(std::move(strBoxNameRegex)) {}

CScreenOperator::~CScreenOperator() {
    Wait();
}

void CScreenOperator::Answer(std::vector<std::string> keys, int nTimeoutMs) {
    Wait();
    m_texts.clear();
    m_thread = std::thread([this, keys = std::move(keys), nTimeoutMs] {
        std::string strLast;
        for (const std::string& strKey : keys) {
            const std::string strId = m_x.WaitForWindowId(m_strRegex, nTimeoutMs);
            if (strId.empty())
                return;
            // A box answered just before may still hold the clipboard: wait for this one's.
            std::string strText;
            for (int t = 0; t < 10 && (strText.empty() || strText == strLast); ++t)
                strText = m_x.CopyText(strId);
            m_texts.push_back(strText);
            strLast = strText;
            m_x.Key(strId, strKey);
            for (int t = 0; t < 100 && m_x.IsViewable(strId); ++t)
                Pause(100);
        }
    });
}

std::vector<std::string> CScreenOperator::Wait() {
    if (m_thread.joinable())
        m_thread.join();
    return m_texts;
}

}  // namespace testsupport
