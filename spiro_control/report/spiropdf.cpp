#include "spiro_control/spiropdf.h"

#include <hpdf.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <vector>

#include "ecg_export/ekgpdf.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "spiro_control/spiroreporttext.h"

using spiroreport::Fixed;
using spiroreport::Info;
using spiroreport::Int;

namespace {

constexpr double kMm = CSpiroPdfWriter::kMm;
constexpr double x0 = CSpiroPdfWriter::kLeft;
constexpr double y0 = CSpiroPdfWriter::kTop;
constexpr double kTextRow = 3.0 * kMm;
constexpr double kTableRow = 4.0 * kMm;
constexpr double kFontSize = 3.0 * kMm;
constexpr double kLabelGap = 3.0;

// Errors the library reports while the document is made; probing an optional font may
// fail without harm.
struct CErrorState {
    HPDF_STATUS nError = 0;
    bool bProbing = false;
    bool bProbeFailed = false;
};

void HPDF_STDCALL OnError(HPDF_STATUS nError, HPDF_STATUS, void* pUser) {
    auto* pState = static_cast<CErrorState*>(pUser);
    if (pState->bProbing) {
        pState->bProbeFailed = true;
        return;
    }
    if (pState->nError == 0) {
        pState->nError = nError;
    }
}

// The CJK families libharu must load before their fonts can be had.
struct CFamilyLoader {
    CPdfFontChoice::Family eFamily;
    HPDF_STATUS (*pfnFonts)(HPDF_Doc);
    HPDF_STATUS (*pfnEncodings)(HPDF_Doc);
};
constexpr CFamilyLoader kFamilies[] = {
    {CPdfFontChoice::kKorean, HPDF_UseKRFonts, HPDF_UseKREncodings},
    {CPdfFontChoice::kSimplifiedChinese, HPDF_UseCNSFonts, HPDF_UseCNSEncodings},
    {CPdfFontChoice::kTraditionalChinese, HPDF_UseCNTFonts, HPDF_UseCNTEncodings},
    {CPdfFontChoice::kJapanese, HPDF_UseJPFonts, HPDF_UseJPEncodings},
};

// A finite value within the page's reach.
double Finite(double dValue) {
    if (std::isnan(dValue)) {
        return 0.0;
    }
    return std::clamp(dValue, -1e5, 1e5);
}
double Sample(float fValue) {
    if (std::isnan(fValue)) {
        return 0.0;
    }
    return std::clamp(static_cast<double>(fValue), -1e6, 1e6);
}

LONG Count(const CSpiroPredictData& predict, int nSlot) {
    return std::clamp<LONG>(predict.GetInt(nSlot), 0, CSpiroPredictData::CountLimit(nSlot));
}

// Column edges of the parameter table in millimetres, by test type.
std::vector<double> TableEdges(int nType) {
    switch (nType) {
        case spirofile::kTypeFvc:
        case spirofile::kTypeFvcExt:
            return {0, 30, 70, 85, 100, 125, 140, 155};
        case spirofile::kTypeSvc:
            return {0, 15, 45, 60, 75, 90};
        case spirofile::kTypeMvv:
            return {0, 15, 45};
        case spirofile::kTypeFvcPost:
            return {0, 27, 45, 57, 69, 81, 93, 105, 120, 130, 140, 155, 165, 175};
        default:
            return {};
    }
}

enum EAlign { kLeft, kRight, kCentre };

class CPdfPage {
public:
    CPdfPage(HPDF_Page page, HPDF_Font font, const CPdfFontChoice& choice,
             const CSpiroTestFile& file, const CSpiroPdfPens& pens, const CSpiroPdfFlags& flags)
        : m_page(page),
          m_font(font),
          m_choice(choice),
          m_file(file),
          m_pens(pens),
          m_flags(flags) {}

    void PatientBlock();
    void Results();
    void Table();
    void Footer();
    void Graphs();

private:
    struct CGraph {
        double c;   // cell in points
        double gx;  // grid origin
        double gy;  // first grid line (PDF y)
        double Y(double dDown) const { return gy - dDown; }
    };

