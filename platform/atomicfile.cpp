#include "platform/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

namespace {

mode_t CurrentUmask() {
    mode_t m = umask(0);
    umask(m);
    return m;
}

}  // namespace

CAtomicFile::~CAtomicFile() { Discard(); }

bool CAtomicFile::Open(const std::string& target) {
    Discard();
    if (target.empty() || target.back() == '/') return false;
    m_strTarget = target;
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    m_strTemp = dir + "." + name + ".XXXXXX";
    m_fd = mkostemp(m_strTemp.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_strTemp.clear();
        return false;
    }
    m_bFailed = false;
    // The new file gets the old one's permissions, or the usual ones for a new file.
    struct stat st{};
    mode_t mode = stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    fchmod(m_fd, mode);
    return true;
}

bool CAtomicFile::Write(const void* data, std::size_t size) {
    if (m_fd < 0 || m_bFailed) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_bFailed = true;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CAtomicFile::Commit() {
    if (m_fd < 0) return false;
    bool ok = !m_bFailed && fsync(m_fd) == 0;
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    if (ok && std::rename(m_strTemp.c_str(), m_strTarget.c_str()) == 0) {
        m_strTemp.clear();
        return true;
    }
    unlink(m_strTemp.c_str());
    m_strTemp.clear();
    return false;
}

void CAtomicFile::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_strTemp.empty()) {
        unlink(m_strTemp.c_str());
        m_strTemp.clear();
    }
    m_bFailed = false;
}

bool WriteFileAtomically(const std::string& path, std::string_view data) {
    CAtomicFile file;
    return file.Open(path) && file.Write(data) && file.Commit();
}

bool ReadWholeFile(const std::string& path, std::string& data) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st{};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        errno = EISDIR;
        return false;
    }
    std::string out;
    if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    data = std::move(out);
    return true;
}

}  // namespace platform
