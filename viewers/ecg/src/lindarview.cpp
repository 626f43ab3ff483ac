#include "lindar/lindarview.h"

#include <QApplication>
#include <QFormLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <unistd.h>

#include "acq_server/dicom/ekgdicomexport.h"
#include "ecg_control/wavelin_dispids.h"
#include "viewers/common/examlist.h"
#include "lindar/lindardialogs.h"
#include "lindar/lindardoc.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/lindarstrings.h"
#include "platform/folders.h"
#include "platform/notifier.h"
#include "oxuctrl/oxuctrl.h"
#include "viewers/common/readoutdialog.h"
#include "viewers/common/receivedialog.h"

using platform::Variant;
using namespace wavelin;
using namespace lindar;

namespace {
constexpr const char* kSection = "EKG_VIEW";
constexpr const char* kVersion = "Qar Daro Ver 1.16(20160621)";
constexpr int kTabHeight = 20;

Variant Colour(COLORREF cr) {
    return Variant(static_cast<std::int32_t>(cr));
}

int ZoomCell(int n) {
    return n == 1 ? 15 : n == 2 ? 20 : 10;
}
int ZoomGrid(int n) {
    return n == 0 ? 3 : n == 2 ? 5 : 4;
}

CString UpperExt(const CString& strPath) {
    const auto nSlash = strPath.find_last_of('/');
    const auto nDot = strPath.find_last_of('.');
    if (nDot == CString::npos || (nSlash != CString::npos && nDot < nSlash))
        return {};
    CString s = strPath.substr(nDot + 1);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}
}  // namespace

COxuLindarView::COxuLindarView(COxuLindarDoc& doc, IViewHost& host, QWidget* pParent)
    : QWidget(pParent), m_doc(doc), m_host(host) {
    CIniFile ini = Ini();
    m_nJpegSize = std::atoi(ini.GetString(kSection, "JPEG_SIZE", "3").c_str());
    m_nZoomRatio = std::atoi(ini.GetString(kSection, "ZOOM_RATIO", "1").c_str());
    m_nZoomArea = std::atoi(ini.GetString(kSection, "ZOOM_AREA", "1").c_str());
    m_nSaveComment = std::atoi(ini.GetString(kSection, "SAVE_COMMENT", "1").c_str());
    setAutoFillBackground(false);
}

COxuLindarView::~COxuLindarView() = default;

// In layout 2 the view's own mouse messages (the gap between the panes) go first to the
// divider: a drag moves it, a finished drag repaints the frames round the panes.
bool COxuLindarView::OfferToDivider(QMouseEvent* e) {
    if (m_nLayout != 2 || !m_pSplit || !m_pSplit->OnMouseMessage(this, e))
        return false;
    if (e->type() == QEvent::MouseButtonRelease)
        update();
    e->accept();
    return true;
}

void COxuLindarView::mousePressEvent(QMouseEvent* e) {
    if (!OfferToDivider(e))
        QWidget::mousePressEvent(e);
}

void COxuLindarView::mouseMoveEvent(QMouseEvent* e) {
    if (!OfferToDivider(e))
        QWidget::mouseMoveEvent(e);
}

void COxuLindarView::mouseReleaseEvent(QMouseEvent* e) {
    if (!OfferToDivider(e))
        QWidget::mouseReleaseEvent(e);
}

CIniFile COxuLindarView::Ini() const {
    return CIniFile((platform::HomeDir("Lindar") + "Lindar.ini").c_str());
}

int COxuLindarView::JpegWidth(int n) {
    static const int widths[] = {800, 900, 1024, 1280, 1600, 2700};
    return n >= 0 && n <= 5 ? widths[n] : 1024;
}

