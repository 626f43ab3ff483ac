#pragma once
// Pixel probes on rendered images.
#include <QColor>
#include <QImage>
#include <QRect>

namespace probe {

inline bool IsDark(QRgb rgb) {
    return qRed(rgb) < 100 && qGreen(rgb) < 100 && qBlue(rgb) < 100;
}

inline bool Is(const QImage& image, int x, int y, QColor color) {
    return image.pixelColor(x, y).rgb() == color.rgb();
}

// Longest run of dark pixels down column x between y0 and y1 (inclusive).
inline int LongestDarkRun(const QImage& image, int x, int y0, int y1, int* pTop = nullptr) {
    int nBest = 0, nRun = 0;
    for (int y = y0; y <= y1; ++y) {
        if (IsDark(image.pixel(x, y))) {
            ++nRun;
            if (nRun > nBest) {
                nBest = nRun;
                if (pTop) {
                    *pTop = y - nRun + 1;
                }
            }
        } else {
            nRun = 0;
        }
    }
    return nBest;
}

// Number of dark pixels inside rc.
inline int DarkPixels(const QImage& image, QRect rc) {
    rc = rc.intersected(image.rect());
    int n = 0;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            n += IsDark(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return n;
}

// Bounding box of the dark pixels inside rc (null when none).
inline QRect DarkBounds(const QImage& image, QRect rc) {
    rc = rc.intersected(image.rect());
    QRect bounds;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            if (IsDark(image.pixel(x, y))) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

}  // namespace probe