    CString PdfText(const CString& strText) const;
    // A text cell from row r1 to r2 (row height h) and column c1 to c2 millimetres.
    void Cell(double h, double r1, double r2, double c1, double c2, const CString& strText,
              HPDF_TextAlignment align = HPDF_TALIGN_LEFT);
    // A text with its top at y (PDF), aligned on x.
    void Label(double x, double yTop, const CString& strText, EAlign eAlign);
    void Line(double xa, double ya, double xb, double yb);
    void SetColor(bool bStroke, COLORREF cr);
    // Width, colour and dash of a pen; FALSE for style 5 (nothing of it is drawn).
    BOOL ApplyPen(const CSpiroPdfPen& pen, double dWidth);
    void GridLine(bool bAxis, double xa, double ya, double xb, double yb);
    void BeginClip(const CGraph& g, double dRows);
    void EndClip();
    void TimeGrid(const CGraph& g);
    void LegendLine(double lx, double row, double c, const CString& strText);

    void FlowVolume(BOOL bPost);
    void VolumeTime(BOOL bPost);
    void SlowVitalCapacity();
    void Mvv();
    void FlowVolumeCurve(const CGraph& g, BOOL bPost, int nTrial);
    void VolumeTimeCurve(const CGraph& g, BOOL bPost, int nTrial, BOOL bStopAtEnd);
    double CurveWidth(BOOL bBest, double& dAdj) const;

    HPDF_Page m_page;
    HPDF_Font m_font;
    CPdfFontChoice m_choice;
    const CSpiroTestFile& m_file;
    const CSpiroPdfPens& m_pens;
    const CSpiroPdfFlags& m_flags;
};

CString CPdfPage::PdfText(const CString& strText) const {
    CString str = strText;
    const std::size_t n = str.find('\0');
    if (n != CString::npos) {
        str.resize(n);
    }
    if (!m_choice.bToCp1252) {
        return str;
    }
    return platform::FromUtf16(platform::ToUtf16(str), "CP1252");
}

void CPdfPage::Cell(double h, double r1, double r2, double c1, double c2, const CString& strText,
                    HPDF_TextAlignment align) {
    const CString strPdf = PdfText(strText);
    if (strPdf.empty()) {
        return;
    }
    HPDF_Page_BeginText(m_page);
    HPDF_Page_SetTextLeading(m_page, static_cast<HPDF_REAL>(kTextRow));
    HPDF_Page_TextRect(m_page, static_cast<HPDF_REAL>(x0 + c1 * kMm),
                       static_cast<HPDF_REAL>(y0 - r1 * h), static_cast<HPDF_REAL>(x0 + c2 * kMm),
                       static_cast<HPDF_REAL>(y0 - r2 * h), strPdf.c_str(), align, nullptr);
    HPDF_Page_EndText(m_page);
}

void CPdfPage::Label(double x, double yTop, const CString& strText, EAlign eAlign) {
    const CString strPdf = PdfText(strText);
    if (strPdf.empty()) {
        return;
    }
    const double dWidth = HPDF_Page_TextWidth(m_page, strPdf.c_str());
    const double dLeft = eAlign == kLeft ? x : (eAlign == kRight ? x - dWidth : x - dWidth / 2);
    HPDF_Page_BeginText(m_page);
    HPDF_Page_TextOut(m_page, static_cast<HPDF_REAL>(Finite(dLeft)),
                      static_cast<HPDF_REAL>(Finite(yTop - 0.8 * kFontSize)), strPdf.c_str());
    HPDF_Page_EndText(m_page);
}

void CPdfPage::Line(double xa, double ya, double xb, double yb) {
    HPDF_Page_MoveTo(m_page, static_cast<HPDF_REAL>(xa), static_cast<HPDF_REAL>(ya));
    HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(xb), static_cast<HPDF_REAL>(yb));
    HPDF_Page_Stroke(m_page);
}

void CPdfPage::SetColor(bool bStroke, COLORREF cr) {
    const HPDF_REAL r = GetRValue(cr) / 255.0f, g = GetGValue(cr) / 255.0f,
                    b = GetBValue(cr) / 255.0f;
    if (bStroke) {
        HPDF_Page_SetRGBStroke(m_page, r, g, b);
    } else {
        HPDF_Page_SetRGBFill(m_page, r, g, b);
    }
}

