#pragma once
// The ECG view window that fills the control: owns the shown record, paints it with
// scrolling, offers mouse measuring and the magnifying glass, shows the blinking status
// label, and does the work of every dispatch method of the control.
#include <QAbstractScrollArea>
#include <QFont>
#include <QTimer>
#include <QWidget>

#include "ecg_control/control/ekgdevicelink.h"
#include "ecg_control/control/ekgprintpage.h"
#include "ecg_control/draw/drawtools.h"
#include "ecg_control/draw/ekgpage.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_export/ekgexport.h"
#include "platform/wintypes.h"

class CWavelinCtrl;

// Windows-style rectangle and point: right and bottom are exclusive, like the original's.
struct CRectL {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    BOOL IsEmpty() const { return right <= left || bottom <= top; }
    CRectL Normalized() const;
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
};
struct CPointL {
    int x = 0, y = 0;
};

// The small red label that blinks the device's lead-fault text while monitoring.
class CEkgStatusLabel : public QWidget {
public:
    static constexpr int kId = 70004;
    explicit CEkgStatusLabel(QWidget* pParent);

    // Font height 4 x size (bold "Arial"); re-measures the label.
    void SetLabelSize(int nSize);
    int GetLabelSize() const { return m_nSize; }
    // TRUE when the text changed (compared without regard to case); the size follows it.
    BOOL SetText(const CString& strText);
    const CString& GetText() const { return m_strText; }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    void Measure();

    CString m_strText;
    int m_nSize = 3;
    QFont m_font;
    COLORREF m_crBack = 0x0000FF;
    COLORREF m_crText = 0xFFFFFF;
};

class CEkgGraphWnd : public QAbstractScrollArea, private IEkgLinkOwner {
public:
    static constexpr int kId = 70001;
    static constexpr int kStatusTimerMs = 2000;  // the system value; settings may change it

    // View modes (EKGGetMode).
    enum : short {
        kModeNone = 0,
        kModeFile = 1,
        kModeMonitorConnect = 2,
        kModeMonitorData = 3,
        kModeMonitorStopped = 4,
        kModeRecordConnect = 5,
        kModeRecordData = 6,
        kModeRecordEnded = 7,
        kModeAnalysisConnect = 8,
    };
    // Mouse hit kinds of the measure rectangle.
    enum : int {
        kHitNone = 0,
        kHitOutside = 2,
        kHitMove = 3,
        kHitLeft = 4,
        kHitRight = 5,
        kHitTop = 6,
        kHitBottom = 7,
    };

    explicit CEkgGraphWnd(QWidget* pParent = nullptr);
    ~CEkgGraphWnd() override;

    void SetControl(CWavelinCtrl* pCtrl) { m_pCtrl = pCtrl; }

