#include "ecg_export/ekgpdf.h"

#include <hpdf.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "ecg_control/draw/tracelayout.h"
#include "ecg_control/draw/tracereducer.h"
#include "ecg_control/reporttexts.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/format.h"

namespace {

constexpr double kMm = CEkgPdfWriter::kMm;
constexpr double kGridLeft = CEkgPdfWriter::kGridLeft;
constexpr double kGridTop = CEkgPdfWriter::kGridTop;
constexpr double kGridWidth = CEkgPdfWriter::kGridWidth;
constexpr double kGridHeight = CEkgPdfWriter::kGridHeight;
constexpr double kTextTop = kGridTop + 12.5 * kMm;  // 207.5 mm
constexpr double kSampleStep = 0.05 * kMm;          // 25 mm/s at 500 samples/s
constexpr double kTitleSize = 3.0 * kMm;            // 8.5 units
constexpr double kTextSize = 2.5 * kMm;             // 7.1 units
constexpr double kHeaderRow = 3.0 * kMm;
constexpr double kFooterRow = 5.0 * kMm;
// Traces are drawn by columns of one PDF unit (1/72 inch, 0.35 mm; the trace line of the
// default pen is 0.8 units wide) and only where the page is: a record of any content makes
// a page of ordinary size that any viewer or printer draws at ordinary cost.
constexpr double kTraceColumnsPerUnit = 1.0;

COLORREF ToColor(long cr) {
    return static_cast<COLORREF>(cr) & 0x00FFFFFF;
}

// Errors the library reports while a document is made. Errors met while probing an
// optional font are expected and only end that probe.
struct CPdfErrorState {
    HPDF_STATUS nError = 0;
    HPDF_STATUS nDetail = 0;
    bool bProbing = false;
    bool bProbeFailed = false;
};

void HPDF_STDCALL OnPdfError(HPDF_STATUS nError, HPDF_STATUS nDetail, void* pUser) {
    auto* pState = static_cast<CPdfErrorState*>(pUser);
    if (pState->bProbing) {
        pState->bProbeFailed = true;
        return;
    }
    if (pState->nError == 0) {
        pState->nError = nError;
        pState->nDetail = nDetail;
    }
}

// The scale in mm/mV of a gain index for limb leads (I..aVF) and chest leads (V1..V6).
double LeadScale(short nGain, bool bChest) {
    switch (nGain) {
        case 0:
            return bChest ? 5.0 : 10.0;
        case 1:
            return 2.5;
        case 2:
            return 5.0;
        case 3:
            return 10.0;
        case 4:
            return 20.0;
        default:
            return 0.0;
    }
}

const char* TitleText(short nChType) {
    switch (nChType) {
        case 0:
            return "12Channel Rhythm Report";
        case 1:
            return "6Channel + 1 Rhythm Report";
        case 2:
            return "3Channel + 1 Rhythm Report";
        default:
            return "Unknown Rhythm Report";
    }
}

using platform::Format;

// One page being drawn.
class CPdfPage {
public:
    CPdfPage(HPDF_Doc doc, HPDF_Page page, const CEkgRecordSources& sources,
             const CEkgPrintFlags& flags, const CEkgPdfStyle& style)
        : m_doc(doc), m_page(page), m_sources(sources), m_flags(flags), m_style(style) {}

    void SetFont(HPDF_Font font, const CPdfFontChoice& choice) {
        m_font = font;
        m_choice = choice;
    }
    void Background();
    void Grid();
    void Traces(short nChType, short nGain, short nRhyCh);
    void Texts(short nChType, short nGain);
    void CalibrationPulses(short nChType, short nGain);

private:
    void SetColor(bool bStroke, COLORREF cr);
    bool ApplyPen(const CEkgPdfPen& pen, double dWidthFactor);
    void Trace(int nLead, UINT nFirst, UINT nCount, double dX, double dBaseline, double dScale,
               const char* szLabel);
    void Separator(double dX, double dBaseline);
    void Label(double dX, double dY, const char* szText);
    void Box(double dRowUnit, double dRow1, double dRow2, int nCol1, int nCol2,
             const CString& strText, HPDF_TextAlignment align = HPDF_TALIGN_LEFT);
    CString PdfText(const CString& strText) const;
    UINT Samples() const;
    // The page, widened by the trace line, within the trace's strip (its baseline +- five
    // millivolts, as on every page of the control).
    CPlotRect TraceArea(double dLineWidth, double dBaseline, double dStrip) const;

