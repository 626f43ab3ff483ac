#include "pulmetra/pulmetraview.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>
#include <QWheelEvent>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "acq_server/dicom/spirodicomexport.h"
#include "oxuctrl/oxuctrl.h"
#include "oxuutil/inifile.h"
#include "platform/codepage.h"
#include "platform/notifier.h"
#include "pulmetra/appstrings.h"
#include "viewers/common/examlist.h"
#include "pulmetra/pulmetradoc.h"
#include "pulmetra/pulmetragraphwnd.h"
#include "pulmetra/bars/resulttext.h"
#include "viewers/common/orderdialogs.h"
#include "viewers/common/printdialogs.h"
#include "viewers/common/viewerini.h"

using namespace pulmetra;

namespace {
constexpr const char* kSection = COxuPulmetraDoc::kSection;
constexpr int kMinZoom = CPulmetraGraphWnd::kMinZoom, kMaxZoom = CPulmetraGraphWnd::kMaxZoom;

QColor FromRef(COLORREF cr) {
    return QColor(int(cr & 0xFF), int((cr >> 8) & 0xFF), int((cr >> 16) & 0xFF));
}

CString Upper(CString s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// The last three characters, in capitals.
CString LastThree(const CString& s) {
    return Upper(s.size() >= 3 ? s.substr(s.size() - 3) : s);
}

bool HasExtension(const CString& strPath) {
    const auto nSlash = strPath.find_last_of('/');
    const auto nDot = strPath.find_last_of('.');
    return nDot != CString::npos && (nSlash == CString::npos || nDot > nSlash);
}

CString ReplaceExtension(const CString& strPath, const char* pszExt) {
    return (HasExtension(strPath) ? strPath.substr(0, strPath.find_last_of('.')) : strPath) +
           pszExt;
}

// ".jpg" for entry 1 of "JPEG Files(*.jpg)|*.jpg|...||"; empty for an entry not there.
CString FilterExtension(const CString& strFilter, int nEntry) {
    std::size_t nPos = 0;
    for (int i = 1; nPos != CString::npos; ++i) {
        const auto nName = strFilter.find('|', nPos);
        if (nName == CString::npos)
            break;
        const auto nEnd = strFilter.find('|', nName + 1);
        const CString strPattern =
            strFilter.substr(nName + 1, nEnd == CString::npos ? CString::npos : nEnd - nName - 1);
        if (i == nEntry)
            return strPattern.rfind("*.", 0) == 0 && strPattern != "*.*" ? strPattern.substr(1)
                                                                         : CString();
        nPos = nEnd == CString::npos ? CString::npos : nEnd + 1;
    }
    return {};
}

bool FileExists(const CString& strPath) {
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0;
}
}  // namespace

COxuPulmetraView::COxuPulmetraView(COxuPulmetraDoc& doc, IPulmetraViewHost& host, QWidget* pParent)
    : QWidget(pParent), m_doc(doc), m_host(host) {
    setObjectName("pulmetraView");
    CIniFile ini(COxuPulmetraDoc::IniPath().c_str());
    m_bPrintDiagnosis = std::atoi(ini.GetString(kSection, "PRINT_DIAGNOSIS", "1").c_str());
    m_bPrintComment = std::atoi(ini.GetString(kSection, "PRINT_COMMENT", "0").c_str());
    m_bSaveText = std::atoi(ini.GetString(kSection, "SAVE_COMMENT", "0").c_str());
}

COxuPulmetraView::~COxuPulmetraView() {
    CIniFile ini(COxuPulmetraDoc::IniPath().c_str());
    ini.WriteInt(kSection, "PRINT_DIAGNOSIS", m_bPrintDiagnosis);
    ini.WriteInt(kSection, "PRINT_COMMENT", m_bPrintComment);
    ini.WriteInt(kSection, "SAVE_COMMENT", m_bSaveText);
}

bool COxuPulmetraView::Create(std::string* pError) {
    const QFont font("Tahoma", 10);
    for (int i = 0; i < 2; ++i) {
        m_wnd[i] = new CPulmetraGraphWnd(this, 2000 + i);
        m_wnd[i]->setFont(font);
        if (!m_wnd[i]->CreateControl(pError))
            return false;
        CPulmetraGraphWnd::Host h;
        h.activate = [this](CPulmetraGraphWnd& w) { SetActiveWnd(w.GetID() - 2000); };
        h.toView = [this](int nCode, int nValue) { OnStyleMessage(nCode, nValue); };
        h.toMain = [this](int nCode, int nValue) { m_host.SendMainMessage(nCode, nValue); };
        h.postToMain = [this](unsigned nID) { m_host.PostCommand(nID); };
        h.wheel = [this](int nDelta) { OnWheel(nDelta); };
        m_wnd[i]->SetHost(std::move(h));
        m_wnd[i]->SetGridSize(static_cast<short>(10 * m_nZoom));
        ApplyPens(*m_wnd[i]);
    }
    // The windows of two lie 3 pixels apart, across the divider that the user drags.
    m_pSplit = std::make_unique<CSplitResizeHandler>(this, kGap);
    m_pSplit->AddDivider(0, m_wnd[0], m_wnd[1], 0);
    setMouseTracking(true);
    m_pTabs = new QTabBar(this);
    m_pTabs->setObjectName("3000");
    m_pTabs->setFont(font);
    m_pTabs->setExpanding(false);
    connect(m_pTabs, &QTabBar::currentChanged, this, [this](int n) { OnTabSelected(n); });
    SetLayout(0);
    return true;
}

CPulmetraGraphWnd* COxuPulmetraView::GetActiveWnd() const {
    return m_nActive >= 0 && m_nActive <= 1 ? m_wnd[m_nActive] : nullptr;
}

CExamItem* COxuPulmetraView::GetActiveExam() const {
    CPulmetraGraphWnd* p = GetActiveWnd();
    return p ? p->GetExam() : nullptr;
}

void COxuPulmetraView::SetActiveWnd(int n) {
    if (n < 0 || n > 1 || !m_wnd[n])
        return;
    m_nActive = n;
    for (int i = 0; i < 2; ++i)
        m_wnd[i]->SetActiveLook(i == n);
    update();
    if (CExamItem* p = GetActiveExam())
        SelectTab(p);
    m_doc.UpdateTitle();
    m_host.SendCommand(ID_REFRESH);
}

BOOL COxuPulmetraView::ShowExam(CExamItem* pItem, int nWnd) {
    if (nWnd < 0 || nWnd > 1)
        nWnd = m_nActive < 0 ? 0 : m_nActive;
    CPulmetraGraphWnd* w = m_wnd[nWnd];
    if (!w || !pItem)
        return FALSE;
    CExamItem* pBefore = w->GetExam();
    w->setUpdatesEnabled(false);
    // The report footer's program and maker.
    auto stamp = [w] {
        char szVersion[64];
        std::snprintf(szVersion, sizeof szVersion, "%s %s", "Qar Daro", "1.16(20160621)");
        w->SetInformation(22, szVersion);
        w->SetInformation(20, "Corvane Co., Ltd.");
    };
    stamp();
    BOOL bOk = w->OpenExam(pItem);
    if (bOk) {
        stamp();  // the footer texts also for a control that reset them with the test
    } else if (pBefore && pBefore != pItem && w->OpenExam(pBefore)) {
        stamp();
    }
    w->setUpdatesEnabled(true);
    w->update();
    if (!bOk)
        return FALSE;
    if (m_nActive < 0)
        m_nActive = nWnd;
    for (int i = 0; i < 2; ++i)
        m_wnd[i]->SetActiveLook(i == m_nActive);
    SelectTab(pItem);
    m_host.SendCommand(ID_REFRESH);
    return TRUE;
}

void COxuPulmetraView::SelectTab(CExamItem* pItem) {
    m_bInTabChange = true;
    int nFound = -1;
    for (int i = 0; i < m_pTabs->count(); ++i)
        if (m_pTabs->tabData(i).value<quintptr>() == reinterpret_cast<quintptr>(pItem))
            nFound = i;
    if (nFound < 0) {
        nFound = m_pTabs->addTab(QString::fromLocal8Bit(pItem->GetDisplayName()));
        m_pTabs->setTabData(nFound, QVariant::fromValue(reinterpret_cast<quintptr>(pItem)));
        m_pTabs->setTabToolTip(nFound, QString::fromLocal8Bit(pItem->GetPath()));
    }
    m_pTabs->setCurrentIndex(nFound);
    m_bInTabChange = false;
}

void COxuPulmetraView::OnTabSelected(int nIndex) {
    if (m_bInTabChange || nIndex < 0)
        return;
    auto* pItem = reinterpret_cast<CExamItem*>(m_pTabs->tabData(nIndex).value<quintptr>());
    if (!pItem)
        return;
    ShowExam(pItem, -1);
    m_doc.UpdateTitle();
}

void COxuPulmetraView::CloseActiveExam() {
    CExamItem* pItem = GetActiveExam();
    if (!pItem)
        return;
    // Both windows forget the item: it is deleted below.
    for (CPulmetraGraphWnd* w : m_wnd)
        if (w && w->GetExam() == pItem)
            w->ResetExam();
    m_bInTabChange = true;
    for (int i = 0; i < m_pTabs->count(); ++i)
        if (m_pTabs->tabData(i).value<quintptr>() == reinterpret_cast<quintptr>(pItem)) {
            m_pTabs->removeTab(i);
            break;
        }
    m_bInTabChange = false;
    m_doc.RemoveExam(pItem);
}

void COxuPulmetraView::CloseAllExams() {
    for (CPulmetraGraphWnd* w : m_wnd)
        if (w)
            w->ResetExam();
    m_bInTabChange = true;
    while (m_pTabs->count() > 0)
        m_pTabs->removeTab(0);
    m_bInTabChange = false;
    m_host.SendCommand(ID_REFRESH);
}

// ---- layout ----

void COxuPulmetraView::SetLayout(int nMode) {
    if (nMode < 0 || nMode > 2)
        return;
    m_nLayout = nMode;
    if (nMode != 0)
        m_pSplit->AddDivider(0, m_wnd[0], m_wnd[1],
                             nMode == 1 ? CSplitResizeHandler::kSideBySide : 0);
    if (m_nActive < 0)
        m_nActive = 0;
    if (nMode == 0 && m_nActive == 1)
        SetActiveWnd(0);
    Reposition();
    update();
}

QRect COxuPulmetraView::SeparatorRect() const {
    if (m_nLayout != 1 && m_nLayout != 2)
        return {};
    // Side by side the separator is a pixel wider than the gap, over the second window's edge.
    const QRect d = m_pSplit->GetDividerRect(0);
    return m_nLayout == 1 ? d.adjusted(0, 0, 1, 0) : d;
}

void COxuPulmetraView::Reposition() {
    if (!m_pTabs)
        return;
    if (m_bFullScreen) {
        // The active window covers the whole view, also when the window grows only after
        // full screen was entered (the window manager takes its time).
        if (CPulmetraGraphWnd* pActive = GetActiveWnd())
            pActive->setGeometry(rect());
        return;
    }
    const int w = width(), h = std::max(0, height() - kTabHeight);
    m_pTabs->setGeometry(0, h, w, kTabHeight);
    const bool bTwo = m_nLayout == 1 || m_nLayout == 2;
    if (bTwo && w > 0 && h > 0) {
        // On either side of the divider, which keeps its share of the view.
        m_pSplit->SetSpan(QRect(0, 0, w, h));
        m_pSplit->Relayout(this);
        for (CPulmetraGraphWnd* p : m_wnd)
            if (p)
                p->show();
        return;
    }
    // A window without room is hidden.
    const QRect rects[2] = {bTwo ? QRect() : QRect(0, 0, w, h), QRect()};
    for (int i = 0; i < 2; ++i) {
        if (!m_wnd[i])
            continue;
        if (rects[i].isEmpty()) {
            m_wnd[i]->hide();
        } else {
            m_wnd[i]->setGeometry(rects[i]);
            m_wnd[i]->show();
        }
    }
}

// With two windows the view's own mouse messages (the gap between them) go first to the
// divider: a drag moves it, and the separator is drawn again where it ends.
bool COxuPulmetraView::OfferToDivider(QMouseEvent* e) {
    if ((m_nLayout != 1 && m_nLayout != 2) || m_bFullScreen || !m_pSplit->OnMouseMessage(this, e))
        return false;
    update();
    e->accept();
    return true;
}

void COxuPulmetraView::mousePressEvent(QMouseEvent* e) {
    if (!OfferToDivider(e))
        QWidget::mousePressEvent(e);
}

void COxuPulmetraView::mouseMoveEvent(QMouseEvent* e) {
    if (!OfferToDivider(e))
        QWidget::mouseMoveEvent(e);
}

void COxuPulmetraView::mouseReleaseEvent(QMouseEvent* e) {
    if (!OfferToDivider(e))
        QWidget::mouseReleaseEvent(e);
}

void COxuPulmetraView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Reposition();
}

