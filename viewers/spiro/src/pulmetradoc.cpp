#include "pulmetra/pulmetradoc.h"

#include "oxuutil/inifile.h"
#include "platform/folders.h"
#include "platform/notifier.h"
#include "pulmetra/appstrings.h"
#include "pulmetra/pulmetragraphwnd.h"
#include "pulmetra/pulmetraview.h"

using namespace pulmetra;

COxuPulmetraDoc::COxuPulmetraDoc() {
    WriteDefaults();
}

CString COxuPulmetraDoc::IniPath() {
    return platform::HomeDir("Pulmetra") + "Pulmetra.ini";
}

void COxuPulmetraDoc::WriteDefaults() {
    CIniFile ini(IniPath().c_str());
    if (ini.GetString(kSection, "CACHE_FOLDER", "").empty())
        ini.WriteString(kSection, "CACHE_FOLDER",
                        (platform::HomeDir("Pulmetra") + "Cache").c_str());
    if (ini.GetString(kSection, "FILE_SERVER", "").empty())
        ini.WriteString(kSection, "FILE_SERVER", "127.0.0.1");
    if (ini.GetInt(kSection, "FILE_SERVER_PORT", 0) <= 0)
        ini.WriteInt(kSection, "FILE_SERVER_PORT", 6003);
}

void COxuPulmetraDoc::SetTitle(const CString& s) {
    m_strTitle = s;
    if (m_onTitle)
        m_onTitle(m_strTitle);
}

BOOL COxuPulmetraDoc::OpenExam(const CString& strPath, int nWnd) {
    if (!m_pView)
        return FALSE;
    if (CExamItem* pFound = m_list.FindByPath(strPath)) {
        platform::ShowMessage(AppString(IDS_EXAM_OPEN), platform::MB_ICONINFORMATION);
        m_pView->ShowExam(pFound, nWnd);
        UpdateTitle();
        return TRUE;
    }
    auto* pItem = new CExamItem;
    pItem->SetValid(1);
    pItem->SetPath(strPath);
    if (!m_pView->ShowExam(pItem, nWnd)) {
        delete pItem;
        return FALSE;
    }
    m_list.Add(pItem);
    UpdateTitle();
    return TRUE;
}

void COxuPulmetraDoc::UpdateTitle() {
    CExamItem* pCur = m_pView ? m_pView->GetActiveExam() : nullptr;
    SetTitle(pCur ? pCur->GetDisplayName() : AppString(IDS_EMPTY_TITLE));
}

bool COxuPulmetraDoc::CanClose() const {
    return (m_pView && m_pView->GetActiveExam() != nullptr) || m_list.GetSize() > 0;
}

void COxuPulmetraDoc::OnClose() {
    if (!m_pView)
        return;
    m_pView->CloseActiveExam();
    if (m_list.GetSize() == 0)
        m_pView->CloseAllExams();  // empties the windows and refreshes the bars (32772)
    else
        m_pView->ShowExam(m_list.GetAt(m_list.GetSize() - 1), -1);
    UpdateTitle();
}

void COxuPulmetraDoc::OnCloseAll() {
    if (m_pView)
        m_pView->CloseAllExams();
    m_list.RemoveAll();
    UpdateTitle();
}

void COxuPulmetraDoc::OnFileOpen() {
    if (!m_pView || !m_pView->Prompts())
        return;
    const CString strPath = m_pView->Prompts()->AskOpenPath();
    if (!strPath.empty())
        OpenExam(strPath, -1);
    UpdateTitle();
}