    HPDF_Doc m_doc;
    HPDF_Page m_page;
    HPDF_Font m_font = nullptr;
    CPdfFontChoice m_choice;
    const CEkgRecordSources& m_sources;
    const CEkgPrintFlags& m_flags;
    const CEkgPdfStyle& m_style;
};

void CPdfPage::SetColor(bool bStroke, COLORREF cr) {
    const HPDF_REAL r = GetRValue(cr) / 255.0f, g = GetGValue(cr) / 255.0f,
                    b = GetBValue(cr) / 255.0f;
    if (bStroke) {
        HPDF_Page_SetRGBStroke(m_page, r, g, b);
    } else {
        HPDF_Page_SetRGBFill(m_page, r, g, b);
    }
}

bool CPdfPage::ApplyPen(const CEkgPdfPen& pen, double dWidthFactor) {
    if (pen.nStyle == 5) {
        return false;
    }
    SetColor(true, pen.crColor);
    HPDF_Page_SetLineWidth(m_page,
                           static_cast<HPDF_REAL>(std::max<short>(pen.nWidth, 0) * dWidthFactor));
    static const HPDF_UINT16 kDash[] = {5, 1};
    static const HPDF_UINT16 kDot[] = {1, 5};
    static const HPDF_UINT16 kDashDot[] = {5, 1, 1, 1};
    static const HPDF_UINT16 kDashDotDot[] = {5, 1, 1, 1, 1, 1};
    switch (pen.nStyle) {
        case 1:
            HPDF_Page_SetDash(m_page, kDash, 2, 2);
            break;
        case 2:
            HPDF_Page_SetDash(m_page, kDot, 2, 1);
            break;
        case 3:
            HPDF_Page_SetDash(m_page, kDashDot, 4, 0);
            break;
        case 4:
            HPDF_Page_SetDash(m_page, kDashDotDot, 6, 0);
            break;
        default:
            HPDF_Page_SetDash(m_page, nullptr, 0, 0);
            break;
    }
    return true;
}

void CPdfPage::Background() {
    SetColor(false, m_style.crBack);
    HPDF_Page_Rectangle(m_page, 0, 0, 2000, 2000);
    HPDF_Page_Fill(m_page);
}

void CPdfPage::Grid() {
    const double dRight = kGridLeft + kGridWidth;
    const double dBottom = kGridTop - kGridHeight;
    if (ApplyPen(m_style.penInner, 0.25)) {
        for (int nGroup = 0; nGroup < 37; ++nGroup) {
            for (int k = 1; k <= 4; ++k) {
                const double y = kGridTop - (nGroup * 5 + k) * kMm;
                HPDF_Page_MoveTo(m_page, kGridLeft, y);
                HPDF_Page_LineTo(m_page, dRight, y);
            }
        }
        for (int nGroup = 0; nGroup < 50; ++nGroup) {
            for (int k = 1; k <= 4; ++k) {
                const double x = kGridLeft + (nGroup * 5 + k) * kMm;
                HPDF_Page_MoveTo(m_page, x, kGridTop);
                HPDF_Page_LineTo(m_page, x, dBottom);
            }
        }
        HPDF_Page_Stroke(m_page);
    }
    if (ApplyPen(m_style.penGrid, 0.5)) {
        for (int i = 0; i <= 37; ++i) {
            const double y = kGridTop - i * 5 * kMm;
            HPDF_Page_MoveTo(m_page, kGridLeft - (i % 5 == 0 ? 3 * kMm : 0), y);
            HPDF_Page_LineTo(m_page, dRight, y);
        }
        for (int j = 0; j <= 50; ++j) {
            const double x = kGridLeft + j * 5 * kMm;
            HPDF_Page_MoveTo(m_page, x, kGridTop + (j % 5 == 0 ? 3 * kMm : 0));
            HPDF_Page_LineTo(m_page, x, dBottom);
        }
        HPDF_Page_Stroke(m_page);
    }
}

// The samples a lead that the page shows: the whole record, but never more than the grid
// holds (a 12-second 60 Hz record shows its first 10 seconds).
UINT CPdfPage::Samples() const {
    const CWaveBuffer* pWave = m_sources.pWave;
    if (pWave == nullptr || !pWave->HasBlock() || pWave->GetChannelCount() < 12 ||
        pWave->GetBytesPerSample() != 2) {
        return 0;
    }
    return std::min<UINT>(pWave->GetSamplesPerChannel(), ekgexport::kGridSamples);
}

void CPdfPage::Label(double dX, double dY, const char* szText) {
    HPDF_Page_BeginText(m_page);
    // The labels come before the header texts, still in the page's first size.
    HPDF_Page_SetFontAndSize(m_page, m_font, static_cast<HPDF_REAL>(kTitleSize));
    HPDF_Page_TextOut(m_page, static_cast<HPDF_REAL>(dX), static_cast<HPDF_REAL>(dY), szText);
    HPDF_Page_EndText(m_page);
}

void CPdfPage::Trace(int nLead, UINT nFirst, UINT nCount, double dX, double dBaseline,
                     double dScale, const char* szLabel) {
    SetColor(false, RGB(0, 0, 0));
    Label(dX + kMm, dBaseline - 5 * kMm, szLabel);
    if (nCount == 0 || !ApplyPen(m_style.penGraph, 0.8)) {
        return;
    }
    const CWaveBuffer& wave = *m_sources.pWave;
    const double dUnit = dScale * 10.0 / 4095.0 * kMm;
    const double dStrip = CTraceLayout::kStripCounts * dUnit;
    CTraceReducer reducer(kTraceColumnsPerUnit, 0.0, kTraceColumnsPerUnit,
                          TraceArea(HPDF_Page_GetLineWidth(m_page), dBaseline, dStrip));
    for (UINT j = 0; j < nCount; ++j) {
        reducer.Add(dX + j * kSampleStep, dBaseline + wave.GetSample(nLead, nFirst + j) * dUnit);
    }
    reducer.Finish();
    for (std::size_t k = 0; k < reducer.PolylineCount(); ++k) {
        std::size_t n = 0;
        const CPlotPoint* pLine = reducer.Polyline(k, &n);
        HPDF_Page_MoveTo(m_page, static_cast<HPDF_REAL>(pLine[0].x),
                         static_cast<HPDF_REAL>(pLine[0].y));
        for (std::size_t i = 1; i < n; ++i) {
            HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(pLine[i].x),
                             static_cast<HPDF_REAL>(pLine[i].y));
        }
    }
    if (m_flags.bPacemaker) {
        for (DWORD dwMark : wave.m_adwMarks) {
            if (dwMark >= nFirst && dwMark < nFirst + nCount) {
                const double x = dX + (dwMark - nFirst) * kSampleStep;
                HPDF_Page_MoveTo(m_page, x, dBaseline + kMm);
                HPDF_Page_LineTo(m_page, x, dBaseline + 5 * kMm);
            }
        }
    }
    HPDF_Page_Stroke(m_page);
}