bool COxuLindarView::Create(std::string* pError) {
    const short nCell = CLindarGraphWnd::GetCellSizeSetting(false);
    const short nFull = CLindarGraphWnd::GetCellSizeSetting(true);
    for (int i = 0; i < 3; ++i) {
        m_panes[i] = new CLindarGraphWnd(this, 2000 + i);
        if (!m_panes[i]->Create(pError))
            return false;
        m_panes[i]->SetEventHandler(
            [this](UINT id, platform::DISPID ev, const std::vector<Variant>& a) {
                OnControlEvent(static_cast<int>(id), ev, a);
            });
        if (i < 2)
            WatchPane(*m_panes[i]);
        CLindarGraphWnd& p = *m_panes[i];
        p.EKGSetBackColor(0xffffff);
        if (i < 2) {
            p.EKGInitialize(1, 3, 2, 1, nCell, 1);
            if (i == 0)
                p.EKGSetIPExchangeType(16);
        } else {
            p.EKGSetCellSize(nFull);
            p.hide();
        }
    }
    // The divider of layout 2, between pane 0 above and pane 1 below.
    m_pSplit = std::make_unique<CSplitResizeHandler>(this);
    m_pSplit->AddDivider(0, m_panes[0], m_panes[1], 0);
    setMouseTracking(true);
    // The readout popup, hidden until the measuring tool is on.
    m_pReadout = new CMeasureReadoutDialog(this);
    m_pReadout->hide();

    m_pTabs = new QTabBar(this);
    m_pTabs->setObjectName("3000");  // the tab strip's control id
    m_pTabs->setFont(QFont("Tahoma", 10));
    connect(m_pTabs, &QTabBar::currentChanged, this, [this](int n) { OnTabSelected(n); });
    m_nLayout = 0;
    Reposition();
    return true;
}

void COxuLindarView::ShowReadout() {
    // Over the top right corner of the current pane, never over the menus and bars.
    CLindarGraphWnd* pCur = GetCurrentGraph();
    QWidget* pArea = pCur ? static_cast<QWidget*>(pCur) : this;
    m_pReadout->adjustSize();
    const QPoint at(std::max(0, pArea->width() - m_pReadout->width() - 8), 8);
    m_pReadout->move(pArea->mapToGlobal(at));
    m_pReadout->show();
}

void COxuLindarView::ClearReadout() {
    m_pReadout->SetHeight(0);
    m_pReadout->hide();
}

CLindarGraphWnd* COxuLindarView::GetCurrentGraph() const {
    const int nMax = m_nLayout == 0 ? 0 : 1;
    if (m_nCurPane < 0 || m_nCurPane > nMax || !m_panes[m_nCurPane])
        return nullptr;
    return m_panes[m_nCurPane];
}

CExamItem* COxuLindarView::GetCurrentExam() const {
    CLindarGraphWnd* p = GetCurrentGraph();
    return p ? p->m_pExam : nullptr;
}

void COxuLindarView::SetCurrentPane(int n) {
    if (n < 0 || n > 1 || (n == 1 && m_nLayout == 0))
        return;
    m_nCurPane = n;
    update();
    if (CExamItem* p = GetCurrentExam())
        ShowExamTab(p);
    m_doc.UpdateTitle();
    m_host.PostCommand(ID_REFRESH);
}

int COxuLindarView::GetChType() const {
    auto* p = GetCurrentGraph();
    return p ? p->m_nChType : -1;
}
int COxuLindarView::GetRhyCh() const {
    auto* p = GetCurrentGraph();
    return p ? p->m_nRhyCh : -1;
}
int COxuLindarView::GetGain() const {
    auto* p = GetCurrentGraph();
    return p ? p->m_nGain : -1;
}
int COxuLindarView::GetSpeed() const {
    auto* p = GetCurrentGraph();
    return p ? p->m_nSpeed : -1;
}

BOOL COxuLindarView::LoadExam(CExamItem* pItem, int nPane) {
    if (nPane < 0 || nPane > 1)
        nPane = 0;
    CLindarGraphWnd* pWnd = m_panes[nPane];
    if (!pWnd)
        return FALSE;
    CExamItem* pBefore = pWnd->m_pExam;
    if (pWnd->OpenExam(pItem) != 1) {
        if (pBefore && pBefore != pItem)
            m_panes[0]->OpenExam(pBefore);
        return FALSE;
    }
    // The exam just shown is the one whose tab is selected, so its pane is the one that
    // Save As, Print, the bars and the title act on (a hand-over comes into pane 0 while
    // pane 1 may be current).
    if (nPane != m_nCurPane && (nPane == 0 || m_nLayout != 0)) {
        m_nCurPane = nPane;
        update();
    }
    ShowExamTab(pItem);
    m_host.SendCommand(ID_REFRESH);
    return TRUE;
}

