#include "testsupport/childprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "testsupport/testsupport.h"

namespace testsupport {

using Clock = std::chrono::steady_clock;

CChildProcess::~CChildProcess() { Kill(); }

bool CChildProcess::Start(const std::vector<std::string>& argv, const std::string& outputFile,
                          const std::vector<std::string>& env) {
    Kill();
    m_strOutput = outputFile;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int out = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out >= 0) {
            ::dup2(out, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
        }
        if (in >= 0) ::dup2(in, STDIN_FILENO);
        for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    m_pid = pid;
    return true;
}

std::string CChildProcess::WaitForLine(const std::string& prefix, int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        const std::string text = ReadFile(m_strOutput);
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string::npos) break;  // a line still being written
            if (text.compare(pos, prefix.size(), prefix) == 0) {
                return text.substr(pos + prefix.size(), end - pos - prefix.size());
            }
            pos = end + 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < deadline);
    return {};
}

bool CChildProcess::WaitForText(const std::string& text, int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (ReadFile(m_strOutput).find(text) == std::string::npos) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int CChildProcess::Wait(int timeoutMs) {
    if (m_pid <= 0) return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(-m_pid, SIGKILL);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void CChildProcess::Kill() {
    if (m_pid <= 0) return;
    ::kill(-m_pid, SIGTERM);
    if (Wait(2000) == -1 && m_pid > 0) {
        ::kill(-m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

void CChildProcess::Signal(int nSignal) {
    if (m_pid > 0) ::kill(m_pid, nSignal);
}

std::string CChildProcess::Output() const { return ReadFile(m_strOutput); }

}  // namespace testsupport