CPlotRect CPdfPage::TraceArea(double dLineWidth, double dBaseline, double dStrip) const {
    const double dMargin = 2.0 * dLineWidth + 1.0;
    return CPlotRect{-dMargin, std::max(-dMargin, dBaseline - dStrip),
                     HPDF_Page_GetWidth(m_page) + dMargin,
                     std::min(HPDF_Page_GetHeight(m_page) + dMargin, dBaseline + dStrip)};
}

void CPdfPage::Separator(double dX, double dBaseline) {
    if (!ApplyPen(m_style.penGraph, 0.8)) {
        return;
    }
    HPDF_Page_MoveTo(m_page, dX, dBaseline + 10 * kMm);
    HPDF_Page_LineTo(m_page, dX, dBaseline - 10 * kMm);
    HPDF_Page_Stroke(m_page);
}

void CPdfPage::Traces(short nChType, short nGain, short nRhyCh) {
    if (nChType < 0 || nChType > 3) {
        return;
    }
    const UINT n = Samples();
    const int nRhythm = nRhyCh >= 0 && nRhyCh < 12 ? nRhyCh : 0;
    auto scale = [nGain](int nLead) { return LeadScale(nGain, nLead >= 6); };
    if (nChType == 0) {
        for (int i = 0; i < 12; ++i) {
            Trace(i, 0, n, kGridLeft, kGridTop - 15 * kMm * (i + 1), scale(i),
                  ekgreport::LeadName(i));
        }
        return;
    }
    if (nChType == 1) {
        const UINT nHalf = n / 2;
        const double dRightX = kGridLeft + nHalf * kSampleStep;
        for (int i = 0; i < 6; ++i) {
            const double dBaseline = kGridTop - 25 * kMm * (i + 1);
            Trace(i, 0, nHalf, kGridLeft, dBaseline, scale(i), ekgreport::LeadName(i));
            Separator(dRightX, dBaseline);
            Trace(6 + i, nHalf, n - nHalf, dRightX, dBaseline, scale(6 + i),
                  ekgreport::LeadName(6 + i));
        }
        Trace(nRhythm, 0, n, kGridLeft, kGridTop - 175 * kMm, LeadScale(nGain, true),
              ekgreport::LeadName(nRhythm));
        return;
    }
    // Formats 2 and 3: four columns of three leads, each a quarter of the record.
    const UINT nQuarter = n / 4;
    for (int nColumn = 0; nColumn < 4; ++nColumn) {
        const UINT nFirst = nColumn * nQuarter;
        const double dX = kGridLeft + nFirst * kSampleStep;
        for (int nRow = 0; nRow < 3; ++nRow) {
            const int nLead = nColumn * 3 + nRow;
            const double dBaseline = kGridTop - (45 + 40 * nRow) * kMm;
            if (nColumn > 0) {
                Separator(dX, dBaseline);
            }
            Trace(nLead, nFirst, nQuarter, dX, dBaseline, scale(nLead), ekgreport::LeadName(nLead));
        }
    }
    Trace(nRhythm, 0, n, kGridLeft, kGridTop - 165 * kMm, LeadScale(nGain, true),
          ekgreport::LeadName(nRhythm));
}