BOOL CPdfPage::ApplyPen(const CSpiroPdfPen& pen, double dWidth) {
    static const HPDF_UINT16 kDash[] = {3};
    static const HPDF_UINT16 kDot[] = {1};
    static const HPDF_UINT16 kDashDot[] = {5, 1, 1, 1};
    static const HPDF_UINT16 kDashDotDot[] = {5, 1, 1, 1, 1, 1};
    HPDF_Page_SetLineWidth(m_page, static_cast<HPDF_REAL>(std::clamp(dWidth, 0.0, 100.0)));
    SetColor(true, pen.crColor);
    switch (pen.nStyle) {
        case 1:
            HPDF_Page_SetDash(m_page, kDash, 1, 1);
            break;
        case 2:
            HPDF_Page_SetDash(m_page, kDot, 1, 1);
            break;
        case 3:
            HPDF_Page_SetDash(m_page, kDashDot, 4, 0);
            break;
        case 4:
            HPDF_Page_SetDash(m_page, kDashDotDot, 6, 0);
            break;
        case 5:
            SetColor(true, RGB(0, 0, 0));
            return FALSE;
        default:
            HPDF_Page_SetDash(m_page, nullptr, 0, 0);
            break;
    }
    return TRUE;
}

void CPdfPage::GridLine(bool bAxis, double xa, double ya, double xb, double yb) {
    if (bAxis) {
        HPDF_Page_SetLineWidth(
            m_page, static_cast<HPDF_REAL>(std::clamp<double>(m_pens.grid.nWidth, 0, 100)));
        HPDF_Page_SetDash(m_page, nullptr, 0, 0);
        SetColor(true, RGB(0, 0, 0));
        Line(xa, ya, xb, yb);
        return;
    }
    if (ApplyPen(m_pens.grid, m_pens.grid.nWidth)) {
        Line(xa, ya, xb, yb);
    }
}

void CPdfPage::BeginClip(const CGraph& g, double dRows) {
    HPDF_Page_GSave(m_page);
    HPDF_Page_Rectangle(m_page, static_cast<HPDF_REAL>(g.gx), static_cast<HPDF_REAL>(g.Y(dRows)),
                        static_cast<HPDF_REAL>(8 * g.c), static_cast<HPDF_REAL>(dRows));
    HPDF_Page_Clip(m_page);
    HPDF_Page_EndPath(m_page);
}

void CPdfPage::EndClip() {
    HPDF_Page_GRestore(m_page);
}

void CPdfPage::LegendLine(double lx, double row, double c, const CString& strText) {
    Line(lx, row, lx + c / 2, row);
    Label(lx + 0.7 * c, row + kFontSize / 2, strText, kLeft);
}

void CPdfPage::PatientBlock() {
    const double h = kTextRow;
    Cell(h, 1, 2, 0, 180, "Pat-ID : " + Info(m_file, 0));
    Cell(h, 1, 2, 0, 180, Info(m_file, 17) + " MD", HPDF_TALIGN_RIGHT);
    Cell(h, 2, 3, 0, 180, "Pat-Name : " + Info(m_file, 1));
    Cell(h, 2, 3, 0, 180, Info(m_file, 16), HPDF_TALIGN_RIGHT);
    Cell(h, 3, 4, 0, 180, "Pat-Surname : " + Info(m_file, 28));
    HPDF_Page_SetLineWidth(m_page, 1);
    HPDF_Page_SetDash(m_page, nullptr, 0, 0);
    SetColor(true, RGB(0, 0, 0));
    Line(x0, y0 - 4.5 * h, x0 + 180 * kMm, y0 - 4.5 * h);
    Cell(h, 5, 6, 0, 45, "Age : " + Info(m_file, 2));
    Cell(h, 5, 6, 45, 90, spiroreport::HeightText(m_file));
    Cell(h, 5, 6, 90, 180, spiroreport::RaceText(m_file));
    Cell(h, 6, 7, 0, 45, "Sex : " + Info(m_file, 3));
    Cell(h, 6, 7, 45, 90, spiroreport::WeightText(m_file));
    Cell(h, 6, 7, 90, 180, spiroreport::SmokeText(m_file));
}

void CPdfPage::Results() {
    const double h = kTextRow;
    if (m_flags.bPrintDiagnosis) {
        const spiroreport::CResultLines lines = spiroreport::ResultLines(m_file, TRUE);
        Cell(h, 8, 9, 0, 90, lines.strFormula);
        Cell(h, 9, 10, 0, 90, lines.strResult);
        Cell(h, 11, 12, 0, 90, lines.strExtrapolate);
        Cell(h, 12, 13, 0, 90, lines.strNormalRange);
    }
    if (m_flags.bPrintComment) {
        Cell(h, 8, 9, 90, 180, "Comment :");
        Cell(h, 9, 14, 95, 180, Info(m_file, 18));
    }
}