void COxuPulmetraView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (m_bFirstShow) {
        m_bFirstShow = false;
        SetLayout(0);
    }
}

void COxuPulmetraView::paintEvent(QPaintEvent*) {
    if (m_nLayout != 1 && m_nLayout != 2)
        return;
    QPainter p(this);
    const QRect r = SeparatorRect();
    p.fillRect(r, FromRef(kSeparator));
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void COxuPulmetraView::SetFullScreen(bool bOn) {
    m_bFullScreen = bOn;
    m_pTabs->setVisible(!bOn);
    if (bOn) {
        CPulmetraGraphWnd* pActive = GetActiveWnd();
        for (CPulmetraGraphWnd* w : m_wnd)
            if (w != pActive)
                w->hide();
        if (pActive)
            pActive->show();
    }
    Reposition();
}

// ---- styles and zoom ----

void COxuPulmetraView::ApplyPens(CPulmetraGraphWnd& w) {
    w.SetPenGrid(short(m_gridPen.nStyle), short(m_gridPen.nWidth), long(m_gridPen.crColour));
    w.SetPDFPenGrid(short(m_gridPen.nStyle), short(m_gridPen.nWidth), long(m_gridPen.crColour));
    w.SetPenGraph(short(m_graphPen.nStyle), short(m_graphPen.nWidth), long(m_graphPen.crColour));
    w.SetPDFPenGraph(short(m_graphPen.nStyle), short(m_graphPen.nWidth), long(m_graphPen.crColour));
    w.SetPenGraphPost(short(m_postPen.nStyle), short(m_postPen.nWidth), long(m_postPen.crColour));
    w.SetPDFPenGraphPost(short(m_postPen.nStyle), short(m_postPen.nWidth),
                         long(m_postPen.crColour));
    w.SetPenReference(short(m_referencePen.nStyle), short(m_referencePen.nWidth),
                      long(m_referencePen.crColour));
    w.SetPDFPenReference(short(m_referencePen.nStyle), short(m_referencePen.nWidth),
                         long(m_referencePen.crColour));
}

void COxuPulmetraView::ApplyZoom() {
    for (CPulmetraGraphWnd* w : m_wnd) {
        if (!w)
            continue;
        // The windows' own levels follow, so a later Ctrl-drag steps from what is shown.
        w->m_nZoom = m_nZoom;
        w->SetGridSize(static_cast<short>(10 * m_nZoom));
        if (QWidget* c = w->Widget())
            c->update();
    }
}

long COxuPulmetraView::OnStyleMessage(int nCode, int nValue) {
    CSpiroPen* pPen = nullptr;
    switch (nCode / 10) {
        case 0:
            pPen = &m_gridPen;
            break;
        case 1:
            pPen = nCode <= 13 ? &m_graphPen : &m_postPen;
            break;
        case 2:
            pPen = &m_referencePen;
            break;
        default:
            break;
    }
    if (nCode == 17) {
        m_nZoom = std::clamp(nValue, kMinZoom, kMaxZoom);
        ApplyZoom();
        return 0;
    }
    // Within a group: colour, style, width (grid 1-3, graph 11-13, post 14-16, reference 21-23).
    const int nSlot = nCode >= 14 && nCode <= 16 ? nCode - 14 : nCode % 10 - 1;
    if (!pPen || nSlot < 0 || nSlot > 2 || (nCode > 3 && nCode < 11) || nCode > 23)
        return 0;
    if (nSlot == 0)
        pPen->crColour = static_cast<COLORREF>(nValue) & 0x00FFFFFF;
    else if (nSlot == 1)
        pPen->nStyle = nValue;
    else
        pPen->nWidth = nValue;
    for (CPulmetraGraphWnd* w : m_wnd) {
        if (!w)
            continue;
        ApplyPens(*w);
        if (QWidget* c = w->Widget())
            c->update();
    }
    return 0;
}

void COxuPulmetraView::OnZoomIn() {
    m_nZoom = std::min(m_nZoom + 1, kMaxZoom);
    ApplyZoom();
    m_host.SendMainMessage(17, m_nZoom);
}

void COxuPulmetraView::OnZoomOut() {
    m_nZoom = std::max(m_nZoom - 1, kMinZoom);
    ApplyZoom();
    m_host.SendMainMessage(17, m_nZoom);
}

void COxuPulmetraView::OnWheel(int nDelta) {
    if (nDelta > 0)
        OnZoomIn();
    else if (nDelta < 0)
        OnZoomOut();
}

void COxuPulmetraView::wheelEvent(QWheelEvent* e) {
    OnWheel(e->angleDelta().y());
    e->accept();
}

void COxuPulmetraView::OnRestoreStyles() {
    m_gridPen = kGridPen;
    m_graphPen = kGraphPen;
    m_postPen = kPostPen;
    m_referencePen = kReferencePen;
    m_nZoom = kDefaultZoom;
    ApplyZoom();
    for (CPulmetraGraphWnd* w : m_wnd) {
        if (!w)
            continue;
        ApplyPens(*w);
        if (QWidget* c = w->Widget())
            c->update();
    }
    m_host.SendMainMessage(17, m_nZoom);
    m_host.SendMainMessage(30, 0);
}

// ---- graph kind and trials ----

bool COxuPulmetraView::CanFvVt() const {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w || !w->GetExam())
        return false;
    const short n = w->CFlowlin::GetTestType();
    return n == 1 || n == 4 || n == 5;
}