void CPdfPage::CalibrationPulses(short nChType, short nGain) {
    double dH1 = LeadScale(nGain, false) * kMm, dH2 = LeadScale(nGain, true) * kMm;
    struct Pulse {
        int k, r;
        double h;
    };
    Pulse aPulses[2];
    if (nChType == 0) {
        aPulses[0] = {0, 11, dH1};
        aPulses[1] = {0, 29, dH2};
    } else if (nChType >= 1 && nChType <= 3) {
        aPulses[0] = {2, 16, dH1};
        aPulses[1] = {27, 16, dH2};
    } else {
        return;
    }
    HPDF_Page_SetRGBStroke(m_page, 0.3f, 0.3f, 1.0f);
    HPDF_Page_SetLineWidth(m_page, 1);
    HPDF_Page_SetDash(m_page, nullptr, 0, 0);
    for (const Pulse& pulse : aPulses) {
        const double x0 = kGridLeft + pulse.k * 5 * kMm - kMm;
        const double y0 = kGridTop - pulse.r * 5 * kMm + dH1;
        HPDF_Page_MoveTo(m_page, x0, y0);
        HPDF_Page_LineTo(m_page, x0 - kMm, y0);
        HPDF_Page_LineTo(m_page, x0 - kMm, y0 + pulse.h);
        HPDF_Page_LineTo(m_page, x0 - 6 * kMm, y0 + pulse.h);
        HPDF_Page_LineTo(m_page, x0 - 6 * kMm, y0);
        HPDF_Page_LineTo(m_page, x0 - 7 * kMm, y0);
        HPDF_Page_Stroke(m_page);
    }
}

CString CPdfPage::PdfText(const CString& strText) const {
    if (!m_choice.bToCp1252) {
        return strText;
    }
    return platform::FromUtf16(platform::ToUtf16(strText), "CP1252");
}

void CPdfPage::Box(double dRowUnit, double dRow1, double dRow2, int nCol1, int nCol2,
                   const CString& strText, HPDF_TextAlignment align) {
    const CString strPdf = PdfText(strText);
    if (strPdf.empty()) {
        return;
    }
    HPDF_Page_TextRect(m_page, static_cast<HPDF_REAL>(kGridLeft + nCol1 * 5 * kMm),
                       static_cast<HPDF_REAL>(kTextTop - dRow1 * dRowUnit),
                       static_cast<HPDF_REAL>(kGridLeft + nCol2 * 5 * kMm),
                       static_cast<HPDF_REAL>(kTextTop - dRow2 * dRowUnit), strPdf.c_str(), align,
                       nullptr);
}