void COxuLindarView::ShowExamTab(CExamItem* pItem) {
    m_bInTabChange = true;
    int nFound = -1;
    for (int i = 0; i < m_pTabs->count(); ++i)
        if (m_pTabs->tabData(i).value<quintptr>() == reinterpret_cast<quintptr>(pItem))
            nFound = i;
    if (nFound < 0) {
        nFound = m_pTabs->addTab(QString::fromLocal8Bit(pItem->GetDisplayName()));
        m_pTabs->setTabData(nFound, QVariant::fromValue(reinterpret_cast<quintptr>(pItem)));
        m_pTabs->setTabToolTip(nFound, QString::fromLocal8Bit(pItem->GetTitle()));
    }
    m_pTabs->setCurrentIndex(nFound);
    m_bInTabChange = false;
}

void COxuLindarView::OnTabSelected(int nIndex) {
    if (m_bInTabChange || nIndex < 0)
        return;
    auto* pItem = reinterpret_cast<CExamItem*>(m_pTabs->tabData(nIndex).value<quintptr>());
    if (!pItem)
        return;
    LoadExam(pItem, m_nCurPane);
    if (IsFullScreen())
        m_panes[2]->OpenExam(pItem);
    m_doc.UpdateTitle();
}

void COxuLindarView::CloseCurrentExam() {
    CExamItem* pItem = GetCurrentExam();
    if (!pItem)
        return;
    // Every window that shows the exam forgets it, the full-screen one too: the item is
    // deleted below.
    for (CLindarGraphWnd* w : m_panes)
        if (w && w->m_pExam == pItem)
            w->CloseExam();
    m_bInTabChange = true;
    for (int i = 0; i < m_pTabs->count(); ++i)
        if (m_pTabs->tabData(i).value<quintptr>() == reinterpret_cast<quintptr>(pItem)) {
            m_pTabs->removeTab(i);
            break;
        }
    m_bInTabChange = false;
    m_doc.RemoveExam(pItem);
}

void COxuLindarView::CloseAllExams() {
    for (CLindarGraphWnd* w : m_panes)
        if (w)
            w->CloseExam();
    m_host.SendCommand(ID_REFRESH);
    m_bInTabChange = true;
    while (m_pTabs->count() > 0)
        m_pTabs->removeTab(0);
    m_bInTabChange = false;
}

long COxuLindarView::OnBarChange(int nCode, int nValue) {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur)
        return -1;
    const short v = static_cast<short>(nValue);
    switch (nCode) {
        case 1:
            pCur->m_nChType = nValue;
            pCur->EKGSetChType(v);
            break;
        case 2:
            pCur->m_nRhyCh = nValue;
            pCur->EKGSetRhyCh(v);
            break;
        case 3:
            pCur->m_nGain = nValue;
            pCur->EKGSetGain(v);
            break;
        case 4:
            pCur->m_nSpeed = nValue;
            pCur->EKGSetSpeed(v);
            break;
        case 5:
            m_gridPen.crColour = static_cast<COLORREF>(nValue);
            break;
        case 6:
            m_gridPen.nStyle = nValue;
            break;
        case 7:
            m_gridPen.nWidth = nValue;
            break;
        case 8:
            m_innerPen.crColour = static_cast<COLORREF>(nValue);
            break;
        case 9:
            m_innerPen.nStyle = nValue;
            break;
        case 10:
            m_innerPen.nWidth = nValue;
            break;
        case 11:
            m_tracePen.crColour = static_cast<COLORREF>(nValue);
            break;
        case 12:
            m_tracePen.nStyle = nValue;
            break;
        case 13:
            m_tracePen.nWidth = nValue;
            break;
        case 20:
            m_crBack = static_cast<COLORREF>(nValue);
            break;
        default:
            return 0;
    }
    for (int i = 0; i < 2; ++i) {
        CLindarGraphWnd& w = *m_panes[i];
        if (nCode >= 5 && nCode <= 7)
            ApplyGridPen(w);
        else if (nCode >= 8 && nCode <= 10)
            ApplyInnerPen(w);
        else if (nCode >= 11 && nCode <= 13)
            ApplyTracePen(w);
        else if (nCode == 20)
            ApplyBackground(w);
    }
    return 0;
}

// Each screen pen goes to the control's drawing and to its PDF output.
void COxuLindarView::ApplyGridPen(CLindarGraphWnd& w) {
    const CPen& p = m_gridPen;
    w.EKGSetGridPen(short(p.nStyle), short(p.nWidth), long(p.crColour));
    w.SetGrid(short(p.nStyle), short(p.nWidth), long(p.crColour));
}

