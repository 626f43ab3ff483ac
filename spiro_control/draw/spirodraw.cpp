#include "spirodraw.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>

namespace spirodraw {

double Sample(float fValue) {
    if (std::isnan(fValue)) {
        return 0.0;
    }
    return std::clamp(static_cast<double>(fValue), -1e6, 1e6);
}

int Pos(double dValue) {
    if (std::isnan(dValue)) {
        return 0;
    }
    return static_cast<int>(std::clamp(dValue, -kPosLimit, kPosLimit));
}

QPen MakePenWidth(const CPenSpec& pen, int nWidth) {
    CPenSpec penSpec = pen;
    // Widths beyond any sensible line only cost stroking time.
    penSpec.nWidth = std::clamp(nWidth, 0, 200);
    std::optional<QPen> qpen = MakeGeometricPen(penSpec);
    if (!qpen) {
        penSpec.nStyle = PS_SOLID;
        qpen = MakeGeometricPen(penSpec);
    }
    return *qpen;
}

QPen GeoPen(const CPenSpec& pen) {
    return MakePenWidth(pen, pen.nWidth);
}

void TextOut(QPainter& dc, int x, int y, const CString& strText, EAlign eAlign, COLORREF crText) {
    if (strText.empty()) {
        return;
    }
    const QString str = ToQString(strText);
    const QFontMetrics metrics(dc.font(), dc.device());
    int nLeft = x;
    if (eAlign != kLeft) {
        const int nWidth = metrics.horizontalAdvance(str);
        nLeft = eAlign == kRight ? x - nWidth : x - nWidth / 2;
    }
    const QPen oldPen = dc.pen();
    dc.setPen(ColorFromRef(crText));
    dc.drawText(QPoint(nLeft, y + metrics.ascent()), str);
    dc.setPen(oldPen);
}

int TextHeight(const QPainter& dc) {
    return QFontMetrics(dc.font(), dc.device()).height();
}

}  // namespace spirodraw
