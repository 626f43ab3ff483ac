#pragma once
// Where each trace of a page lies, and how two renderings of a page differ trace by trace:
// for the comparisons with the reference pages and the span of 60 Hz records.
#include <algorithm>
#include <string>
#include <vector>

#include <QImage>
#include <QPoint>
#include <QRect>

#include "ecg_control/draw/tracelayout.h"

namespace pageprobe {

// One trace of a page in device pixels: its row (lead 0..11, 12 the rhythm strip), the band
// it is judged in (from 15 mm after its start, where label, pulse and column mark stand,
// to its end; half a row pitch either side of the baseline) and its baseline.
struct CTraceBox {
    int nRow = 0;
    QRect rc;
    int nBaseline = 0;
};

// The boxes of a computed layout drawn with layout unit u at device (dx + sx u, dy + sy u).
inline std::vector<CTraceBox> TraceBoxes(const CTraceLayout& layout, double sx, double sy,
                                         double dx, double dy) {
    std::vector<CTraceBox> boxes;
    const int nCell = layout.GetCellSize();
    const int nPitch = layout.GetRows() > 1
                           ? layout.GetCellPosition(1).y - layout.GetCellPosition(0).y
                           : 3 * layout.GetLargeCell();
    const double s = layout.GetPixelsPerSample();
    auto add = [&](int nRow, CTracePoint pos, int nSamples) {
        const int x0 = static_cast<int>(dx + sx * (pos.x + 15 * nCell));
        const int x1 = static_cast<int>(dx + sx * (pos.x + nSamples * s)) - 1;
        const int y0 = static_cast<int>(dy + sy * (pos.y - nPitch / 2));
        const int y1 = static_cast<int>(dy + sy * (pos.y + nPitch / 2));
        boxes.push_back(CTraceBox{nRow, QRect(QPoint(x0, y0), QPoint(x1, y1)),
                                  static_cast<int>(dy + sy * pos.y)});
    };
    for (int i = 0; i < std::min(layout.GetChannels(), kLeadCount); ++i) {
        add(i, layout.GetCellPosition(i), layout.GetSegment());
    }
    if (layout.HasRhythmStrip()) {
        add(kLeadCount, layout.GetRhythmPosition(), layout.GetSamples());
    }
    return boxes;
}

// Ink levels (see pagerender.h): 0 dark ink, 128 light ink, 255 none.
inline int Level(const QImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
        return 255;
    }
    return image.constScanLine(y)[x];
}

// Dark ink of a inside rc that has no ink of b within one pixel (b's pixel of a's (x, y) is
// (x, y) + d); the first one found in *pFirst.
inline int Unmatched(const QImage& a, const QImage& b, const QRect& rc, QPoint d,
                     QPoint* pFirst = nullptr) {
    int n = 0;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            if (Level(a, x, y) != 0) {
                continue;
            }
            bool bNear = false;
            for (int v = -1; v <= 1 && !bNear; ++v) {
                for (int u = -1; u <= 1 && !bNear; ++u) {
                    bNear = Level(b, x + d.x() + u, y + d.y() + v) < 255;
                }
            }
            if (!bNear) {
                if (n == 0 && pFirst) {
                    *pFirst = QPoint(x, y);
                }
                ++n;
            }
        }
    }
    return n;
}

// Pixels of rc with ink of any level.
inline int InkCount(const QImage& levels, const QRect& rc) {
    int n = 0;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            n += Level(levels, x, y) < 255;
        }
    }
    return n;
}

// The last column of rc that holds dark ink, or -1.
inline int LastDarkColumn(const QImage& levels, const QRect& rc) {
    for (int x = rc.right(); x >= rc.left(); --x) {
        for (int y = rc.top(); y <= rc.bottom(); ++y) {
            if (Level(levels, x, y) == 0) {
                return x;
            }
        }
    }
    return -1;
}

}  // namespace pageprobe
