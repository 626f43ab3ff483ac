#include "ecg_control/draw/drawtools.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QPoint>
#include <QStringList>

#include "ecg_control/draw/tracereducer.h"
#include "platform/codepage.h"

QColor ColorFromRef(COLORREF cr) {
    return QColor(GetRValue(cr), GetGValue(cr), GetBValue(cr));
}

namespace {
std::optional<Qt::PenStyle> QtStyle(int nStyle) {
    switch (nStyle) {
        case PS_SOLID:
        case PS_INSIDEFRAME:
            return Qt::SolidLine;
        case PS_DASH:
            return Qt::DashLine;
        case PS_DOT:
            return Qt::DotLine;
        case PS_DASHDOT:
            return Qt::DashDotLine;
        case PS_DASHDOTDOT:
            return Qt::DashDotDotLine;
        case PS_NULL:
            return Qt::NoPen;
        default:
            return std::nullopt;
    }
}

QPen Geometric(Qt::PenStyle style, int nWidth, COLORREF cr) {
    QPen pen(QBrush(ColorFromRef(cr)), std::max(nWidth, 1), style, Qt::RoundCap, Qt::RoundJoin);
    pen.setCosmetic(false);
    return pen;
}
}  // namespace

std::optional<QPen> MakePen(const CPenSpec& penSpec) {
    const auto style = QtStyle(penSpec.nStyle);
    if (!style) {
        return std::nullopt;
    }
    if (penSpec.nWidth <= 1) {
        QPen pen(ColorFromRef(penSpec.crColor));
        pen.setStyle(*style);
        pen.setWidth(1);
        pen.setCosmetic(true);
        return pen;
    }
    return Geometric(*style, penSpec.nWidth, penSpec.crColor);
}

std::optional<QPen> MakeGeometricPen(const CPenSpec& penSpec) {
    const auto style = QtStyle(penSpec.nStyle);
    if (!style) {
        return std::nullopt;
    }
    return Geometric(*style, penSpec.nWidth, penSpec.crColor);
}

QFont MakeLogFont(int nCellHeight, int nWeight) {
    nCellHeight = std::max(nCellHeight, 1);
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                 QStringLiteral("NanumGothic"),
                                 QStringLiteral("NanumBarunGothic")});
    font.setWeight(nWeight >= 700 ? QFont::Bold : QFont::Normal);
    font.setHintingPreference(QFont::PreferNoHinting);
    // A positive LOGFONT height is the character cell (ascent + descent), not the em size.
    static double s_dEmPerCell = 0.0;
    if (s_dEmPerCell <= 0.0) {
        QFont probe = font;
        probe.setPixelSize(1000);
        const QFontMetricsF metrics(probe);
        const double dCell = metrics.ascent() + metrics.descent();
        s_dEmPerCell = dCell > 0.0 ? 1000.0 / dCell : 1.0;
    }
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(nCellHeight * s_dEmPerCell))));
    return font;
}

void PulseAmplitudes(int nGain, double* pdFirst, double* pdSecond) {
    double dFirst = 5, dSecond = 5;
    switch (nGain) {
        case 0:
            dFirst = 10, dSecond = 5;
            break;
        case 1:
            dFirst = dSecond = 2.5;
            break;
        case 3:
            dFirst = dSecond = 10;
            break;
        case 4:
            dFirst = dSecond = 20;
            break;
        default:
            break;
    }
    *pdFirst = dFirst;
    *pdSecond = dSecond;
}

void DrawPulse(QPainter& painter, int x, int y, int nCell, double dStartMm, double dBaseMm,
               double dAmpMm, double dWidth) {
    auto px = [nCell](double dMm) { return static_cast<int>(dMm * nCell); };
    const int nBase = y + px(dBaseMm);
    const int nTop = y + px(dBaseMm - dAmpMm);
    const int nRise = x + px(dStartMm + 1);
    const int nFall = x + px(dStartMm + 1 + 5 * dWidth);
    const QPoint points[] = {
        {x + px(dStartMm), nBase},
        {nRise, nBase},
        {nRise, nTop},
        {nFall, nTop},
        {nFall, nBase},
        {x + px(dStartMm + 2 + 5 * dWidth), nBase},
    };
    painter.drawPolyline(points, 6);
}

void DrawBoundedPolyline(QPainter& painter, const QPoint* pPoints, int nCount,
                         const std::optional<std::pair<int, int>>& band) {
    if (pPoints == nullptr || nCount < 2 || painter.pen().style() == Qt::NoPen) {
        return;
    }
    const QTransform xf = painter.combinedTransform();
    const QPaintDevice* pDevice = painter.device();
    if (pDevice == nullptr || xf.type() > QTransform::TxScale || !xf.isInvertible()) {
        painter.drawPolyline(pPoints, nCount);
        return;
    }
    // What can be seen, widened by the pen (its caps and joins included) and two pixels.
    const double dScaleX = std::abs(xf.m11()), dScaleY = std::abs(xf.m22());
    const QPen pen = painter.pen();
    const double dPen =
        std::max(pen.widthF(), 1.0) * (pen.isCosmetic() ? 1.0 : std::max(dScaleX, dScaleY));
    const double dMargin = 2.0 * dPen + 2.0;
    QRectF rcVisible = xf.inverted().mapRect(QRectF(0, 0, pDevice->width(), pDevice->height()));
    if (painter.hasClipping()) {
        rcVisible = rcVisible.intersected(painter.clipBoundingRect());
    }
    if (band) {
        const double dTop = std::max(rcVisible.top(), static_cast<double>(band->first));
        const double dBottom = std::min(rcVisible.bottom(), static_cast<double>(band->second));
        rcVisible.setTop(dTop);
        rcVisible.setBottom(dBottom);
    }
    if (rcVisible.isEmpty()) {
        return;
    }
    rcVisible.adjust(-dMargin / dScaleX, -dMargin / dScaleY, dMargin / dScaleX, dMargin / dScaleY);
    CTraceReducer reducer(
        xf.m11(), xf.dx(), xf.m22(),
        CPlotRect{rcVisible.left(), rcVisible.top(), rcVisible.right(), rcVisible.bottom()});
    for (int i = 0; i < nCount; ++i) {
        reducer.Add(pPoints[i].x(), pPoints[i].y());
    }
    reducer.Finish();
    static_assert(sizeof(QPointF) == sizeof(CPlotPoint), "polylines are drawn as QPointFs");
    for (std::size_t k = 0; k < reducer.PolylineCount(); ++k) {
        std::size_t n = 0;
        const CPlotPoint* pLine = reducer.Polyline(k, &n);
        painter.drawPolyline(reinterpret_cast<const QPointF*>(pLine), static_cast<int>(n));
    }
}

QString ToQString(const CString& strText) {
    if (strText.empty()) {
        return {};
    }
    return QString::fromStdString(platform::ToUtf8(strText));
}

BOOL ClipPart(QRect& rcPart, int& nOffsetX, int& nOffsetY) {
    int x = rcPart.x(), y = rcPart.y(), w = rcPart.width(), h = rcPart.height();
    if (nOffsetX < 0) {
        x -= nOffsetX;
        w += nOffsetX;
        nOffsetX = 0;
    }
    if (nOffsetY < 0) {
        y -= nOffsetY;
        h += nOffsetY;
        nOffsetY = 0;
    }
    rcPart = QRect(x, y, w, h);
    return w > 0 && h > 0;
}