void CPdfPage::Table() {
    const short nType = m_file.GetTestType();
    const std::vector<double> e = TableEdges(nType);
    if (e.empty()) {
        return;
    }
    const double h = kTableRow;
    const double a = 11;
    const int nColumns =
        std::min<int>(CSpiroParamTable::GetParamDepth(nType), static_cast<int>(e.size()) - 2);
    // Value column j (1-based) lies between edges j and j + 1.
    auto value = [&](double r, int j, const CString& strText) {
        if (j >= 1 && j + 1 < static_cast<int>(e.size())) {
            Cell(h, r, r + 1, e[j], e[j + 1], strText, HPDF_TALIGN_RIGHT);
        }
    };
    if (nType == spirofile::kTypeFvcPost) {
        Cell(h, a, a + 1, 110, 140, "BASE", HPDF_TALIGN_CENTER);
        Cell(h, a, a + 1, 145, 175, "POST", HPDF_TALIGN_CENTER);
    }
    for (int k = 0; k < nColumns; ++k) {
        value(a + 1, k + 1, spiroreport::Heading(nType, k));
    }
    const BOOL bEcode = spiroreport::HasEcodeRow(m_file);
    const int nRows = bEcode ? 14
                             : std::clamp<int>(m_file.m_Param.ParamCount(nType, m_file.GetFormat()),
                                               0, CSpiroParamTable::kFvcRows);
    for (int r = 0; r < nRows; ++r) {
        const double row = a + 2 + r;
        Cell(h, row, row + 1, e[0], e[1],
             CSpiroParamTable::GetParamLabelString(nType, static_cast<short>(r)));
        Cell(h, row, row + 1, e[1], e[2],
             CSpiroParamTable::GetParamUnitString(nType, static_cast<short>(r)));
        for (int k = 0; k < nColumns; ++k) {
            value(
                row, k + 1,
                Fixed(m_file.m_Param.GetParam(nType, static_cast<short>(r), static_cast<short>(k)),
                      2));
        }
    }
    if (bEcode) {
        const double row = a + 16;
        Cell(h, row, row + 1, e[0], e[1], CSpiroParamTable::GetParamLabelString(nType, 14));
        for (const spiroreport::CEcodeCell& cell : spiroreport::EcodeRow(m_file)) {
            value(row, cell.nColumn, cell.strText);
        }
    }
}

void CPdfPage::Footer() {
    const double h = kTextRow;
    HPDF_Page_SetLineWidth(m_page, 1);
    HPDF_Page_SetDash(m_page, nullptr, 0, 0);
    SetColor(true, RGB(0, 0, 0));
    Line(x0, y0 - 88.5 * h, x0 + 180 * kMm, y0 - 88.5 * h);
    Cell(h, 89, 90, 0, 180, spiroreport::DateText(m_file));
    Cell(h, 89, 90, 0, 180, Info(m_file, 20), HPDF_TALIGN_CENTER);
    Cell(h, 89, 90, 0, 180, Info(m_file, 22), HPDF_TALIGN_RIGHT);
}

double CPdfPage::CurveWidth(BOOL bBest, double& dAdj) const {
    const double w = m_pens.graph.nWidth;
    const double dBase = 0.625 * w;
    if (bBest) {
        return dBase + w;
    }
    const double dWidth = dBase + dAdj;
    dAdj += 0.5 * w;
    return dWidth;
}

void CPdfPage::FlowVolumeCurve(const CGraph& g, BOOL bPost, int nTrial) {
    const CSpiroPredictData& predict = m_file.m_Predict;
    const CSpiroCurveData& curve = m_file.m_Curve;
    const double h = g.c / 2;
    const double dZero = g.Y(14 * h);
    const LONG nExp = Count(predict, (bPost ? 9 : 6) + nTrial);
    const LONG nInsp = Count(predict, (bPost ? 15 : 12) + nTrial);
    HPDF_Page_MoveTo(m_page, static_cast<HPDF_REAL>(g.gx), static_cast<HPDF_REAL>(dZero));
    double dVolume = 0.0;
    for (LONG k = 0; k < nExp; ++k) {
        dVolume += Sample(curve.GetFvcSample(bPost, 1, nTrial - 1, k)) * 0.005;
        const double dFlow = Sample(curve.GetFvcSample(bPost, 1, nTrial - 1, k + 1));
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(Finite(g.gx + g.c * dVolume)),
                         static_cast<HPDF_REAL>(Finite(dZero + h * dFlow)));
    }
    for (LONG k = 0; k < nInsp - 1; ++k) {
        dVolume += Sample(curve.GetFvcSample(bPost, 2, nTrial - 1, k)) * 0.005;
        const double x = g.gx + g.c * dVolume;
        const double y =
            Finite(dZero + h * Sample(curve.GetFvcSample(bPost, 2, nTrial - 1, k + 1)));
        if (x < g.gx) {
            HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(g.gx), static_cast<HPDF_REAL>(y));
            break;
        }
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(Finite(x)), static_cast<HPDF_REAL>(y));
    }
    HPDF_Page_Stroke(m_page);
}

