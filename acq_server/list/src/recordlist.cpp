#include "acq_server/list/recordlist.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "acq_server/list/privateinifile.h"
#include "platform/atomicfile.h"
#include "platform/profile.h"

namespace {

std::string FormatTime(std::time_t t, const char* pszFormat) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, pszFormat, &tm);
    return std::string(buf, n);
}

std::string KeyOf(const std::string& line) {
    const std::size_t n = line.find('=');
    return n == std::string::npos ? std::string() : line.substr(0, n);
}

// Drops the lines before the first key holding strToday; TRUE when any went.
bool PruneLines(std::vector<std::string>& lines, const std::string& strToday) {
    std::size_t nFirst = 0;
    while (nFirst < lines.size()) {
        const std::string key = KeyOf(lines[nFirst]);
        if (!key.empty() && key.find(strToday) != std::string::npos)
            break;
        ++nFirst;
    }
    if (nFirst == 0)
        return false;
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(nFirst));
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The common case of a busy day, without rewriting the whole file: the list section is the
// file's last, it already starts with today and the key is new. Then the entry is appended
// as the profile engine would have written it. FALSE (file unchanged) when any of that does
// not hold, so the caller writes the file whole.
bool AppendEntry(const std::string& strFile, const std::string& strBase,
                 const std::string& strValue, const std::string& strToday, std::string& strKey) {
    std::string text;
    if (!platform::ReadWholeFile(strFile, text) || text.empty() || text.back() != '\n')
        return false;
    const std::string lower = Lower(text);
    const std::size_t nHeader = lower.rfind("\n[");
    const std::size_t nStart = nHeader == std::string::npos
                                   ? (lower.compare(0, 1, "[") ? std::string::npos : 0)
                                   : nHeader + 1;
    if (nStart == std::string::npos ||
        lower.compare(nStart, 11, Lower(std::string("[") + CRecordList::kSection + "]")) != 0)
        return false;
    const std::size_t nBody = lower.find('\n', nStart);
    if (nBody == std::string::npos)
        return false;
    // The first entry must be today's, or earlier days would have to go.
    const std::size_t nFirstEnd = lower.find('\n', nBody + 1);
    const std::string first = lower.substr(nBody + 1, nFirstEnd - nBody - 1);
    const std::size_t nEq = first.find('=');
    if (nEq == std::string::npos || first.substr(0, nEq).find(strToday) == std::string::npos)
        return false;
    const std::string section = lower.substr(nBody);
    strKey = strBase;
    for (int n = 2; section.find("\n" + Lower(strKey) + "=") != std::string::npos; ++n)
        strKey = strBase + "_" + std::to_string(n);
    std::string line = strKey + "=" + strValue;
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    line += "\r\n";
    const int fd = ::open(strFile.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool bOk = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                     ::fsync(fd) == 0;
    if (!bOk) {
        // Never leave half a line behind: the whole write follows.
        [[maybe_unused]] int n = ::ftruncate(fd, static_cast<off_t>(text.size()));
    }
    ::close(fd);
    return bOk;
}

}  // namespace

std::string CRecordList::ListFilePath(const std::string& strWorkingFolder) {
    std::string s = strWorkingFolder;
    if (!s.empty() && (s.back() == '/' || s.back() == '\\'))
        s.pop_back();
    return s + "/" + kFileName;
}

std::string CRecordList::ListTime(std::time_t t) {
    return FormatTime(t, "%Y/%m/%d %H:%M");
}

std::string CRecordList::KeyTime(std::time_t t) {
    return FormatTime(t, "%Y%m%d%H%M");
}

std::string CRecordList::KeyTimeToListTime(const std::string& s) {
    if (s.size() != 12)
        return s;
    return s.substr(0, 4) + "/" + s.substr(4, 2) + "/" + s.substr(6, 2) + " " + s.substr(8, 2) +
           ":" + s.substr(10, 2);
}

bool CRecordList::ParseValue(const std::string& strValue, CRecordRow& row) {
    const std::size_t n1 = strValue.find(' ');
    if (n1 == std::string::npos)
        return false;
    const std::size_t n2 = strValue.find(' ', n1 + 1);
    if (n2 == std::string::npos)
        return false;
    row.m_strPatientID = strValue.substr(0, n1);
    row.m_strTime = KeyTimeToListTime(strValue.substr(n1 + 1, n2 - n1 - 1));
    row.m_strPath = strValue.substr(n2 + 1);
    return true;
}