void COxuLindarView::ApplyInnerPen(CLindarGraphWnd& w) {
    const CPen& p = m_innerPen;
    w.EKGSetGridInnerPen(short(p.nStyle), short(p.nWidth), long(p.crColour));
    w.SetGrid_Inner(short(p.nStyle), short(p.nWidth), long(p.crColour));
}

void COxuLindarView::ApplyTracePen(CLindarGraphWnd& w) {
    const CPen& p = m_tracePen;
    w.EKGSetGraphPen(short(p.nStyle), short(p.nWidth), long(p.crColour));
    w.SetGraph(short(p.nStyle), short(p.nWidth), long(p.crColour));
}

void COxuLindarView::ApplyBackground(CLindarGraphWnd& w) {
    w.EKGSetBackColor(long(m_crBack));
    w.SetBackColor(long(m_crBack));
}

void COxuLindarView::SetMiscTexts(CLindarGraphWnd& w, bool bVersion) {
    w.EKGSetMisc(3, bVersion ? kVersion : LoadStr(IDS_PRODUCT).c_str());
    w.EKGSetMisc(2, LoadStr(IDS_COMPANY).c_str());
}

void COxuLindarView::ApplyFlags(CLindarGraphWnd& w, const std::array<int, 4>& f) {
    w.EKGSetPrintDiag(short(f[0]));
    w.EKGSetPrintParam(short(f[1]));
    w.EKGSetPrintComment(short(f[2]));
    w.EKGSetPrintPacemaker(short(f[3]));
}

void COxuLindarView::OnFileOpen() {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || !m_pPrompts)
        return;
    const CString strPath = m_pPrompts->AskOpenPath();
    if (!strPath.empty()) {
        SetMiscTexts(*pCur, false);
        m_doc.OpenExam(strPath, m_nCurPane);
    }
    m_doc.UpdateTitle();
}

CLindarGraphWnd* COxuLindarView::PaneShowing(CExamItem* pItem, int nPane) {
    if (nPane < 0 || nPane > 1 || !m_panes[nPane] || !m_doc.List().Holds(pItem))
        return nullptr;
    if (m_panes[nPane]->m_pExam != pItem) {
        if (!LoadExam(pItem, nPane))
            return nullptr;
        m_doc.UpdateTitle();
    }
    return m_panes[nPane];
}

void COxuLindarView::OnFileSaveAs() {
    CExamItem* pItem = GetCurrentExam();
    if (!pItem || !m_pPrompts)
        return;
    const int nPane = m_nCurPane;
    CString strProposed = pItem->GetPath();
    const auto nDot = strProposed.find_last_of('.');
    strProposed = nDot == CString::npos ? CString() : strProposed.substr(0, nDot);
    std::array<int, 4> flags = m_exportFlags;
    const CString strPath = m_pPrompts->AskSavePath(strProposed, flags);
    if (strPath.empty())
        return;
    m_exportFlags = flags;
    // The file is made of the exam the dialog was opened for.
    CLindarGraphWnd* pPane = PaneShowing(pItem, nPane);
    if (!pPane) {
        platform::ShowMessage(LoadStr(IDS_SAVE_FAILED), platform::MB_ICONERROR);
        return;
    }
    SaveAs(*pPane, strPath);
}

int COxuLindarView::SaveAsPath(const CString& strPath) {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || !pCur->m_pExam)
        return 0;
    return SaveAs(*pCur, strPath);
}

