#include "lindar/lindargraphwnd.h"

#include <QResizeEvent>

#include "ecg_control/wavelin_dispids.h"
#include "viewers/common/examlist.h"
#include "lindar/lindarstrings.h"
#include "platform/folders.h"
#include "platform/notifier.h"

#include <unistd.h>

using platform::Variant;
using namespace wavelin;

CLindarGraphWnd::CLindarGraphWnd(QWidget* pParent, int nID) : QWidget(pParent), m_nID(nID) {}

CLindarGraphWnd::~CLindarGraphWnd() {
    if (m_pCtrl)
        m_pCtrl->SetEventSink(nullptr);
    m_pCtrl.reset();
}

bool CLindarGraphWnd::Create(std::string* pError) {
    std::string strError;
    m_pCtrl = platform::CreateControl(kClsid, this, &strError);
    platform::ControlRegistration reg;
    if (!m_pCtrl && !platform::FindControl(kClsid, reg)) {
        // A user for whom the control was never registered: the control installed beside
        // the program is registered as the installer would, then created.
        const std::string strLib = platform::ProgramDir() + "libWavelin.so";
        if (access(strLib.c_str(), R_OK) == 0 &&
            platform::RegisterControl({kProgId, kClsid, strLib}))
            m_pCtrl = platform::CreateControl(kClsid, this, &strError);
    }
    if (!m_pCtrl) {
        if (pError)
            *pError = strError;
        return false;
    }
    m_pCtrl->SetEventSink(this);
    if (QWidget* w = m_pCtrl->Widget()) {
        w->setGeometry(rect());
        w->show();
    }
    return true;
}

QWidget* CLindarGraphWnd::ControlWidget() const {
    return m_pCtrl ? m_pCtrl->Widget() : nullptr;
}

Variant CLindarGraphWnd::Call(platform::DISPID id, std::vector<Variant> args) {
    Variant r;
    if (!m_pCtrl || m_pCtrl->Invoke(id, args, &r) != platform::DISP_OK)
        return Variant();
    return r;
}

int CLindarGraphWnd::OpenExam(CExamItem* pItem) {
    if (!pItem)
        return 0;
    // An empty item is not offered to the control.
    const int nResult =
        pItem->IsValid() ? Call(DISPID_EKGOpenFile, {pItem->GetPath()}).AsLong() : 0;
    if (nResult == 1) {
        m_pExam = pItem;
        return 1;
    }
    if (nResult == 0)
        platform::ShowMessage(lindar::LoadStr(lindar::IDS_OPEN_FAILED), platform::MB_ICONERROR);
    // Any other answer of the control is handed back as it is, the item not kept.
    return nResult;
}

void CLindarGraphWnd::ClearExam() {
    m_pExam = nullptr;
    Call(DISPID_EKGClearGraph);
}

CString CLindarGraphWnd::EKGGetPatientInfo(short n) {
    return Call(DISPID_EKGGetPatientInfo, {n}).AsText();
}
CString CLindarGraphWnd::EKGGetMisc(short n) {
    return Call(DISPID_EKGGetMisc, {n}).AsText();
}
CString CLindarGraphWnd::EKGGetTime() {
    return Call(DISPID_EKGGetTime).AsText();
}
BOOL CLindarGraphWnd::EKGMakeImage(const CString& p, short a, short b, short c, short w, short f) {
    return Call(DISPID_EKGMakeImage, {p, a, b, c, w, f}).AsBool();
}
BOOL CLindarGraphWnd::EKGMakeImageBMP(const CString& p, short a, short b, short c, short w,
                                      short f) {
    return Call(DISPID_EKGMakeImageBMP, {p, a, b, c, w, f}).AsBool();
}

void CLindarGraphWnd::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (QWidget* w = ControlWidget())
        w->setGeometry(rect());
}

void CLindarGraphWnd::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
}

void CLindarGraphWnd::OnEvent(platform::DISPID dispid, const std::vector<Variant>& args) {
    if (m_onEvent)
        m_onEvent(m_nID, dispid, args);
}
