#include "viewers/common/examlist.h"

#include <algorithm>
#include <filesystem>

CString CExamItem::GetTitle() const {
    return m_nValid ? m_strPath : CString("Empty");
}

CString CExamItem::GetDisplayName() const {
    if (!m_nValid)
        return "Empty";
    const auto nSep = m_strPath.find_last_of("/\\");
    return "[" + (nSep == CString::npos ? m_strPath : m_strPath.substr(nSep + 1)) + "]";
}

int CExamList::Add(CExamItem* pItem) {
    const int nNeeded = m_nSize + 1;
    if (nNeeded > GetCapacity()) {
        int nGrow = m_nGrowBy;
        if (nGrow <= 0)
            nGrow = std::clamp(m_nSize / 8, 4, 1024);
        const int nNew = std::max(GetCapacity() + nGrow, nNeeded);
        m_slots.resize(static_cast<std::size_t>(nNew), nullptr);
    }
    m_slots[m_nSize] = pItem;
    return m_nSize++;
}

void CExamList::RemoveAll() {
    for (int i = 0; i < m_nSize; ++i) delete m_slots[i];
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_nSize = 0;
}

BOOL CExamList::Remove(CExamItem* pItem) {
    for (int i = 0; i < m_nSize; ++i) {
        if (m_slots[i] == pItem) {
            delete pItem;
            std::move(m_slots.begin() + i + 1, m_slots.begin() + m_nSize, m_slots.begin() + i);
            m_slots[--m_nSize] = nullptr;
            break;
        }
    }
    return TRUE;
}

bool CExamList::Holds(const CExamItem* pItem) const {
    return pItem && std::find(m_slots.begin(), m_slots.begin() + m_nSize, pItem) !=
                        m_slots.begin() + m_nSize;
}

namespace {
CString SameFileKey(const CString& strPath) {
    std::error_code ec;
    auto p = std::filesystem::weakly_canonical(std::filesystem::path(strPath), ec);
    return ec ? strPath : p.string();
}
}  // namespace

CExamItem* CExamList::FindByPath(const CString& strPath) const {
    const CString strKey = SameFileKey(strPath);
    for (int i = 0; i < m_nSize; ++i) {
        CExamItem* p = m_slots[i];
        if (p && p->IsValid() && SameFileKey(p->GetPath()) == strKey)
            return p;
    }
    return nullptr;
}
