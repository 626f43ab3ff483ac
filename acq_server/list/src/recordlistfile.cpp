#include "acq_server/list/recordlistfile.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "platform/atomicfile.h"
#include "platform/folders.h"
#include "platform/profile.h"

namespace {

const char* const kSection = CRecordList::kSection;

std::string KeyOf(const std::string& line) {
    const std::size_t n = line.find('=');
    return n == std::string::npos ? std::string() : line.substr(0, n);
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string TrimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    return s;
}

// A line break inside a field would start another entry.
std::string OneLine(std::string s) {
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

}  // namespace

CRecordListFile::CRecordListFile(std::string strWorkingFolder)
    : m_strWorkingFolder(std::move(strWorkingFolder)),
      m_strPath(CRecordList::ListFilePath(m_strWorkingFolder)) {}

bool CRecordListFile::PruneLines(std::vector<std::string>& lines, const std::string& strToday,
                                 const std::string* pMark) {
    std::size_t nFirst = 0;
    while (nFirst < lines.size()) {
        const std::string key = KeyOf(lines[nFirst]);
        if (!key.empty() && key.find(strToday) != std::string::npos)
            break;
        ++nFirst;
    }
    if (pMark) {
        const auto itMark = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return KeyOf(line) == *pMark;
        });
        const std::size_t nOwed =
            itMark == lines.end() ? 0 : static_cast<std::size_t>(itMark - lines.begin()) + 1;
        nFirst = std::min(nFirst, nOwed);
    }
    if (nFirst == 0)
        return false;
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(nFirst));
    return true;
}

