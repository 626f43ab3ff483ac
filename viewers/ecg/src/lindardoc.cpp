#include "lindar/lindardoc.h"

#include "lindar/lindarstrings.h"
#include "lindar/lindarview.h"
#include "platform/notifier.h"

#include <unistd.h>

using namespace lindar;

void COxuLindarDoc::SetTitle(const CString& s) {
    m_strTitle = s;
    if (m_onTitle)
        m_onTitle(m_strTitle);
}

BOOL COxuLindarDoc::OpenExam(const CString& strPath, int nPane) {
    if (!m_pView)
        return FALSE;
    if (CExamItem* pFound = m_list.FindByPath(strPath)) {
        platform::ShowMessage(LoadStr(IDS_EXAM_OPEN), platform::MB_ICONINFORMATION);
        m_pView->LoadExam(pFound, nPane);
        UpdateTitle();
        return TRUE;
    }
    auto* pItem = new CExamItem;
    pItem->SetValid(1);
    pItem->SetPath(strPath);
    if (!m_pView->LoadExam(pItem, nPane)) {
        delete pItem;
        return FALSE;
    }
    m_list.Add(pItem);
    UpdateTitle();
    return TRUE;
}

void COxuLindarDoc::UpdateTitle() {
    CExamItem* pCur = m_pView ? m_pView->GetCurrentExam() : nullptr;
    SetTitle(pCur ? pCur->GetTitle() : LoadStr(IDS_EMPTY_TITLE));
}

bool COxuLindarDoc::CanClose() const {
    return m_pView && m_pView->GetCurrentExam() != nullptr;
}

void COxuLindarDoc::OnClose() {
    if (!CanClose())
        return;
    m_pView->CloseCurrentExam();
    if (m_list.GetSize() > 0)
        m_pView->LoadExam(m_list.GetAt(m_list.GetSize() - 1), 0);
    else
        m_pView->CloseAllExams();  // clears the panes and refreshes the frame
    UpdateTitle();
}

void COxuLindarDoc::OnCloseAll() {
    if (m_pView)
        m_pView->CloseAllExams();
    m_list.RemoveAll();
    UpdateTitle();
}

BOOL COxuLindarDoc::OnOpenDocument(const CString& strPath) {
    if (access(strPath.c_str(), R_OK) != 0) {
        platform::ShowMessage(lindar::LoadStr(lindar::IDS_OPEN_FAILED), platform::MB_ICONERROR);
        return FALSE;
    }
    return OpenExam(strPath, 0);
}