int COxuLindarView::SaveAs(CLindarGraphWnd& pane, const CString& strPath) {
    CLindarGraphWnd* pCur = &pane;
    const CString strExt = UpperExt(strPath);
    if (strExt != "EKG" && strExt != "PDF" && strExt != "JPG" && strExt != "DCM" &&
        strExt != "XML") {
        platform::ShowMessage(LoadStr(IDS_BAD_FORMAT), platform::MB_ICONERROR);
        return 0;
    }
    BOOL bResult = FALSE;
    if (strExt == "EKG") {
        bResult = pCur->EKGSaveFile(strPath.c_str());
    } else {
        const short nWidth = static_cast<short>(JpegWidth(m_nJpegSize));
        SetMiscTexts(*pCur, true);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ApplyFlags(*pCur, m_exportFlags);
        const short ch = short(pCur->m_nChType), gain = short(pCur->m_nGain),
                    rhy = short(pCur->m_nRhyCh);
        if (strExt == "PDF") {
            bResult = pCur->EKGMakePDF(strPath.c_str(), ch, gain, rhy, nWidth);
        } else if (strExt == "JPG") {
            bResult = pCur->EKGMakeImage(strPath, ch, gain, rhy, nWidth, 0);
        } else if (strExt == "XML") {
            bResult = pCur->EKGMakeXML(strPath.c_str());
        } else {
            int nType = std::atoi(Ini().GetString(kSection, "DICOM TYPE", "0").c_str());
            if (nType > 1)
                nType = 1;
            dicomexport::CExportSettings settings;
            settings.strProfileKey = "Corvane/Lindar";
            CEkgDicomExport exporter(settings);
            bResult = exporter.MakeDicomFile(strPath, *pCur, nType, pCur->m_pExam->GetPath()) == 1;
        }
        ApplyFlags(*pCur, m_print.flags);
        QApplication::restoreOverrideCursor();
    }
    // Only the control's 1 is a saved file.
    const bool bSaved = bResult == TRUE;
    platform::ShowMessage(LoadStr(bSaved ? IDS_SAVE_OK : IDS_SAVE_FAILED),
                          bSaved ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR);
    return bSaved ? 1 : 0;
}

void COxuLindarView::OnFilePrint() {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || !pCur->m_pExam || !m_pPrompts)
        return;
    CExamItem* pItem = pCur->m_pExam;
    const int nPane = m_nCurPane;
    CPrintSettings s = m_print;
    if (!m_pPrompts->AskPrint(s))
        return;
    m_print = s;
    // The page is the exam the dialog was opened for.
    pCur = PaneShowing(pItem, nPane);
    if (!pCur)
        return;
    ApplyFlags(*pCur, m_print.flags);
    // The print pens take style, then width, as every pen of the control does.
    const auto [grid, inner, trace] = lindar::PrintPens(s);
    pCur->EKGSetPrintGraphPen(short(trace.nStyle), short(trace.nWidth), long(trace.crColour));
    pCur->EKGSetPrintGridPen(short(grid.nStyle), short(grid.nWidth), long(grid.crColour));
    pCur->EKGSetPrintGridInnerPen(short(inner.nStyle), short(inner.nWidth), long(inner.crColour));
    SetMiscTexts(*pCur, true);
    for (int i = 0; i < std::max(1, s.nCopies); ++i) {
        const short r = pCur->EKGPrint(s.strPrinter.c_str(), short(pCur->m_nGain),
                                       short(pCur->m_nChType), short(pCur->m_nRhyCh));
        if (r != 0) {
            // What failed stops the copies and is told: the queue and the print system's reason.
            CString strText = LoadStr(IDS_PRINT_FAILED);
            if (!s.strPrinter.empty())
                strText += ": " + s.strPrinter;
            const CString strWhy = pCur->EKGGetPrintError();
            if (!strWhy.empty())
                strText += "\r\n" + strWhy;
            platform::ShowMessage(strText, platform::MB_ICONERROR);
            break;
        }
    }
}

void COxuLindarView::OnFilePrintPreview() {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || !pCur->m_pExam)
        return;
    SetMiscTexts(*pCur, true);
    ApplyFlags(*pCur, m_print.flags);
    const short r =
        pCur->EKGPrintPreview(short(pCur->m_nGain), short(pCur->m_nChType), short(pCur->m_nRhyCh));
    if (r == 1)
        OnFilePrint();
}

void COxuLindarView::OnLayout(int nLayout) {
    if (nLayout == 0) {
        if (m_nLayout == 0)
            return;
        m_nLayout = 0;
        Reposition();
        if (m_nCurPane == 1)
            SetCurrentPane(0);
    } else if (nLayout == 2) {
        m_nLayout = 2;
        Reposition();
        update();
    }
}

void COxuLindarView::OnMeasure() {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || pCur->m_bMonitoring)
        return;
    pCur->m_nTool = pCur->m_nTool == 2 ? 0 : 2;
    if (pCur->m_nTool == 2) {
        ShowReadout();
        pCur->EKGEnableMeasure(1);
    } else {
        ClearReadout();
        pCur->EKGEnableMeasure(0);
    }
    pCur->update();
}

