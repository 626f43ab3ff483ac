#include "gdtfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <libsmbclient.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "gdthome.h"
#include "platform/profile.h"
#include "zeqgdt/gdttesthook.h"

namespace gdtfs {

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

// "//server:port/share/dir" -> "smb://server:port/share/dir".
std::string SmbUrl(const std::string& path) {
    std::string url = "smb://";
    std::size_t i = 0;
    while (i < path.size() && IsSep(path[i])) ++i;
    for (; i < path.size(); ++i) url += IsSep(path[i]) ? '/' : path[i];
    return url;
}

std::string Name(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A unique hidden name beside the target, for writing before the rename.
std::string TempBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    char tag[64];
    std::snprintf(tag, sizeof tag, ".gdt-%d-%u.tmp", static_cast<int>(getpid()), counter++);
    std::string folder = path.substr(0, path.size() - Name(path).size());
    return folder + tag;
}

int SmbTimeoutMs() {
    const char* env = std::getenv("CORVANE_GDT_SMB_TIMEOUT_MS");
    int ms = env ? std::atoi(env) : 0;
    return ms > 0 ? ms : 20000;
}

// One client context, used by one thread for one operation (or one open file).
class CSmbContext {
public:
    explicit CSmbContext(Credentials credentials) : m_credentials(std::move(credentials)) {
        m_ctx = smbc_new_context();
        if (!m_ctx) return;
        smbc_setOptionUserData(m_ctx, this);
        smbc_setFunctionAuthDataWithContext(m_ctx, &CSmbContext::Auth);
        smbc_setOptionUseKerberos(m_ctx, 0);
        smbc_setOptionFallbackAfterKerberos(m_ctx, 1);
        smbc_setOptionNoAutoAnonymousLogin(m_ctx, 1);
        smbc_setOptionUseCCache(m_ctx, 0);
        smbc_setTimeout(m_ctx, SmbTimeoutMs());
        if (!smbc_init_context(m_ctx)) {
            smbc_free_context(m_ctx, 1);
            m_ctx = nullptr;
        }
    }
    ~CSmbContext() {
        if (m_ctx) smbc_free_context(m_ctx, 1);
    }
    CSmbContext(const CSmbContext&) = delete;
    CSmbContext& operator=(const CSmbContext&) = delete;
    SMBCCTX* Get() const { return m_ctx; }

private:
    static void Auth(SMBCCTX* c, const char*, const char*, char* wg, int wglen, char* un, int unlen,
                     char* pw, int pwlen) {
        auto* self = static_cast<CSmbContext*>(smbc_getOptionUserData(c));
        if (wglen > 0) wg[0] = '\0';
        std::snprintf(un, static_cast<size_t>(unlen), "%s", self->m_credentials.user.c_str());
        std::snprintf(pw, static_cast<size_t>(pwlen), "%s", self->m_credentials.password.c_str());
    }
    Credentials m_credentials;
    SMBCCTX* m_ctx = nullptr;
};

// libsmbclient keeps global state while contexts are created and freed.
std::mutex& SmbInitLock() {
    static std::mutex m;
    return m;
}

std::unique_ptr<CSmbContext> NewContext(const Credentials& credentials) {
    std::lock_guard<std::mutex> lock(SmbInitLock());
    auto ctx = std::make_unique<CSmbContext>(credentials);
    if (!ctx->Get()) return nullptr;
    return ctx;
}

// Contexts of the configured user go back to a small pool after an operation that worked,
// so that the next worker reuses the open connection instead of logging on again; one
// that failed is dropped, since its connection may be dead. A pooled context serves one
// worker at a time.
class CPooledContext {
public:
    explicit CPooledContext(const Credentials& credentials) : m_credentials(credentials) {
        {
            std::lock_guard<std::mutex> lock(Pool().mutex);
            auto& free = Pool().free;
            for (auto it = free.begin(); it != free.end(); ++it) {
                if (it->first.user == credentials.user && it->first.password == credentials.password) {
                    m_ctx = std::move(it->second);
                    free.erase(it);
                    break;
                }
            }
        }
        if (!m_ctx) m_ctx = NewContext(credentials);
    }
    ~CPooledContext() {
        if (!m_bKeep || !m_ctx) return;
        std::lock_guard<std::mutex> lock(Pool().mutex);
        if (Pool().free.size() < 4) Pool().free.emplace_back(m_credentials, std::move(m_ctx));
    }
    CPooledContext(const CPooledContext&) = delete;
    CPooledContext& operator=(const CPooledContext&) = delete;
    explicit operator bool() const { return m_ctx != nullptr; }
    SMBCCTX* Get() const { return m_ctx->Get(); }
    // The operation worked: the context may serve the next one.
    bool Keep(bool ok) {
        m_bKeep = ok;
        return ok;
    }

private:
    struct SPool {
        std::mutex mutex;
        std::vector<std::pair<Credentials, std::unique_ptr<CSmbContext>>> free;
    };
    static SPool& Pool() {
        // Never destroyed: contexts may still be in use by a worker while the program ends.
        static SPool* pool = new SPool;
        return *pool;
    }
    Credentials m_credentials;
    std::unique_ptr<CSmbContext> m_ctx;
    bool m_bKeep = false;
};

bool SmbStat(SMBCCTX* ctx, const std::string& url, struct stat& st) {
    return smbc_getFunctionStat(ctx)(ctx, url.c_str(), &st) == 0;
}

std::atomic<WrittenHook> g_written{nullptr};

}  // namespace

