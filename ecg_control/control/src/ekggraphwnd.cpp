#include "ecg_control/control/ekggraphwnd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPrinterInfo>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include "ecg_control/control/ekgpreviewdlg.h"
#include "ecg_control/control/wavelinctrl.h"
#include "printjob/printjob.h"
#include "ecg_control/ekgfile.h"
#include "ecg_control/link/linksettings.h"
#include "ecg_control/link/recordcompletion.h"
#include "ecg_control/wavelin_dispids.h"
#include "platform/codepage.h"
#include "platform/sockerr.h"
#include "platform/folders.h"
#include "urlfetch.h"

namespace {

BOOL EqualNoCase(const CString& a, const CString& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Cell sizes, border widths and glass counts beyond any screen would overflow the page
// arithmetic (width = columns x 5 x cell + 2 x border x cell): hosts' values are capped.
constexpr short kMaxHostSize = 1000;
short HostSize(short n) {
    return std::min(n, kMaxHostSize);
}

short ToShort(long n) {
    return static_cast<short>(std::clamp<long>(n, SHRT_MIN, SHRT_MAX));
}

}  // namespace

CRectL CRectL::Normalized() const {
    CRectL rc = *this;
    if (rc.left > rc.right) {
        std::swap(rc.left, rc.right);
    }
    if (rc.top > rc.bottom) {
        std::swap(rc.top, rc.bottom);
    }
    return rc;
}

// ---------------------------------------------------------------------------------------
// Status label

CEkgStatusLabel::CEkgStatusLabel(QWidget* pParent) : QWidget(pParent) {
    setObjectName("EkgStatusLabel");
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetLabelSize(3);
}

void CEkgStatusLabel::SetLabelSize(int nSize) {
    m_nSize = std::max(nSize, 1);
    m_font = MakeLogFont(4 * m_nSize, 700);
    Measure();
}

BOOL CEkgStatusLabel::SetText(const CString& strText) {
    if (EqualNoCase(strText, m_strText)) {
        return FALSE;
    }
    m_strText = strText;
    Measure();
    return TRUE;
}

void CEkgStatusLabel::Measure() {
    const QFontMetrics fm(m_font);
    const int nTextWidth = fm.horizontalAdvance(ToQString(m_strText));
    resize(nTextWidth + 2 * m_nSize, 5 * m_nSize + 1);
    update();
}

void CEkgStatusLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromRef(m_crBack));
    painter.setPen(QPen(ColorFromRef(m_crText), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setFont(m_font);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, ToQString(m_strText));
}

// ---------------------------------------------------------------------------------------
// View window

