#include "platform/singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/folders.h"

namespace platform {

namespace {

// A name may hold blanks ("Pelvorn Corvane") but never a separator that leaves the folder.
std::string SafeName(const std::string& name) {
    std::string out;
    for (char c : name) out += (c == '/' || c == '\\' || c == '\0') ? '_' : c;
    if (out.empty() || out == "." || out == "..") out = "_" + out;
    return out;
}

std::string LockFolder() {
    const char* run = std::getenv("XDG_RUNTIME_DIR");
    if (run && *run) {
        std::string dir = run;
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        dir += "/corvane/";
        if (MakeDirs(dir)) {
            chmod(dir.c_str(), 0700);
            return dir;
        }
    }
    return PrivateTempDir();
}

}  // namespace

CSingleInstance::CSingleInstance(std::string name) {
    std::string dir = LockFolder();
    if (!dir.empty()) m_path = dir + SafeName(name) + ".lock";
}

CSingleInstance::~CSingleInstance() { Release(); }

bool CSingleInstance::Acquire() {
    if (m_fd >= 0) return true;
    if (m_path.empty()) return false;
    int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void CSingleInstance::Release() {
    if (m_fd < 0) return;
    // The file stays: removing it would let a third starter lock a new file while a
    // second one still waits on the old.
    flock(m_fd, LOCK_UN);
    close(m_fd);
    m_fd = -1;
}

}  // namespace platform
