#pragma once
// A page of ECG paper with traces: what the view draws on screen, what the image export
// and the preview copy, and what the magnifying glass uses with a larger cell. It also
// renders the one-page report and exports it as JPEG or BMP.
#include <QImage>
#include <QRect>

#include "ecg_control/draw/dib.h"
#include "ecg_control/draw/ekggrid.h"
#include "ecg_control/draw/reportheader.h"
#include "ecg_control/draw/tracepainter.h"

class QPainter;

class CEkgPage {
public:
    // The report page at full size: 2700 x 2025 pixels, 10 pixels a millimetre, origin
    // (50, 12). Images of other sizes are this page drawn scaled.
    static constexpr int kReportWidth = 2700;
    static constexpr int kReportHeight = 2025;
    static constexpr int kReportCell = 10;
    static constexpr int kReportOriginX = 50;
    static constexpr int kReportOriginY = 12;
    // Widths above this are refused (twice the full-size page: a bitmap of that size is
    // already 87 MB).
    static constexpr int kMaxImageWidth = 5400;

    CEkgPage();

    void Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph,
                CEkgDeviceInfo* pDevice);
    // The record's samples or values changed: points are recomputed at the next drawing.
    void Invalidate() { m_painter.Layout().Invalidate(); }
    // Copies sources, grid settings and pens, the painter's pen, layout settings and
    // pacemaker switch, and the report header's settings.
    void CopyFrom(const CEkgPage& other);

    CEkgGrid& Grid() { return m_grid; }
    const CEkgGrid& Grid() const { return m_grid; }
    CTracePainter& Painter() { return m_painter; }
    const CTracePainter& Painter() const { return m_painter; }
    CReportHeader& Header() { return m_header; }
    const CReportHeader& Header() const { return m_header; }

    // Screen settings, forwarded to the painter (and the grid for the cell size).
    void SetFormat(int n) { m_painter.SetFormat(n); }
    void SetGain(int n) { m_painter.SetGain(n); }
    void SetSpeed(int n) { m_painter.SetSpeed(n); }
    void SetRhythmLead(int n) { m_painter.SetRhythmLead(n); }
    void SetCellSize(int n);
    // 50 x 37 large boxes, 60 x 37 in 60 Hz mode, doubled across at speed code 4.
    void SetColumnsRowsForMode(int nMainsMode, int nSpeed);

    // Lays the traces out for the grid they are drawn on (a record longer than the grid
    // shows what the grid holds); every drawing does this first.
    void FitTracesToGrid();

    // Page size in pixels, border included.
    int GetWidth() const { return m_grid.GetBorderWidth(); }
    int GetHeight() const { return m_grid.GetBorderHeight(); }

    // Draws the part rcPart of the page with page point (ox, oy) at its corner. 0 when
    // nothing is to be drawn or the traces could not be laid out.
    BOOL DrawPart(QPainter& painter, QRect rcPart, int nOffsetX, int nOffsetY);
    BOOL DrawAll(QPainter& painter, int x, int y);
    // Redraws the band of samples nFirst..nLast (the sweep while live samples arrive) in a
    // view scrolled by (sx, sy) whose visible width is nVisibleWidth.
    BOOL RedrawRange(QPainter& painter, int nFirst, int nLast, int nScrollX, int nScrollY,
                     int nVisibleWidth);
    // Monitoring sweep for item nItem (samples 5 n .. 5 n + 4): the band redrawn and, before
    // the last item, a 2-pixel bar of crBar over the page's height just after the newest
    // samples.
    BOOL DrawSweep(QPainter& painter, int nItem, int nScrollX, int nScrollY, int nVisibleWidth,
                   COLORREF crBar);

    // The report page at (x, y) with the current cell: paper, traces, texts, pulses. With
    // bRelease the layout's points are dropped afterwards.
    void DrawReportPage(QPainter& painter, int x, int y, BOOL bRelease);
    // Sets the page up for the report of the format, gain and rhythm lead (full-size cell,
    // 50 x 37 grid, border 3; bWhite: white background, for BMP) and draws it on a device of
    // nWidth x nHeight pixels: the full-size page scaled to that size, its pens and fonts
    // with it, smoothed (antialiased) unless it is the full size itself.
    void DrawReport(QPainter& painter, int nFormat, int nGain, int nRhythmLead, BOOL bWhite,
                    int nWidth, int nHeight);
    // The report as an image of nWidth x nWidth * 6 / 8 pixels. FALSE when the size is not
    // positive or above kMaxImageWidth, or (with the message "Fail to create bitmap!!")
    // when the bitmap cannot be had.
    BOOL RenderReport(int nFormat, int nGain, int nRhythmLead, BOOL bWhite, int nWidth,
                      QImage& image);
    // The report as a 24-bit DIB nWidth x nWidth * 6 / 8, optionally smoothed; FALSE as
    // RenderReport.
    BOOL MakeReportDib(int nFormat, int nGain, int nRhythmLead, int nWidth, BOOL bSmooth,
                       BOOL bWhite, CDibBytes& dibBytes);
    // EKGMakeImage (JPEG) and EKGMakeImageBMP (24-bit BMP).
    BOOL MakeImage(const CString& strPath, int nFormat, int nGain, int nRhythmLead, int nWidth,
                   BOOL bSmooth);
    BOOL MakeImageBmp(const CString& strPath, int nFormat, int nGain, int nRhythmLead, int nWidth,
                      BOOL bSmooth);

    // Tests: bitmaps wider than this count as failed allocations (0 = no limit).
    static void SetBitmapWidthLimit(int nWidth);

private:
    BOOL MakeImageFile(const CString& strPath, int nFormat, int nGain, int nRhythmLead, int nWidth,
                       BOOL bSmooth, BOOL bBmp);

    CWaveBuffer* m_pWave = nullptr;
    CEkgRecordInfo* m_pInfo = nullptr;
    CMorphologyTable* m_pMorph = nullptr;
    CEkgDeviceInfo* m_pDevice = nullptr;
    CEkgGrid m_grid;
    CTracePainter m_painter;
    CReportHeader m_header;
};

// The magnifying glass: a second page with a larger cell that shows a square around a
// point of the view.
class CEkgMagnifier {
public:
    // Side of the square at most: more than any screen, and cell x 5 x count of the host's
    // largest values would not fit an int.
    static constexpr int kMaxSide = 32767;

    CEkgMagnifier();
    void Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph);
    // Cell at least 10, grid count at least 2.
    void SetGlass(int nCell, int nCount);
    void SetMainsMode(int nMainsMode);
    int GetSide() const;
    int GetCount() const { return m_nCount; }
    CEkgPage& Page() { return m_page; }

    // Draws the glass for view point (px, py) (mouse position + scroll) with its corner at
    // (x, y); nViewGridWidth is the view grid's width without border.
    void Draw(QPainter& painter, int px, int py, int x, int y, int nViewGridWidth);

private:
    CEkgPage m_page;
    int m_nCount = 2;
};