CEkgGraphWnd::CEkgGraphWnd(QWidget* pParent) : QAbstractScrollArea(pParent) {
    setObjectName("EkgGraphWnd");
    setFrameStyle(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The page is painted whole through one image: nothing to erase first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    m_page.Attach(&m_wave, &m_info, &m_morph, &m_deviceInfo);
    m_magnifier.Attach(&m_wave, &m_info, &m_morph);
    m_printPage.Attach(&m_wave, &m_info, &m_morph, &m_deviceInfo);
    m_exporter.SetPdfErrorSink([this](long nError, long nDetail) {
        if (m_pCtrl) {
            m_pCtrl->FireEKGPDFError(nError, nDetail);
        }
    });
    m_statusTimer.setInterval(ekglink::CLinkSettings::Current().nStatusMs);
    QObject::connect(&m_statusTimer, &QTimer::timeout, [this] {
        OnStatusTimer();
        m_link.OnTimerTick();
    });
    EKGSetBackColor(0xFFFFFF);
    EKGInitialize(1, 3, 2, 0, 2, 3);
}

CEkgGraphWnd::~CEkgGraphWnd() {
    m_statusTimer.stop();
    StopLink();
    delete m_pStatusLabel;
    m_pStatusLabel = nullptr;
}

BOOL CEkgGraphWnd::IsMonitoring() const {
    return m_nMode == kModeMonitorConnect || m_nMode == kModeMonitorData ||
           m_nMode == kModeMonitorStopped;
}

BOOL CEkgGraphWnd::ToolsActive() const {
    return m_wave.HasBlock() && !IsMonitoring();
}

void CEkgGraphWnd::Refresh() {
    UpdateScrollBars();
    viewport()->update();
}

void CEkgGraphWnd::ApplyColumnsRows() {
    // The grid is as wide as the record at this mains mode (60 Hz records are 12 s long).
    m_page.SetColumnsRowsForMode(m_nMainsMode, m_nSpeed);
    m_magnifier.Page().SetColumnsRowsForMode(m_nMainsMode, m_nSpeed);
}

void CEkgGraphWnd::EKGLockUpdate() {
    setUpdatesEnabled(false);
}

void CEkgGraphWnd::EKGUnlockUpdate() {
    setUpdatesEnabled(true);
    Refresh();
}

void CEkgGraphWnd::EKGInitialize(short nChType, short nGain, short nSpeed, short nRhyCh,
                                 short nCellSize, short nBorderCnt) {
    nCellSize = HostSize(nCellSize);
    nBorderCnt = HostSize(nBorderCnt);
    for (CEkgPage* pPage : {&m_page, &m_magnifier.Page()}) {
        CTracePainter& painter = pPage->Painter();
        painter.SetFormat(nChType);
        painter.SetGain(nGain);
        painter.SetSpeed(nSpeed);
        painter.SetRhythmLead(nRhyCh);
        pPage->Grid().SetBorder(nBorderCnt);
    }
    // Cells below 1 are taken as 1 by the grid and the layout; the glass keeps its own
    // least cell of 10, so that it always magnifies.
    m_page.SetCellSize(nCellSize);
    m_magnifier.SetGlass(nCellSize, m_magnifier.GetCount());
    m_nSpeed = nSpeed;
    ApplyColumnsRows();
    if (m_pStatusLabel) {
        const int n = m_page.Grid().GetBorderPixels();
        m_pStatusLabel->move(n, n);
    }
    Refresh();
}

void CEkgGraphWnd::EKGSetCellSize(short n) {
    n = HostSize(n);
    m_page.SetCellSize(n);
    if (m_pStatusLabel) {
        m_pStatusLabel->SetLabelSize(m_page.Grid().GetCellSize());
        const int nPos = m_page.Grid().GetBorderPixels();
        m_pStatusLabel->move(nPos, nPos);
    }
    Refresh();
}

void CEkgGraphWnd::EKGSetBorderCount(short n) {
    n = HostSize(n);
    m_page.Grid().SetBorder(n);
    m_magnifier.Page().Grid().SetBorder(n);
    if (m_pStatusLabel) {
        const int nPos = m_page.Grid().GetBorderPixels();
        m_pStatusLabel->move(nPos, nPos);
    }
    Refresh();
}

BOOL CEkgGraphWnd::EKGSetGridPen(short nStyle, short nWidth, long cr) {
    m_magnifier.Page().Grid().SetGridPen(nStyle, nWidth, static_cast<COLORREF>(cr));
    const BOOL bResult = m_page.Grid().SetGridPen(nStyle, nWidth, static_cast<COLORREF>(cr));
    Refresh();
    return bResult;
}

BOOL CEkgGraphWnd::EKGSetGridInnerPen(short nStyle, short nWidth, long cr) {
    m_magnifier.Page().Grid().SetInnerPen(nStyle, nWidth, static_cast<COLORREF>(cr));
    const BOOL bResult = m_page.Grid().SetInnerPen(nStyle, nWidth, static_cast<COLORREF>(cr));
    Refresh();
    return bResult;
}

BOOL CEkgGraphWnd::EKGSetGraphPen(short nStyle, short nWidth, long cr) {
    m_magnifier.Page().Painter().SetPen(nStyle, nWidth, static_cast<COLORREF>(cr));
    const BOOL bResult = m_page.Painter().SetPen(nStyle, nWidth, static_cast<COLORREF>(cr));
    Refresh();
    return bResult;
}

void CEkgGraphWnd::EKGSetBackColor(long cr) {
    m_crBack = static_cast<COLORREF>(cr) & 0xFFFFFF;
    m_page.Grid().SetBackground(m_crBack);
    m_magnifier.Page().Grid().SetBackground(m_crBack);
    Refresh();
}

// ---------------------------------------------------------------------------------------
// Device link: the view keeps the mode and the shown record; the link keeps the sockets.

// Ends whatever link is under way, the sockets closed before the buffers they fill go (also
// when the cart cannot be told to stop).
void CEkgGraphWnd::StopLink() {
    if (m_nMode == kModeMonitorConnect || m_nMode == kModeMonitorData) {
        EKGStopMonitoring();
    } else if (m_nMode == kModeRecordConnect || m_nMode == kModeRecordData) {
        FinishRecording();
    }
    m_statusTimer.stop();
    m_link.EndAttempt();
    m_link.CloseLink();
}

BOOL CEkgGraphWnd::EKGStartMonitoring(const CString& strIp, short) {
    EKGClearGraph();
    m_link.ResetCounts();
    setUpdatesEnabled(false);
    m_nMode = kModeMonitorConnect;
    if (m_page.Painter().Layout().GetFormat() == kFormatBeat) {
        EKGSetChType(kFormat12x1);
    }
    EKGShowInnerGrid(0);
    setUpdatesEnabled(true);
    if (!m_link.ConnectDevice(strIp, 5000)) {
        EKGShowInnerGrid(1);
        return FALSE;
    }
    CreateStatusLabel();
    m_strStatusText.clear();
    m_statusTimer.start();
    return TRUE;
}

BOOL CEkgGraphWnd::EKGStopMonitoring() {
    if (m_nMode != kModeMonitorConnect && m_nMode != kModeMonitorData) {
        m_statusTimer.stop();
        return FALSE;
    }
    // A link still being made has no cart to tell: the attempt ends here, so that a
    // connection made later cannot start monitoring behind the host's back. A cart that
    // cannot be told keeps its link, with the status timer (lead faults, stall check).
    const BOOL bConnected = m_link.LinkState() == CEkgDeviceLink::kConnected;
    if (bConnected && !m_link.SendDeviceCommand(0, 1)) {
        return FALSE;
    }
    m_statusTimer.stop();
    Refresh();
    m_link.EndAttempt();
    m_nMode = kModeMonitorStopped;
    m_link.CloseLink();
    return TRUE;
}

// Monitoring ends without telling the cart (it can no longer hear).
void CEkgGraphWnd::DropMonitoringLink() {
    m_statusTimer.stop();
    m_link.EndAttempt();
    m_link.CloseLink();
    EKGShowInnerGrid(1);
    m_nMode = kModeNone;
}

BOOL CEkgGraphWnd::EKGStartRecording(const CString& strIp, short nTimeout) {
    m_link.ResetCounts();
    EKGClearGraph();
    m_link.ResetCounts();
    m_nMode = kModeRecordConnect;
    EKGShowInnerGrid(1);
    m_statusTimer.start();
    return m_link.ConnectDevice(strIp, nTimeout);
}

// With no recording under way there is nothing to stop (a finished one is not analysed
// again).
BOOL CEkgGraphWnd::EKGStopRecording() {
    if (m_nMode != kModeRecordConnect && m_nMode != kModeRecordData) {
        return FALSE;
    }
    return FinishRecording();
}

void CEkgGraphWnd::ClearRecordForLink() {
    FreeRecord();
    m_page.Painter().Layout().Free();
    m_bMeasureRect = FALSE;
    Refresh();
}

// One outcome per attempt: the status timer stops and the link falls silent whatever the
// result. bDropped: the cart closed the stream before the end of the record.
BOOL CEkgGraphWnd::FinishRecording(BOOL bDropped) {
    m_statusTimer.stop();
    m_link.EndAttempt();
    if (m_nMode != kModeRecordEnded) {
        m_link.SendDeviceCommand(1, 1);
        m_link.CloseLink();
        m_nMode = kModeNone;
        ClearRecordForLink();
        if (bDropped && m_pCtrl) {
            m_pCtrl->FireEKGConnected(platform::kWsaEtimedout, -1);
        }
        return FALSE;
    }
    m_link.CloseLink();
    const int nItems = m_link.ItemCount();
    if (nItems < ekglink::kMinRecordItems) {
        m_nMode = kModeNone;
        ClearRecordForLink();
        if (m_pCtrl) m_pCtrl->FireRecordSignalNotGood();
        return FALSE;
    }
    SetMainsMode(0);
    CEngineLauncher launcher;
    const ekglink::CCompletionResult result = ekglink::CompleteRecording(
        m_wave, m_info, m_morph, nItems, m_strEngineDir, m_nLanguage, launcher);
    if (result.outcome == ekglink::ECompletion::kInputNotWritten) {
        // The patient need not be recorded again: the recording stays shown, not analysed,
        // and the host can keep it with EKGSaveFile.
        m_page.Invalidate();
        m_magnifier.Page().Invalidate();
        Refresh();
        if (m_pCtrl)
            m_pCtrl->FireEKGRecordFail(wavelin::RECORDFAIL_NOT_WRITTEN);
        return FALSE;
    }
    if (result.outcome != ekglink::ECompletion::kCompleted) {
        ClearRecordForLink();
        if (m_pCtrl)
            m_pCtrl->FireEKGRecordFail(wavelin::RECORDFAIL_ENGINE);
        return FALSE;
    }
    m_page.Invalidate();
    m_magnifier.Page().Invalidate();
    Refresh();
    if (m_pCtrl) m_pCtrl->FireEKGRecordCompleted();
    return TRUE;
}

// The cart closed the link while monitoring: monitoring stops (told to the cart when it can
// still hear it, else the link is just closed) and the host hears of it once, instead of a
// sweep that runs on without a status timer.
void CEkgGraphWnd::LinkMonitorDropped() {
    QTimer::singleShot(0, this, [this] {
        if (m_nMode != kModeMonitorConnect && m_nMode != kModeMonitorData) {
            return;
        }
        if (!EKGStopMonitoring()) {
            DropMonitoringLink();
        }
        if (m_pCtrl) m_pCtrl->FireEKGConnected(platform::kWsaEtimedout, -1);
    });
}

void CEkgGraphWnd::LinkRecordDropped() {
    QTimer::singleShot(0, this, [this] {
        if (m_nMode == kModeRecordConnect || m_nMode == kModeRecordData) FinishRecording(TRUE);
    });
}

void CEkgGraphWnd::LinkRecordEnded() {
    QTimer::singleShot(0, this, [this] {
        if (m_nMode == kModeRecordEnded) FinishRecording();
    });
}

void CEkgGraphWnd::LinkSignalNotGood() {
    if (!EKGStopMonitoring())
        DropMonitoringLink();
    if (m_pCtrl) m_pCtrl->FireMonitorSignalNotGood();
}

void CEkgGraphWnd::FireConnected(short nError, short nMode) {
    if (m_pCtrl) m_pCtrl->FireEKGConnected(nError, nMode);
}

void CEkgGraphWnd::FireReceiving(float fPercent) {
    if (m_pCtrl) m_pCtrl->FireEKGRecordReceiving(fPercent);
}

void CEkgGraphWnd::FireLeadFault(short nLead) {
    if (m_pCtrl) m_pCtrl->FireEKGLeadFault(nLead);
}

void CEkgGraphWnd::FreeRecord() {
    m_wave.Free();
    m_info.Reset();
    m_morph.Free();
    m_page.Invalidate();
    m_magnifier.Page().Invalidate();
}

void CEkgGraphWnd::EKGClearGraph() {
    StopLink();
    FreeRecord();
    m_page.Painter().Layout().Free();
    m_bMeasureRect = FALSE;
    m_rcMagnifier = CRectL();
    SetMainsMode(0);
    m_nMode = kModeNone;
    Refresh();
}

void CEkgGraphWnd::SetMainsMode(int nMode) {
    nMode = nMode == 1 ? 1 : 0;
    if (nMode != m_nMainsMode) {
        m_nMainsMode = nMode;
        ApplyColumnsRows();
    }
}

BOOL CEkgGraphWnd::EKGOpenFile(const CString& strPath) {
    StopLink();
    // Only a regular file is read: a pipe would wait for a writer, a device never end.
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        EKGClearGraph();
        return FALSE;
    }
    SetMainsMode(0);
    CString strExt = strPath.size() >= 4 ? strPath.substr(strPath.size() - 3) : CString();
    for (char& c : strExt) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const int nMains = strExt == "RAW" ? 1 : 0;
    BOOL bOk;
    if (strExt == "DCD") {
        // A CSE file holds samples only: nothing of the earlier record may stay with them.
        m_info.Reset();
        m_morph.Free();
        bOk = ReadCseFile(strPath, &m_wave, nMains);
    } else {
        bOk = ReadEkgFile(strPath, &m_wave, &m_info, &m_morph, nMains);
    }
    if (!bOk) {
        EKGClearGraph();
        return FALSE;
    }
    SetMainsMode(nMains);
    m_page.Invalidate();
    m_magnifier.Page().Invalidate();
    m_bMeasureRect = FALSE;
    m_nMode = kModeFile;
    EKGShowInnerGrid(1);
    Refresh();
    return TRUE;
}

