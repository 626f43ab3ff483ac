#include "oxucomm/oxuowed.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
    struct stat st {};
    if (::stat(m_strFolder.c_str(), &st) != 0) {
        if (::mkdir(m_strFolder.c_str(), 0777) != 0 && errno != EEXIST) {
            strError = m_strFolder + ": " + std::strerror(errno);
            return FALSE;
        }
        SyncFolder(m_strStorage);  // the new folder itself survives a power cut
    }
    owed.m_strMarker = m_strFolder + "/" + FileName(owed.m_strPath);
    // The atomic writer syncs the marker and then its folder after the rename.
    if (!platform::WriteFileAtomically(owed.m_strMarker, Encode(owed))) {
        strError = owed.m_strMarker + ": " + std::strerror(errno ? errno : EIO);
        return FALSE;
    }
    return TRUE;
}

std::vector<COxuOwed> COxuOwedRecords::Scan(const LogFn& log) const {
    std::vector<std::pair<struct timespec, COxuOwed>> found;
    DIR* pDir = ::opendir(m_strFolder.c_str());
    if (!pDir)
        return {};
    while (const dirent* pEntry = ::readdir(pDir)) {
        const CString strName = pEntry->d_name;
        if (strName == "." || strName == "..")
            continue;
        const CString strPath = m_strFolder + "/" + strName;
        if (strName[0] == '.') {
            ::unlink(strPath.c_str());  // a temporary file of a writer that was killed
            continue;
        }
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
    ::closedir(pDir);
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
