#pragma once
// A program the test runs beside itself (a simulator, a peer): started with an argument
// vector, its standard output and error into a file the test can read while it runs,
// killed with its process group when the object goes (also when the test fails).
#include <string>
#include <vector>

namespace testsupport {

class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // FALSE when it cannot be started. Extra environment entries as "NAME=value".
    bool Start(const std::vector<std::string>& argv, const std::string& outputFile,
               const std::vector<std::string>& env = {});
    // Waits until the output holds a line starting with prefix; the rest of that line, or
    // "" at the time-out or when the program ended first.
    std::string WaitForLine(const std::string& prefix, int timeoutMs) const;
    // Waits for the program's end; its exit status, or -1 at the time-out (still running).
    int Wait(int timeoutMs);
    // Waits until the output holds the text; FALSE at the time-out.
    bool WaitForText(const std::string& text, int timeoutMs) const;
    void Kill();
    // Sends a signal to the program itself (not its group).
    void Signal(int nSignal);
    std::string Output() const;
    bool Running() const { return m_pid > 0; }

private:
    int m_pid = -1;
    std::string m_strOutput;
};

}  // namespace testsupport
