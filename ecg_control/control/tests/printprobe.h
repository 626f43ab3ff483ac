#pragma once
// Measures a paper report raster: the grid's extent and the calibration pulses' heights, in
// pixels, whichever way the page was turned.
#include <QImage>
#include <algorithm>
#include <vector>

namespace printprobe {

inline bool IsGrid(QRgb c) {  // the grid pen 0x8080FF (red) as any renderer blends it
    return qRed(c) > 200 && qGreen(c) < 200 && qBlue(c) < 200 && qGreen(c) > 60 && qBlue(c) > 60;
}
inline bool IsBlack(QRgb c) { return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90; }

// Landscape view of a page raster (a portrait one is turned a quarter).
inline QImage Landscape(const QImage& image) {
    if (image.width() >= image.height()) return image;
    return image.transformed(QTransform().rotate(-90));
}

inline QRect GridBox(const QImage& image) {
    int l = image.width(), t = image.height(), r = -1, b = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (IsGrid(row[x])) {
                l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
            }
        }
    }
    return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

// Lengths of the vertical and horizontal black runs longer than nMin outside the grid box.
inline std::vector<int> PulseRuns(const QImage& image, const QRect& grid, int nMin) {
    std::vector<int> runs;
    auto outside = [&](int x, int y) { return !grid.adjusted(-2, -2, 2, 2).contains(x, y); };
    for (int x = 0; x < image.width(); ++x) {
        if (x >= grid.left() - 2 && x <= grid.right() + 2) continue;  // pulses lie beside the grid
        int run = 0;
        for (int y = 0; y <= image.height(); ++y) {
            const bool black = y < image.height() && outside(x, y) && IsBlack(image.pixel(x, y));
            if (black) {
                ++run;
            } else {
                if (run > nMin) runs.push_back(run);
                run = 0;
            }
        }
    }
    return runs;
}

inline bool HasRunNear(const std::vector<int>& runs, int nLength, int nTolerance) {
    return std::any_of(runs.begin(), runs.end(), [&](int r) { return std::abs(r - nLength) <= nTolerance; });
}

}  // namespace printprobe
