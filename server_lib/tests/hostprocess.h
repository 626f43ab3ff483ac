#pragma once
// oxuhost as a child of the test: its output lines gathered by a thread, SIGTERM to end
// it. Killed with the object, so it never outlives the test.
#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace oxutest {

class CHostProcess {
public:
    CHostProcess() = default;
    ~CHostProcess();
    CHostProcess(const CHostProcess&) = delete;
    CHostProcess& operator=(const CHostProcess&) = delete;

    // Starts the program with the environment variable CORVANE_HOME set to home.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::string& home);
    // The first line that starts with the prefix, waiting at most the time; empty if none.
    std::string WaitFor(const std::string& prefix, int nTimeoutMs);
    // SIGTERM and wait for the end; the exit status.
    int Terminate();
    // SIGKILL (no clean-up of any kind) and wait for the end.
    void Kill();
    void Signal(int nSignal);
    std::vector<std::string> Lines();
    std::string Text();

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lines;
    bool m_bEnded = false;
};

}  // namespace oxutest
