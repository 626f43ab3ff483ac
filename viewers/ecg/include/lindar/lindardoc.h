#pragma once
// The one document of Lindar: the list of open exams.
#include <functional>

#include "viewers/common/examlist.h"

class COxuLindarView;

class COxuLindarDoc {
public:
    enum : unsigned { ID_CLOSE = 32801, ID_CLOSE_ALL = 32807 };

    void SetView(COxuLindarView* p) { m_pView = p; }
    // Called with the new title whenever it changes.
    void SetTitleHandler(std::function<void(const CString&)> h) { m_onTitle = std::move(h); }

    BOOL OpenExam(const CString& strPath, int nPane);
    // The road of the shell's open requests and of files dropped on the frame: the file must
    // be readable, then it opens as an exam in pane 0.
    BOOL OnOpenDocument(const CString& strPath);
    void RemoveExam(CExamItem* pItem) { m_list.Remove(pItem); }
    void UpdateTitle();
    void OnClose();
    void OnCloseAll();
    bool CanClose() const;
    bool CanCloseAll() const { return m_list.GetSize() > 0; }

    const CString& GetTitle() const { return m_strTitle; }
    void SetTitle(const CString& s);
    CExamList& List() { return m_list; }

private:
    CExamList m_list;
    COxuLindarView* m_pView = nullptr;
    CString m_strTitle;
    std::function<void(const CString&)> m_onTitle;
};