void COxuLindarView::OnMagnifier() {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || pCur->m_bMonitoring)
        return;
    pCur->m_nTool = pCur->m_nTool == 1 ? 0 : 1;
    const bool bOn = pCur->m_nTool == 1;
    pCur->EKGEnableMagnifyGlass(short(bOn), short(ZoomCell(m_nZoomRatio)),
                                short(ZoomGrid(m_nZoomArea)));
    pCur->update();
    if (bOn)
        ClearReadout();
}

void COxuLindarView::OnPacemaker() {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || pCur->m_bMonitoring)
        return;
    pCur->m_bPacemaker = !pCur->m_bPacemaker;
    pCur->EKGShowPacemaker(short(pCur->m_bPacemaker));
    pCur->update();
}

CString COxuLindarView::ResolveAddress(bool bMayAsk, int* pType, bool* pHaveRegistered) {
    CIniFile ini = Ini();
    int nType = std::atoi(ini.GetString(kSection, "EKG_CONFIG_IP_TYPE", "1").c_str());
    if (nType < 0 || nType > 1)
        nType = 1;
    *pType = nType;
    if (nType == 1)
        return ini.GetString(kSection, "EKG_TERMINAL_IP", "");
    CLindarGraphWnd* pCur = GetCurrentGraph();
    const CString strRegistered = ini.GetString(kSection, "EKG_REGISTERED_ID", "");
    *pHaveRegistered = !strRegistered.empty();
    if (!pCur)
        return {};
    const short nCount = pCur->EKGGetConnectedEKGCnt();
    if (nCount <= 0)
        return {};
    if (!strRegistered.empty()) {
        for (short i = 0; i < nCount; ++i)
            if (pCur->EKGGetConnectedEKGID(i) == strRegistered)
                return pCur->EKGGetConnectedEKGIP(i);
        return {};
    }
    if (!bMayAsk)
        return {};
    if (nCount == 1) {
        const CString strIP = pCur->EKGGetConnectedEKGIP(0);
        const CString strID = pCur->EKGGetConnectedEKGID(0);
        ini.WriteString(kSection, "EKG_TERMINAL_IP", strIP.c_str());
        ini.WriteString(kSection, "EKG_REGISTERED_ID", strID.c_str());
        return strIP;
    }
    if (m_pPrompts && m_pPrompts->RunDeviceSelection(*pCur))
        return Ini().GetString(kSection, "EKG_TERMINAL_IP", "");
    return {};
}

void COxuLindarView::OnMonitoring() {
    m_host.SendCommand(ID_CLOSE_ALL);
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur)
        return;
    pCur->EKGSetLanguage(LanguageIndex());
    if (pCur->m_bMonitoring) {
        pCur->EKGStopMonitoring();
        pCur->m_bMonitoring = FALSE;
        m_host.SendCommand(ID_REFRESH);
        return;
    }
    int nType = 1;
    bool bRegistered = false;
    const CString strAddress = ResolveAddress(true, &nType, &bRegistered);
    if (strAddress.empty()) {
        if (nType == 1)
            platform::ShowMessage(LoadStr(IDS_NO_IP), platform::MB_ICONERROR);
        else if (bRegistered)
            platform::ShowMessage(LoadStr(IDS_CONNECT_FAILED), platform::MB_ICONERROR);
        else
            platform::ShowMessage("Not Registered equipment", platform::MB_ICONERROR);
        return;
    }
    // One redraw for both changes.
    pCur->setUpdatesEnabled(false);
    pCur->EKGSetChType(0);
    pCur->EKGSetSpeed(2);
    pCur->setUpdatesEnabled(true);
    pCur->m_nChType = 0;
    pCur->m_nSpeed = 2;
    m_host.SendCommand(ID_REFRESH);
    pCur->EKGStartMonitoring(strAddress.c_str(), 3000);
    pCur->m_bMonitoring = TRUE;
    m_host.SendCommand(ID_REFRESH);
}

