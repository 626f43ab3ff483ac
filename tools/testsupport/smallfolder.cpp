#include "testsupport/smallfolder.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace testsupport {

namespace {

// The calling thread's own mount namespace, where nothing propagates to the machine's.
std::string PrivateMounts() {
    thread_local bool s_bMade = false;
    thread_local std::string s_strError;
    if (s_bMade)
        return s_strError;
    s_bMade = true;
    if (::unshare(CLONE_NEWNS) != 0)
        s_strError = std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        s_strError = std::string("mount --make-rprivate /: ") + std::strerror(errno);
    return s_strError;
}

}  // namespace

CSmallFolder::CSmallFolder(std::size_t nBytes) {
    m_strError = PrivateMounts();
    if (!m_strError.empty())
        return;
    const std::string strOptions = "size=" + std::to_string(nBytes) + ",mode=0755";
    if (::mount("tmpfs", Path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, strOptions.c_str()) != 0)
        m_strError = "mount -t tmpfs -o " + strOptions + " " + Path() + ": " + std::strerror(errno);
    m_bMounted = m_strError.empty();
}

CSmallFolder::~CSmallFolder() {
    if (m_bMounted)
        ::umount2(Path().c_str(), MNT_DETACH);
}

bool CSmallFolder::Fill(const std::string& name) const {
    const int fd = ::open((Path() + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const std::vector<char> block(4096, 'F');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    // What is left is less than a block: fill it byte by byte.
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
    return true;
}

}  // namespace testsupport
