#include "testsupport/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "testsupport/testsupport.h"

namespace testsupport {

CXvfb::~CXvfb() { Stop(); }

bool CXvfb::Start(const std::string& strScreen) {
    Stop();
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
        ::execlp("Xvfb", "Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0",
                 strScreen.c_str(), static_cast<char*>(nullptr));
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

}  // namespace testsupport