void CRecordListFile::Refresh() {
    struct stat st {};
    if (::stat(m_strPath.c_str(), &st) != 0) {
        m_bKnown = true;
        m_bExists = false;
        m_bAppendable = false;
        m_strFirstKey.clear();
        m_keys.clear();
        m_paths.clear();
        return;
    }
    if (m_bKnown && m_bExists && st.st_dev == m_seen.dev && st.st_ino == m_seen.ino &&
        st.st_size == m_seen.size && st.st_mtim.tv_sec == m_seen.sec &&
        st.st_mtim.tv_nsec == m_seen.nsec)
        return;
    std::string text;
    platform::ReadWholeFile(m_strPath, text);
    Index(text);
    m_bKnown = true;
    m_bExists = true;
    m_seen = {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

void CRecordListFile::Index(const std::string& strText) {
    m_keys.clear();
    m_paths.clear();
    m_strFirstKey.clear();
    platform::CProfileDocument doc;
    doc.Parse(strText);
    for (const std::string& line : doc.SectionLines(kSection)) {
        const std::size_t nEq = line.find('=');
        const std::string key = line.substr(0, nEq);
        if (m_strFirstKey.empty())
            m_strFirstKey = key;
        m_keys.insert(Lower(TrimRight(key)));
        CRecordRow row;
        if (nEq != std::string::npos && CRecordList::ParseEntry(key, line.substr(nEq + 1), row))
            m_paths.insert(row.m_strPath);
    }
    // An appended line lands in the list section only when that section is the last, the
    // only one of its name, and the file ends with a line break.
    const std::vector<std::string> names = doc.SectionNames();
    const auto nLists = std::count_if(names.begin(), names.end(), [](const std::string& n) {
        return strcasecmp(n.c_str(), kSection) == 0;
    });
    m_bAppendable = nLists == 1 && strcasecmp(names.back().c_str(), kSection) == 0 &&
                    !strText.empty() && strText.back() == '\n';
}

bool CRecordListFile::Append(const std::string& strLine, bool bSync) {
    const int fd = ::open(m_strPath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    // One write: a reader sees the line whole or not at all.
    bool bOk =
        ::write(fd, strLine.data(), strLine.size()) == static_cast<ssize_t>(strLine.size()) &&
        (!bSync || ::fdatasync(fd) == 0);
    struct stat st {};
    if (!bOk) {
        // Never leave half a line behind.
        [[maybe_unused]] int n = ::ftruncate(fd, m_seen.size);
    } else if (::fstat(fd, &st) == 0) {
        m_seen = {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    } else {
        m_bKnown = false;
    }
    bOk = ::close(fd) == 0 && bOk;
    return bOk;
}

bool CRecordListFile::WriteWhole(const std::string& strKey, const std::string& strValue,
                                 const std::string& strToday) {
    platform::CProfileDocument doc;
    if (!doc.Load(m_strPath))
        return false;
    doc.WriteString(kSection, strKey.c_str(), strValue.c_str());
    std::vector<std::string> lines = doc.SectionLines(kSection);
    std::string strMark;
    const bool bMarked = CConversionMark::Read(m_strWorkingFolder, strMark);
    if (PruneLines(lines, strToday, bMarked ? &strMark : nullptr))
        doc.WriteSection(kSection, lines);
    const bool bOk = doc.Save(m_strPath);
    m_bKnown = false;
    Refresh();
    return bOk;
}

bool CRecordListFile::Add(const std::string& strID, const std::string& strKeyTime,
                          const std::string& strPath, std::string* pKey) {
    return Enter(strID, strKeyTime, strPath, pKey, true);
}

bool CRecordListFile::Sync(const std::string& strPath) {
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bOk = ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && bOk;
}

bool CRecordListFile::Enter(const std::string& strID, const std::string& strKeyTime,
                            const std::string& strPath, std::string* pKey, bool bSync) {
    Refresh();
    // A "=" in the ID would end the key early and the entry would be read as another one.
    std::string strKeyID = strID;
    std::replace(strKeyID.begin(), strKeyID.end(), '=', '_');
    const std::string strBase = "PAT" + strKeyID + "_" + strKeyTime;
    std::string strKey = strBase;
    for (int n = 2; m_keys.count(Lower(strKey)) != 0; ++n)
        strKey = strBase + "_" + std::to_string(n);
    const std::string strValue = strID + " " + strKeyTime + " " + strPath;
    const std::string strToday = strKeyTime.substr(0, 8);
    // Entries of an earlier day go, once converted: the only case that writes the whole file.
    bool bPrune = !m_strFirstKey.empty() && m_strFirstKey.find(strToday) == std::string::npos;
    std::string strMark;
    if (bPrune && CConversionMark::Read(m_strWorkingFolder, strMark))
        bPrune = m_keys.count(Lower(strMark)) != 0;
    bool bOk = false;
    if (m_bExists && m_bAppendable && !bPrune) {
        bOk = Append(OneLine(strKey + "=" + strValue) + "\r\n", bSync);
        if (bOk) {
            m_keys.insert(Lower(strKey));
            m_paths.insert(strPath);
            if (m_strFirstKey.empty())
                m_strFirstKey = strKey;
        }
    } else {
        bOk = WriteWhole(strKey, strValue, strToday);
    }
    if (bOk && pKey)
        *pKey = strKey;
    return bOk;
}

bool CRecordListFile::Lists(const std::string& strPath) {
    Refresh();
    return m_paths.count(strPath) != 0;
}

// Conversion mark

std::string CConversionMark::MarkPath(const std::string& strWorkingFolder) {
    const std::string strList = CRecordList::ListFilePath(strWorkingFolder);
    return strList.substr(0, strList.rfind('/') + 1) + kFileName;
}

bool CConversionMark::Read(const std::string& strWorkingFolder, std::string& strKey) {
    if (!platform::ReadWholeFile(MarkPath(strWorkingFolder), strKey))
        return false;
    strKey = strKey.substr(0, strKey.find_first_of("\r\n"));
    return true;
}

bool CConversionMark::Mark(const std::string& strWorkingFolder, const std::string& strKey) {
    return platform::WriteFileAtomically(MarkPath(strWorkingFolder), strKey + "\n");
}

std::vector<COwedEntry> CConversionMark::Owed(const std::string& strWorkingFolder) {
    const std::vector<std::string> lines =
        platform::GetProfileSection(CRecordList::ListFilePath(strWorkingFolder), kSection);
    std::string strMark;
    if (!Read(strWorkingFolder, strMark)) {
        platform::MakeDirs(strWorkingFolder);
        Mark(strWorkingFolder, lines.empty() ? std::string() : KeyOf(lines.back()));
        return {};
    }
    std::size_t nFirst = 0;
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (!strMark.empty() && KeyOf(lines[i]) == strMark) {
            nFirst = i + 1;
            break;
        }
    }
    std::vector<COwedEntry> owed;
    for (std::size_t i = nFirst; i < lines.size(); ++i) {
        const std::size_t nEq = lines[i].find('=');
        COwedEntry entry;
        entry.strKey = lines[i].substr(0, nEq);
        if (nEq != std::string::npos &&
            CRecordList::ParseEntry(entry.strKey, lines[i].substr(nEq + 1), entry.row))
            owed.push_back(std::move(entry));
    }
    return owed;
}
