// The graphs of a spirometry test: flow-volume and volume-time (FVC types 1, 4, 5) with
// their post overlays, slow vital capacity (type 2) and MVV (type 3).
#include <algorithm>

#include <QPolygon>

#include "spiro_control/spiroexport.h"
#include "spirodraw.h"

using namespace spirodraw;

namespace {

int EffectiveGrid(int nGrid) {
    return std::clamp(nGrid, CSpiroExport::kMinGrid, CSpiroExport::kMaxGrid);
}

// A sample count from its slot, within the curve it counts.
LONG Count(const CSpiroPredictData& predict, int nSlot) {
    return std::clamp<LONG>(predict.GetInt(nSlot), 0, CSpiroPredictData::CountLimit(nSlot));
}

}  // namespace

struct CSpiroExport::CFrame {
    int g = 0;   // grid size
    int gx = 0;  // grid origin
    int gy = 0;
    int nTextH = 0;  // height of "A"
    int nLabelH = 0;
};

QSize CSpiroExport::GetGraphSize() const {
    if (m_nTestType < 1 || m_nTestType > 5) {
        return QSize(0, 0);
    }
    const int g = EffectiveGrid(m_nGridSize);
    const int nRows = (spirofile::IsFvcType(m_nTestType) && m_nGraphType == 0) ? 13 : 10;
    return QSize(11 * g + 2 * m_nBorder, nRows * g + 2 * m_nBorder);
}

QFont CSpiroExport::CreateLabelFont(int nHeight) {
    m_nLabelFontHeight = nHeight;
    return MakeLogFont(nHeight, 400);
}

int CSpiroExport::CurveWidth(int w, BOOL bBest, int& nAdj) {
    int nWidth;
    if (w < 7) {
        nWidth = bBest ? w + 4 : w + nAdj;
        if (!bBest) {
            nAdj += 2;
        }
    } else {
        if (bBest) {
            nWidth = w == 7 ? 16 : w + 10;
        } else {
            nWidth = w == 7 ? nAdj + 6 : w + nAdj;
        }
        nAdj = 0;
    }
    return nWidth;
}