void CPdfPage::VolumeTimeCurve(const CGraph& g, BOOL bPost, int nTrial, BOOL bStopAtEnd) {
    const CSpiroPredictData& predict = m_file.m_Predict;
    const CSpiroCurveData& curve = m_file.m_Curve;
    const double dZero = g.Y(9 * g.c);
    const double p = 200.0 / g.c;
    const LONG nCount = Count(predict, (bPost ? 3 : 0) + nTrial);
    const LONG nInsp = Count(predict, (bPost ? 15 : 12) + nTrial);
    HPDF_Page_MoveTo(m_page, static_cast<HPDF_REAL>(g.gx), static_cast<HPDF_REAL>(dZero));
    double dVpx = 0.0;
    double dLastX = g.gx;
    for (LONG i = 0; i < nCount; ++i) {
        dVpx += g.c * Sample(curve.GetFvcSample(bPost, 1, nTrial - 1, i)) * 0.005;
        dLastX = g.gx + i / p;
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(dLastX),
                         static_cast<HPDF_REAL>(Finite(dZero + dVpx)));
    }
    for (LONG i = 1; i < nInsp - 1 && nInsp - 1 > 1; ++i) {
        dVpx += g.c * Sample(curve.GetFvcSample(bPost, 2, nTrial - 1, i)) * 0.005;
        if (dVpx < 0 || (bStopAtEnd && dLastX >= g.gx + 8 * g.c)) {
            break;
        }
        dLastX = g.gx + (i + nCount) / p;
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(dLastX),
                         static_cast<HPDF_REAL>(Finite(dZero + dVpx)));
    }
    HPDF_Page_Stroke(m_page);
}

