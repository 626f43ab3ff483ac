// The Qt side of ZeqGF: the 3-D frame and the one-round message pump.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QRect>

#include "common/ZeqGF.h"
#include "platform/qtmsgpump.h"

namespace {

// One rectangle outline: top and left in one colour, bottom and right in the other.
void Draw3dRect(QPainter* p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    const int x = r.x(), y = r.y(), w = r.width(), h = r.height();
    p->fillRect(x, y, w - 1, 1, topLeft);
    p->fillRect(x, y, 1, h - 1, topLeft);
    p->fillRect(x + w - 1, y, 1, h, bottomRight);
    p->fillRect(x, y + h - 1, w, 1, bottomRight);
}

}  // namespace

void ZeqGF::Draw3DFrame(QPainter* pDC, const QRect& rect, BOOL bSingle, BOOL bRaised) {
    if (!pDC || rect.width() <= 0 || rect.height() <= 0)
        return;
    // The application's palette; without an application, Qt's default one.
    const QPalette pal = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                             ? QGuiApplication::palette()
                             : QPalette();
    const QColor hilight = pal.color(QPalette::Light), shadow = pal.color(QPalette::Dark);
    Draw3dRect(pDC, rect, bRaised ? hilight : shadow, bRaised ? shadow : hilight);
    if (bSingle)
        return;
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    if (inner.width() <= 0 || inner.height() <= 0)
        return;
    const QColor light = pal.color(QPalette::Midlight), dark = pal.color(QPalette::Shadow);
    Draw3dRect(pDC, inner, bRaised ? light : dark, bRaised ? dark : light);
}

void ZeqGF::PeekMsg(MSG& msg) {
    msg.nDispatched = platform::PumpQtEvents();
}