void CSpiroExport::DrawScreenGraphs(QPainter& dc, int x, int y, int nWidth, int nHeight,
                                    int nScrollX, int nScrollY) {
    const QFont oldFont = dc.font();
    dc.setFont(CreateLabelFont((EffectiveGrid(m_nGridSize) * 2) / 5));
    switch (m_nTestType) {
        case spirofile::kTypeSvc:
            DrawSlowVitalCapacity(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
            break;
        case spirofile::kTypeMvv:
            DrawMvv(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
            break;
        case spirofile::kTypeFvcPost:
            if (m_nGraphType != 0) {
                DrawVolumeTime(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
                DrawVolumeTimePost(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
            } else {
                DrawFlowVolume(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
                DrawFlowVolumePost(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
            }
            break;
        case spirofile::kTypeFvc:
        case spirofile::kTypeFvcExt:
            if (m_nGraphType != 0) {
                DrawVolumeTime(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
            } else {
                DrawFlowVolume(dc, x, y, nWidth, nHeight, nScrollX, nScrollY);
            }
            break;
        default:
            break;
    }
    dc.setFont(oldFont);
}

CSpiroExport::CFrame CSpiroExport::BeginFrame(QPainter& dc, int x, int y, int w, int h, int sx,
                                              int sy) const {
    CFrame f;
    f.g = EffectiveGrid(m_nGridSize);
    f.nTextH = TextHeight(dc);
    f.nLabelH = m_nLabelFontHeight;
    dc.save();
    dc.setClipRect(QRect(x, y, std::max(w, 0), std::max(h, 0)));
    const int nLeft = x - sx + m_nBorder;
    const int nTop = y - sy + m_nBorder;
    f.gx = nLeft + f.g;
    f.gy = nTop + f.g / 2;
    return f;
}

namespace {

// The horizontal grid of the volume-time, slow vital capacity and MVV graphs: lines
// k = 0..9 one cell apart, the last one (zero) with the axis pen.
void TimeGrid(QPainter& dc, int gx, int gy, int g, const QPen& grid, const QPen& axis) {
    for (int k = 0; k <= 9; ++k) {
        const int y = gy + k * g;
        dc.setPen(k == 9 ? axis : grid);
        dc.drawLine(gx, y, gx + 8 * g, y);
    }
    for (int j = 0; j <= 8; ++j) {
        const int x = gx + j * g;
        dc.setPen(j == 0 ? axis : grid);
        dc.drawLine(x, gy, x, gy + 9 * g);
    }
}

}  // namespace

void CSpiroExport::DrawFlowVolumeCurve(QPainter& dc, const CFrame& f, BOOL bPost,
                                       int nTrial) const {
    const CSpiroPredictData& predict = m_pFile->m_Predict;
    const CSpiroCurveData& curve = m_pFile->m_Curve;
    const int g = f.g;
    const int h = g / 2;
    const int y0 = f.gy + 14 * h;
    const LONG nExp = Count(predict, (bPost ? 9 : 6) + nTrial);
    const LONG nInsp = Count(predict, (bPost ? 15 : 12) + nTrial);
    QPolygon points;
    points.reserve(static_cast<int>(nExp + nInsp + 1));
    points << QPoint(f.gx, y0);
    double dVolume = 0.0;
    for (LONG k = 0; k < nExp; ++k) {
        dVolume += Sample(curve.GetFvcSample(bPost, 1, nTrial - 1, k)) * 0.005;
        const double dFlow = Sample(curve.GetFvcSample(bPost, 1, nTrial - 1, k + 1));
        points << QPoint(Pos(f.gx + g * dVolume), Pos(y0 - h * dFlow));
    }
    const LONG n = nInsp - 1;
    for (LONG k = 0; k < n; ++k) {
        dVolume += Sample(curve.GetFvcSample(bPost, 2, nTrial - 1, k)) * 0.005;
        const double x = f.gx + g * dVolume;
        const int y = Pos(y0 - h * Sample(curve.GetFvcSample(bPost, 2, nTrial - 1, k + 1)));
        if (x < f.gx) {
            points << QPoint(f.gx, y);
            break;
        }
        points << QPoint(Pos(x), y);
    }
    DrawBoundedPolyline(dc, points);
}

void CSpiroExport::DrawVolumeTimeCurve(QPainter& dc, const CFrame& f, BOOL bPost, int nTrial,
                                       BOOL bStopAtEnd) const {
    const CSpiroPredictData& predict = m_pFile->m_Predict;
    const CSpiroCurveData& curve = m_pFile->m_Curve;
    const int g = f.g;
    const int nZero = f.gy + 9 * g;
    // Samples per pixel as a real: 200 samples a second, one second a cell.
    const double p = 200.0 / g;
    const LONG nCount = Count(predict, (bPost ? 3 : 0) + nTrial);
    const LONG nInsp = Count(predict, (bPost ? 15 : 12) + nTrial);
    QPolygon points;
    points.reserve(static_cast<int>(nCount + nInsp + 1));
    points << QPoint(f.gx, nZero);
    double dVpx = 0.0;
    for (LONG i = 0; i < nCount; ++i) {
        dVpx += g * Sample(curve.GetFvcSample(bPost, 1, nTrial - 1, i)) * 0.005;
        points << QPoint(Pos(f.gx + i / p), Pos(nZero - dVpx));
    }
    const LONG n = nInsp - 1;
    if (n > 1) {
        for (LONG i = 1; i < n; ++i) {
            dVpx += g * Sample(curve.GetFvcSample(bPost, 2, nTrial - 1, i)) * 0.005;
            if (dVpx < 0 || (bStopAtEnd && points.last().x() >= f.gx + 8 * g)) {
                break;
            }
            points << QPoint(Pos(f.gx + (i + nCount) / p), Pos(nZero - dVpx));
        }
    }
    DrawBoundedPolyline(dc, points);
}

// The measured curves of the base trials with their legend: all trials, or the best one
// alone (graph selection 1, and the base of a pre/post test).
void CSpiroExport::DrawTrials(QPainter& dc, const CFrame& f, BOOL bFlowVolume) {
    const CSpiroTestInfo& info = m_pFile->m_Info;
    const int g = f.g;
    const BOOL bPrePost = m_nTestType == spirofile::kTypeFvcPost;
    const int nTrials = std::clamp<int>(info.m_nTrials, 0, 3);
    const int nBest = info.m_nBestTrial;
    const int nLegendX = bFlowVolume ? f.gx + 8 * g + g / 3 : f.gx + 7 * g + 3;
    // The base row of a pre/post volume-time graph sits one cell down, beside its post row.
    int nRow = bFlowVolume ? f.gy + g : (bPrePost ? f.gy + g : f.gy);
    int nAdj = m_pens.graph.nWidth > 6 ? -5 : -1;

    auto drawOne = [&](int nTrial, const QPen& pen) {
        dc.setPen(pen);
        if (bFlowVolume) {
            DrawFlowVolumeCurve(dc, f, FALSE, nTrial);
        } else {
            DrawVolumeTimeCurve(dc, f, FALSE, nTrial, TRUE);
        }
        dc.drawLine(nLegendX, nRow, nLegendX + g / 2, nRow);
        const CString strText = bPrePost ? CString("BASE") : "MEAS" + Int(nTrial);
        TextOut(dc, nLegendX + static_cast<int>(0.7 * g), nRow - f.nTextH / 2, strText, kLeft,
                m_crText);
        // The pre/post legend has its post row right below; one best trial needs no mark.
        if (nTrial == nBest && !bPrePost) {
            nRow += g / 2;
            TextOut(dc, nLegendX + static_cast<int>(0.7 * g), nRow - f.nTextH / 2, "[BEST]", kLeft,
                    m_crText);
        }
        nRow += g / 2;
    };

    if (m_nGraphNum == 1 || bPrePost) {
        if (nBest < 1 || nBest > 3) {
            return;
        }
        const QPen pen =
            m_nGraphNum == 1
                ? GeoPen(m_pens.graph)
                : MakePenWidth(m_pens.graph, CurveWidth(m_pens.graph.nWidth, TRUE, nAdj));
        drawOne(nBest, pen);
        return;
    }
    for (int t = 1; t <= nTrials; ++t) {
        const BOOL bBest = t == nBest;
        drawOne(t, MakePenWidth(m_pens.graph, CurveWidth(m_pens.graph.nWidth, bBest, nAdj)));
    }
}

void CSpiroExport::DrawFlowVolume(QPainter& dc, int x, int y, int w, int hgt, int sx, int sy) {
    if (m_pFile == nullptr) {
        return;
    }
    const CFrame f = BeginFrame(dc, x, y, w, hgt, sx, sy);
    const int g = f.g;
    const int h = g / 2;
    const int y0 = f.gy + 14 * h;
    const QPen grid = GeoPen(m_pens.grid);
    const QPen axis = GeoPen(m_pens.axis);
    for (int k = 0; k <= 24; ++k) {
        const int yk = f.gy + k * h;
        dc.setPen(k == 14 ? axis : grid);
        dc.drawLine(f.gx, yk, f.gx + 8 * g, yk);
        if (k % 2 == 0) {
            TextOut(dc, f.gx - 3, yk - f.nLabelH / 2, Int(14 - k), kRight, m_crText);
        }
    }
    for (int j = 0; j <= 8; ++j) {
        const int xj = f.gx + j * g;
        dc.setPen(j == 0 ? axis : grid);
        dc.drawLine(xj, f.gy, xj, f.gy + 12 * g);
        TextOut(dc, xj + 3, y0 + 3, Int(j), kLeft, m_crText);
    }
    TextOut(dc, f.gx + 9 * g + 3, y0 + 3, "[VOL]", kLeft, m_crText);

    // Predicted curve and its tolerance boxes.
    const CSpiroPredictData& predict = m_pFile->m_Predict;
    auto P = [&](int n) {
        return Sample(predict.GetPredicted(static_cast<short>(m_nTestType), static_cast<short>(n)));
    };
    const QPen ref = GeoPen(m_pens.reference);
    dc.setPen(ref);
    const double N = g * P(0);
    const double x1 = f.gx + 0.17 * N;
    const double x2 = x1 + 0.58 * N;
    QPolygon pred;
    pred << QPoint(f.gx, y0) << QPoint(Pos(x1), Pos(y0 - h * P(8)))
         << QPoint(Pos(x2), Pos(y0 - h * P(13))) << QPoint(Pos(x2 + 0.25 * N), y0);
    dc.drawPolyline(pred);
    const int r = std::max(2, g / 20);
    dc.setBrush(Qt::white);
    auto box = [&](double dx, double dParam) {
        const int cx = Pos(dx);
        const int yTop = Pos(y0 - 1.2 * h * dParam);
        const int yBottom = Pos(y0 - 0.8 * h * dParam);
        const QRect rc =
            QRect(QPoint(cx - r, std::min(yTop, yBottom)), QPoint(cx + r, std::max(yTop, yBottom)));
        dc.drawRect(rc.x(), rc.y(), rc.width() - 1, rc.height() - 1);
    };
    box(x1, P(8));
    box(f.gx + 0.5 * N, P(12));
    box(f.gx + 0.75 * N, P(13));
    {
        const int xa = Pos(f.gx + 0.8 * N);
        const int xb = Pos(f.gx + 1.2 * N);
        dc.drawRect(std::min(xa, xb), y0 - r, std::abs(xb - xa), 2 * r);
    }
    dc.setBrush(Qt::NoBrush);
    const int lx = f.gx + 8 * g + g / 3;
    const int nPredRow = f.gy + g / 2;
    dc.drawLine(lx, nPredRow, lx + g / 2, nPredRow);
    TextOut(dc, lx + static_cast<int>(0.7 * g), nPredRow - f.nTextH / 2, "PRED", kLeft, m_crText);

    DrawTrials(dc, f, TRUE);
    dc.restore();
}

void CSpiroExport::DrawFlowVolumePost(QPainter& dc, int x, int y, int w, int hgt, int sx, int sy) {
    if (m_pFile == nullptr) {
        return;
    }
    const CFrame f = BeginFrame(dc, x, y, w, hgt, sx, sy);
    const int g = f.g;
    dc.setPen(GeoPen(m_pens.post));
    const int nBest = m_pFile->m_Info.m_nPostBestTrial;
    if (nBest >= 1 && nBest <= 3) {
        DrawFlowVolumeCurve(dc, f, TRUE, nBest);
    }
    const int lx = f.gx + 8 * g + g / 3;
    const int nRow = f.gy + (3 * g) / 2;
    dc.drawLine(lx, nRow, lx + g / 2, nRow);
    TextOut(dc, lx + static_cast<int>(0.7 * g), nRow - f.nTextH / 2, "POST", kLeft, m_crText);
    dc.restore();
}

void CSpiroExport::DrawVolumeTime(QPainter& dc, int x, int y, int w, int hgt, int sx, int sy) {
    if (m_pFile == nullptr) {
        return;
    }
    const CFrame f = BeginFrame(dc, x, y, w, hgt, sx, sy);
    const int g = f.g;
    TimeGrid(dc, f.gx, f.gy, g, GeoPen(m_pens.grid), GeoPen(m_pens.axis));
    for (int k = 0; k <= 9; ++k) {
        const CString strLabel = k == 0 ? CString("[L]") : Int(9 - k);
        TextOut(dc, f.gx - 3, f.gy + k * g - f.nLabelH / 2, strLabel, kRight, m_crText);
    }
    const int nBottom = f.gy + 9 * g;
    for (int j = 0; j <= 8; ++j) {
        TextOut(dc, f.gx + j * g + 3, nBottom + 3, Int(j), kCentre, m_crText);
    }
    TextOut(dc, f.gx + 9 * g + 3, nBottom + 3, "[SEC]", kCentre, m_crText);
    DrawTrials(dc, f, FALSE);
    dc.restore();
}

void CSpiroExport::DrawVolumeTimePost(QPainter& dc, int x, int y, int w, int hgt, int sx, int sy) {
    if (m_pFile == nullptr) {
        return;
    }
    const CFrame f = BeginFrame(dc, x, y, w, hgt, sx, sy);
    const int g = f.g;
    dc.setPen(GeoPen(m_pens.post));
    const int nBest = m_pFile->m_Info.m_nPostBestTrial;
    if (nBest >= 1 && nBest <= 3) {
        DrawVolumeTimeCurve(dc, f, TRUE, nBest, FALSE);
    }
    const int lx = f.gx + 8 * g + 3;
    const int nRow = f.gy + (3 * g) / 2;
    dc.drawLine(lx, nRow, lx + g / 2, nRow);
    TextOut(dc, lx + static_cast<int>(0.7 * g), nRow - f.nTextH / 2, "POST", kLeft, m_crText);
    dc.restore();
}

void CSpiroExport::DrawSlowVitalCapacity(QPainter& dc, int x, int y, int w, int hgt, int sx,
                                         int sy) {
    if (m_pFile == nullptr) {
        return;
    }
    const CFrame f = BeginFrame(dc, x, y, w, hgt, sx, sy);
    const int g = f.g;
    TimeGrid(dc, f.gx, f.gy, g, GeoPen(m_pens.grid), GeoPen(m_pens.axis));
    for (int k = 0; k <= 9; ++k) {
        const CString strLabel = k == 0 ? CString("[L]") : Int(9 - k);
        TextOut(dc, f.gx - 3, f.gy + k * g - f.nLabelH / 2, strLabel, kRight, m_crText);
    }
    const int nBottom = f.gy + 9 * g;
    for (int j = 0; j <= 8; ++j) {
        TextOut(dc, f.gx + j * g, nBottom + 3, Int(5 * j), kCentre, m_crText);
    }
    TextOut(dc, f.gx + 9 * g + 3, nBottom + 3, "[SEC]", kCentre, m_crText);

    const int nBest = m_pFile->m_Info.m_nBestTrial;
    if (nBest >= 1 && nBest <= 3) {
        dc.setPen(GeoPen(m_pens.graph));
        const LONG nCount = Count(m_pFile->m_Predict, 18 + nBest);
        const LONG nLast = CSpiroPredictData::kSvcTrialSamples - 1;
        // Five seconds a cell at 200 samples a second.
        const double p = 1000.0 / g;
        const int nMid = f.gy + 5 * g;
        QPolygon points;
        points << QPoint(f.gx, nMid);
        for (LONG i = 0; i + 1 < nCount - 1 && i + 1 <= nLast; ++i) {
            const double s = Sample(m_pFile->m_Curve.GetSvcSample(nBest - 1, i + 1));
            points << QPoint(Pos(f.gx + i / p), Pos(nMid + g * s));
        }
        DrawBoundedPolyline(dc, points);
    }
    dc.restore();
}

void CSpiroExport::DrawMvv(QPainter& dc, int x, int y, int w, int hgt, int sx, int sy) {
    if (m_pFile == nullptr) {
        return;
    }
    const CFrame f = BeginFrame(dc, x, y, w, hgt, sx, sy);
    const int g = f.g;
    TimeGrid(dc, f.gx, f.gy, g, GeoPen(m_pens.grid), GeoPen(m_pens.axis));
    TextOut(dc, f.gx - 3, f.gy - f.nLabelH / 2, "[L]", kRight, m_crText);
    TextOut(dc, f.gx - 3, f.gy + g - f.nLabelH / 2, "150", kRight, m_crText);
    TextOut(dc, f.gx - 3, f.gy + 5 * g - f.nLabelH / 2, "75", kRight, m_crText);
    const int nBottom = f.gy + 9 * g;
    for (int j = 0; j <= 8; ++j) {
        TextOut(dc, f.gx + j * g, nBottom + 3, Fixed(1.5 * j, 1), kCentre, m_crText);
    }
    TextOut(dc, f.gx + 9 * g + 3, nBottom + 3, "[SEC]", kCentre, m_crText);

    dc.setPen(GeoPen(m_pens.graph));
    // 1.5 seconds a cell at 200 samples a second; 150 units per 8 cells.
    const double p = 300.0 / g;
    QPolygon points;
    points << QPoint(f.gx, nBottom);
    for (LONG i = 0; i <= 2398; ++i) {
        const double dx = i / p;
        const double s = Sample(m_pFile->m_Curve.GetMvvSample(i + 1));
        points << QPoint(Pos(f.gx + dx), Pos(nBottom - s * g * 0.053333335));
        if (dx > 8 * g) {
            break;
        }
    }
    DrawBoundedPolyline(dc, points);
    dc.restore();
}
