#include "lindar/lindargraphwnd.h"

#include <QResizeEvent>
#include <cstdlib>

#include "lindar/lindarstrings.h"
#include "platform/notifier.h"
#include "viewers/common/examlist.h"
#include "viewers/common/viewerini.h"

CLindarGraphWnd::CLindarGraphWnd(QWidget* pParent, int nID) : QWidget(pParent), m_nID(nID) {}

CLindarGraphWnd::~CLindarGraphWnd() {
    Destroy();
}

bool CLindarGraphWnd::Create(std::string* pError) {
    if (!CWavelin::Create(this, static_cast<UINT>(m_nID), pError, CWavelin::kLibraryName))
        return false;
    if (QWidget* w = Widget()) {
        w->setGeometry(rect());
        w->show();
    }
    return true;
}

int CLindarGraphWnd::OpenExam(CExamItem* pItem) {
    if (!pItem)
        return 0;
    // An empty item is not offered to the control.
    const int nResult = pItem->IsValid() ? EKGOpenFile(pItem->GetPath().c_str()) : 0;
    if (nResult == 1) {
        m_pExam = pItem;
        return 1;
    }
    if (nResult == 0)
        platform::ShowMessage(lindar::LoadStr(lindar::IDS_OPEN_FAILED), platform::MB_ICONERROR);
    // Any other answer of the control is handed back as it is, the item not kept.
    return nResult;
}

CExamItem* CLindarGraphWnd::CloseExam() {
    CExamItem* pShown = m_pExam;
    m_pExam = nullptr;
    EKGClearGraph();
    return pShown;
}

short CLindarGraphWnd::CellSizeOf(const CString& strSize) {
    switch (std::atoi(strSize.c_str())) {
        case 800:
            return 3;
        case 1024:
            return 4;
        case 1280:
            return 5;
        case 1600:
            return 6;
        default:
            return 2;
    }
}

short CLindarGraphWnd::GetCellSizeSetting(bool bFullScreen) {
    const CViewerIni ini("Lindar");
    return CellSizeOf(bFullScreen ? ini.GetString(kEkgView, "DISP_FULL_SIZE", "1024 x 768")
                                  : ini.GetString(kEkgView, "DISP_DEFAULT_SIZE", "800 x 600"));
}

void CLindarGraphWnd::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (QWidget* w = Widget())
        w->setGeometry(rect());
}