BOOL CEkgGraphWnd::EKGSaveFile(const CString& strPath) {
    StopLink();
    const BOOL bOk = WriteEkgFile(strPath, &m_wave, &m_info, &m_morph);
    if (bOk) {
        m_nMode = kModeFile;
    }
    return bOk;
}

BOOL CEkgGraphWnd::EKGOpenURL(const CString& strUrl) {
    EKGClearGraph();
    m_strBanner = " ECG File downloading... ";
    viewport()->repaint();
    // A private file of a unique name: no other user can plant or read it.
    const CString strFile = platform::MakeTempFile("_ecg", ".tmp");
    const BOOL bDownloaded = !strFile.empty() && wavelin::DownloadUrlToFile(strUrl, strFile);
    m_strBanner.clear();
    BOOL bOk = FALSE;
    if (bDownloaded) {
        bOk = EKGOpenFile(strFile);
    } else {
        viewport()->repaint();
    }
    if (!strFile.empty()) {
        ::unlink(strFile.c_str());
    }
    return bOk;
}

void CEkgGraphWnd::EKGSetChType(short n) {
    if (n == kFormatBeat && IsMonitoring()) {
        return;
    }
    m_page.SetFormat(n);
    m_magnifier.Page().SetFormat(n);
    Refresh();
}

