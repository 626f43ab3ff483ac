#include "oxudcm/dcmtkitem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dctagkey.h"

namespace {
std::string Format(const char* pszFormat, auto value) {
    char sz[512];
    std::snprintf(sz, sizeof sz, pszFormat, value);
    return sz;
}
}  // namespace

CDcmTkItem::CDcmTkItem() = default;

CDcmTkItem::CDcmTkItem(const DcmTagKey& key, const char* pszValue)
    : m_nElement(key.getElement()), m_nGroup(key.getGroup()), m_strValue(pszValue ? pszValue : "") {}

CDcmTkItem::CDcmTkItem(const DcmTagKey& key, int nValue)
    : m_nElement(key.getElement()), m_nGroup(key.getGroup()), m_strValue(Format("%d", nValue)) {}

CDcmTkItem::CDcmTkItem(const DcmTagKey& key, double dValue)
    : m_nElement(key.getElement()), m_nGroup(key.getGroup()), m_strValue(Format("%f", dValue)) {}

const std::uint8_t* CDcmTkItem::GetValue() const {
    return reinterpret_cast<const std::uint8_t*>(m_strValue.c_str());
}

int CDcmTkItem::GetValueLength() const { return static_cast<int>(m_strValue.size()); }

CDcmTkItemBin::CDcmTkItemBin(const DcmTagKey& key, const unsigned char* pBytes, int nLength) {
    m_nElement = key.getElement();
    m_nGroup = key.getGroup();
    CopyBytes(pBytes, nLength);
}

CDcmTkItemBin::CDcmTkItemBin(const CDcmTkItemBin& other) : CDcmTkItem(other) {
    CopyBytes(other.m_pBuffer, other.m_nLength);
}

CDcmTkItemBin& CDcmTkItemBin::operator=(const CDcmTkItemBin& other) {
    if (this != &other) {
        CDcmTkItem::operator=(other);
        delete[] m_pBuffer;
        m_pBuffer = nullptr;
        m_nLength = 0;
        CopyBytes(other.m_pBuffer, other.m_nLength);
    }
    return *this;
}

CDcmTkItemBin::~CDcmTkItemBin() { delete[] m_pBuffer; }

void CDcmTkItemBin::CopyBytes(const unsigned char* pBytes, int nLength) {
    if (pBytes && nLength > 0) {
        m_pBuffer = new std::uint8_t[static_cast<std::size_t>(nLength)];
        std::memcpy(m_pBuffer, pBytes, static_cast<std::size_t>(nLength));
        m_nLength = nLength;
    }
}

CDcmTkItemPtrArray::~CDcmTkItemPtrArray() { ReleaseData(); }

CDcmTkItem* CDcmTkItemPtrArray::Append(CDcmTkItem* pItem) {
    if (m_apItems.size() == m_apItems.capacity()) {
        std::size_t nGrow = m_nGrowBy > 0
                                ? static_cast<std::size_t>(m_nGrowBy)
                                : std::clamp<std::size_t>(m_apItems.size() / 8, 4, 1024);
        m_apItems.reserve(m_apItems.size() + nGrow);
    }
    m_apItems.push_back(pItem);
    return pItem;
}

CDcmTkItem* CDcmTkItemPtrArray::AddItem(const DcmTagKey& key, const char* pszValue) {
    return Append(new CDcmTkItem(key, pszValue));
}
CDcmTkItem* CDcmTkItemPtrArray::AddItem(const DcmTagKey& key, int nValue) {
    return Append(new CDcmTkItem(key, nValue));
}
CDcmTkItem* CDcmTkItemPtrArray::AddItem(const DcmTagKey& key, double dValue) {
    return Append(new CDcmTkItem(key, dValue));
}
CDcmTkItem* CDcmTkItemPtrArray::AddItem(const DcmTagKey& key, unsigned char* pBytes, int nLength) {
    return Append(new CDcmTkItemBin(key, pBytes, nLength));
}

void CDcmTkItemPtrArray::ReleaseData() {
    for (CDcmTkItem* p : m_apItems) {
        delete p;
    }
    m_apItems.clear();
}
