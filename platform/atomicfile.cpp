#include "platform/atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace platform {

namespace {

// Temporary names are cut so that "." + name + "." + 6 random characters stays within
// the file system's limit for long target names.
constexpr std::size_t kMaxTempBase = 200;

std::string RandomSuffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 rng{std::random_device{}()};
    std::string out(6, 'X');
    for (char& c : out) c = kChars[rng() % (sizeof kChars - 1)];
    return out;
}

// Where the file's name starts in a path: after its folder's last '/'.
size_t NameStart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The folder of a path as open() takes it.
std::string FolderOf(const std::string& path) {
    const size_t start = NameStart(path);
    return start == 0 ? std::string(".") : path.substr(0, start);
}

// "folder/.name.XXXXXX" beside the target.
std::string TempName(const std::string& target) {
    const size_t start = NameStart(target);
    return target.substr(0, start) + "." + target.substr(start, kMaxTempBase) + "." +
           RandomSuffix();
}

// Makes the naming of the file at path durable; the data was synced before it.
void SyncFolderOf(const std::string& path) {
    int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// "folder/title_n.ext" of "folder/title.ext".
std::string NumberedName(const std::string& path, int n) {
    const size_t start = NameStart(path);
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= start) dot = path.size();
    return path.substr(0, dot) + "_" + std::to_string(n) + path.substr(dot);
}

}  // namespace

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // A file system without that flag: a hard link cannot replace either.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
    struct stat st{};
    if (lstat(to.c_str(), &st) == 0) return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

namespace {

// Whether two regular files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b) {
    struct stat sa{}, sb{};
    // a may be a nameless file's /proc link: its file counts.
    if (stat(a.c_str(), &sa) != 0 || lstat(b.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode) ||
        sa.st_size != sb.st_size)
        return false;
    const int fa = open(a.c_str(), O_RDONLY | O_CLOEXEC);
    const int fb = open(b.c_str(), O_RDONLY | O_CLOEXEC);
    bool same = fa >= 0 && fb >= 0;
    static constexpr size_t kChunk = 65536;
    std::string ba(kChunk, '\0'), bb(kChunk, '\0');
    while (same) {
        const ssize_t na = read(fa, ba.data(), kChunk);
        if (na <= 0) {
            same = na == 0;
            break;
        }
        const ssize_t nb = read(fb, bb.data(), static_cast<size_t>(na));
        same = nb == na && std::equal(ba.begin(), ba.begin() + na, bb.begin());
    }
    if (fa >= 0) close(fa);
    if (fb >= 0) close(fb);
    return same;
}

// Free names tried before giving up.
constexpr int kMaxFreeNames = 100000;

}  // namespace

CAtomicFile::~CAtomicFile() { Discard(); }

bool CAtomicFile::Open(const std::string& target) {
    Discard();
    m_nError = 0;
    if (target.empty() || target.back() == '/') return Failed(EINVAL);
    m_strTarget = target;
    // Created with 0666 so that the process's umask applies as to any new file (reading
    // the umask would mean setting it, which races with other threads' file creation).
    // A file without a name first: its inode is made without the folder's lock, which many
    // records written into one folder at once would queue on, and a crash leaves nothing.
    // It is named through /proc; a file system or system without either gets a named one.
    static const bool s_bProc = access("/proc/self/fd", X_OK) == 0;
    if (s_bProc)
        m_fd = open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    for (int nTry = 0; nTry < 100 && m_fd < 0; ++nTry) {
        m_strTemp = TempName(target);
        m_fd = open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST) break;
    }
    if (m_fd < 0) {
        Failed(errno);
        m_strTemp.clear();
        return false;
    }
    m_bFailed = false;
    // A replaced file keeps its permissions.
    struct stat st{};
    if (stat(target.c_str(), &st) == 0) fchmod(m_fd, st.st_mode & 07777);
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
            return Failed(errno);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string CAtomicFile::Content() const {
    return m_strTemp.empty() ? "/proc/self/fd/" + std::to_string(m_fd) : m_strTemp;
}

int CAtomicFile::PlaceAt(const std::string& name) {
    if (!m_strTemp.empty()) {
        const int nError = RenameNoReplace(m_strTemp, name);
        if (nError == 0) m_strTemp.clear();
        return nError;
    }
    // linkat never replaces either.
    return linkat(AT_FDCWD, Content().c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0
               ? 0
               : errno;
}

std::string CAtomicFile::ErrorText() const { return std::strerror(m_nError ? m_nError : EIO); }

bool CAtomicFile::Failed(int nError) {
    if (m_nError == 0) m_nError = nError ? nError : EIO;
    return false;
}

bool CAtomicFile::Synced() {
    if (m_fd < 0) return false;
    // A full disk may show only here (the space is taken at writeback).
    bool ok = !m_bFailed && (fsync(m_fd) == 0 || Failed(errno));
    if (!m_strTemp.empty()) {
        // A named file is closed first: its close is checked as every write was.
        ok = (::close(m_fd) == 0 || Failed(errno)) && ok;
        m_fd = -1;
    }
    return ok;
}

bool CAtomicFile::Commit() {
    bool ok = Synced();
    // A file without a name gets one beside the target first, to be renamed over it.
    for (int nTry = 0; ok && m_strTemp.empty() && nTry < 100; ++nTry) {
        const std::string temp = TempName(m_strTarget);
        const int nError = PlaceAt(temp);
        if (nError == 0)
            m_strTemp = temp;
        else
            ok = nError == EEXIST || Failed(nError);
    }
    Close();
    if (ok && std::rename(m_strTemp.c_str(), m_strTarget.c_str()) == 0) {
        m_strTemp.clear();
        SyncFolderOf(m_strTarget);
        return true;
    }
    if (ok) Failed(errno);
    Discard();
    return false;
}

bool CAtomicFile::CommitFree(IPlacePromise* pPromise) {
    m_bSame = false;
    bool ok = Synced();
    for (int n = 1; ok && n <= kMaxFreeNames; ++n) {
        const std::string name = n == 1 ? m_strTarget : NumberedName(m_strTarget, n);
        int nError = 0;
        if (pPromise) {
            struct stat st{};
            nError = lstat(name.c_str(), &st) == 0 ? EEXIST
                     : errno != ENOENT              ? errno
                                                    : pPromise->Keep(name);
        }
        if (nError == 0) {
            nError = PlaceAt(name);
            if (nError != 0 && pPromise) pPromise->Withdraw(name);
        }
        if (nError == 0) {
            Close();
            m_strTarget = name;
            SyncFolderOf(name);
            return true;
        }
        if (nError != EEXIST) {
            Failed(nError);
            break;
        }
        if (SameBytes(Content(), name)) {
            Discard();
            m_strTarget = name;
            m_bSame = true;
            return true;
        }
    }
    Failed(EEXIST);  // no free name left (a failure before has its own number)
    Discard();
    return false;
}

void CAtomicFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CAtomicFile::Discard() {
    m_bSame = false;
    Close();
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
