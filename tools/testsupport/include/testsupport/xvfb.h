#pragma once
// A private X server for tests that need a real one: Xvfb on a display number it picks
// itself, not reset when its last client leaves (a test that kills a program and starts the
// next would otherwise meet a server in the middle of its reset), stopped with its process
// group when the object goes.
#include <string>

namespace testsupport {

class CXvfb {
public:
    CXvfb() = default;
    ~CXvfb();
    CXvfb(const CXvfb&) = delete;
    CXvfb& operator=(const CXvfb&) = delete;

    // FALSE when Xvfb cannot be started or names no display within 20 seconds.
    bool Start(const std::string& strScreen = "1280x1024x24");
    void Stop();
    // ":N", or "" before a successful Start.
    const std::string& Display() const { return m_strDisplay; }
    // The window tree as xwininfo prints it (names in double quotes).
    std::string Tree() const;
    // Waits until a window of exactly this name exists; FALSE at the time-out.
    bool WaitForWindow(const std::string& strName, int nTimeoutMs = 45000) const;

private:
    int m_pid = -1;
    std::string m_strDisplay;
};

}  // namespace testsupport