void CEkgGraphWnd::EKGSetRhyCh(short n) {
    m_page.SetRhythmLead(n);
    m_magnifier.Page().SetRhythmLead(n);
    Refresh();
}

void CEkgGraphWnd::EKGSetGain(short n) {
    m_page.SetGain(n);
    m_magnifier.Page().SetGain(n);
    if (m_bMeasure) {
        ReportMeasurement();
    }
    Refresh();
}

void CEkgGraphWnd::EKGSetSpeed(short n) {
    m_page.SetSpeed(n);
    m_magnifier.Page().SetSpeed(n);
    m_nSpeed = n;
    ApplyColumnsRows();
    if (m_bMeasure) {
        ReportMeasurement();
    }
    Refresh();
}

// The paper report on a CUPS queue: 1 no printer name, 2 no record, 3 no such queue, 4 the
// document could not be made or the queue did not take it; 0 when the queue took the job.
// Every answer but 0 leaves its reason (the print system's, where it gave one) for
// EKGGetPrintError.
short CEkgGraphWnd::EKGPrint(const CString& strPrinter, short nGain, short nChType, short nRhyCh) {
    m_strPrintError.clear();
    auto fail = [this](short nResult, const QString& strWhy) {
        m_strPrintError = platform::FromUtf8(strWhy.toStdString());
        return nResult;
    };
    if (strPrinter.empty()) {
        return fail(1, QStringLiteral("No printer was named."));
    }
    if (!m_wave.HasBlock() || m_wave.GetSamplesPerChannel() == 0 ||
        !m_printPage.Prepare(nChType, nGain, nRhyCh)) {
        return fail(2, QStringLiteral("There is no record to print."));
    }
    const QString strQueue = ToQString(strPrinter);
    if (QPrinterInfo::printerInfo(strQueue).isNull()) {
        return fail(3, QStringLiteral("The print system has no printer \"%1\".").arg(strQueue));
    }
    CPrintJob job;
    const QString strTitle = QGuiApplication::applicationDisplayName();
    if (!job.Begin(strQueue, strTitle, QPageLayout::Landscape, QPageSize(QPageSize::A4))) {
        return fail(4, job.LastError());
    }
    // The page is placed in the printable area, whose corner is the painter's origin.
    const double dPxPerMm = job.Printer().resolution() / 25.4;
    m_printPage.Draw(job.Painter(), dPxPerMm, dPxPerMm, job.PrintableRect().width());
    return job.End() > 0 ? 0 : fail(4, job.LastError());
}

CString CEkgGraphWnd::EKGGetPrintError() const {
    return m_strPrintError;
}

short CEkgGraphWnd::EKGPrintPreview(short, short, short) {
    // The page as paper shows it: pacemaker marks as EKGSetPrintPacemaker says, not the screen.
    CEkgPage page;
    page.CopyFrom(m_page);
    page.Painter().ShowPacemaker(m_printFlags.bPacemaker);
    CEkgPreviewDlg dlg(page, this);
    return static_cast<short>(dlg.Run());
}

