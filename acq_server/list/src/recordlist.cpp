#include "acq_server/list/recordlist.h"

#include <vector>

#include "acq_server/list/privateinifile.h"
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
        if (ParseValue(it->substr(nEq + 1), row))
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
    platform::CProfileDocument doc;
    if (!doc.Load(strFile))
        return false;
    const std::string strBase = "PAT" + strID + "_" + strKeyTime;
    std::string strKey = strBase;
    std::string strOld;
    for (int n = 2; doc.GetString(kSection, strKey.c_str(), strOld); ++n)
        strKey = strBase + "_" + std::to_string(n);
    const std::string strValue = strID + " " + strKeyTime + " " + strPath;
    doc.WriteString(kSection, strKey.c_str(), strValue.c_str());
    std::vector<std::string> lines = doc.SectionLines(kSection);
    if (PruneLines(lines, strKeyTime.substr(0, 8)))
        doc.WriteSection(kSection, lines);
    if (pKey)
        *pKey = strKey;
    return doc.Save(strFile);
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
