#include "acq_server/app/icons.h"

#include <QPainter>
#include <QPainterPath>

namespace qaricons {

namespace {

QColor StateColour(int nId) {
    switch (nId) {
        case 133:
            return QColor(230, 160, 20);  // receiving
        case 134:
            return QColor(40, 160, 70);  // running
        case 137:
            return QColor(190, 40, 40);  // stopped
        case 138:
            return QColor(50, 110, 200);  // settings open
        case 139:
            return QColor(230, 160, 20);
        case 140:
            return QColor(250, 210, 90);
        default:
            return QColor(40, 120, 160);  // the program
    }
}

// A heart beat trace on a round badge, in the state's colour.
QPixmap Badge(int nId, int nSize) {
    QPixmap pm(nSize, nSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(StateColour(nId));
    p.drawEllipse(QRectF(1, 1, nSize - 2, nSize - 2));
    QPainterPath trace;
    const double s = nSize / 32.0;
    trace.moveTo(5 * s, 17 * s);
    trace.lineTo(11 * s, 17 * s);
    trace.lineTo(14 * s, 8 * s);
    trace.lineTo(18 * s, 25 * s);
    trace.lineTo(21 * s, 15 * s);
    trace.lineTo(27 * s, 15 * s);
    p.setPen(QPen(Qt::white, 2.5 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    return pm;
}

}  // namespace

QIcon Icon(int nId) {
    QIcon icon;
    for (int n : {16, 22, 32, 48})
        icon.addPixmap(Badge(nId, n));
    return icon;
}

QPixmap Bitmap(int nId) {
    if (nId == 149) {
        QPixmap pm(400, 240);
        pm.fill(QColor(245, 248, 250));
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPixmap(24, 24, Badge(128, 96));
        QFont f = p.font();
        f.setPointSize(22);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(30, 60, 90));
        p.drawText(QRect(140, 40, 250, 50), Qt::AlignLeft | Qt::AlignVCenter, "Qar Server");
        f.setPointSize(10);
        f.setBold(false);
        p.setFont(f);
        p.drawText(QRect(140, 90, 250, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   "RovEzez  Ver 1.16(20160504)");
        p.setPen(QPen(QColor(30, 60, 90), 2));
        p.drawRect(pm.rect().adjusted(1, 1, -2, -2));
        return pm;
    }
    if (nId == 138 || nId == 139) {
        // The header's sort arrows, 9 x 5 on white: 139 points up (ascending), 138 down.
        QPixmap pm(9, 5);
        pm.fill(Qt::white);
        QPainter p(&pm);
        p.setPen(QColor(64, 64, 64));
        for (int y = 0; y < 5; ++y) {
            const int row = nId == 139 ? y : 4 - y;
            p.drawLine(4 - y, row, 4 + y, row);
        }
        return pm;
    }
    return Badge(nId, 16);
}

}  // namespace qaricons