bool IsNetworkPath(const std::string& path) {
    return path.size() > 2 && IsSep(path[0]) && IsSep(path[1]) && !IsSep(path[2]);
}

Credentials ConfiguredCredentials() {
    const std::string ini = gdthome::HomeDir() + "ZeqGDT.ini";
    return {platform::GetProfileString(ini, "SECTION GDT", "NETWORK USER", ""),
            platform::GetProfileString(ini, "SECTION GDT", "NETWORK PASSWORD", "")};
}

namespace {

// The status of a path; on failure nError is the system's reason, taken before a failed
// share context is freed (which may change errno).
bool StatOf(const std::string& path, struct stat& st, int& nError) {
    nError = 0;
    if (IsNetworkPath(path)) {
        CPooledContext ctx(ConfiguredCredentials());
        if (!ctx) {
            nError = ENOMEM;
            return false;
        }
        if (ctx.Keep(SmbStat(ctx.Get(), SmbUrl(path), st)))
            return true;
        nError = errno;
        return false;
    }
    if (stat(path.c_str(), &st) == 0)
        return true;
    nError = errno;
    return false;
}

}  // namespace

bool Stat(const std::string& path, bool& bDir, std::int64_t& nSize) {
    struct stat st {};
    int nError = 0;
    if (!StatOf(path, st, nError))
        return false;
    bDir = S_ISDIR(st.st_mode);
    nSize = st.st_size;
    return true;
}

Presence Probe(const std::string& path, Status& status) {
    struct stat st {};
    int nError = 0;
    if (StatOf(path, st, nError)) {
        if (S_ISDIR(st.st_mode))
            return Presence::kNone;
        status.nSize = st.st_size;
        status.nWriteNs =
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return Presence::kFile;
    }
    if (nError != ENOENT && nError != ENOTDIR)
        return Presence::kUnknown;
    // "Not found" counts only from a folder that is there: a share whose folder is missing
    // (unplugged, not mounted) says nothing of its files.
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos || slash == 0)
        return Presence::kUnknown;
    struct stat folder {};
    return StatOf(path.substr(0, slash), folder, nError) && S_ISDIR(folder.st_mode)
               ? Presence::kNone
               : Presence::kUnknown;
}