    // Dispatch methods (same names and meaning as the control's).
    void EKGLockUpdate();
    void EKGUnlockUpdate();
    void EKGInitialize(short nChType, short nGain, short nSpeed, short nRhyCh, short nCellSize,
                       short nBorderCnt);
    void EKGSetCellSize(short n);
    void EKGSetBorderCount(short n);
    BOOL EKGSetGridPen(short nStyle, short nWidth, long cr);
    BOOL EKGSetGridInnerPen(short nStyle, short nWidth, long cr);
    BOOL EKGSetGraphPen(short nStyle, short nWidth, long cr);
    void EKGSetBackColor(long cr);
    void EKGClearGraph();
    BOOL EKGOpenFile(const CString& strPath);
    BOOL EKGSaveFile(const CString& strPath);
    BOOL EKGOpenURL(const CString& strUrl);
    BOOL EKGStartMonitoring(const CString& strIp, short nTimeout);
    BOOL EKGStopMonitoring();
    BOOL EKGStartRecording(const CString& strIp, short nTimeout);
    BOOL EKGStopRecording();
    void EKGSetChType(short n);
    void EKGSetRhyCh(short n);
    void EKGSetGain(short n);
    void EKGSetSpeed(short n);
    short EKGPrint(const CString& strPrinter, short nGain, short nChType, short nRhyCh);
    // Why the last EKGPrint printed nothing; empty after one the queue took.
    CString EKGGetPrintError() const;
    BOOL EKGSetPrintGraphPen(short nStyle, short nWidth, long cr);
    BOOL EKGSetPrintGridPen(short nStyle, short nWidth, long cr);
    BOOL EKGSetPrintGridInnerPen(short nStyle, short nWidth, long cr);
    BOOL EKGMakeImage(const CString& strPath, short nChType, short nGain, short nRhyCh,
                      short nWidth, short bFilter);
    BOOL EKGMakeImageBMP(const CString& strPath, short nChType, short nGain, short nRhyCh,
                         short nWidth, short bFilter);
    BOOL EKGMakePDF(const CString& strPath, short nChType, short nGain, short nRhyCh, short nWidth);
    BOOL EKGMakeXML(const CString& strPath);
    short EKGGetRhythmParam(short nType) const;
    short EKGGetMorphologyParam(short nType, short nCh) const;
    short EKGGetAnalysisCnt() const;
    CString EKGGetAnalysis(short nIndex) const;
    CString EKGGetPatientInfo(short nType) const;
    CString EKGGetComment() const;
    void EKGSetComment(const CString& strText);
    void EKGSetPatientInfo(short nType, const CString& strText);
    void EKGSetFilterInfo(short nAC, short nLPF, short nBF, short nMF);
    CString EKGGetMisc(short nType) const;
    void EKGSetMisc(short nType, const CString& strText);
    void EKGEnableMagnifyGlass(short bEnable, short nCellSize, short nGridCnt);
    void EKGEnableMeasure(short bEnable);
    void EKGSetTime(short nYear, short nMonth, short nDay, short nHour, short nMinute);
    CString EKGGetTime() const;
    void EKGSetPrintDiag(short b);
    void EKGSetPrintParam(short b);
    void EKGSetPrintComment(short b);
    void EKGSetPrintPacemaker(short b);
    short EKGPrintPreview(short nGain, short nChType, short nRhyCh);
    short EKGGetMode() const { return m_nMode; }
    void EKGSetMonitoringBarColor(long cr) { m_crMonitorBar = static_cast<COLORREF>(cr); }
    void EKGShowInnerGrid(short b);
    void EKGShowPacemaker(short b);
    void EKGShowLeadFault(short b) { m_bStatusLabelOn = b != 0; }
    void EKGSetDeviceInfo(short nMode, short n1, short n2, short n3);
    BOOL EKGSetUnit(const CString& strText);
    void EKGSetDiagTempDir(const CString& strDir) { m_strEngineDir = strDir; }
    void EKGSetLanguage(short n);
    BOOL SetBackColor(long cr) { return m_exporter.SetBackColor(cr); }
    BOOL SetGrid(short s, short w, long cr) { return m_exporter.SetGrid(s, w, cr); }
    BOOL SetGrid_Inner(short s, short w, long cr) { return m_exporter.SetGrid_Inner(s, w, cr); }
    BOOL SetGraph(short s, short w, long cr) { return m_exporter.SetGraph(s, w, cr); }

    // 0 = 50 Hz (5000 samples a lead), 1 = 60 Hz (6000).
    void SetMainsMode(int nMode);
    int GetMainsMode() const { return m_nMainsMode; }

    // What the device link and the engine launcher use.
    void CreateStatusLabel();
    CEkgStatusLabel* GetStatusLabel() const { return m_pStatusLabel; }
    void SetStatusText(const CString& strText) { m_strStatusText = strText; }
    void StartStatusTimer() { m_statusTimer.start(); }
    void StopStatusTimer() { m_statusTimer.stop(); }
    // One StatusTimer tick: the label takes the status text and blinks.
    void OnStatusTimer();
    // Sweep of live monitoring for stored item n (5 samples an item).
    void SweepMonitorItem(int nItem);

    // The device link (tests drive its notifications and ticks).
    CEkgDeviceLink& Link() { return m_link; }
    CEkgPrintPage& PrintPage() { return m_printPage; }
    QTimer& StatusTimer() { return m_statusTimer; }

