#include "hostprocess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace oxutest {

CHostProcess::~CHostProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_reader.joinable())
        m_reader.join();
}

bool CHostProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& home) {
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        ::close(fds[0]);
        ::close(fds[1]);
        ::setenv("CORVANE_HOME", home.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_fd = fds[0];
    if (m_pid < 0)
        return false;
    m_reader = std::thread([this] {
        std::string partial;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                break;
            partial.append(buf, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = partial.find('\n')) != std::string::npos) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_lines.push_back(partial.substr(0, nl));
                partial.erase(0, nl + 1);
                m_cv.notify_all();
            }
        }
        ::close(m_fd);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bEnded = true;
        m_cv.notify_all();
    });
    return true;
}

std::string CHostProcess::WaitFor(const std::string& prefix, int nTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    std::string found;
    m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [&] {
        for (const auto& line : m_lines)
            if (line.rfind(prefix, 0) == 0) {
                found = line;
                return true;
            }
        return m_bEnded;
    });
    return found;
}

void CHostProcess::Kill() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    if (m_reader.joinable())
        m_reader.join();
}

void CHostProcess::Signal(int nSignal) {
    if (m_pid > 0)
        ::kill(m_pid, nSignal);
}

int CHostProcess::Terminate() {
    if (m_pid <= 0)
        return -1;
    ::kill(m_pid, SIGTERM);
    int nStatus = 0;
    ::waitpid(m_pid, &nStatus, 0);
    m_pid = -1;
    if (m_reader.joinable())
        m_reader.join();
    return nStatus;
}

std::vector<std::string> CHostProcess::Lines() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
}

std::string CHostProcess::Text() {
    std::string s;
    for (const auto& line : Lines())
        s += line + "\n";
    return s;
}

}  // namespace oxutest
