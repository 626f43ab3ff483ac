#include "oxucomm/oxuowed.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/atomicfile.h"

namespace {

constexpr const char* kKeys[] = {"KIND", "PATH", "ID", "PEER"};

CString* Field(COxuOwed& owed, std::size_t i) {
    CString* apField[] = {&owed.m_strKind, &owed.m_strPath, &owed.m_strID, &owed.m_strPeer};
    return apField[i];
}

CString Escape(const CString& str) {
    CString out;
    for (char c : str) {
        if (c == '%')
            out += "%25";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

CString Unescape(const CString& str) {
    CString out;
    for (std::size_t i = 0; i < str.size(); ++i) {
        if (str[i] == '%' && i + 2 < str.size()) {
            const CString strCode = str.substr(i + 1, 2);
            const char c = strCode == "25"   ? '%'
                           : strCode == "0D" ? '\r'
                           : strCode == "0A" ? '\n'
                                             : 0;
            if (c) {
                out += c;
                i += 2;
                continue;
            }
        }
        out += str[i];
    }
    return out;
}

// Makes a new entry of the folder (a rename or a new folder) durable.
bool SyncFolder(const CString& strFolder) {
    const int fd = ::open(strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bOk = ::fsync(fd) == 0;
    ::close(fd);
    return bOk;
}

CString FileName(const CString& strPath) {
    const std::size_t n = strPath.find_last_of("/\\");
    return n == CString::npos ? strPath : strPath.substr(n + 1);
}

// A marker's temporary name starts with it: no record file's name holds a ":".
constexpr char kTempMark = ':';
// Room for the temporary name's mark and suffix within the file system's name limit.
constexpr std::size_t kMaxTempBase = 200;

// Whether the name is an older version's temporary file: "." + name + "." and six letters
// or digits (a record file's name ends in its extension instead).
bool IsOldTemporary(const CString& strName) {
    const std::size_t nDot = strName.rfind('.');
    return strName.size() > 8 && strName[0] == '.' && nDot == strName.size() - 7 &&
           std::all_of(strName.begin() + static_cast<long>(nDot) + 1, strName.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Writes the text under strFolder/strName durably: a temporary file beside it, written,
// synced and closed, then named (over what stands there only when bReplace), then the
// folder synced. 0, EEXIST when the name is taken, else the error.
int WriteDurably(const CString& strFolder, const CString& strName, const CString& strText,
                 bool bReplace) {
    CString strTemp = strFolder + "/" + kTempMark + strName.substr(0, kMaxTempBase) + ".XXXXXX";
    const int fd = ::mkostemp(strTemp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int nError = 0;
    for (std::size_t nDone = 0; nDone < strText.size();) {
        const ssize_t n = ::write(fd, strText.data() + nDone, strText.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            nError = n < 0 ? errno : EIO;
            break;
        }
        nDone += static_cast<std::size_t>(n);
    }
    if (!nError && ::fsync(fd) != 0)
        nError = errno;
    if (::close(fd) != 0 && !nError)
        nError = errno;
    const CString strTarget = strFolder + "/" + strName;
    if (!nError)
        nError = bReplace ? (std::rename(strTemp.c_str(), strTarget.c_str()) == 0 ? 0 : errno)
                          : platform::RenameNoReplace(strTemp, strTarget);
    if (nError) {
        ::unlink(strTemp.c_str());
        return nError;
    }
    if (!SyncFolder(strFolder)) {
        nError = errno ? errno : EIO;
        ::unlink(strTarget.c_str());  // not durable: not kept
        return nError;
    }
    return 0;
}

}  // namespace

COxuOwedRecords::COxuOwedRecords(const CString& strStorage)
    : m_strStorage(strStorage.empty() ? CString(".") : strStorage) {
    while (m_strStorage.size() > 1 && (m_strStorage.back() == '/' || m_strStorage.back() == '\\'))
        m_strStorage.pop_back();
    m_strFolder = m_strStorage + "/.owed";
}

CString COxuOwedRecords::Encode(const COxuOwed& owed) {
    CString str;
    COxuOwed copy = owed;
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        str += CString(kKeys[i]) + "=" + Escape(*Field(copy, i)) + "\n";
    return str;
}

BOOL COxuOwedRecords::Decode(const CString& strText, COxuOwed& owed) {
    owed = COxuOwed();
    std::size_t nStart = 0;
    while (nStart < strText.size()) {
        std::size_t nEnd = strText.find('\n', nStart);
        if (nEnd == CString::npos)
            nEnd = strText.size();
        const CString strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        const std::size_t nEq = strLine.find('=');
        if (nEq == CString::npos)
            continue;
        const CString strKey = strLine.substr(0, nEq);
        for (std::size_t i = 0; i < std::size(kKeys); ++i)
            if (strKey == kKeys[i])
                *Field(owed, i) = Unescape(strLine.substr(nEq + 1));
    }
    return !owed.m_strKind.empty() && !owed.m_strPath.empty();
}

BOOL COxuOwedRecords::Add(COxuOwed& owed, CString& strError) const {
    return Write(owed, true, strError) == 0 ? TRUE : FALSE;
}

int COxuOwedRecords::Keep(COxuOwed& owed, CString& strError) const {
    return Write(owed, false, strError);
}

int COxuOwedRecords::Write(COxuOwed& owed, bool bReplace, CString& strError) const {
    struct stat st {};
    if (::stat(m_strFolder.c_str(), &st) != 0) {
        if (::mkdir(m_strFolder.c_str(), 0777) != 0 && errno != EEXIST) {
            const int nError = errno;
            strError = m_strFolder + ": " + std::strerror(nError);
            return nError;
        }
        SyncFolder(m_strStorage);  // the new folder itself survives a power cut
    }
    owed.m_strMarker = m_strFolder + "/" + FileName(owed.m_strPath);
    const int nError = WriteDurably(m_strFolder, FileName(owed.m_strPath), Encode(owed), bReplace);
    if (nError != 0) {
        strError = owed.m_strMarker + ": " + std::strerror(nError);
        owed.m_strMarker.clear();
    }
    return nError;
}

void COxuOwedRecords::TakeOldTemporary(const CString& strPath, const CString& strText,
                                       const LogFn& log) const {
    COxuOwed owed;
    // Written whole, its rename cut off: in that version the record file already lay in
    // its place, so it is that record's marker unless the record has one.
    if (Decode(strText, owed) &&
        platform::RenameNoReplace(strPath, m_strFolder + "/" + FileName(owed.m_strPath)) == 0) {
        if (log)
            log("Owed record marker taken from an interrupted write: " + owed.m_strPath);
        SyncFolder(m_strFolder);
        return;
    }
    ::unlink(strPath.c_str());
}

std::vector<CString> COxuOwedRecords::Names() const {
    std::vector<CString> astrNames;
    if (DIR* pDir = ::opendir(m_strFolder.c_str())) {
        while (const dirent* pEntry = ::readdir(pDir)) {
            const CString strName = pEntry->d_name;
            if (strName != "." && strName != "..")
                astrNames.push_back(strName);
        }
        ::closedir(pDir);
    }
    return astrNames;
}

std::vector<COxuOwed> COxuOwedRecords::Scan(const LogFn& log) const {
    // Temporary files first: an older version's may become a marker.
    for (const CString& strName : Names()) {
        const CString strPath = m_strFolder + "/" + strName;
        std::string strText;
        if (strName[0] == kTempMark)
            ::unlink(strPath.c_str());  // a temporary file of a writer that was killed
        else if (IsOldTemporary(strName))
            TakeOldTemporary(strPath, platform::ReadWholeFile(strPath, strText) ? strText : "",
                             log);
    }
    std::vector<std::pair<struct timespec, COxuOwed>> found;
    for (const CString& strName : Names()) {
        const CString strPath = m_strFolder + "/" + strName;
        struct stat st {};
        std::string strText;
        COxuOwed owed;
        if (::lstat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (!platform::ReadWholeFile(strPath, strText) || !Decode(strText, owed)) {
            if (log)
                log("Owed record marker cannot be read, left in place: " + strPath);
            continue;
        }
        owed.m_strMarker = strPath;
        found.emplace_back(st.st_mtim, std::move(owed));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.first.tv_sec != b.first.tv_sec)
            return a.first.tv_sec < b.first.tv_sec;
        if (a.first.tv_nsec != b.first.tv_nsec)
            return a.first.tv_nsec < b.first.tv_nsec;
        return a.second.m_strMarker < b.second.m_strMarker;
    });
    std::vector<COxuOwed> out;
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

void COxuOwedRecords::Remove(const COxuOwed& owed) const {
    if (!owed.m_strMarker.empty())
        ::unlink(owed.m_strMarker.c_str());
}