// Statements and comments may carry line ends of their own; the report shows one line each.
CString OneLine(const CString& strText) {
    CString strOut;
    for (char ch : strText) {
        if (ch != '\r' && ch != '\n') {
            strOut += ch;
        }
    }
    return strOut;
}

void CPdfPage::Texts(short nChType, short nGain) {
    SetColor(false, RGB(0, 0, 0));
    HPDF_Page_BeginText(m_page);
    HPDF_Page_SetFontAndSize(m_page, m_font, static_cast<HPDF_REAL>(kTitleSize));
    HPDF_Page_SetTextLeading(m_page, static_cast<HPDF_REAL>(kHeaderRow));
    Box(kHeaderRow, 0, 4, 0, 50, TitleText(nChType), HPDF_TALIGN_CENTER);
    HPDF_Page_SetFontAndSize(m_page, m_font, static_cast<HPDF_REAL>(kTextSize));

    const CEkgRecordInfo* pInfo = m_sources.pInfo;
    const CEkgDeviceInfo* pDevice =
        m_sources.pDevice ? m_sources.pDevice : (pInfo ? &pInfo->m_deviceInfo : nullptr);
    if (pInfo != nullptr) {
        const CEkgPatientInfo& patient = pInfo->m_patient;
        Box(kHeaderRow, 0, 1, 0, 50, ekgreport::DateText(patient));
        Box(kHeaderRow, 2, 3, 0, 50, "ID   : " + patient.m_strID);
        Box(kHeaderRow, 3, 4, 0, 50, "Name : " + patient.m_strName + " ");
        Box(kHeaderRow, 4, 5, 0, 50, "Surname : " + patient.m_strSurname + " ");
        Box(kHeaderRow, 5, 6, 0, 50, ekgreport::AgeText(patient));
        Box(kHeaderRow, 6, 7, 0, 50, ekgreport::HeightWeightText(patient));
        Box(kHeaderRow, 0, 1, 40, 50, "Hospital : " + patient.m_strMisc1);
        Box(kHeaderRow, 1, 2, 40, 50, "Confirmed by : " + patient.m_strMisc0);

        if (m_flags.bParam) {
            auto value = [pInfo](int n) { return static_cast<int>(pInfo->GetGlobalValue(n)); };
            Box(kHeaderRow, 2, 3, 7, 50, Format("Heart Rate : %d bpm", value(0)));
            Box(kHeaderRow, 3, 4, 7, 50, Format("PR int. : %d ms", value(1)));
            Box(kHeaderRow, 4, 5, 7, 50, Format("QRS dur. : %d ms", value(2)));
            Box(kHeaderRow, 5, 6, 7, 50, Format("QT/QTc : %d/%d ms", value(3), value(4)));
            Box(kHeaderRow, 6, 7, 7, 50,
                Format("P-R-T axes : %d-%d-%d", value(5), value(6), value(7)));
        }
        int nCommentRow = 2;
        if (m_flags.bDiag) {
            Box(kHeaderRow, 2, 3, 18, 50, "*** Analysis Result *** (Unconfirmed Report)");
            const CStringArray& astrStatements = pInfo->GetStatements();
            const int nStatements = static_cast<int>(astrStatements.size());
            for (int i = 0; i < nStatements; ++i) {
                Box(kHeaderRow, 3 + i, 4 + i, 18, 50, OneLine(astrStatements[i]));
            }
            nCommentRow = nStatements + 3;
        }
        if (m_flags.bComment) {
            Box(kHeaderRow, nCommentRow, nCommentRow + 1, 18, 50, "*** Doctor's Comment ***");
            Box(kHeaderRow, nCommentRow + 1, nCommentRow + 38, 18, 50, patient.m_strComment);
        }
        Box(kFooterRow, 40, 41, 0, 50, ekgreport::FilterText(pInfo->GetFilterItem()));
    }
    const CString strCaption = ekgreport::ScaleCaption(nGain);
    if (!strCaption.empty()) {
        Box(kFooterRow, 40, 41, 15, 50, strCaption);
    }
    if (pDevice != nullptr) {
        Box(kFooterRow, 40, 41, 34, 50, pDevice->m_strDevice);
        Box(kFooterRow, 40, 41, 0, 50, pDevice->m_strCompany, HPDF_TALIGN_RIGHT);
    }
    HPDF_Page_EndText(m_page);
}

