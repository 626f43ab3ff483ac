#pragma once
// The spirometry control's output object: the graphs of a test (flow-volume, volume-time,
// slow vital capacity, MVV, the post overlays), the report page on an image or a printer
// page, and the JPEG, BMP and PDF exports. It draws in the painter's own units (pixels);
// the caller chooses the scale through the grid size. Curve samples are read only through
// the record's bounded accessors, and every value is made finite and clamped before it
// becomes a position.
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QSize>

#include "ecg_control/draw/drawtools.h"
#include "platform/wintypes.h"
#include "spiro_control/spiropdf.h"
#include "spiro_control/spirotestfile.h"

class QPainter;

// Result codes of the outputs (16-bit signed, as the hosts read them).
namespace spiroout {
constexpr short kOk = 0;
constexpr short kErrPath = -13;
constexpr short kErrPdf = -14;
constexpr short kErrJpeg = -15;
constexpr short kErrNoDc = -16;
constexpr short kErrBitmap = -17;
constexpr short kErrPrinter = -18;
constexpr short kErrBmp = -22;
}  // namespace spiroout

// The five screen and paper pens of the control.
struct CSpiroPens {
    CPenSpec axis{PS_SOLID, 2, RGB(0, 0, 0)};
    CPenSpec grid{PS_DOT, 1, RGB(0, 0, 0)};
    CPenSpec graph{PS_SOLID, 2, RGB(0, 0, 0)};
    CPenSpec reference{PS_SOLID, 1, RGB(255, 0, 0)};
    CPenSpec post{PS_SOLID, 2, RGB(0, 255, 0)};
};

// Size of a printer page for PrintReportPage: device pixels and millimetres across.
struct CSpiroPageMetrics {
    int nWidthPx = 0;
    int nHeightPx = 0;
    double dWidthMm = 0.0;
};

class CSpiroExport {
public:
    // The grid is drawn with at least 2 and at most this many pixels per cell.
    static constexpr int kMinGrid = 2;
    static constexpr int kMaxGrid = 4000;
    // Largest image side the report page is rendered at.
    static constexpr int kMaxPageSide = 16384;

    CSpiroExport() = default;
    CSpiroExport(const CSpiroExport&) = delete;
    CSpiroExport& operator=(const CSpiroExport&) = delete;

    // Binds the record whose sections the graphs and reports read.
    void Init(const CSpiroTestFile* pFile) { m_pFile = pFile; }
    const CSpiroTestFile* File() const { return m_pFile; }

    // Drawing state, set by the control's property handlers.
    void SetGridSize(int nGrid) { m_nGridSize = (nGrid % 2 != 0) ? nGrid + 1 : nGrid; }
    int GetGridSize() const { return m_nGridSize; }
    void SetTestType(int nType) { m_nTestType = nType; }
    int GetTestType() const { return m_nTestType; }
    int m_nGraphType = 0;  // 0 flow-volume, else volume-time (FVC types)
    int m_nGraphNum = 0;   // 1 = best trial only
    int m_nBorder = 5;
    BOOL m_bPrintDiagnosis = TRUE;
    BOOL m_bPrintComment = TRUE;
    COLORREF m_crText = RGB(0, 0, 0);  // texts of the screen graphs
    CSpiroPens m_pens;
    CSpiroPdfPens m_pdfPens;

    // (0, 0) for a test type outside 1..5.
    QSize GetGraphSize() const;
    // Arial of that cell height, weight 400; remembers the height for the axis labels.
    QFont CreateLabelFont(int nHeight);
    int LabelFontHeight() const { return m_nLabelFontHeight; }

    // The control's window: the graphs of the test type in (x, y, width, height) moved by
    // the scroll position, with a label font of (grid x 2) / 5.
    void DrawScreenGraphs(QPainter& dc, int x, int y, int nWidth, int nHeight, int nScrollX,
                          int nScrollY);

    // The graph functions draw into the painter's current font.
    void DrawFlowVolume(QPainter& dc, int x, int y, int w, int h, int sx, int sy);
    void DrawFlowVolumePost(QPainter& dc, int x, int y, int w, int h, int sx, int sy);
    void DrawVolumeTime(QPainter& dc, int x, int y, int w, int h, int sx, int sy);
    void DrawVolumeTimePost(QPainter& dc, int x, int y, int w, int h, int sx, int sy);
    void DrawSlowVitalCapacity(QPainter& dc, int x, int y, int w, int h, int sx, int sy);
    void DrawMvv(QPainter& dc, int x, int y, int w, int h, int sx, int sy);

    // Width of the next measured curve drawn with graph pen width w; nAdj starts at -1
    // (-5 when w > 6) and is carried from curve to curve.
    static int CurveWidth(int w, BOOL bBest, int& nAdj);

    // The report page into a new image of cx x cy: 0, or -17 (after "Fail to create
    // bitmap!!") when the image cannot be made.
    short DrawReportPage(QImage& image, int cx, int cy);
    // The same page drawn by a painter on a white surface of cx x cy.
    void DrawReportPageOn(QPainter& dc, int cx, int cy);
    // One report page on a printer page between the caller's page calls; the pens are
    // scaled to the printer's resolution and restored afterwards.
    void PrintReportPage(QPainter& dc, const CSpiroPageMetrics& page);

    // Report page as an image file of width x (width x 8 / 6): 0, -13, -15/-22, -16/-17.
    short SaveJPEG(const CString& strPath, int nWidth);
    short SaveBMP(const CString& strPath, int nWidth);
    // One-page PDF report: 0 when written, -14 when it cannot be made or saved.
    short SavePDF(const CString& strPath, int nWidth);

private:
    struct CFrame;
    struct CPageContext;
    CFrame BeginFrame(QPainter& dc, int x, int y, int w, int h, int sx, int sy) const;
    void DrawFlowVolumeCurve(QPainter& dc, const CFrame& f, BOOL bPost, int nTrial) const;
    void DrawVolumeTimeCurve(QPainter& dc, const CFrame& f, BOOL bPost, int nTrial,
                             BOOL bStopAtEnd) const;
    void DrawTrials(QPainter& dc, const CFrame& f, BOOL bFlowVolume);
    void DrawPage(QPainter& dc, const CPageContext& page);
    void DrawPatientBlock(QPainter& dc, const CPageContext& page);
    void DrawResultBlock(QPainter& dc, const CPageContext& page);
    void DrawParamTable(QPainter& dc, const CPageContext& page);
    void DrawPageGraphs(QPainter& dc, const CPageContext& page);
    void DrawFooter(QPainter& dc, const CPageContext& page);
    short SaveImage(const CString& strPath, int nWidth, BOOL bJpeg);

    const CSpiroTestFile* m_pFile = nullptr;
    int m_nGridSize = 30;
    int m_nTestType = 0;
    int m_nLabelFontHeight = 0;
    BOOL m_bScreenPage = TRUE;  // DrawReportPage (not the printed page) is being drawn
};
