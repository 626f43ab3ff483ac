#pragma once
// The one-page vector PDF report of an ECG record: A4 landscape, ECG grid, traces in the
// chosen lead format and gain, calibration pulses, header and footer texts. Written
// uncompressed; the file appears only when the whole document was made and saved.
#include <functional>

#include "ecg_export/ekgexportutil.h"
#include "platform/wintypes.h"

// A pen in Windows terms: style 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot,
// 5 none (nothing of that pen is drawn), any other solid.
struct CEkgPdfPen {
    short nStyle = 0;
    short nWidth = 1;
    COLORREF crColor = RGB(0, 0, 0);
};

// Background and pens of the PDF report, as the host sets them (DISPIDs 67 to 70).
struct CEkgPdfStyle {
    COLORREF crBack = RGB(255, 255, 255);
    CEkgPdfPen penGrid{0, 1, RGB(255, 127, 127)};
    CEkgPdfPen penInner{0, 1, RGB(255, 191, 191)};
    CEkgPdfPen penGraph{0, 1, RGB(0, 0, 0)};

    BOOL SetBackColor(long cr);
    BOOL SetGrid(short nStyle, short nWidth, long cr);
    BOOL SetGrid_Inner(short nStyle, short nWidth, long cr);
    BOOL SetGraph(short nStyle, short nWidth, long cr);
};

// Receives the PDF library's error number and detail (the control fires EKGPDFError).
using PdfErrorSink = std::function<void(long nError, long nDetail)>;

// Font and encoder for the PDF text of a code page.
struct CPdfFontChoice {
    enum Family { kSingleByte, kKorean, kSimplifiedChinese, kTraditionalChinese, kJapanese };
    Family eFamily = kSingleByte;
    const char* szFont = "Helvetica";
    const char* szEncoder = "CP1252";
    // The text is converted from the code page to CP1252 first (no encoder of its own).
    BOOL bToCp1252 = FALSE;
};
// The choice for the installation code page (iconv name and Windows number).
CPdfFontChoice ChoosePdfFont(const CString& strCodePage, int nCodePage);

class CEkgPdfWriter {
public:
    // Layout values in PDF units (1 mm = 2.8346465).
    static constexpr double kMm = 2.8346465;
    static constexpr double kGridLeft = 23.5 * kMm;
    static constexpr double kGridTop = 195.0 * kMm;
    static constexpr double kGridWidth = 250.0 * kMm;
    static constexpr double kGridHeight = 185.0 * kMm;

    CEkgPdfWriter() = default;

    void SetFlags(const CEkgPrintFlags& flags) { m_flags = flags; }
    void SetSources(const CEkgRecordSources& sources) { m_sources = sources; }
    void SetStyle(const CEkgPdfStyle& style) { m_style = style; }
    void SetErrorSink(PdfErrorSink sink) { m_fnErrorSink = std::move(sink); }

    // Writes the report for the lead format (0 12x1, 1 6x2 + rhythm, 2 3x4 + rhythm,
    // 3 as 2), the gain index and the rhythm lead. FALSE, with the error handed to the
    // sink, when the document cannot be made or saved; the target is then untouched.
    BOOL WriteDocument(const CString& strPath, short nChType, short nGain, short nRhyCh);

    // Error of the last WriteDocument (0 after success).
    long GetLastError() const { return m_nLastError; }
    long GetLastDetail() const { return m_nLastDetail; }

private:
    CEkgPrintFlags m_flags;
    CEkgRecordSources m_sources;
    CEkgPdfStyle m_style;
    PdfErrorSink m_fnErrorSink;
    long m_nLastError = 0;
    long m_nLastDetail = 0;
};
