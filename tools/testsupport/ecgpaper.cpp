#include "testsupport/ecgpaper.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace testsupport {
namespace {

// The centre of the first dark run a vertical probe meets, or -1.
double FirstRun(const CPageRaster& page, double x, double y0, double y1) {
    const std::vector<CDarkRun> runs = page.RunsAlongColumn(x, y0, y1);
    return runs.empty() ? -1 : runs.front().dCentre;
}

}  // namespace

double PulseHeight(const CPageRaster& page, const CGridLines& grid, QPointF topLeft) {
    const double x = grid.Left() + topLeft.x(), y = grid.Top() + topLeft.y();
    const double dTop = FirstRun(page, x + 2.5, y - 1, y + 1);
    const double dFoot = FirstRun(page, x - 1, y + 1, y + 30);
    return dTop >= 0 && dFoot >= 0 ? dFoot - dTop : 0;
}

CEcgPaperReading ReadEcgPaper(const CPageRaster& page, QPointF pulseTopLeft) {
    CEcgPaperReading reading;
    reading.grid = page.FindGrid();
    const CGridLines& grid = reading.grid;
    if (grid.xs.size() < 2 || grid.ys.size() < 2)
        return reading;

    reading.dPulseHeight = PulseHeight(page, grid, pulseTopLeft);

    std::vector<double> gaps;
    reading.rows = page.FlatTraceRows(grid.Left(), grid.Right());
    for (double row : reading.rows) {
        reading.rowEnds.push_back(
            page.LastDarkX(QRectF(grid.Left(), row - 0.6, page.WidthMm() - grid.Left(), 1.2)) -
            grid.Left());
        // The up and down strokes of a spike are one mark.
        std::vector<double> marks;
        double dLastEnd = -1e9;
        for (const CDarkRun& run : page.RunsAlongRow(row - 2, grid.Left() - 1, page.WidthMm())) {
            const double x = run.dCentre - grid.Left();
            if (x - run.dWidth / 2 - dLastEnd < 0.3 && !marks.empty()) {
                marks.back() = (marks.back() + x) / 2;
            } else {
                marks.push_back(x);
            }
            dLastEnd = x + run.dWidth / 2;
        }
        for (std::size_t i = 1; i < marks.size(); ++i)
            gaps.push_back(marks[i] - marks[i - 1]);
        reading.rowMarks.push_back(marks);
    }
    if (!gaps.empty()) {
        std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
        reading.dSecond = gaps[gaps.size() / 2];
    }
    return reading;
}

double WidestTraceGap(const CPageRaster& page, const CEcgPaperReading& r) {
    double dWidest = 0;
    for (std::size_t i = 0; i < r.rows.size() && i < r.rowMarks.size(); ++i) {
        std::vector<double> stops = {0};
        stops.insert(stops.end(), r.rowMarks[i].begin(), r.rowMarks[i].end());
        stops.push_back(r.rowEnds[i]);
        for (std::size_t k = 1; k < stops.size(); ++k) {
            const double x0 = r.grid.Left() + stops[k - 1] + 0.5,
                         x1 = r.grid.Left() + stops[k] - 0.5;
            if (x1 > x0)
                dWidest = std::max(dWidest, page.WidestGapAlongRow(r.rows[i], x0, x1, 0.3));
        }
    }
    return dWidest;
}

QPointF PaperPulseTopLeft(int nFormat) {
    switch (nFormat) {
        case 0:
            return {-10, 45};
        case 3:
            return {5, 90};
        default:
            return {5, 55};
    }
}

std::string Describe(const CEcgPaperReading& r) {
    std::ostringstream out;
    out.precision(4);
    out << "grid " << r.grid.xs.size() << "x" << r.grid.ys.size() << " lines at (" << r.grid.Left()
        << ", " << r.grid.Top() << ") mm, pitch " << r.grid.PitchX() << " x " << r.grid.PitchY()
        << " mm; pulse " << r.dPulseHeight << " mm; 1 s " << r.dSecond << " mm; rows end at";
    for (double end : r.rowEnds)
        out << " " << end;
    return out.str();
}

std::string PaperFaults(const CPageRaster& page, const CEcgPaperReading& r, const QMarginsF& m,
                        int nFormat) {
    std::ostringstream out;
    out.precision(4);
    auto check = [&out](bool bOk, const std::string& what, double dValue) {
        if (!bOk)
            out << what << ": " << dValue << "\n";
    };
    check(r.grid.xs.size() == 51, "5 mm lines across (51)", double(r.grid.xs.size()));
    check(r.grid.ys.size() == 38, "5 mm lines down (38)", double(r.grid.ys.size()));
    check(std::abs(r.grid.PitchX() - 5) <= 0.05, "grid pitch across (5.00 mm)", r.grid.PitchX());
    check(std::abs(r.grid.PitchY() - 5) <= 0.05, "grid pitch down (5.00 mm)", r.grid.PitchY());
    check(r.grid.IrregularityX() <= 0.25, "grid lines off their pitch across",
          r.grid.IrregularityX());
    check(r.grid.IrregularityY() <= 0.25, "grid lines off their pitch down",
          r.grid.IrregularityY());
    check(std::abs(r.grid.Left() - (m.left() + 21)) <= 0.3,
          "grid left edge (printable area + 21 mm)", r.grid.Left());
    check(std::abs(r.grid.Top() - (m.top() + 9)) <= 0.3, "grid top edge (printable area + 9 mm)",
          r.grid.Top());
    check(std::abs(r.dPulseHeight - 10) <= 0.1, "calibration pulse (10 mm)", r.dPulseHeight);
    check(std::abs(r.dSecond - 25) <= 0.25, "one second (25 mm)", r.dSecond);
    const QRectF printable(m.left(), m.top(), page.WidthMm() - m.left() - m.right(),
                           page.HeightMm() - m.top() - m.bottom());
    const int nInk = page.InkOutside(printable);
    check(nInk == 0, "ink pixels in the unprintable margin", nInk);
    static const std::size_t kRows[4] = {12, 7, 4, 3};
    if (nFormat >= 0 && nFormat < 4)
        check(r.rows.size() == kRows[nFormat], "trace rows", double(r.rows.size()));
    for (std::size_t i = 0; i < r.rowEnds.size(); ++i) {
        // The last column of formats 2 and 3 starts 0.3 mm late (a column step of f/4 + 1).
        check(r.rowEnds[i] >= 249 && r.rowEnds[i] <= 250.5,
              "trace row " + std::to_string(i + 1) + " ends (at the grid's 250 mm)", r.rowEnds[i]);
    }
    return out.str();
}

std::string SpanFaults(const CEcgPaperReading& r, const CEcgPaperReading& other) {
    std::ostringstream out;
    out.precision(4);
    if (r.rowMarks.size() != other.rowMarks.size()) {
        out << "trace rows: " << r.rowMarks.size() << " against " << other.rowMarks.size() << "\n";
        return out.str();
    }
    for (std::size_t i = 0; i < r.rowMarks.size(); ++i) {
        const std::vector<double>&a = r.rowMarks[i], &b = other.rowMarks[i];
        if (a.size() != b.size()) {
            out << "row " << i + 1 << ": " << a.size() << " marks against " << b.size() << "\n";
            continue;
        }
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (std::abs(a[k] - b[k]) > 0.5)
                out << "row " << i + 1 << " mark " << k + 1 << ": " << a[k] << " mm against "
                    << b[k] << " mm\n";
        }
    }
    return out.str();
}

}  // namespace testsupport
