// The report page of a spirometry test: patient block, interpretation and comment,
// parameter table, graphs and footer, on an image (DrawReportPage) or a printer page
// (PrintReportPage) with the same layout rules.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QStringList>

#include "common/ZeqGF.h"
#include "platform/notifier.h"
#include "spiro_control/spiroexport.h"
#include "spiro_control/spiroreporttext.h"
#include "spirodraw.h"

using namespace spirodraw;
using spiroreport::Info;

struct CSpiroExport::CPageContext {
    int cx = 0, cy = 0;
    int B = 0, d = 0;
    int E = 0, W = 0, Q = 0;
    QFont mainFont, smallFont;
};

namespace {

// Value column positions, in units of the table width, by test type.
struct CColumns {
    double afValue[12];
    int nValues;
};
const CColumns* ColumnsOf(int nType) {
    static const CColumns kFvc{{1.25, 1.5, 1.75, 2.25, 2.5, 2.75}, 6};
    static const CColumns kSvc{{1.25, 1.5, 1.75, 2.0}, 4};
    static const CColumns kMvv{{1.25, 1.5}, 2};
    static const CColumns kPost{{1.1, 1.4, 1.7, 2.1, 2.4, 2.7, 3.1, 3.4, 3.7, 4.1, 4.4, 4.7}, 12};
    switch (nType) {
        case spirofile::kTypeFvc:
        case spirofile::kTypeFvcExt:
            return &kFvc;
        case spirofile::kTypeSvc:
            return &kSvc;
        case spirofile::kTypeMvv:
            return &kMvv;
        case spirofile::kTypeFvcPost:
            return &kPost;
        default:
            return nullptr;
    }
}

QFont PointFont(int nPoints) {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                 QStringLiteral("NanumGothic")});
    font.setPointSize(nPoints);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace

short CSpiroExport::DrawReportPage(QImage& image, int cx, int cy) {
    image = QImage();
    if (QGuiApplication::instance() == nullptr) {
        return spiroout::kErrNoDc;
    }
    QImage page;
    if (cx > 0 && cy > 0 && cx <= kMaxPageSide && cy <= kMaxPageSide) {
        page = QImage(cx, cy, QImage::Format_RGB32);
    }
    if (page.isNull()) {
        platform::ShowMessage("Fail to create bitmap!!", platform::MB_OK | platform::MB_ICONERROR);
        return spiroout::kErrBitmap;
    }
    page.fill(Qt::white);
    {
        QPainter dc(&page);
        DrawReportPageOn(dc, cx, cy);
    }
    image = std::move(page);
    return spiroout::kOk;
}

void CSpiroExport::DrawReportPageOn(QPainter& dc, int cx, int cy) {
    dc.setPen(QPen(Qt::black, 1));
    CPageContext ctx;
    ctx.cx = cx;
    ctx.cy = cy;
    ctx.B = cy / 55;
    ctx.d = cy / 110;
    ctx.mainFont = CreateLabelFont(ctx.B);
    ctx.smallFont = CreateLabelFont(static_cast<int>(0.9 * ctx.B));
    dc.setFont(ctx.mainFont);
    m_bScreenPage = TRUE;
    DrawPage(dc, ctx);
}

void CSpiroExport::PrintReportPage(QPainter& dc, const CSpiroPageMetrics& page) {
    dc.save();
    const CSpiroPens saved = m_pens;
    const int nSavedLabel = m_nLabelFontHeight;
    // Screen widths become printer widths: a fifth of a millimetre per pixel of width.
    const double s = page.dWidthMm > 0 ? (page.nWidthPx / page.dWidthMm) * 0.2 : 1.0;
    for (CPenSpec* pPen :
         {&m_pens.axis, &m_pens.grid, &m_pens.graph, &m_pens.reference, &m_pens.post}) {
        if (pPen->nWidth > 1) {
            pPen->nWidth = static_cast<int>(std::min(pPen->nWidth * s, 1e4));
        }
    }
    if (m_pens.graph.nWidth == 1) {
        m_pens.graph.nWidth = 7;
    }
    CPageContext ctx;
    ctx.cx = page.nWidthPx;
    ctx.cy = page.nHeightPx;
    ctx.mainFont = PointFont(9);
    ctx.smallFont = PointFont(8);
    ctx.B = QFontMetrics(ctx.mainFont, dc.device()).height();
    ctx.d = ctx.B / 2;
    // The axis labels are centred with the font they are drawn in.
    m_nLabelFontHeight = ctx.B;
    dc.setFont(ctx.mainFont);
    dc.setPen(QPen(Qt::black, 1));
    m_bScreenPage = FALSE;
    DrawPage(dc, ctx);
    m_bScreenPage = TRUE;
    m_nLabelFontHeight = nSavedLabel;
    m_pens = saved;
    dc.restore();
}