void CPdfPage::FlowVolume(BOOL bPost) {
    const double c = 8 * kMm;
    const CGraph g{c, x0 + 13 * c, y0 - 40 * kTextRow};
    const double h = c / 2;
    const double dZero = g.Y(14 * h);
    const double lx = g.gx + 8 * c + c / 3;
    if (bPost) {
        const int nBest = m_file.m_Info.m_nPostBestTrial;
        ApplyPen(m_pens.post, m_pens.post.nWidth);
        {
            if (nBest >= 1 && nBest <= 3) {
                BeginClip(g, 12 * c);
                FlowVolumeCurve(g, TRUE, nBest);
                EndClip();
            }
            LegendLine(lx, g.Y(1.5 * c), c, "POST");
        }
        return;
    }
    for (int k = 0; k <= 24; ++k) {
        GridLine(k == 14, g.gx, g.Y(k * h), g.gx + 8 * c, g.Y(k * h));
        if (k % 2 == 0) {
            Label(g.gx - kLabelGap, g.Y(k * h) + kFontSize / 2, Int(14 - k), kRight);
        }
    }
    for (int j = 0; j <= 8; ++j) {
        GridLine(j == 0, g.gx + j * c, g.Y(0), g.gx + j * c, g.Y(12 * c));
        Label(g.gx + j * c + kLabelGap, dZero - kLabelGap, Int(j), kLeft);
    }
    Label(g.gx + 9 * c + kLabelGap, dZero - kLabelGap, "[VOL]", kLeft);

    // The predicted curve at a quarter of the reference width, its boxes in its colour.
    auto P = [&](int n) {
        return Sample(m_file.m_Predict.GetPredicted(static_cast<short>(m_flags.nTestType),
                                                    static_cast<short>(n)));
    };
    if (ApplyPen(m_pens.reference, m_pens.reference.nWidth / 4.0)) {
        const double N = c * P(0);
        const double x1 = g.gx + 0.17 * N;
        const double x2 = x1 + 0.58 * N;
        BeginClip(g, 12 * c);
        HPDF_Page_MoveTo(m_page, static_cast<HPDF_REAL>(g.gx), static_cast<HPDF_REAL>(dZero));
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(Finite(x1)),
                         static_cast<HPDF_REAL>(Finite(dZero + h * P(8))));
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(Finite(x2)),
                         static_cast<HPDF_REAL>(Finite(dZero + h * P(13))));
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(Finite(x2 + 0.25 * N)),
                         static_cast<HPDF_REAL>(dZero));
        HPDF_Page_Stroke(m_page);
        const double r = std::max(0.7, c / 20);
        SetColor(false, m_pens.reference.crColor);
        auto box = [&](double cx, double ya, double yb) {
            const double yLow = Finite(std::min(ya, yb));
            HPDF_Page_Rectangle(m_page, static_cast<HPDF_REAL>(Finite(cx - r)),
                                static_cast<HPDF_REAL>(yLow), static_cast<HPDF_REAL>(2 * r),
                                static_cast<HPDF_REAL>(Finite(std::max(ya, yb)) - yLow));
            HPDF_Page_FillStroke(m_page);
        };
        box(x1, dZero + 1.2 * h * P(8), dZero + 0.8 * h * P(8));
        box(g.gx + 0.5 * N, dZero + 1.2 * h * P(12), dZero + 0.8 * h * P(12));
        box(g.gx + 0.75 * N, dZero + 1.2 * h * P(13), dZero + 0.8 * h * P(13));
        const double xa = Finite(g.gx + 0.8 * N), xb = Finite(g.gx + 1.2 * N);
        HPDF_Page_Rectangle(
            m_page, static_cast<HPDF_REAL>(std::min(xa, xb)), static_cast<HPDF_REAL>(dZero - r),
            static_cast<HPDF_REAL>(std::fabs(xb - xa)), static_cast<HPDF_REAL>(2 * r));
        HPDF_Page_FillStroke(m_page);
        EndClip();
        SetColor(false, RGB(0, 0, 0));
        LegendLine(lx, g.Y(c / 2), c, "PRED");
    }

    const CSpiroTestInfo& info = m_file.m_Info;
    const BOOL bPrePost = m_flags.nTestType == spirofile::kTypeFvcPost;
    const int nTrials = std::clamp<int>(info.m_nTrials, 0, 3);
    const int nBest = info.m_nBestTrial;
    double row = g.Y(c);
    double dAdj = 0.0;
    for (int t = 1; t <= 3; ++t) {
        if (bPrePost ? t != nBest : t > nTrials) {
            continue;
        }
        // A curve pen of style 5 draws black without a dash change.
        ApplyPen(m_pens.graph, CurveWidth(t == nBest, dAdj));
        BeginClip(g, 12 * c);
        FlowVolumeCurve(g, FALSE, t);
        EndClip();
        LegendLine(lx, row, c, bPrePost ? CString("BASE") : "MEAS" + Int(t));
        if (t == nBest && !bPrePost) {
            row -= c / 2;
            Label(lx + 0.7 * c, row + kFontSize / 2, "[BEST]", kLeft);
        }
        row -= c / 2;
    }
}

void CPdfPage::TimeGrid(const CGraph& g) {
    const double c = g.c;
    for (int k = 0; k <= 9; ++k) {
        GridLine(k == 9, g.gx, g.Y(k * c), g.gx + 8 * c, g.Y(k * c));
    }
    for (int j = 0; j <= 8; ++j) {
        GridLine(j == 0, g.gx + j * c, g.Y(0), g.gx + j * c, g.Y(9 * c));
    }
}

