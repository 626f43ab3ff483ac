#include "lindar/lindarbitmaps.h"

#include <QBitmap>
#include <QPainter>
#include <QPixmap>

namespace lindar {
namespace {
constexpr int kCellW = 16, kCellH = 15;

QImage Blank(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

void Sheet(QPainter& p, int x, QColor c) {
    p.setPen(Qt::black);
    p.setBrush(c);
    p.drawRect(x + 3, 1, 9, 12);
    p.drawLine(x + 5, 4, x + 10, 4);
    p.drawLine(x + 5, 7, x + 10, 7);
    p.drawLine(x + 5, 10, x + 9, 10);
}

void Folder(QPainter& p, int x) {
    p.setPen(Qt::black);
    p.setBrush(QColor(0xF0, 0xC8, 0x50));
    p.drawRect(x + 1, 4, 13, 9);
    p.drawRect(x + 1, 2, 5, 2);
}

QIcon Transparent(const QImage& img) {
    QPixmap pm = QPixmap::fromImage(img);
    pm.setMask(pm.createMaskFromColor(Qt::white));
    return QIcon(pm);
}
}  // namespace

QImage LoadBitmap(UINT nId) {
    switch (nId) {
    case IDB_RESULT_IMAGES: {
        QImage img = Blank(2 * kCellW, kCellH);
        QPainter p(&img);
        Sheet(p, 0, QColor(0xD0, 0xE0, 0xFF));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x20, 0x60, 0xC0));
        p.drawEllipse(kCellW + 5, 5, 6, 6);
        return img;
    }
    case IDB_COMMENT_IMAGES: {
        QImage img = Blank(2 * kCellW, kCellH);
        QPainter p(&img);
        Folder(p, 0);
        Sheet(p, kCellW, QColor(0xFF, 0xFF, 0xC0));
        return img;
    }
    case IDB_INFO_TAB: {
        QImage img = Blank(16, 16);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x20, 0x60, 0xC0));
        p.drawEllipse(1, 1, 14, 14);
        p.setBrush(QColor(0xF8, 0xF8, 0xF8));  // not pure white: stays opaque
        p.drawRect(7, 7, 2, 6);
        p.drawRect(7, 3, 2, 2);
        return img;
    }
    case IDB_ANALYSIS_TAB:
    case IDB_PACEMAKER: {
        QImage img = Blank(16, 16);
        QPainter p(&img);
        p.setPen(QPen(nId == IDB_PACEMAKER ? QColor(0xC0, 0x20, 0x20) : QColor(0x20, 0x80, 0x20), 1.5));
        if (nId == IDB_PACEMAKER) {
            p.drawLine(1, 11, 6, 11);
            p.drawLine(6, 11, 6, 2);
            p.drawLine(6, 2, 7, 11);
            p.drawLine(7, 11, 15, 11);
        } else {
            const QPoint pts[] = {{0, 10}, {4, 10}, {6, 8}, {7, 10}, {8, 2}, {10, 14}, {11, 10}, {15, 10}};
            p.drawPolyline(pts, int(std::size(pts)));
        }
        return img;
    }
    case IDB_RULER: {
        QImage img = Blank(16, 16);
        QPainter p(&img);
        p.setPen(Qt::black);
        p.setBrush(QColor(0xF0, 0xE0, 0x90));
        p.drawRect(0, 5, 15, 6);
        for (int x = 2; x < 15; x += 3) p.drawLine(x, 5, x, x % 2 ? 7 : 8);
        return img;
    }
    case IDB_MAGNIFIER: {
        QImage img = Blank(16, 16);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(QColor(0xD0, 0xF0, 0xFF));
        p.drawEllipse(1, 1, 9, 9);
        p.setPen(QPen(Qt::black, 2.5));
        p.drawLine(9, 9, 14, 14);
        return img;
    }
    default:
        return QImage();
    }
}

QIcon StripIcon(UINT nId, int n) {
    const QImage img = LoadBitmap(nId);
    if (img.isNull() || (n + 1) * kCellW > img.width())
        return QIcon();
    return Transparent(img.copy(n * kCellW, 0, kCellW, kCellH));
}

QIcon BitmapIcon(UINT nId) {
    const QImage img = LoadBitmap(nId);
    return img.isNull() ? QIcon() : Transparent(img);
}
}  // namespace lindar