void CSpiroExport::DrawPage(QPainter& dc, const CPageContext& page0) {
    CPageContext page = page0;
    page.E = page.cx / 24;
    page.W = page.cx - 2 * page.E;
    page.Q = page.W / 4;
    const COLORREF crSaved = m_crText;
    m_crText = RGB(0, 0, 0);
    if (m_pFile != nullptr) {
        DrawPatientBlock(dc, page);
        DrawResultBlock(dc, page);
        DrawParamTable(dc, page);
        DrawPageGraphs(dc, page);
        DrawFooter(dc, page);
    }
    m_crText = crSaved;
}

void CSpiroExport::DrawPatientBlock(QPainter& dc, const CPageContext& p) {
    const CSpiroTestFile& file = *m_pFile;
    const int B = p.B, E = p.E, Q = p.Q;
    auto cut = [](const CString& str, int n) { return ZeqGF::CompleteString(str.c_str(), n); };
    TextOut(dc, E, B, cut("Pat-ID : " + Info(file, 0), 25), kLeft, 0);
    TextOut(dc, p.cx - E, B, Info(file, 17) + " MD", kRight, 0);
    TextOut(dc, E, 2 * B, cut("Pat-Name : " + Info(file, 1), 27), kLeft, 0);
    TextOut(dc, p.cx - E, 2 * B, Info(file, 16), kRight, 0);
    TextOut(dc, E, 3 * B, cut("Pat-Surname : " + Info(file, 28), 30), kLeft, 0);
    dc.setPen(QPen(Qt::black, 1));
    dc.drawLine(E, 4 * B + p.d, p.cx - E, 4 * B + p.d);

    TextOut(dc, E, 5 * B, "Age : " + Info(file, 2), kLeft, 0);
    TextOut(dc, E + Q, 5 * B, spiroreport::HeightText(file), kLeft, 0);
    TextOut(dc, E + 2 * Q, 5 * B, spiroreport::RaceText(file), kLeft, 0);
    TextOut(dc, E, 6 * B, "Sex : " + Info(file, 3), kLeft, 0);
    TextOut(dc, E + Q, 6 * B, spiroreport::WeightText(file), kLeft, 0);
    TextOut(dc, E + 2 * Q, 6 * B, spiroreport::SmokeText(file), kLeft, 0);
}

void CSpiroExport::DrawResultBlock(QPainter& dc, const CPageContext& p) {
    const CSpiroTestFile& file = *m_pFile;
    const int B = p.B, E = p.E, Q = p.Q;
    if (m_bPrintComment) {
        TextOut(dc, E + 2 * Q, 8 * B, "Comment :", kLeft, 0);
        const QRect rc(QPoint(E + static_cast<int>(2.5 * Q), 8 * B), QPoint(p.cx - E, 13 * B));
        if (rc.isValid()) {
            dc.save();
            dc.setClipRect(rc);
            dc.setPen(Qt::black);
            dc.drawText(rc, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                        ToQString(Info(file, 18)));
            dc.restore();
        }
    }
    if (!m_bPrintDiagnosis) {
        return;
    }
    const spiroreport::CResultLines lines = spiroreport::ResultLines(file, FALSE);
    TextOut(dc, E, 8 * B, lines.strFormula, kLeft, 0);
    TextOut(dc, E, 9 * B, lines.strResult, kLeft, 0);
    TextOut(dc, E, 10 * B, lines.strExtrapolate, kLeft, 0);
    TextOut(dc, E, 11 * B, lines.strNormalRange, kLeft, 0);
}