namespace {
bool AllDigits(const std::string& s, std::size_t nAt, std::size_t n) {
    return nAt + n <= s.size() && std::all_of(s.begin() + static_cast<std::ptrdiff_t>(nAt),
                                              s.begin() + static_cast<std::ptrdiff_t>(nAt + n),
                                              [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

bool CRecordList::ParseEntry(const std::string& strKey, const std::string& strValue,
                             CRecordRow& row) {
    // The key, "PAT" + ID + "_" + time (+ "_n" for a later record of that ID and minute),
    // tells how long the ID is; the value must agree with it: ID, blank, the same time,
    // blank, path.
    constexpr std::size_t kTime = 12;
    if (strKey.size() > 3 + 1 + kTime && strKey.compare(0, 3, "PAT") == 0) {
        const std::string strBody = strKey.substr(3);
        std::vector<std::string> candidates{strBody};
        const std::size_t nUnder = strBody.rfind('_');
        if (nUnder != std::string::npos &&
            AllDigits(strBody, nUnder + 1, strBody.size() - nUnder - 1) &&
            nUnder + 1 < strBody.size())
            candidates.push_back(strBody.substr(0, nUnder));
        for (const std::string& b : candidates) {
            if (b.size() < 1 + kTime || b[b.size() - kTime - 1] != '_' ||
                !AllDigits(b, b.size() - kTime, kTime))
                continue;
            const std::size_t nID = b.size() - kTime - 1;
            const std::string strTime = b.substr(nID + 1);
            if (strValue.size() < nID + kTime + 2 || strValue[nID] != ' ' ||
                strValue.compare(nID + 1, kTime, strTime) != 0 || strValue[nID + 1 + kTime] != ' ')
                continue;
            std::string strKeyID = strValue.substr(0, nID);
            std::replace(strKeyID.begin(), strKeyID.end(), '=', '_');
            if (strKeyID != b.substr(0, nID))
                continue;
            row.m_strPatientID = strValue.substr(0, nID);
            row.m_strTime = KeyTimeToListTime(strTime);
            row.m_strPath = strValue.substr(nID + kTime + 2);
            return true;
        }
    }
    // An entry of another shape: the ID ends at the first blank.
    return ParseValue(strValue, row);
}

void CRecordList::LoadRows(const std::string& strWorkingFolder) {
    CStringArray lines;
    CPrivateIniFile(ListFilePath(strWorkingFolder)).GetSection(kSection, lines);
    // The file is in arrival order: the newest are at its end.
    std::deque<CRecordRow> rows;
    for (auto it = lines.rbegin(); it != lines.rend() && rows.size() < kMaxRows; ++it) {
        const std::size_t nEq = it->find('=');
        if (nEq == std::string::npos || nEq == 0)
            continue;
        CRecordRow row;
        if (ParseEntry(it->substr(0, nEq), it->substr(nEq + 1), row))
            rows.push_back(std::move(row));
    }
    m_rows = std::move(rows);
}

bool CRecordList::AddRow(CRecordRow row) {
    m_rows.push_front(std::move(row));
    if (m_rows.size() <= kMaxRows)
        return false;
    m_rows.pop_back();
    return true;
}

bool CRecordList::UpdateDataList(const std::string& strWorkingFolder, const std::string& strID,
                                 const std::string& strKeyTime, const std::string& strPath,
                                 std::string* pKey) {
    const std::string strFile = ListFilePath(strWorkingFolder);
    // A "=" in the ID would end the key early and the entry would be read as another one.
    std::string strKeyID = strID;
    for (char& c : strKeyID) {
        if (c == '=')
            c = '_';
    }
    const std::string strBase = "PAT" + strKeyID + "_" + strKeyTime;
    const std::string strValue = strID + " " + strKeyTime + " " + strPath;
    const std::string strToday = strKeyTime.substr(0, 8);
    std::string strKey;
    if (!AppendEntry(strFile, strBase, strValue, strToday, strKey)) {
        platform::CProfileDocument doc;
        if (!doc.Load(strFile))
            return false;
        strKey = strBase;
        std::string strOld;
        for (int n = 2; doc.GetString(kSection, strKey.c_str(), strOld); ++n)
            strKey = strBase + "_" + std::to_string(n);
        doc.WriteString(kSection, strKey.c_str(), strValue.c_str());
        std::vector<std::string> lines = doc.SectionLines(kSection);
        if (PruneLines(lines, strToday))
            doc.WriteSection(kSection, lines);
        if (!doc.Save(strFile))
            return false;
    }
    if (pKey)
        *pKey = strKey;
    return true;
}

bool CRecordList::PruneListFile(const std::string& strWorkingFolder, const std::string& strToday) {
    const std::string strFile = ListFilePath(strWorkingFolder);
    platform::CProfileDocument doc;
    if (!doc.Load(strFile) || !doc.HasSection(kSection))
        return false;
    std::vector<std::string> lines = doc.SectionLines(kSection);
    if (!PruneLines(lines, strToday))
        return true;
    doc.WriteSection(kSection, lines);
    return doc.Save(strFile);
}