void CPdfPage::VolumeTime(BOOL bPost) {
    const double c = 8 * kMm;
    const CGraph g{c, x0 + c, y0 - 40 * kTextRow};
    if (bPost) {
        const int nBest = m_file.m_Info.m_nPostBestTrial;
        ApplyPen(m_pens.post, m_pens.post.nWidth);
        {
            if (nBest >= 1 && nBest <= 3) {
                BeginClip(g, 9 * c);
                VolumeTimeCurve(g, TRUE, nBest, FALSE);
                EndClip();
            }
            LegendLine(g.gx + 8 * c + kLabelGap, g.Y(1.5 * c), c, "POST");
        }
        return;
    }
    TimeGrid(g);
    for (int k = 0; k <= 9; ++k) {
        Label(g.gx - kLabelGap, g.Y(k * c) + kFontSize / 2, k == 0 ? CString("[L]") : Int(9 - k),
              kRight);
    }
    for (int j = 0; j <= 8; ++j) {
        Label(g.gx + j * c, g.Y(9 * c) - kLabelGap, Int(j), kCentre);
    }
    Label(g.gx + 9 * c + kLabelGap, g.Y(9 * c) - kLabelGap, "[SEC]", kCentre);

    const CSpiroTestInfo& info = m_file.m_Info;
    const BOOL bPrePost = m_flags.nTestType == spirofile::kTypeFvcPost;
    const int nTrials = std::clamp<int>(info.m_nTrials, 0, 3);
    const int nBest = info.m_nBestTrial;
    const double lx = g.gx + 7 * c + kLabelGap;
    double row = bPrePost ? g.Y(c) : g.Y(0);
    double dAdj = 0.0;
    for (int t = 1; t <= 3; ++t) {
        if (bPrePost ? t != nBest : t > nTrials) {
            continue;
        }
        // A curve pen of style 5 draws black without a dash change.
        ApplyPen(m_pens.graph, CurveWidth(t == nBest, dAdj));
        BeginClip(g, 9 * c);
        VolumeTimeCurve(g, FALSE, t, TRUE);
        EndClip();
        LegendLine(lx, row, c, bPrePost ? CString("BASE") : "MEAS" + Int(t));
        if (t == nBest && !bPrePost) {
            row -= c / 2;
            Label(lx + 0.7 * c, row + kFontSize / 2, "[BEST]", kLeft);
        }
        row -= c / 2;
    }
}

void CPdfPage::SlowVitalCapacity() {
    const double c = 12 * kMm;
    const CGraph g{c, x0 + c, y0 - 40 * kTextRow};
    TimeGrid(g);
    for (int k = 0; k <= 9; ++k) {
        Label(g.gx - kLabelGap, g.Y(k * c) + kFontSize / 2, k == 0 ? CString("[L]") : Int(9 - k),
              kRight);
    }
    for (int j = 0; j <= 8; ++j) {
        Label(g.gx + j * c, g.Y(9 * c) - kLabelGap, Int(5 * j), kCentre);
    }
    Label(g.gx + 9 * c + kLabelGap, g.Y(9 * c) - kLabelGap, "[SEC]", kCentre);
    const int nBest = m_file.m_Info.m_nBestTrial;
    if (nBest < 1 || nBest > 3) {
        return;
    }
    ApplyPen(m_pens.graph, m_pens.graph.nWidth);
    const LONG nCount = Count(m_file.m_Predict, 18 + nBest);
    const double p = 1000.0 / c;
    const double dMid = g.Y(5 * c);
    BeginClip(g, 9 * c);
    HPDF_Page_MoveTo(m_page, static_cast<HPDF_REAL>(g.gx), static_cast<HPDF_REAL>(dMid));
    for (LONG i = 0; i + 1 < nCount - 1 && i + 1 < CSpiroPredictData::kSvcTrialSamples; ++i) {
        const double s = Sample(m_file.m_Curve.GetSvcSample(nBest - 1, i + 1));
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(g.gx + i / p),
                         static_cast<HPDF_REAL>(Finite(dMid - c * s)));
    }
    HPDF_Page_Stroke(m_page);
    EndClip();
}

void CPdfPage::Mvv() {
    const double c = 12 * kMm;
    const CGraph g{c, x0 + c, y0 - 40 * kTextRow};
    TimeGrid(g);
    Label(g.gx - kLabelGap, g.Y(0) + kFontSize / 2, "[L]", kRight);
    Label(g.gx - kLabelGap, g.Y(c) + kFontSize / 2, "150", kRight);
    Label(g.gx - kLabelGap, g.Y(5 * c) + kFontSize / 2, "75", kRight);
    for (int j = 0; j <= 8; ++j) {
        Label(g.gx + j * c, g.Y(9 * c) - kLabelGap, Fixed(1.5 * j, 1), kCentre);
    }
    Label(g.gx + 9 * c + kLabelGap, g.Y(9 * c) - kLabelGap, "[SEC]", kCentre);
    ApplyPen(m_pens.graph, m_pens.graph.nWidth);
    const double p = 300.0 / c;
    const double dBottom = g.Y(9 * c);
    BeginClip(g, 9 * c);
    HPDF_Page_MoveTo(m_page, static_cast<HPDF_REAL>(g.gx), static_cast<HPDF_REAL>(dBottom));
    for (LONG i = 0; i <= 2398; ++i) {
        const double dx = i / p;
        const double s = Sample(m_file.m_Curve.GetMvvSample(i + 1));
        HPDF_Page_LineTo(m_page, static_cast<HPDF_REAL>(g.gx + dx),
                         static_cast<HPDF_REAL>(Finite(dBottom + s * c * 0.053333335)));
        if (dx > 8 * c) {
            break;
        }
    }
    HPDF_Page_Stroke(m_page);
    EndClip();
}