bool ListDir(const std::string& path, std::vector<Entry>& entries) {
    entries.clear();
    if (IsNetworkPath(path)) {
        CPooledContext ctx(ConfiguredCredentials());
        if (!ctx) return false;
        SMBCCTX* c = ctx.Get();
        SMBCFILE* dir = smbc_getFunctionOpendir(c)(c, SmbUrl(path).c_str());
        if (!dir) return false;
        struct stat st{};
        while (const libsmb_file_info* info = smbc_getFunctionReaddirPlus2(c)(c, dir, &st)) {
            if (!info->name || !std::strcmp(info->name, ".") || !std::strcmp(info->name, "..")) continue;
            Entry e;
            e.name = info->name;
            e.bDir = S_ISDIR(st.st_mode);
            const timespec& t = info->btime_ts.tv_sec ? info->btime_ts : info->mtime_ts;
            e.nBirthNs = static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
            entries.push_back(std::move(e));
        }
        return ctx.Keep(smbc_getFunctionClosedir(c)(c, dir) == 0);
    }
    DIR* dir = opendir(path.c_str());
    if (!dir) return false;
    const int dfd = dirfd(dir);
    while (dirent* d = readdir(dir)) {
        if (!std::strcmp(d->d_name, ".") || !std::strcmp(d->d_name, "..")) continue;
        Entry e;
        e.name = d->d_name;
        struct statx sx{};
        if (statx(dfd, d->d_name, AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME | STATX_TYPE, &sx) != 0) {
            continue;
        }
        e.bDir = S_ISDIR(sx.stx_mode);
        const statx_timestamp& t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
        e.nBirthNs = static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
        entries.push_back(std::move(e));
    }
    closedir(dir);
    return true;
}

bool MakeDir(const std::string& path) {
    if (IsNetworkPath(path)) {
        CPooledContext ctx(ConfiguredCredentials());
        return ctx && ctx.Keep(smbc_getFunctionMkdir(ctx.Get())(ctx.Get(), SmbUrl(path).c_str(), 0755) == 0);
    }
    return mkdir(path.c_str(), 0777) == 0;
}

