#pragma once
// Record and report files are written to a temporary file in the target's folder (one
// without a name where the system allows), every write and the sync checked, then given the
// target's name: a reader never sees half a file and a failed write never destroys the old one.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// What must be durable before a file takes a name (write-ahead): CommitFree asks Keep for
// each free name it is about to give the file, and Withdraw when that name then went to
// another file or the file could not take it. Keep gives 0 when kept, EEXIST when the
// name is spoken for (the next one is tried), else the error (the file is not placed).
class IPlacePromise {
public:
    virtual ~IPlacePromise() = default;
    virtual int Keep(const std::string& name) = 0;
    virtual void Withdraw(const std::string& name) = 0;
};

class CAtomicFile {
public:
    CAtomicFile() = default;
    ~CAtomicFile();  // an uncommitted file is discarded
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    bool Open(const std::string& target);
    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view data) { return Write(data.data(), data.size()); }
    // Flushes, closes and renames over the target; FALSE when any step (or any earlier
    // write) failed, and then the target is untouched.
    bool Commit();
    // Commit that never replaces: the file goes under the target's name while that is free,
    // else under the first free one of its title + "_2", "_3", ... (before the extension);
    // a name that already holds exactly these bytes is taken as this file (written once,
    // IsSame() then TRUE). Target() gives the name used; FALSE as Commit. With a promise,
    // the name is kept by it before the file takes it (a name that holds these bytes
    // already needs none).
    bool CommitFree(IPlacePromise* pPromise = nullptr);
    bool IsSame() const { return m_bSame; }
    // The system's error number of the step that failed (ENOSPC on a full disk); 0 while
    // none did. Kept until the next Open.
    int Error() const { return m_nError; }
    // The system's text of that failure, as a report names it.
    std::string ErrorText() const;
    void Discard();

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Target() const { return m_strTarget; }

private:
    // The written bytes as a path: the temporary file, or the descriptor of a nameless one.
    std::string Content() const;
    // Gives the bytes the name, never over another file: 0, EEXIST when taken, else errno.
    int PlaceAt(const std::string& name);
    // Flushes to disk; a named temporary file is closed too.
    bool Synced();
    // Keeps the first failure's error number (EIO when there is none); FALSE.
    bool Failed(int nError);
    void Close();

    int m_fd = -1;
    bool m_bFailed = false;
    int m_nError = 0;
    bool m_bSame = false;
    std::string m_strTarget;
    std::string m_strTemp;  // empty while the file has no name
};

// Moves from onto to unless to exists: 0, EEXIST when to is taken, else the error.
int RenameNoReplace(const std::string& from, const std::string& to);

// Whole-file helpers on the class above.
bool WriteFileAtomically(const std::string& path, std::string_view data);
// Reads the whole file; FALSE when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& data);

}  // namespace platform