void CPdfPage::Graphs() {
    switch (m_flags.nTestType) {
        case spirofile::kTypeFvc:
        case spirofile::kTypeFvcExt:
            VolumeTime(FALSE);
            FlowVolume(FALSE);
            break;
        case spirofile::kTypeFvcPost:
            VolumeTime(FALSE);
            VolumeTime(TRUE);
            FlowVolume(FALSE);
            FlowVolume(TRUE);
            break;
        case spirofile::kTypeSvc:
            SlowVitalCapacity();
            break;
        case spirofile::kTypeMvv:
            Mvv();
            break;
        default:
            break;
    }
}

}  // namespace

BOOL CSpiroPdfWriter::WriteDocument(const CString& strPath) {
    m_nLastError = 0;
    CErrorState state;
    HPDF_Doc doc = HPDF_New(OnError, &state);
    if (doc == nullptr) {
        m_nLastError = HPDF_FAILD_TO_ALLOC_MEM;
        return FALSE;
    }
    struct CDocGuard {
        HPDF_Doc doc;
        ~CDocGuard() { HPDF_Free(doc); }
    } guard{doc};
    auto fail = [&](long nError) {
        m_nLastError = nError != 0 ? nError : HPDF_FILE_IO_ERROR;
        return FALSE;
    };

    HPDF_SetCompressionMode(doc, HPDF_COMP_NONE);
    HPDF_SetInfoAttr(doc, HPDF_INFO_AUTHOR, "Corvane");
    HPDF_SetInfoAttr(doc, HPDF_INFO_CREATOR, "RovEzez v1.0");
    HPDF_Page page = HPDF_AddPage(doc);
    if (page == nullptr || state.nError != 0) {
        return fail(state.nError);
    }
    HPDF_Page_SetSize(page, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);

    // The font and encoder of the installation code page; Helvetica when a CJK font is not
    // to be had.
    CPdfFontChoice choice = ChoosePdfFont(platform::CodePageName(), platform::CodePageNumber());
    HPDF_Font font = nullptr;
    for (const CFamilyLoader& family : kFamilies) {
        if (family.eFamily != choice.eFamily) {
            continue;
        }
        state.bProbing = true;
        family.pfnFonts(doc);
        family.pfnEncodings(doc);
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
        return fail(state.nError);
    }
    HPDF_Page_SetFontAndSize(page, font, static_cast<HPDF_REAL>(kFontSize));
    HPDF_Page_SetTextRenderingMode(page, HPDF_FILL);
    HPDF_Page_SetRGBFill(page, 0, 0, 0);

    CPdfPage pdfPage(page, font, choice, m_file, m_pens, m_flags);
    pdfPage.PatientBlock();
    pdfPage.Results();
    pdfPage.Table();
    pdfPage.Footer();
    pdfPage.Graphs();
    // A text that did not fit its cell is left short, as the report always was; anything
    // the document itself cannot survive shows again when it is saved.
    HPDF_ResetError(doc);
    state.nError = 0;

    if (HPDF_SaveToStream(doc) != HPDF_OK || state.nError != 0) {
        return fail(state.nError);
    }
    const HPDF_UINT32 nSize = HPDF_GetStreamSize(doc);
    std::vector<HPDF_BYTE> abDocument(nSize);
    HPDF_UINT32 nRead = nSize;
    const HPDF_STATUS nStatus = HPDF_ReadFromStream(doc, abDocument.data(), &nRead);
    if ((nStatus != HPDF_OK && nStatus != HPDF_STREAM_EOF) || nRead != nSize || nSize == 0) {
        return fail(state.nError);
    }
    platform::CAtomicFile file;
    if (!file.Open(strPath) || !file.Write(abDocument.data(), abDocument.size()) ||
        !file.Commit()) {
        return fail(HPDF_FILE_IO_ERROR);
    }
    return TRUE;
}
