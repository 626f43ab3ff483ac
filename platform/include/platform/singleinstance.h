#pragma once
// One running holder per user and name, as a named mutex gave it: a flock on
// "$XDG_RUNTIME_DIR/corvane/<name>.lock" (the private temp folder when XDG_RUNTIME_DIR is
// unset). The kernel drops the lock when its holder dies, so a killed instance never
// blocks the next start.
#include <string>

namespace platform {

class CSingleInstance {
public:
    explicit CSingleInstance(std::string name);
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // TRUE when this object holds the lock now (also when it held it already); FALSE when
    // another holder lives or the lock file cannot be had.
    bool Acquire();
    void Release();
    bool IsHeld() const { return m_fd >= 0; }
    const std::string& LockPath() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
};

}  // namespace platform