CString Upper(const CString& strText) {
    CString strOut = strText;
    for (char& ch : strOut) {
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    return strOut;
}

// Loads the CJK font family a choice needs.
void UseFamily(HPDF_Doc doc, CPdfFontChoice::Family eFamily) {
    switch (eFamily) {
        case CPdfFontChoice::kKorean:
            HPDF_UseKRFonts(doc);
            HPDF_UseKREncodings(doc);
            break;
        case CPdfFontChoice::kSimplifiedChinese:
            HPDF_UseCNSFonts(doc);
            HPDF_UseCNSEncodings(doc);
            break;
        case CPdfFontChoice::kTraditionalChinese:
            HPDF_UseCNTFonts(doc);
            HPDF_UseCNTEncodings(doc);
            break;
        case CPdfFontChoice::kJapanese:
            HPDF_UseJPFonts(doc);
            HPDF_UseJPEncodings(doc);
            break;
        case CPdfFontChoice::kSingleByte:
            break;
    }
}

}  // namespace

CPdfFontChoice ChoosePdfFont(const CString& strCodePage, int nCodePage) {
    CPdfFontChoice choice;
    switch (nCodePage) {
        case 949:
            choice = {CPdfFontChoice::kKorean, "DotumChe", "KSCms-UHC-HW-H", FALSE};
            return choice;
        case 936:
            choice = {CPdfFontChoice::kSimplifiedChinese, "SimSun", "GBK-EUC-H", FALSE};
            return choice;
        case 950:
            choice = {CPdfFontChoice::kTraditionalChinese, "MingLiU", "ETen-B5-H", FALSE};
            return choice;
        case 932:
            choice = {CPdfFontChoice::kJapanese, "MS-Gothic", "90ms-RKSJ-H", FALSE};
            return choice;
        case 1250:
            choice.szEncoder = "CP1250";
            return choice;
        case 1251:
            choice.szEncoder = "CP1251";
            return choice;
        case 1252:
            choice.szEncoder = "CP1252";
            return choice;
        case 1253:
            choice.szEncoder = "CP1253";
            return choice;
        case 1254:
            choice.szEncoder = "CP1254";
            return choice;
        case 1255:
            choice.szEncoder = "CP1255";
            return choice;
        case 1256:
            choice.szEncoder = "CP1256";
            return choice;
        case 1257:
            choice.szEncoder = "CP1257";
            return choice;
        case 1258:
            choice.szEncoder = "CP1258";
            return choice;
        default:
            break;
    }
    // ISO 8859 parts and KOI8-R have encoders of their own (ISO 8859-1 and the rest go
    // through CP1252, which holds every printable character of Latin-1).
    static const char* const kIsoEncoders[] = {
        "ISO8859-2",  "ISO8859-3",  "ISO8859-4",  "ISO8859-5",  "ISO8859-6",
        "ISO8859-7",  "ISO8859-8",  "ISO8859-9",  "ISO8859-10", "ISO8859-11",
        "ISO8859-13", "ISO8859-14", "ISO8859-15", "ISO8859-16"};
    CString strName;
    for (char ch : Upper(strCodePage)) {
        if (ch != '-' && ch != '_') {
            strName += ch;
        }
    }
    if (strName == "KOI8R") {
        choice.szEncoder = "KOI8-R";
        return choice;
    }
    for (const char* szEncoder : kIsoEncoders) {
        CString strKey;
        for (const char* p = szEncoder; *p; ++p) {
            if (*p != '-') {
                strKey += *p;
            }
        }
        if (strName == strKey) {
            choice.szEncoder = szEncoder;
            return choice;
        }
    }
    choice.bToCp1252 = nCodePage != 1252;
    return choice;
}

BOOL CEkgPdfStyle::SetBackColor(long cr) {
    crBack = ToColor(cr);
    return TRUE;
}

BOOL CEkgPdfStyle::SetGrid(short nStyle, short nWidth, long cr) {
    penGrid = {nStyle, nWidth, ToColor(cr)};
    return TRUE;
}

BOOL CEkgPdfStyle::SetGrid_Inner(short nStyle, short nWidth, long cr) {
    penInner = {nStyle, nWidth, ToColor(cr)};
    return TRUE;
}

