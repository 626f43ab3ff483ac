#include "acq_server/list/recordlist.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "acq_server/list/privateinifile.h"
#include "acq_server/list/recordlistfile.h"
#include "platform/profile.h"

namespace {

std::string FormatTime(std::time_t t, const char* pszFormat) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, pszFormat, &tm);
    return std::string(buf, n);
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
    return CRecordListFile(strWorkingFolder).Add(strID, strKeyTime, strPath, pKey);
}

bool CRecordList::PruneListFile(const std::string& strWorkingFolder, const std::string& strToday) {
    const std::string strFile = ListFilePath(strWorkingFolder);
    platform::CProfileDocument doc;
    if (!doc.Load(strFile) || !doc.HasSection(kSection))
        return false;
    std::vector<std::string> lines = doc.SectionLines(kSection);
    std::string strMark;
    const bool bMarked = CConversionMark::Read(strWorkingFolder, strMark);
    if (!CRecordListFile::PruneLines(lines, strToday, bMarked ? &strMark : nullptr))
        return true;
    doc.WriteSection(kSection, lines);
    return doc.Save(strFile);
}