    // Readers for tests and the host side.
    CEkgPage& ScreenPage() { return m_page; }
    CEkgMagnifier& Magnifier() { return m_magnifier; }
    CWaveBuffer& Wave() { return m_wave; }
    CEkgRecordInfo& Info() { return m_info; }
    CMorphologyTable& Morph() { return m_morph; }
    BOOL IsMagnifierOn() const { return m_bMagnifier; }
    BOOL IsMeasureOn() const { return m_bMeasure; }
    BOOL HasMeasureRect() const { return m_bMeasureRect; }
    const CRectL& GetMeasureRect() const { return m_rcMeasure; }
    const CRectL& GetMagnifierRect() const { return m_rcMagnifier; }
    int GetOrientation() const { return m_nOrientation; }
    int GetLanguage() const { return m_nLanguage; }
    const CString& GetEngineDir() const { return m_strEngineDir; }
    int HitTest(CPointL pt) const;
    // Scroll offsets in page pixels.
    int ScrollX() const;
    int ScrollY() const;
    // Recomputes the scroll bars from the page size and the window size.
    void UpdateScrollBars();
    // Draws what the window shows into an image of the viewport's size.
    QImage RenderView();

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;

private:
    void Refresh();
    BOOL ToolsActive() const;
    BOOL IsMonitoring() const;
    void StopLink();
    void DropMonitoringLink();
    BOOL FinishRecording(BOOL bDropped = FALSE);
    void ClearRecordForLink();

    // IEkgLinkOwner
    short LinkMode() const override { return m_nMode; }
    void SetLinkMode(short nMode) override { m_nMode = nMode; }
    void LinkInnerGrid(BOOL bOn) override { EKGShowInnerGrid(bOn ? 1 : 0); }
    void LinkSweep(int nItem) override { SweepMonitorItem(nItem); }
    void LinkStatusText(const CString& strText) override { m_strStatusText = strText; }
    void LinkMonitorDropped() override;
    void LinkRecordDropped() override;
    void LinkRecordEnded() override;
    void LinkSignalNotGood() override;
    void FireConnected(short nError, short nMode) override;
    void FireReceiving(float fPercent) override;
    void FireLeadFault(short nLead) override;
    void FreeRecord();
    void ReportMeasurement();
    void SetCursorKind(int nKind);
    CRectL MagnifierSquare(CPointL pt) const;
    CEkgRecordSources Sources();
    CEkgPrintFlags PrintFlags() const;
    void ApplyColumnsRows();
    void DrawPage(QPainter& painter, const QRect& rc);

    int m_nLanguage = 0;
    CWavelinCtrl* m_pCtrl = nullptr;
    CWaveBuffer m_wave;
    CEkgRecordInfo m_info;
    CMorphologyTable m_morph;
    CEkgDeviceInfo m_deviceInfo;
    CEkgPage m_page;
    CEkgMagnifier m_magnifier;
    CEkgExporter m_exporter;
    CEkgPrintFlags m_printFlags;
    CEkgPrintPage m_printPage;
    CPenSpec m_printGraphPen{PS_SOLID, 1, 0};
    CPenSpec m_printGridPen{PS_SOLID, 1, 0x8080FF};
    CPenSpec m_printInnerPen{PS_SOLID, 1, 0xBFBFFF};
    COLORREF m_crBack = 0xFFFFFF;
    COLORREF m_crMonitorBar = 0x0000FF;
    BOOL m_bMagnifier = FALSE;
    CRectL m_rcMagnifier;
    BOOL m_bMeasure = FALSE;
    BOOL m_bMeasureRect = FALSE;
    int m_nOrientation = 0;
    CRectL m_rcMeasure;
    CPointL m_ptAnchor;
    short m_nMode = kModeNone;
    int m_nSweepItem = -1;
    BOOL m_bButtonDown = FALSE;
    int m_nCursorKind = 0;
    int m_nMainsMode = 0;
    int m_nSpeed = 2;
    BOOL m_bStatusLabelOn = TRUE;
    CString m_strStatusText;
    CEkgStatusLabel* m_pStatusLabel = nullptr;
    CString m_strEngineDir;
    CString m_strBanner;
    CString m_strPrintError;
    QTimer m_statusTimer;
    CEkgDeviceLink m_link{*this, m_wave, m_info};
};