QString COxuPulmetraView::FvVtText() const {
    if (!CanFvVt())
        return "FV/VT";
    return GetActiveWnd()->GetFVCGraphType() != 0 ? "VT" : "FV";
}

void COxuPulmetraView::OnFvVt() {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w) {
        platform::ShowMessage(AppString(IDS_UNEXPECTED), platform::MB_ICONERROR);
        return;
    }
    w->SetFVCGraphType(w->GetFVCGraphType() ? 0 : 1);
    if (QWidget* c = w->Widget())
        c->update();
}

bool COxuPulmetraView::CanAllBest() const {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w || !w->GetExam())
        return false;
    const short n = w->CFlowlin::GetTestType();
    return w->GetTrialNum() != 1 && (n == 1 || n == 4);
}

QString COxuPulmetraView::AllBestText() const {
    if (!CanAllBest())
        return "ALL/BEST";
    return GetActiveWnd()->GetFVCGraphNum() != 0 ? "BEST" : "ALL";
}

void COxuPulmetraView::OnAllBest() {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w) {
        platform::ShowMessage(AppString(IDS_UNEXPECTED), platform::MB_ICONERROR);
        return;
    }
    w->SetFVCGraphNum(w->GetFVCGraphNum() ? 0 : 1);
    if (QWidget* c = w->Widget())
        c->update();
}

