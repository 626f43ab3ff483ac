#pragma once
// The one-page PDF report of a spirometry test (A4 portrait, millimetre layout): patient
// block, results, parameter table, footer and the graphs of the test type. Written
// uncompressed, in memory first, then through a temporary file renamed over the target.
#include "platform/wintypes.h"
#include "spiro_control/spirotestfile.h"

// A pen of the PDF report: Windows style (5 = none), width in points, RGB colour.
struct CSpiroPdfPen {
    short nStyle = 0;
    short nWidth = 1;
    COLORREF crColor = RGB(0, 0, 0);
};
struct CSpiroPdfPens {
    CSpiroPdfPen grid{2, 1, RGB(0, 0, 0)};
    CSpiroPdfPen graph{0, 1, RGB(0, 0, 0)};
    CSpiroPdfPen post{0, 1, RGB(0, 255, 0)};
    CSpiroPdfPen reference{0, 1, RGB(0xFF, 0xC7, 0xC7)};
};

// What the writer copies of the control's output object.
struct CSpiroPdfFlags {
    int nTestType = 0;
    int nGraphType = 0;
    int nBorder = 5;
    BOOL bPrintDiagnosis = TRUE;
    BOOL bPrintComment = TRUE;
};

class CSpiroPdfWriter {
public:
    // Page geometry in points.
    static constexpr double kMm = 2.8346477;
    static constexpr double kLeft = 42.51971;    // 15 mm
    static constexpr double kTop = 789.4492;     // 278.5 mm above the bottom edge
    static constexpr double kWidth = 510.23657;  // 180 mm

    CSpiroPdfWriter(const CSpiroTestFile& file, const CSpiroPdfPens& pens,
                    const CSpiroPdfFlags& flags)
        : m_file(file), m_pens(pens), m_flags(flags) {}

    // TRUE when the whole document was made and written; FALSE leaves the target as it was.
    BOOL WriteDocument(const CString& strPath);
    // libharu's error of the last failed WriteDocument.
    long GetLastError() const { return m_nLastError; }

private:
    const CSpiroTestFile& m_file;
    CSpiroPdfPens m_pens;
    CSpiroPdfFlags m_flags;
    long m_nLastError = 0;
};