void COxuLindarView::OnRecording() {
    m_host.SendCommand(ID_CLOSE_ALL);
    const CString strDir = platform::ProgramDir();
    if (!strDir.empty() && chdir(strDir.c_str()) != 0) {
        // The receive dialog saves by full path; a folder that cannot be entered is harmless.
    }
    int nType = 1;
    bool bRegistered = false;
    CString strAddress;
    if (std::atoi(Ini().GetString(kSection, "EKG_CONFIG_IP_TYPE", "1").c_str()) == 0)
        strAddress = ResolveAddress(true, &nType, &bRegistered);
    else
        strAddress = Ini().GetString(kSection, "EKG_TERMINAL_IP", "");
    CLindarGraphWnd* pCur = GetCurrentGraph();
    if (!pCur || !m_pPrompts)
        return;
    pCur->m_bRecording = TRUE;
    const CString strSaved = m_pPrompts->RunReceiveDialog(*pCur, strAddress);
    if (!strSaved.empty())
        m_doc.OpenExam(strSaved, 0);
    pCur->m_bRecording = FALSE;
    if (QWidget* w = window()) {
        w->raise();
        w->activateWindow();
    }
}

void COxuLindarView::ApplyPens(CLindarGraphWnd& w) {
    ApplyGridPen(w);
    ApplyTracePen(w);
    ApplyInnerPen(w);
    ApplyBackground(w);
}

void COxuLindarView::OnDefaultColour() {
    m_crBack = 0xffffff;
    m_gridPen = {0, 1, 0x8080ff};
    m_innerPen = {0, 1, 0xbfbfff};
    m_tracePen = {0, 1, 0x000000};
    m_host.SendColourDefaults();
    for (int i = 0; i < 2; ++i)
        ApplyPens(*m_panes[i]);
}

bool COxuLindarView::IsValidAddress(const CString& s) {
    if (s.size() < 7 || s.size() > 15)
        return false;
    int nGroups = 0;
    std::size_t i = 0;
    while (true) {
        std::size_t nDigits = 0;
        int nValue = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            nValue = nValue * 10 + (s[i] - '0');
            ++nDigits;
            ++i;
        }
        if (nDigits < 1 || nDigits > 3 || nValue > 255)
            return false;
        ++nGroups;
        if (i == s.size())
            break;
        if (s[i] != '.' || nGroups == 4)
            return false;
        ++i;
    }
    return nGroups == 4;
}

void COxuLindarView::OnOrder() {
    int nType = 1;
    bool bRegistered = false;
    const CString strAddress = ResolveAddress(false, &nType, &bRegistered);
    if (!IsValidAddress(strAddress)) {
        platform::ShowMessage(LoadStr(IDS_BAD_IP), platform::MB_ICONERROR);
        return;
    }
    if (m_pPrompts)
        m_pPrompts->RunOrderDialog(strAddress, 2000);
}

bool COxuLindarView::IsFullScreen() const {
    return m_panes[2] && m_panes[2]->isVisible();
}

void COxuLindarView::SetFullScreen(bool bOn) {
    CLindarGraphWnd* pFull = m_panes[2];
    if (bOn) {
        CLindarGraphWnd* pCur = GetCurrentGraph();
        m_pTabs->hide();
        m_panes[0]->hide();
        m_panes[1]->hide();
        pFull->setGeometry(rect());
        if (pCur && pCur->m_pExam) {
            pFull->OpenExam(pCur->m_pExam);
            ApplyPens(*pFull);
            pFull->m_nChType = pCur->m_nChType;
            pFull->m_nRhyCh = pCur->m_nRhyCh;
            pFull->m_nGain = pCur->m_nGain;
            pFull->m_nSpeed = pCur->m_nSpeed;
            pFull->EKGSetChType(short(pCur->m_nChType));
            pFull->EKGSetRhyCh(short(pCur->m_nRhyCh));
            pFull->EKGSetGain(short(pCur->m_nGain));
            pFull->EKGSetSpeed(short(pCur->m_nSpeed));
            pFull->EKGEnableMagnifyGlass(short(pCur->m_nTool == 1), short(ZoomCell(m_nZoomRatio)),
                                         short(ZoomGrid(m_nZoomArea)));
            pFull->EKGEnableMeasure(short(pCur->m_nTool == 2));
        }
        pFull->show();
        pFull->raise();
    } else {
        m_pTabs->show();
        pFull->hide();
        pFull->CloseExam();
        Reposition();
    }
}

void COxuLindarView::ApplyCellSizes() {
    const short nCell = CLindarGraphWnd::GetCellSizeSetting(false);
    m_panes[0]->EKGSetCellSize(nCell);
    m_panes[1]->EKGSetCellSize(nCell);
    m_panes[2]->EKGSetCellSize(CLindarGraphWnd::GetCellSizeSetting(true));
}