void CSpiroExport::DrawParamTable(QPainter& dc, const CPageContext& p) {
    const CSpiroTestFile& file = *m_pFile;
    const short nType = file.GetTestType();
    const CColumns* pColumns = ColumnsOf(nType);
    if (pColumns == nullptr) {
        return;
    }
    const CSpiroParamTable& table = file.m_Param;
    const int B = p.B, E = p.E;
    const int n =
        std::clamp<int>(table.ParamCount(nType, file.GetFormat()), 0, CSpiroParamTable::kFvcRows);
    const int c = std::clamp<int>(CSpiroParamTable::GetParamDepth(nType), 0, pColumns->nValues);
    const double U = nType == spirofile::kTypeFvcPost ? p.W / 5 : p.W / 3;
    auto col = [&](double f) { return E + static_cast<int>(f * U); };
    auto valueCol = [&](int k) { return col(pColumns->afValue[std::clamp(k, 0, 11)]); };
    const BOOL bPost = nType == spirofile::kTypeFvcPost;
    if (bPost) {
        dc.setFont(p.smallFont);
        TextOut(dc, valueCol(7), 12 * B, "BASE", kRight, 0);
        TextOut(dc, valueCol(10), 12 * B, "POST", kRight, 0);
    }
    for (int k = 0; k < c; ++k) {
        TextOut(dc, valueCol(k), 13 * B, spiroreport::Heading(nType, k), kRight, 0);
    }
    // Only the FVC tests of the newest format carry the error-code row.
    const BOOL bEcodeRow = spiroreport::HasEcodeRow(file) && n > 0;
    const int nValueRows = bEcodeRow ? n - 1 : n;
    for (int r = 0; r < nValueRows; ++r) {
        const int y = (14 + r) * B;
        TextOut(dc, E, y, CSpiroParamTable::GetParamLabelString(nType, static_cast<short>(r)),
                kLeft, 0);
        TextOut(dc, col(0.75), y,
                CSpiroParamTable::GetParamUnitString(nType, static_cast<short>(r)), kCentre, 0);
        for (int k = 0; k < c; ++k) {
            TextOut(dc, valueCol(k), y,
                    Fixed(table.GetParam(nType, static_cast<short>(r), static_cast<short>(k)), 2),
                    kRight, 0);
        }
    }
    if (bEcodeRow) {
        const int y = (14 + n - 1) * B;
        TextOut(dc, E, y, CSpiroParamTable::GetParamLabelString(nType, static_cast<short>(n - 1)),
                kLeft, 0);
        for (const spiroreport::CEcodeCell& cell : spiroreport::EcodeRow(file)) {
            TextOut(dc, valueCol(cell.nColumn - 1), y, cell.strText, kRight, 0);
        }
    }
    if (bPost) {
        dc.setFont(p.mainFont);
    }
}

void CSpiroExport::DrawPageGraphs(QPainter& dc, const CPageContext& p) {
    const int nSavedGrid = m_nGridSize;
    const int nSavedBorder = m_nBorder;
    m_nGridSize = p.E & ~1;
    m_nBorder = 0;
    const QSize size0 = GetGraphSize();
    const int B = p.B, E = p.E;
    const int T = 30 * B + (p.cy - 4 * B - size0.height() - 30 * B) / 4;
    const int w = p.cx - 2 * E;
    const int h = p.cy - 4 * B - T;
    const BOOL bScreen = m_bScreenPage;
    // On the image the base curves of a pre/post test are drawn solid and 2 wide.
    auto base = [&](auto draw, int x) {
        const CPenSpec saved = m_pens.graph;
        if (bScreen && m_nTestType == spirofile::kTypeFvcPost) {
            m_pens.graph.nStyle = PS_SOLID;
            m_pens.graph.nWidth = 2;
        }
        (this->*draw)(dc, x, T, w, h, 0, 0);
        m_pens.graph = saved;
    };
    auto post = [&](auto draw, int x) {
        const CPenSpec saved = m_pens.reference;
        if (bScreen) {
            m_pens.reference.nStyle = PS_SOLID;
            m_pens.reference.nWidth = 1;
        }
        (this->*draw)(dc, x, T, w, h, 0, 0);
        m_pens.reference = saved;
    };
    switch (m_nTestType) {
        case spirofile::kTypeSvc:
            DrawSlowVitalCapacity(dc, E, T, w, h, 0, 0);
            break;
        case spirofile::kTypeMvv:
            DrawMvv(dc, E, T, w, h, 0, 0);
            break;
        case spirofile::kTypeFvc:
        case spirofile::kTypeFvcExt:
            DrawVolumeTime(dc, E, T, w, h, 0, 0);
            DrawFlowVolume(dc, E + size0.width(), T, w, h, 0, 0);
            break;
        case spirofile::kTypeFvcPost:
            base(&CSpiroExport::DrawVolumeTime, E);
            post(&CSpiroExport::DrawVolumeTimePost, E);
            base(&CSpiroExport::DrawFlowVolume, E + size0.width());
            post(&CSpiroExport::DrawFlowVolumePost, E + size0.width());
            break;
        default:
            break;
    }
    m_nGridSize = nSavedGrid;
    m_nBorder = nSavedBorder;
}

void CSpiroExport::DrawFooter(QPainter& dc, const CPageContext& p) {
    const CSpiroTestFile& file = *m_pFile;
    const int y = p.cy - 2 * p.B - p.d;
    dc.setPen(QPen(Qt::black, 1));
    dc.drawLine(p.E, y, p.cx - p.E, y);
    TextOut(dc, p.E, y + p.d, spiroreport::DateText(file), kLeft, 0);
    TextOut(dc, p.cx / 2, y + p.d, Info(file, 20), kCentre, 0);
    TextOut(dc, p.cx - p.E, y + p.d, Info(file, 22), kRight, 0);
}
