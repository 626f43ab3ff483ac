#pragma once
// The file systems under the GDT library's operations: local files, and SMB shares through
// libsmbclient. Each call runs on the thread that makes it (the library's workers) and
// uses a client context of its own, so workers never share one.
#include <cstdint>
#include <string>
#include <vector>

namespace gdtfs {

// "\\server\share..." or "//server:port/share...".
bool IsNetworkPath(const std::string& path);

struct Credentials {
    std::string user, password;
};
// The configured share user and password (read from the GDT settings file each time).
Credentials ConfiguredCredentials();

struct Entry {
    std::string name;
    bool bDir = false;
    std::int64_t nBirthNs = 0;  // creation time where known, else modification time
};

bool Stat(const std::string& path, bool& bDir, std::int64_t& nSize);

// What a folder says of one of its names: a file there, no file (the folder answers and
// holds none of that name), or no answer to be had (the share cannot be reached).
enum class Presence { kFile, kNone, kUnknown };
struct Status {
    std::int64_t nSize = -1;
    std::int64_t nWriteNs = 0;  // last-write time
};
Presence Probe(const std::string& path, Status& status);

bool ListDir(const std::string& path, std::vector<Entry>& entries);
bool MakeDir(const std::string& path);
bool Unlink(const std::string& path);
// Never replaces an existing target.
bool RenameNoReplace(const std::string& from, const std::string& to);
bool ReadAll(const std::string& path, std::string& data);
// Writes a temporary file beside the target and renames it there without replacing: the
// target appears whole or not at all, and an existing one is never touched.
bool WriteNew(const std::string& path, const std::string& data);
// Called on the worker right after WriteNew made a file whole under its name (set by tests
// through ZeqGDTSetWrittenHook; none in a product).
using WrittenHook = void (*)(const char* pszPath);
// Writes a temporary file beside the target and renames it over the target: the target is
// replaced whole or left as it was.
bool WriteReplace(const std::string& path, const std::string& data);
// Opens the folder with the given credentials (a share) or as it is (a local folder).
bool CanOpenFolder(const std::string& path, const Credentials& credentials);

// An open file: a local descriptor or a share handle with its own context.
class CFileHandle {
public:
    CFileHandle() = default;
    ~CFileHandle();
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    bool Open(const std::string& path, bool bWrite, bool bCreate, bool bTruncate);
    // Bytes read (0 at the end), -1 on error.
    long Read(void* buf, std::size_t n);
    bool Write(const void* buf, std::size_t n);
    bool Close();
    bool IsOpen() const { return m_fd >= 0 || m_pSmb != nullptr; }

private:
    int m_fd = -1;
    struct Smb;
    Smb* m_pSmb = nullptr;
};

}  // namespace gdtfs