void COxuLindarView::Reposition() {
    if (!m_pTabs)
        return;
    const int w = width(), h = height();
    m_pTabs->setGeometry(0, std::max(0, h - kTabHeight), w, kTabHeight);
    if (IsFullScreen()) {
        m_panes[2]->setGeometry(rect());
        return;
    }
    if (m_nLayout == 2) {
        // Above and below the divider; pane 1 ends 22 pixels above the bottom.
        m_pSplit->SetSpan(QRect(2, 2, std::max(1, w - 4), std::max(1, h - kTabHeight - 4)));
        m_pSplit->Relayout(this);
        m_panes[0]->show();
        m_panes[1]->show();
    } else {
        m_panes[0]->setGeometry(2, 2, std::max(1, w - 4), std::max(1, h - 24));
        m_panes[0]->show();
        m_panes[1]->hide();
    }
}

void COxuLindarView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Reposition();
}

void COxuLindarView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int i = 0; i < 2; ++i) {
        if (!m_panes[i] || !m_panes[i]->isVisible())
            continue;
        const bool bCur = m_nLayout == 0 || i == m_nCurPane;
        p.setPen(QPen(bCur ? QColor(0xa0, 0xa0, 0xff) : QColor(0xe0, 0xe0, 0xff), 2));
        p.drawRect(m_panes[i]->geometry().adjusted(-1, -1, 1, 1));
    }
}

// The control's own windows inside a pane take its presses; the pane would never see them.
// So the view watches the pane and every window in it, also those made later.
void COxuLindarView::WatchPane(QObject& o) {
    if (!o.isWidgetType())
        return;
    o.installEventFilter(this);
    for (QWidget* pChild : o.findChildren<QWidget*>())
        pChild->installEventFilter(this);
}

bool COxuLindarView::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::ChildAdded) {
        WatchPane(*static_cast<QChildEvent*>(e)->child());
        return QWidget::eventFilter(o, e);
    }
    if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick)
        return QWidget::eventFilter(o, e);
    auto* w = qobject_cast<QWidget*>(o);
    for (int i = 0; i < 2 && w; ++i) {
        // Windows of their own (the control's dialogs) are not the pane.
        if (!m_panes[i] || (w != m_panes[i] && !m_panes[i]->isAncestorOf(w)))
            continue;
        if (e->type() == QEvent::MouseButtonPress && !IsFullScreen() &&
            static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton && i != m_nCurPane)
            SetCurrentPane(i);
        if (e->type() == QEvent::MouseButtonDblClick && !m_panes[i]->m_bMonitoring) {
            m_host.PostCommand(ID_FULL_SCREEN);
            // Taken here: passed on, the windows round it would post it once more.
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void COxuLindarView::OnControlEvent(int nCtrlID, int nEvent, const std::vector<Variant>& args) {
    CLindarGraphWnd* pCur = GetCurrentGraph();
    switch (nEvent) {
        case EVENTID_EKGConnected:
            if (nCtrlID == 2000 && pCur && pCur->m_bMonitoring && !args.empty() &&
                args[0].AsLong() != 0) {
                pCur->m_bMonitoring = FALSE;
                platform::ShowMessage("Monitoring Failed!!!", platform::MB_ICONERROR);
                m_host.SendCommand(ID_REFRESH);
            }
            break;
        case EVENTID_EKGMeasureWidth:
            m_pReadout->SetWidth(args.size() > 0 ? args[0].AsLong() : 0,
                                 args.size() > 1 ? args[1].AsLong() : 0);
            break;
        case EVENTID_EKGMeasureHeight:
            m_pReadout->SetHeight(args.size() > 0 ? args[0].AsLong() : 0);
            break;
        case EVENTID_EKGPrintStart:
        case EVENTID_EKGPrintButton:
            if (nCtrlID != 2002)
                m_host.PostCommand(ID_FILE_PRINT);
            break;
        case EVENTID_MonitorSignalNotGood:
            if (nCtrlID == 2000 && pCur) {
                pCur->EKGStopMonitoring();
                pCur->m_bMonitoring = FALSE;
                platform::ShowMessage(LoadStr(IDS_BAD_SIGNAL), platform::MB_ICONERROR);
            }
            break;
        default:
            break;
    }
}