BOOL CEkgGraphWnd::EKGSetPrintGraphPen(short nStyle, short nWidth, long cr) {
    m_printGraphPen = {nStyle, nWidth, static_cast<COLORREF>(cr)};
    return m_printPage.SetGraphPen(nStyle, nWidth, static_cast<COLORREF>(cr));
}
BOOL CEkgGraphWnd::EKGSetPrintGridPen(short nStyle, short nWidth, long cr) {
    m_printGridPen = {nStyle, nWidth, static_cast<COLORREF>(cr)};
    return m_printPage.SetGridPen(nStyle, nWidth, static_cast<COLORREF>(cr));
}
BOOL CEkgGraphWnd::EKGSetPrintGridInnerPen(short nStyle, short nWidth, long cr) {
    m_printInnerPen = {nStyle, nWidth, static_cast<COLORREF>(cr)};
    return m_printPage.SetGridInnerPen(nStyle, nWidth, static_cast<COLORREF>(cr));
}

BOOL CEkgGraphWnd::EKGMakeImage(const CString& strPath, short nChType, short nGain, short nRhyCh,
                                short nWidth, short bFilter) {
    // A copy, so that the export never changes what the screen shows.
    CEkgPage page;
    page.CopyFrom(m_page);
    page.Painter().ShowPacemaker(m_printFlags.bPacemaker);
    return page.MakeImage(strPath, nChType, nGain, nRhyCh, nWidth, bFilter);
}

BOOL CEkgGraphWnd::EKGMakeImageBMP(const CString& strPath, short nChType, short nGain, short nRhyCh,
                                   short nWidth, short bFilter) {
    CEkgPage page;
    page.CopyFrom(m_page);
    page.Painter().ShowPacemaker(m_printFlags.bPacemaker);
    return page.MakeImageBmp(strPath, nChType, nGain, nRhyCh, nWidth, bFilter);
}

CEkgRecordSources CEkgGraphWnd::Sources() {
    CEkgRecordSources sources;
    sources.pWave = &m_wave;
    sources.pInfo = &m_info;
    sources.pMorph = &m_morph;
    sources.pDevice = &m_deviceInfo;
    return sources;
}

CEkgPrintFlags CEkgGraphWnd::PrintFlags() const {
    return m_printFlags;
}

BOOL CEkgGraphWnd::EKGMakePDF(const CString& strPath, short nChType, short nGain, short nRhyCh,
                              short nWidth) {
    return m_exporter.EKGMakePDF(strPath, nChType, nGain, nRhyCh, nWidth, Sources(), PrintFlags());
}

BOOL CEkgGraphWnd::EKGMakeXML(const CString& strPath) {
    return m_exporter.EKGMakeXML(strPath, Sources());
}

short CEkgGraphWnd::EKGGetRhythmParam(short nType) const {
    return m_info.GetRhythmParam(nType);
}
short CEkgGraphWnd::EKGGetMorphologyParam(short nType, short nCh) const {
    return m_morph.GetMorphologyParam(nType, nCh);
}
short CEkgGraphWnd::EKGGetAnalysisCnt() const {
    return m_info.GetAnalysisCnt();
}
CString CEkgGraphWnd::EKGGetAnalysis(short nIndex) const {
    if (nIndex < 0 || nIndex >= m_info.GetAnalysisCnt()) {
        return CString();
    }
    return m_info.GetAnalysis(nIndex);
}
CString CEkgGraphWnd::EKGGetPatientInfo(short nType) const {
    return m_info.GetPatientInfo(nType);
}
CString CEkgGraphWnd::EKGGetComment() const {
    return m_info.GetComment();
}
void CEkgGraphWnd::EKGSetComment(const CString& strText) {
    m_info.SetComment(strText);
}
void CEkgGraphWnd::EKGSetPatientInfo(short nType, const CString& strText) {
    m_info.SetPatientInfo(nType, strText);
}
void CEkgGraphWnd::EKGSetFilterInfo(short nAC, short nLPF, short nBF, short nMF) {
    m_info.SetFilterInfo(nAC, nLPF, nBF, nMF);
}
CString CEkgGraphWnd::EKGGetMisc(short nType) const {
    switch (nType) {
        case 0:
        case 1:
            return m_info.GetMisc(nType);
        case 2:
            return m_deviceInfo.m_strCompany;
        case 3:
            return m_deviceInfo.m_strDevice;
        default:
            return CString();
    }
}
void CEkgGraphWnd::EKGSetMisc(short nType, const CString& strText) {
    switch (nType) {
        case 0:
        case 1:
            m_info.SetMisc(nType, strText);
            break;
        case 2:
            m_deviceInfo.m_strCompany = strText;
            break;
        case 3:
            m_deviceInfo.m_strDevice = strText;
            break;
        default:
            break;
    }
}
void CEkgGraphWnd::EKGSetTime(short nYear, short nMonth, short nDay, short nHour, short nMinute) {
    m_info.SetTime(nYear, nMonth, nDay, nHour, nMinute);
}
CString CEkgGraphWnd::EKGGetTime() const {
    return m_info.GetTime();
}
void CEkgGraphWnd::EKGSetDeviceInfo(short nMode, short n1, short n2, short n3) {
    m_info.SetDeviceInfo(nMode, n1, n2, n3);
}
BOOL CEkgGraphWnd::EKGSetUnit(const CString& strText) {
    m_info.SetUnit(strText);
    return TRUE;
}
void CEkgGraphWnd::EKGSetLanguage(short n) {
    m_nLanguage = (n >= 0 && n <= 11) ? n : 0;
}