// ---- printing and the order ----

void COxuPulmetraView::OnFilePrintPreview() {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w) {
        platform::ShowMessage(AppString(IDS_UNEXPECTED), platform::MB_ICONERROR);
        return;
    }
    w->SetPrintDiagnosis(m_bPrintDiagnosis);
    w->SetPrintComment(m_bPrintComment);
    if (w->PrintPreview() == 1)
        OnFilePrint();
}

void COxuPulmetraView::OnFilePrint() {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w) {
        platform::ShowMessage(AppString(IDS_UNEXPECTED), platform::MB_ICONERROR);
        return;
    }
    CSpiroPrintDialog dlg(this);
    dlg.m_strPrinter = QString::fromLocal8Bit(m_strPrinter);
    dlg.m_bPrintInterpretation = m_bPrintDiagnosis;
    dlg.m_bPrintComments = m_bPrintComment;
    const int nResult = m_pPrompts ? m_pPrompts->RunDialog(dlg) : dlg.exec();
    if (nResult != QDialog::Accepted)
        return;
    m_strPrinter = dlg.m_strPrinter.toLocal8Bit().toStdString();
    m_bPrintDiagnosis = dlg.m_bPrintInterpretation;
    m_bPrintComment = dlg.m_bPrintComments;
    w->SetPrintDiagnosis(m_bPrintDiagnosis);
    w->SetPrintComment(m_bPrintComment);
    if (w->PrintEx(m_strPrinter.c_str(), static_cast<short>(std::clamp(dlg.m_nCopies, 0, 32767))) <
        0)
        platform::ShowMessage(AppString(IDS_PRINT_FAILED), platform::MB_ICONERROR);
}