BOOL CEkgPdfStyle::SetGraph(short nStyle, short nWidth, long cr) {
    penGraph = {nStyle, nWidth, ToColor(cr)};
    return TRUE;
}

BOOL CEkgPdfWriter::WriteDocument(const CString& strPath, short nChType, short nGain,
                                  short nRhyCh) {
    m_nLastError = 0;
    m_nLastDetail = 0;
    auto fail = [this](long nError, long nDetail) {
        m_nLastError = nError;
        m_nLastDetail = nDetail;
        if (m_fnErrorSink) {
            m_fnErrorSink(nError, nDetail);
        }
        return FALSE;
    };
    if (strPath.empty()) {
        return fail(HPDF_FILE_OPEN_ERROR, ENOENT);
    }

    CPdfErrorState state;
    HPDF_Doc doc = HPDF_New(OnPdfError, &state);
    if (doc == nullptr) {
        return fail(HPDF_FAILD_TO_ALLOC_MEM, 0);
    }
    struct DocGuard {
        HPDF_Doc doc;
        ~DocGuard() { HPDF_Free(doc); }
    } guard{doc};

    HPDF_SetCompressionMode(doc, HPDF_COMP_NONE);
    HPDF_SetInfoAttr(doc, HPDF_INFO_AUTHOR, "Corvane");
    HPDF_SetInfoAttr(doc, HPDF_INFO_CREATOR, "RovEzez v1.0");
    HPDF_Page page = HPDF_AddPage(doc);
    if (page == nullptr || state.nError != 0) {
        return fail(state.nError ? state.nError : HPDF_FAILD_TO_ALLOC_MEM, state.nDetail);
    }
    HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_LANDSCAPE);

    CPdfPage pdfPage(doc, page, m_sources, m_flags, m_style);
    pdfPage.Background();
    pdfPage.Grid();

    // The font of the installation code page; Helvetica when a CJK font is not to be had.
    CPdfFontChoice choice = ChoosePdfFont(platform::CodePageName(), platform::CodePageNumber());
    HPDF_Font font = nullptr;
    if (choice.eFamily != CPdfFontChoice::kSingleByte) {
        state.bProbing = true;
        state.bProbeFailed = false;
        UseFamily(doc, choice.eFamily);
        font = HPDF_GetFont(doc, choice.szFont, choice.szEncoder);
        state.bProbing = false;
        if (font == nullptr || state.bProbeFailed) {
            HPDF_ResetError(doc);
            font = nullptr;
            choice = CPdfFontChoice{};
            choice.bToCp1252 = TRUE;
        }
    }
    if (font == nullptr) {
        font = HPDF_GetFont(doc, choice.szFont, choice.szEncoder);
    }
    if (font == nullptr || state.nError != 0) {
        return fail(state.nError ? state.nError : HPDF_INVALID_FONT_NAME, state.nDetail);
    }
    pdfPage.SetFont(font, choice);

    pdfPage.Traces(nChType, nGain, nRhyCh);
    pdfPage.Texts(nChType, nGain);
    pdfPage.CalibrationPulses(nChType, nGain);
    if (state.nError != 0) {
        return fail(state.nError, state.nDetail);
    }

    // Into memory first, then through a temporary file renamed over the target, so that a
    // failed save leaves no file and no half-written report.
    if (HPDF_SaveToStream(doc) != HPDF_OK || state.nError != 0) {
        return fail(state.nError ? state.nError : HPDF_FILE_IO_ERROR, state.nDetail);
    }
    HPDF_UINT32 nSize = HPDF_GetStreamSize(doc);
    std::vector<HPDF_BYTE> abyDocument(nSize);
    HPDF_UINT32 nRead = nSize;
    HPDF_STATUS nStatus = HPDF_ReadFromStream(doc, abyDocument.data(), &nRead);
    if ((nStatus != HPDF_OK && nStatus != HPDF_STREAM_EOF) || nRead != nSize || nSize == 0) {
        return fail(state.nError ? state.nError : HPDF_FILE_IO_ERROR, state.nDetail);
    }
    platform::CAtomicFile file;
    errno = 0;
    if (!file.Open(strPath)) {
        return fail(HPDF_FILE_OPEN_ERROR, errno);
    }
    if (!file.Write(abyDocument.data(), abyDocument.size()) || !file.Commit()) {
        return fail(HPDF_FILE_IO_ERROR, errno);
    }
    return TRUE;
}