void CEkgGraphWnd::EKGSetPrintDiag(short b) {
    m_printFlags.bDiag = b != 0;
    m_page.Header().SetShowStatements(b != 0);
    m_printPage.SetShowStatements(b != 0);
}
void CEkgGraphWnd::EKGSetPrintParam(short b) {
    m_printFlags.bParam = b != 0;
    m_page.Header().SetShowMeasurements(b != 0);
    m_printPage.SetShowMeasurements(b != 0);
}
void CEkgGraphWnd::EKGSetPrintComment(short b) {
    m_printFlags.bComment = b != 0;
    m_page.Header().SetShowComment(b != 0);
    m_printPage.SetShowComment(b != 0);
}
void CEkgGraphWnd::EKGSetPrintPacemaker(short b) {
    m_printFlags.bPacemaker = b != 0;
    m_printPage.SetShowPacemaker(b != 0);
}

void CEkgGraphWnd::EKGShowInnerGrid(short b) {
    m_page.Grid().ShowInner(b != 0);
    m_magnifier.Page().Grid().ShowInner(b != 0);
    Refresh();
}

void CEkgGraphWnd::EKGShowPacemaker(short b) {
    m_page.Painter().ShowPacemaker(b != 0);
    m_magnifier.Page().Painter().ShowPacemaker(b != 0);
    Refresh();
}

void CEkgGraphWnd::EKGEnableMagnifyGlass(short bEnable, short nCellSize, short nGridCnt) {
    m_bMagnifier = bEnable != 0;
    m_magnifier.SetGlass(HostSize(nCellSize), HostSize(nGridCnt));
    if (m_bMagnifier) {
        m_bMeasure = FALSE;
        m_bMeasureRect = FALSE;
    }
    m_rcMagnifier = CRectL();
    Refresh();
}

void CEkgGraphWnd::EKGEnableMeasure(short bEnable) {
    m_bMeasure = bEnable != 0;
    if (m_bMeasure) {
        m_bMagnifier = FALSE;
        m_magnifier.SetGlass(0, 0);
        m_rcMagnifier = CRectL();
    } else {
        m_bMeasureRect = FALSE;
        m_rcMeasure = CRectL();
    }
    Refresh();
}

// ---------------------------------------------------------------------------------------
// Status label and monitoring sweep

void CEkgGraphWnd::CreateStatusLabel() {
    if (m_pStatusLabel) {
        return;
    }
    m_pStatusLabel = new CEkgStatusLabel(viewport());
    m_pStatusLabel->SetLabelSize(m_page.Grid().GetCellSize());
    const int nPos = m_page.Grid().GetBorderPixels();
    m_pStatusLabel->move(nPos, nPos);
    m_pStatusLabel->hide();
}

void CEkgGraphWnd::OnStatusTimer() {
    if (!m_bStatusLabelOn || !m_pStatusLabel) {
        return;
    }
    m_pStatusLabel->SetText(m_strStatusText);
    if (!m_pStatusLabel->GetText().empty()) {
        m_pStatusLabel->setVisible(!m_pStatusLabel->isVisible());
    } else {
        m_pStatusLabel->hide();
    }
}

void CEkgGraphWnd::SweepMonitorItem(int nItem) {
    m_nSweepItem = nItem;
    viewport()->update();
    if (m_pStatusLabel) {
        m_pStatusLabel->update();
    }
}

// ---------------------------------------------------------------------------------------
// Scrolling and painting

int CEkgGraphWnd::ScrollX() const {
    return horizontalScrollBar()->value();
}
int CEkgGraphWnd::ScrollY() const {
    return verticalScrollBar()->value();
}

