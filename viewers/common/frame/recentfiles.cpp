#include "recentfiles.h"

#include <algorithm>
#include <filesystem>

#include "platform/settings.h"

namespace {
constexpr const char* kSection = "Recent File List";

std::string Canonical(const std::string& strPath) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(strPath, ec);
    return ec ? strPath : p.string();
}
}  // namespace

CRecentFileList::CRecentFileList(std::string strKeyPath, int nSize)
    : m_strKeyPath(std::move(strKeyPath)), m_nSize(std::max(nSize, 0)) {}

void CRecentFileList::ReadList() {
    m_entries.clear();
    platform::CSettingsStore store(m_strKeyPath);
    for (int i = 1; i <= m_nSize; ++i) {
        std::string strEntry = "File" + std::to_string(i);
        std::string strPath = store.GetString(kSection, strEntry.c_str(), "");
        if (!strPath.empty())
            m_entries.push_back(strPath);
    }
}

void CRecentFileList::WriteList() const {
    platform::CSettingsStore store(m_strKeyPath);
    for (int i = 1; i <= m_nSize; ++i) {
        std::string strEntry = "File" + std::to_string(i);
        const bool bHave = static_cast<std::size_t>(i) <= m_entries.size();
        store.WriteString(kSection, strEntry.c_str(), bHave ? m_entries[i - 1].c_str() : nullptr);
    }
}

void CRecentFileList::Add(const std::string& strPath) {
    const std::string strCanon = Canonical(strPath);
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const std::string& s) { return Canonical(s) == strCanon; }),
                    m_entries.end());
    m_entries.insert(m_entries.begin(), strPath);
    if (m_entries.size() > static_cast<std::size_t>(m_nSize))
        m_entries.resize(m_nSize);
}

void CRecentFileList::Remove(int nIndex) {
    if (nIndex >= 0 && static_cast<std::size_t>(nIndex) < m_entries.size())
        m_entries.erase(m_entries.begin() + nIndex);
}