void COxuPulmetraView::OnFilePrintDirect() {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w) {
        platform::ShowMessage(AppString(IDS_UNEXPECTED), platform::MB_ICONERROR);
        return;
    }
    w->SetPrintDiagnosis(m_bPrintDiagnosis);
    w->SetPrintComment(m_bPrintComment);
    if (w->PrintEx(m_strPrinter.c_str(), 1) < 0)
        platform::ShowMessage(AppString(IDS_PRINT_FAILED), platform::MB_ICONERROR);
}

void COxuPulmetraView::OnSendRecord() {
    CViewerIni ini("Pulmetra");
    CSendRecordDialog dlg(ini, this);
    if (m_pPrompts)
        m_pPrompts->RunDialog(dlg);
    else
        dlg.exec();
}

void COxuPulmetraView::OnFileOpen() {
    m_doc.OnFileOpen();
}

// ---- Save As ----

CString COxuPulmetraView::SaveFilter(const CString& strRecordPath) {
    CString strFilter = "JPEG Files(*.jpg)|*.jpg|PDF Files(*.pdf)|*.pdf|Dicom Files (*.dcm)|*.dcm|";
    const CString strType = LastThree(strRecordPath);
    if (strType == "FVC" || strType == "SVC" || strType == "MVV") {
        CString strLower = strType;
        std::transform(strLower.begin(), strLower.end(), strLower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        strFilter += strType + " Files (*." + strLower + ")|*." + strLower + "|";
    }
    return strFilter + "|";
}

CString COxuPulmetraView::DefaultSaveName(const CString& strRecordPath, int nTestType) {
    CString strBase =
        strRecordPath.size() >= 3 ? strRecordPath.substr(0, strRecordPath.size() - 3) : CString();
    if (!strBase.empty() && strBase.back() == '.')
        strBase.pop_back();
    return strBase + (nTestType == 2 ? "_svc" : nTestType == 3 ? "_mvv" : "_fvc");
}

void COxuPulmetraView::OnFileSaveAs() {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w || !w->GetExam()) {
        platform::ShowMessage(AppString(IDS_UNEXPECTED), platform::MB_ICONERROR);
        return;
    }
    if (!m_pPrompts)
        return;
    const CString strRecord = w->GetRecordPath();
    const CString strFilter = SaveFilter(strRecord);
    CString strProposed = DefaultSaveName(strRecord, w->CFlowlin::GetTestType());
    CString strPath;
    while (true) {
        BOOL bSaveText = m_bSaveText;
        int nFilter = 1;
        strPath = m_pPrompts->AskSavePath(strProposed, strFilter, bSaveText, nFilter);
        if (strPath.empty())
            return;
        m_bSaveText = bSaveText;
        CIniFile(COxuPulmetraDoc::IniPath().c_str())
            .WriteInt(kSection, "SAVE_COMMENT", m_bSaveText);
        const auto nSlash = strPath.find_last_of('/');
        const CString strName = nSlash == CString::npos ? strPath : strPath.substr(nSlash + 1);
        // A name without extension gets the chosen type's: the record's own type too, so that
        // the copy is one the viewer opens again.
        if (strName.find('.') == CString::npos)
            strPath += FilterExtension(strFilter, nFilter);
        if (!FileExists(strPath))
            break;
        // The question is Korean whatever the installation's code page: put together as UTF-8,
        // the file name converted from the installation's code page.
        char szText[4096];
        std::snprintf(szText, sizeof szText, AppStringUtf8(IDS_OVERWRITE).c_str(),
                      platform::ToUtf8(strPath).c_str());
        if (platform::ShowMessageInCodePage(
                szText, "UTF-8", platform::MB_YESNO | platform::MB_ICONQUESTION) == platform::IDYES)
            break;
        strProposed = strPath;  // back to the dialog
    }
    SaveToPath(strPath);
}