void CEkgGraphWnd::UpdateScrollBars() {
    const int nPageW = m_page.GetWidth();
    const int nPageH = m_page.GetHeight();
    const int nW = width();
    const int nH = height();
    const int nBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    BOOL bH = nPageW > nW;
    BOOL bV = nPageH > nH;
    bH = bH || (bV && nPageW > nW - nBar);
    bV = bV || (bH && nPageH > nH - nBar);
    const int nMaxX = bH ? std::max(0, nPageW - nW + (bV ? nBar : 0)) : 0;
    const int nMaxY = bV ? std::max(0, nPageH - nH + (bH ? nBar : 0)) : 0;
    setHorizontalScrollBarPolicy(bH ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(bV ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->setRange(0, nMaxX);
    horizontalScrollBar()->setPageStep(nMaxX / 5 + 1);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, nMaxY);
    verticalScrollBar()->setPageStep(nMaxY / 5 + 1);
    verticalScrollBar()->setSingleStep(1);
}

void CEkgGraphWnd::resizeEvent(QResizeEvent* pEvent) {
    QAbstractScrollArea::resizeEvent(pEvent);
    UpdateScrollBars();
}

void CEkgGraphWnd::scrollContentsBy(int, int) {
    viewport()->update();
}

void CEkgGraphWnd::DrawPage(QPainter& painter, const QRect& rc) {
    painter.fillRect(rc, ColorFromRef(m_crBack));
    m_page.DrawPart(painter, rc, ScrollX(), ScrollY());
    if (m_nSweepItem >= 0 && m_nMode == kModeMonitorData) {
        m_page.DrawSweep(painter, m_nSweepItem, ScrollX(), ScrollY(), rc.width(), m_crMonitorBar);
    }
}

QImage CEkgGraphWnd::RenderView() {
    const QSize size = viewport()->size().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    DrawPage(painter, QRect(QPoint(0, 0), size));
    if (!m_strBanner.empty()) {
        painter.setPen(Qt::black);
        painter.setFont(MakeLogFont(16, 400));
        painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter | Qt::TextSingleLine,
                         ToQString(m_strBanner));
    }
    if (m_bMagnifier && !m_rcMagnifier.IsEmpty()) {
        const int nSide = m_magnifier.GetSide();
        const int cx = m_rcMagnifier.left + nSide / 2;
        const int cy = m_rcMagnifier.top + nSide / 2;
        m_magnifier.Draw(painter, cx + ScrollX(), cy + ScrollY(), m_rcMagnifier.left,
                         m_rcMagnifier.top, m_page.Grid().GetWidth());
    }
    if (m_bMeasureRect) {
        const CRectL rc = m_rcMeasure.Normalized();
        if (m_bButtonDown) {
            // The rubber band: exclusive-or, so it stays visible on any background.
            painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            painter.setPen(QPen(ColorFromRef(0x00FFFF), 1));
        } else {
            painter.setPen(QPen(ColorFromRef(0xFF0000), 1));
        }
        painter.setBrush(Qt::NoBrush);
        if (!rc.IsEmpty()) {
            painter.drawRect(rc.left, rc.top, rc.Width() - 1, rc.Height() - 1);
        }
    }
    return image;
}

void CEkgGraphWnd::paintEvent(QPaintEvent*) {
    const QImage image = RenderView();
    QPainter painter(viewport());
    painter.drawImage(0, 0, image);
}

// ---------------------------------------------------------------------------------------
// Mouse tools

int CEkgGraphWnd::HitTest(CPointL pt) const {
    if (!m_bMeasure || !m_bMeasureRect || m_rcMeasure.IsEmpty()) {
        return kHitNone;
    }
    const CRectL rc = m_rcMeasure.Normalized();
    if (m_nOrientation == 0) {
        if (pt.y < rc.top - 5 || pt.y > rc.bottom + 5) {
            return kHitOutside;
        }
        if (pt.x >= rc.left - 5 && pt.x <= rc.left + 5) {
            return kHitLeft;
        }
        if (pt.x >= rc.right - 5 && pt.x <= rc.right + 5) {
            return kHitRight;
        }
        if (pt.x > rc.left + 5 && pt.x < rc.right - 5) {
            return kHitMove;
        }
        return kHitOutside;
    }
    if (pt.x < rc.left - 5 || pt.x > rc.right + 5) {
        return kHitOutside;
    }
    if (pt.y >= rc.top - 5 && pt.y <= rc.top + 5) {
        return kHitTop;
    }
    if (pt.y >= rc.bottom - 5 && pt.y <= rc.bottom + 5) {
        return kHitBottom;
    }
    if (pt.y > rc.top + 5 && pt.y < rc.bottom - 5) {
        return kHitMove;
    }
    return kHitOutside;
}

void CEkgGraphWnd::SetCursorKind(int nKind) {
    switch (nKind) {
        case kHitMove:
            viewport()->setCursor(Qt::SizeAllCursor);
            break;
        case kHitLeft:
        case kHitRight:
            viewport()->setCursor(Qt::SizeHorCursor);
            break;
        case kHitTop:
        case kHitBottom:
            viewport()->setCursor(Qt::SizeVerCursor);
            break;
        default:
            viewport()->unsetCursor();
            break;
    }
}

CRectL CEkgGraphWnd::MagnifierSquare(CPointL pt) const {
    pt.x = std::clamp(pt.x, 0, std::max(0, viewport()->width() - 1));
    pt.y = std::clamp(pt.y, 0, std::max(0, viewport()->height() - 1));
    const int nSide = m_magnifier.GetSide();
    CRectL rc;
    rc.left = pt.x - nSide / 2;
    rc.top = pt.y - nSide / 2;
    rc.right = rc.left + nSide;
    rc.bottom = rc.top + nSide;
    return rc;
}

void CEkgGraphWnd::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton) {
        return;
    }
    const CPointL pt{pEvent->position().toPoint().x(), pEvent->position().toPoint().y()};
    m_bButtonDown = TRUE;
    if (!ToolsActive()) {
        return;
    }
    if (m_bMagnifier) {
        const CRectL rcOld = m_rcMagnifier;
        m_rcMagnifier = MagnifierSquare(pt);
        viewport()->update(rcOld.ToQRect().united(m_rcMagnifier.ToQRect()));
        return;
    }
    if (!m_bMeasure) {
        return;
    }
    const int nHit = HitTest(pt);
    if (m_bMeasureRect && nHit >= kHitMove && nHit <= kHitBottom) {
        m_ptAnchor = pt;
        m_nCursorKind = nHit;
        return;
    }
    const BOOL bHadRect = m_bMeasureRect;
    m_ptAnchor = pt;
    m_rcMeasure = CRectL{pt.x, pt.y, pt.x, pt.y};
    m_nCursorKind = kHitOutside;
    if (bHadRect) {
        m_bMeasureRect = FALSE;
        viewport()->update();
        ReportMeasurement();
    }
}