bool Unlink(const std::string& path) {
    if (IsNetworkPath(path)) {
        CPooledContext ctx(ConfiguredCredentials());
        return ctx && ctx.Keep(smbc_getFunctionUnlink(ctx.Get())(ctx.Get(), SmbUrl(path).c_str()) == 0);
    }
    return unlink(path.c_str()) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (IsNetworkPath(from) != IsNetworkPath(to)) return false;
    if (IsNetworkPath(from)) {
        CPooledContext ctx(ConfiguredCredentials());
        if (!ctx) return false;
        SMBCCTX* c = ctx.Get();
        struct stat st{};
        // The client library replaces an existing target: look first.
        if (SmbStat(c, SmbUrl(to), st)) return ctx.Keep(false);
        return ctx.Keep(smbc_getFunctionRename(c)(c, SmbUrl(from).c_str(), c, SmbUrl(to).c_str()) == 0);
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace rename: link, then unlink.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

bool ReadAll(const std::string& path, std::string& data) {
    CFileHandle f;
    if (!f.Open(path, false, false, false)) return false;
    data.clear();
    char buf[65536];
    for (;;) {
        long n = f.Read(buf, sizeof buf);
        if (n < 0) return false;
        if (n == 0) break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    return f.Close();
}

bool WriteNew(const std::string& path, const std::string& data) {
    bool bDir = false;
    std::int64_t nSize = 0;
    if (Stat(path, bDir, nSize)) return false;
    const std::string temp = TempBeside(path);
    {
        CFileHandle f;
        if (!f.Open(temp, true, true, true)) return false;
        if (!f.Write(data.data(), data.size()) || !f.Close()) {
            Unlink(temp);
            return false;
        }
    }
    if (!RenameNoReplace(temp, path)) {
        Unlink(temp);
        return false;
    }
    if (const WrittenHook pfn = g_written.load())
        pfn(path.c_str());
    return true;
}

bool WriteReplace(const std::string& path, const std::string& data) {
    const std::string temp = TempBeside(path);
    {
        CFileHandle f;
        if (!f.Open(temp, true, true, true)) return false;
        if (!f.Write(data.data(), data.size()) || !f.Close()) {
            Unlink(temp);
            return false;
        }
    }
    bool ok;
    if (IsNetworkPath(path)) {
        // A share's rename does not replace: the old file goes first.
        Unlink(path);
        ok = RenameNoReplace(temp, path);
    } else {
        ok = std::rename(temp.c_str(), path.c_str()) == 0;
    }
    if (!ok) Unlink(temp);
    return ok;
}

bool CanOpenFolder(const std::string& path, const Credentials& credentials) {
    if (IsNetworkPath(path)) {
        auto ctx = NewContext(credentials);
        if (!ctx) return false;
        SMBCCTX* c = ctx->Get();
        SMBCFILE* dir = smbc_getFunctionOpendir(c)(c, SmbUrl(path).c_str());
        if (!dir) return false;
        smbc_getFunctionClosedir(c)(c, dir);
        return true;
    }
    DIR* dir = opendir(path.c_str());
    if (!dir) return false;
    closedir(dir);
    return true;
}

struct CFileHandle::Smb {
    std::unique_ptr<CPooledContext> ctx;
    SMBCFILE* file = nullptr;
    bool bFailed = false;  // a read or write failed: the context is not reused
};

CFileHandle::~CFileHandle() { Close(); }

bool CFileHandle::Open(const std::string& path, bool bWrite, bool bCreate, bool bTruncate) {
    Close();
    int flags = bWrite ? O_RDWR : O_RDONLY;
    if (bCreate) flags |= O_CREAT;
    if (bTruncate) flags |= O_TRUNC;
    if (IsNetworkPath(path)) {
        auto smb = std::make_unique<Smb>();
        smb->ctx = std::make_unique<CPooledContext>(ConfiguredCredentials());
        if (!*smb->ctx) return false;
        SMBCCTX* c = smb->ctx->Get();
        smb->file = smbc_getFunctionOpen(c)(c, SmbUrl(path).c_str(), flags, 0644);
        if (!smb->file) return false;
        m_pSmb = smb.release();
        return true;
    }
    m_fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

long CFileHandle::Read(void* buf, std::size_t n) {
    if (m_pSmb) {
        SMBCCTX* c = m_pSmb->ctx->Get();
        const long r = static_cast<long>(smbc_getFunctionRead(c)(c, m_pSmb->file, buf, n));
        if (r < 0) m_pSmb->bFailed = true;
        return r;
    }
    if (m_fd < 0) return -1;
    ssize_t r;
    do {
        r = read(m_fd, buf, n);
    } while (r < 0 && errno == EINTR);
    return static_cast<long>(r);
}

bool CFileHandle::Write(const void* buf, std::size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t w;
        if (m_pSmb) {
            SMBCCTX* c = m_pSmb->ctx->Get();
            w = smbc_getFunctionWrite(c)(c, m_pSmb->file, p, n);
            if (w <= 0) m_pSmb->bFailed = true;
        } else if (m_fd >= 0) {
            w = write(m_fd, p, n);
            if (w < 0 && errno == EINTR) continue;
        } else {
            return false;
        }
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool CFileHandle::Close() {
    bool ok = true;
    if (m_pSmb) {
        SMBCCTX* c = m_pSmb->ctx->Get();
        ok = m_pSmb->ctx->Keep(smbc_getFunctionClose(c)(c, m_pSmb->file) == 0 && !m_pSmb->bFailed);
        delete m_pSmb;
        m_pSmb = nullptr;
    }
    if (m_fd >= 0) {
        ok = fsync(m_fd) == 0 || errno == EINVAL || errno == EROFS;
        ok = close(m_fd) == 0 && ok;
        m_fd = -1;
    }
    return ok;
}

}  // namespace gdtfs

extern "C" ZEQGDT_API void ZeqGDTSetWrittenHook(void (*pfnWritten)(const char* pszPath)) {
    gdtfs::g_written = pfnWritten;
}
