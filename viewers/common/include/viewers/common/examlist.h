#pragma once
// The open exams of a viewer: one item per record or test file, owned by the list.
#include <vector>

#include "platform/wintypes.h"

class CExamItem {
public:
    virtual ~CExamItem() = default;
    // The full path, or "Empty" for an item without one.
    virtual CString GetTitle() const;
    // "[name]" of the path's file name, or "Empty".
    virtual CString GetDisplayName() const;
    virtual int GetTag() const { return m_nTag; }
    virtual void SetTag(int n) { m_nTag = n; }
    virtual int IsValid() const { return m_nValid; }
    virtual void SetValid(int n) { m_nValid = n; }
    virtual CString GetPath() const { return m_strPath; }
    virtual void SetPath(const CString& str) { m_strPath = str; }

private:
    int m_nValid = 0;
    int m_nTag = 0;
    CString m_strPath;
};

class CExamList {
public:
    CExamList() = default;
    ~CExamList() { RemoveAll(); }
    CExamList(const CExamList&) = delete;
    CExamList& operator=(const CExamList&) = delete;

    int GetSize() const { return m_nSize; }
    int GetCapacity() const { return static_cast<int>(m_slots.size()); }
    CExamItem* GetAt(int n) const { return n >= 0 && n < m_nSize ? m_slots[n] : nullptr; }
    // Appends (the list owns the item from here on); grows by the set step, else by
    // size / 8 within 4..1024.
    int Add(CExamItem* pItem);
    void SetGrowBy(int n) { m_nGrowBy = n; }
    void RemoveAll();
    // Deletes the item held in the list and closes the gap; TRUE in every case.
    BOOL Remove(CExamItem* pItem);
    // TRUE while the item is one of the list's (not removed and deleted since).
    bool Holds(const CExamItem* pItem) const;
    // The first valid item whose path names the same file. Files, not letter case: on
    // Linux "A.fvc" and "a.fvc" are two records; "./a.ekg" and a link to it are one.
    CExamItem* FindByPath(const CString& strPath) const;

private:
    std::vector<CExamItem*> m_slots;
    int m_nSize = 0;
    int m_nGrowBy = -1;
};
