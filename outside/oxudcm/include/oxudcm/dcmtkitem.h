#pragma once
// Extra attributes a caller hands to CDcmTkDicomFile::InsertValues, and the progress
// callback of CDcmTkStoreSCU. Value classes: every copy owns its own bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "oxudcm/oxudcmexport.h"

class DcmTagKey;

// One attribute given as text (8-bit, installation code page); the dictionary's VR of the
// tag decides how the builder stores it.
class OXUDCM_EXPORT CDcmTkItem {
public:
    CDcmTkItem();
    CDcmTkItem(const DcmTagKey& key, const char* pszValue);
    CDcmTkItem(const DcmTagKey& key, int nValue);       // "%d"
    CDcmTkItem(const DcmTagKey& key, double dValue);    // "%f"
    CDcmTkItem(const CDcmTkItem& other) = default;
    CDcmTkItem& operator=(const CDcmTkItem& other) = default;
    virtual ~CDcmTkItem() = default;

    virtual const std::uint8_t* GetValue() const;
    virtual int GetValueLength() const;
    virtual const char* GetClassNameA() const { return "CDcmTkItem"; }

    const std::string& GetText() const { return m_strValue; }

    std::uint16_t m_nElement = 0xFFFF;
    std::uint16_t m_nGroup = 0xFFFF;
    std::string m_strValue;
};

// One attribute given as bytes (for OB, OW, UN and the like).
class OXUDCM_EXPORT CDcmTkItemBin : public CDcmTkItem {
public:
    CDcmTkItemBin() = default;
    CDcmTkItemBin(const DcmTagKey& key, const unsigned char* pBytes, int nLength);
    CDcmTkItemBin(const CDcmTkItemBin& other);
    CDcmTkItemBin& operator=(const CDcmTkItemBin& other);
    ~CDcmTkItemBin() override;

    const std::uint8_t* GetValue() const override { return m_pBuffer; }
    int GetValueLength() const override { return m_nLength; }
    const char* GetClassNameA() const override { return "CDcmTkItemBin"; }

private:
    void CopyBytes(const unsigned char* pBytes, int nLength);

    std::uint8_t* m_pBuffer = nullptr;  // owned; null for no bytes
    int m_nLength = 0;
};

// An owning list of items.
class OXUDCM_EXPORT CDcmTkItemPtrArray {
public:
    CDcmTkItemPtrArray() = default;
    CDcmTkItemPtrArray(const CDcmTkItemPtrArray&) = delete;
    CDcmTkItemPtrArray& operator=(const CDcmTkItemPtrArray&) = delete;
    virtual ~CDcmTkItemPtrArray();

    CDcmTkItem* AddItem(const DcmTagKey& key, const char* pszValue);
    CDcmTkItem* AddItem(const DcmTagKey& key, int nValue);
    CDcmTkItem* AddItem(const DcmTagKey& key, double dValue);
    CDcmTkItem* AddItem(const DcmTagKey& key, unsigned char* pBytes, int nLength);
    void ReleaseData();

    int GetSize() const { return static_cast<int>(m_apItems.size()); }
    CDcmTkItem* GetAt(int n) const { return m_apItems[static_cast<std::size_t>(n)]; }
    // Growth step as the framework's pointer arrays: 0 = count / 8 clamped to 4..1024.
    void SetGrowBy(int nGrowBy) { m_nGrowBy = nGrowBy; }

private:
    CDcmTkItem* Append(CDcmTkItem* pItem);

    std::vector<CDcmTkItem*> m_apItems;
    int m_nGrowBy = 0;
};

// Progress of a DICOM send; every operation does nothing in the base.
class OXUDCM_EXPORT CDcmTkStoreSCUCallback {
public:
    CDcmTkStoreSCUCallback() = default;
    CDcmTkStoreSCUCallback(const CDcmTkStoreSCUCallback&) = default;
    virtual ~CDcmTkStoreSCUCallback() = default;
    virtual void InitCallback(int nFiles) {}
    virtual void FinishCallback() {}
    virtual void Progress(int nDone, int nFiles) {}
    virtual void SetMessage(const char* pszMessage) {}
};