BOOL COxuPulmetraView::SaveToPath(const CString& strPath) {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w || !w->GetExam()) {
        platform::ShowMessage(AppString(IDS_UNEXPECTED), platform::MB_ICONERROR);
        return FALSE;
    }
    const CString strKind = LastThree(strPath);
    bool bOk = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (strKind == "JPG") {
        bOk = w->CFlowlin::SaveJPEG(strPath.c_str(), 600) >= 0;
    } else if (strKind == "PDF") {
        bOk = w->SavePDF(strPath.c_str(), 600) >= 0;
    } else if (strKind == "DCM") {
        // The test the window holds, by the path the view keeps and the kind the control
        // reports, whatever the DICOM file is called; a failed export is a failed save.
        dicomexport::CExportSettings settings;
        settings.strProfileKey = "Corvane/Pulmetra";
        CSpiroDicomExport exporter(settings);
        bOk = exporter.MakeDicomFile(w->GetRecordPath(), strPath, *w, m_nDicomImageType) != 0;
    } else {
        bOk = w->Save(strPath.c_str()) >= 0;
    }
    if (bOk && m_bSaveText && (strKind == "JPG" || strKind == "PDF" || strKind == "DCM"))
        bOk = WriteResultText(ReplaceExtension(strPath, ".txt")) != FALSE;
    QApplication::restoreOverrideCursor();
    platform::ShowMessage(AppString(bOk ? IDS_EXAM_SAVED : IDS_SAVE_FAILED),
                          bOk ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR);
    return bOk ? TRUE : FALSE;
}

BOOL COxuPulmetraView::WriteResultText(const CString& strPath) {
    CPulmetraGraphWnd* w = GetActiveWnd();
    if (!w || !w->GetExam())
        return FALSE;
    // Written beside the target under a private name and renamed over it only when whole:
    // a failed write leaves no half report and no earlier one replaced.
    return pulmetra::WriteResultText(static_cast<CFlowlin&>(*w), strPath) ? TRUE : FALSE;
}