void CEkgGraphWnd::mouseMoveEvent(QMouseEvent* pEvent) {
    const CPointL pt{pEvent->position().toPoint().x(), pEvent->position().toPoint().y()};
    const BOOL bButton = (pEvent->buttons() & Qt::LeftButton) && m_bButtonDown;
    if (!ToolsActive()) {
        return;
    }
    if (m_bMagnifier) {
        if (bButton) {
            const CRectL rcOld = m_rcMagnifier;
            m_rcMagnifier = MagnifierSquare(pt);
            viewport()->update(rcOld.ToQRect().united(m_rcMagnifier.ToQRect()));
        }
        return;
    }
    if (!m_bMeasure) {
        return;
    }
    if (!bButton) {
        SetCursorKind(HitTest(pt));
        return;
    }
    const QRect rcBefore = m_rcMeasure.Normalized().ToQRect();
    switch (m_nCursorKind) {
        case kHitMove: {
            const int dx = pt.x - m_ptAnchor.x, dy = pt.y - m_ptAnchor.y;
            m_rcMeasure.left += dx;
            m_rcMeasure.right += dx;
            m_rcMeasure.top += dy;
            m_rcMeasure.bottom += dy;
            break;
        }
        case kHitLeft:
            m_rcMeasure.left = std::min(pt.x, m_rcMeasure.right - 1);
            break;
        case kHitRight:
            m_rcMeasure.right = std::max(pt.x, m_rcMeasure.left + 1);
            break;
        case kHitTop:
            m_rcMeasure.top = std::min(pt.y, m_rcMeasure.bottom - 1);
            break;
        case kHitBottom:
            m_rcMeasure.bottom = std::max(pt.y, m_rcMeasure.top + 1);
            break;
        default: {
            const int dx = std::abs(pt.x - m_ptAnchor.x), dy = std::abs(pt.y - m_ptAnchor.y);
            if (dy < dx) {
                m_nOrientation = 0;
                m_rcMeasure.top = m_ptAnchor.y - 1;
                m_rcMeasure.bottom = m_ptAnchor.y + 1;
                m_rcMeasure.left = std::min(pt.x, m_ptAnchor.x);
                m_rcMeasure.right = std::max(pt.x, m_ptAnchor.x);
            } else {
                m_nOrientation = 1;
                m_rcMeasure.left = m_ptAnchor.x - 1;
                m_rcMeasure.right = m_ptAnchor.x + 1;
                m_rcMeasure.top = std::min(pt.y, m_ptAnchor.y);
                m_rcMeasure.bottom = std::max(pt.y, m_ptAnchor.y);
            }
            break;
        }
    }
    if (m_nCursorKind >= kHitMove && m_nCursorKind <= kHitBottom) {
        m_ptAnchor = pt;
    }
    m_bMeasureRect = TRUE;
    viewport()->update(rcBefore.united(m_rcMeasure.Normalized().ToQRect()).adjusted(-2, -2, 2, 2));
}

void CEkgGraphWnd::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton || !m_bButtonDown) {
        return;
    }
    m_bButtonDown = FALSE;
    if (!ToolsActive()) {
        return;
    }
    if (m_bMagnifier) {
        m_rcMagnifier = CRectL();
        viewport()->unsetCursor();
        viewport()->update();
        return;
    }
    if (!m_bMeasure) {
        return;
    }
    ReportMeasurement();
    viewport()->update();
}

void CEkgGraphWnd::ReportMeasurement() {
    if (!m_pCtrl) {
        return;
    }
    const int c = m_page.Grid().GetCellSize();
    const CTraceLayout& layout = m_page.Painter().Layout();
    int g = layout.GetGain();
    const int v = layout.GetSpeed();
    if (!m_bMeasureRect) {
        if (m_nOrientation == 1) {
            m_pCtrl->FireEKGMeasureHeight(0);
        } else {
            m_pCtrl->FireEKGMeasureWidth(0, 0);
        }
        return;
    }
    const CRectL rc = m_rcMeasure.Normalized();
    if (m_nOrientation == 1) {
        if (g == 0) {
            g = 3;
        }
        long nValue = 0;
        if (c > 0) {
            const long n = (static_cast<long>(rc.Height()) * 5) / (c * 5);
            switch (g) {
                case 1:
                    nValue = n * 4;
                    break;
                case 2:
                    nValue = n * 2;
                    break;
                case 3:
                    nValue = n;
                    break;
                case 4:
                    nValue = n / 2;
                    break;
                default:
                    nValue = 0;
                    break;
            }
        }
        m_pCtrl->FireEKGMeasureHeight(ToShort(nValue));
        return;
    }
    long m = 0;
    if (c > 0) {
        m = (static_cast<long>(rc.Width()) * 200) / (c * 5);
        switch (v) {
            case 1:
                m *= 2;
                break;
            case 2:
                break;
            case 4:
                m /= 2;
                break;
            default:
                m = 0;
                break;
        }
    }
    long nBpm = 0;
    if (m >= 30) {
        nBpm = static_cast<long>(60.0 / static_cast<double>(m) * 1000.0);
    } else {
        m = 0;
    }
    m_pCtrl->FireEKGMeasureWidth(ToShort(m), ToShort(nBpm));
}
