#include "testsupport/pageraster.h"

#include <QTransform>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "testsupport/testsupport.h"

namespace testsupport {
namespace {

double Pitch(const std::vector<double>& lines) {
    return lines.size() < 2 ? 0.0 : (lines.back() - lines.front()) / double(lines.size() - 1);
}

double Irregularity(const std::vector<double>& lines) {
    const double dPitch = Pitch(lines);
    double dWorst = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        dWorst = std::max(dWorst, std::abs(lines[i] - (lines.front() + double(i) * dPitch)));
    return dWorst;
}

// Centres of the runs of a profile above 30 % of its maximum, weighted by the profile; runs
// closer than nJoin apart are one line (a trace drawn along a grid line splits it).
std::vector<double> Peaks(const std::vector<int>& profile, int nJoin) {
    std::vector<double> peaks;
    const int nMax = profile.empty() ? 0 : *std::max_element(profile.begin(), profile.end());
    if (nMax <= 0)
        return peaks;
    const int nLimit = nMax * 3 / 10;
    double dSum = 0, dWeight = 0;
    int nLast = -1;
    for (int i = 0; i < int(profile.size()); ++i) {
        const int v = profile[std::size_t(i)];
        if (v <= nLimit)
            continue;
        if (nLast >= 0 && i - nLast > nJoin) {
            peaks.push_back(dSum / dWeight);
            dSum = dWeight = 0;
        }
        dSum += double(i) * v;
        dWeight += v;
        nLast = i;
    }
    if (dWeight > 0)
        peaks.push_back(dSum / dWeight);
    return peaks;
}

}  // namespace

double CGridLines::PitchX() const {
    return Pitch(xs);
}
double CGridLines::PitchY() const {
    return Pitch(ys);
}
double CGridLines::IrregularityX() const {
    return Irregularity(xs);
}
double CGridLines::IrregularityY() const {
    return Irregularity(ys);
}

CPageRaster::CPageRaster(QImage image, double dDpi)
    : m_image(image.convertToFormat(QImage::Format_RGB32)), m_dDpi(dDpi) {}

bool CPageRaster::LoadPdf(const std::string& pdf, int nDpi) {
    CTempDir dir;
    int nStatus = -1;
    const std::string out =
        RunCommand("pdftoppm -r " + std::to_string(nDpi) + " -f 1 -l 1 -singlefile " +
                       ShellQuote(pdf) + " " + ShellQuote(dir / "page") + " 2>&1",
                   &nStatus);
    QImage image;
    if (nStatus != 0 || !image.load(QString::fromStdString(dir / "page.ppm"))) {
        m_strError = "pdftoppm could not rasterise " + pdf + ": " + out;
        return false;
    }
    *this = CPageRaster(image, nDpi);
    return true;
}

void CPageRaster::TurnUpright() {
    if (m_image.height() > m_image.width())
        m_image = m_image.transformed(QTransform().rotate(90));
}

// Black and grey ink, a hairline blended to grey included; the grid's reds keep their red
// channel high and never count.
bool CPageRaster::IsDark(unsigned int rgb) {
    return std::max({qRed(rgb), qGreen(rgb), qBlue(rgb)}) < 170;
}

bool CPageRaster::IsInk(unsigned int rgb) {
    return std::min({qRed(rgb), qGreen(rgb), qBlue(rgb)}) < 230;
}

// The 5 mm lines (RGB 255, 128, 128 by default) as a renderer blends them; the 1 mm lines
// (255, 191, 191) stay lighter than this.
bool CPageRaster::IsGridRed(unsigned int rgb) {
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    return r > 180 && g < 175 && b < 175 && r - g > 60 && r - b > 60 && std::abs(g - b) < 40;
}

CGridLines CPageRaster::FindGrid() const {
    std::vector<int> columns(std::size_t(m_image.width()), 0),
        rows(std::size_t(m_image.height()), 0);
    for (int y = 0; y < m_image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = 0; x < m_image.width(); ++x) {
            if (IsGridRed(line[x])) {
                ++columns[std::size_t(x)];
                ++rows[std::size_t(y)];
            }
        }
    }
    CGridLines grid;
    const int nJoin = Px(0.5);
    for (double px : Peaks(columns, nJoin))
        grid.xs.push_back(Mm(px + 0.5));
    for (double px : Peaks(rows, nJoin))
        grid.ys.push_back(Mm(px + 0.5));
    return grid;
}

int CPageRaster::InkOutside(const QRectF& rcInside, bool bDarkOnly) const {
    const int l = Px(rcInside.left()), r = Px(rcInside.right()), t = Px(rcInside.top()),
              b = Px(rcInside.bottom());
    int n = 0;
    for (int y = 0; y < m_image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = 0; x < m_image.width(); ++x) {
            if (x >= l && x < r && y >= t && y < b)
                continue;
            n += bDarkOnly ? IsDark(line[x]) : IsInk(line[x]);
        }
    }
    return n;
}

int CPageRaster::DarkInside(const QRectF& rc) const {
    const int l = std::max(0, Px(rc.left())), r = std::min(m_image.width(), Px(rc.right()));
    const int t = std::max(0, Px(rc.top())), b = std::min(m_image.height(), Px(rc.bottom()));
    int n = 0;
    for (int y = t; y < b; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = l; x < r; ++x)
            n += IsDark(line[x]);
    }
    return n;
}

double CPageRaster::LastDarkX(const QRectF& rcBand) const {
    const int l = std::max(0, Px(rcBand.left())), r = std::min(m_image.width(), Px(rcBand.right()));
    const int t = std::max(0, Px(rcBand.top())),
              b = std::min(m_image.height(), Px(rcBand.bottom()));
    int nLast = -1;
    for (int y = t; y < b; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = r - 1; x > std::max(l - 1, nLast); --x) {
            if (IsDark(line[x])) {
                nLast = x;
                break;
            }
        }
    }
    return nLast < 0 ? -1 : Mm(nLast + 0.5);
}

double CPageRaster::FirstDarkX(const QRectF& rcBand) const {
    const int l = std::max(0, Px(rcBand.left())), r = std::min(m_image.width(), Px(rcBand.right()));
    const int t = std::max(0, Px(rcBand.top())),
              b = std::min(m_image.height(), Px(rcBand.bottom()));
    int nFirst = r;
    for (int y = t; y < b; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = l; x < nFirst; ++x) {
            if (IsDark(line[x])) {
                nFirst = x;
                break;
            }
        }
    }
    return nFirst >= r ? -1 : Mm(nFirst + 0.5);
}

std::vector<CDarkRun> CPageRaster::Runs(const std::vector<bool>& dark, int nOffset) const {
    std::vector<CDarkRun> runs;
    int nStart = -1;
    for (int i = 0; i <= int(dark.size()); ++i) {
        const bool b = i < int(dark.size()) && dark[std::size_t(i)];
        if (b && nStart < 0)
            nStart = i;
        if (!b && nStart >= 0) {
            runs.push_back({Mm(nOffset + (nStart + i) / 2.0), Mm(i - nStart)});
            nStart = -1;
        }
    }
    return runs;
}

std::vector<CDarkRun> CPageRaster::RunsAlongRow(double y, double x0, double x1) const {
    const int py = Px(y), l = std::max(0, Px(x0)), r = std::min(m_image.width(), Px(x1));
    if (py < 0 || py >= m_image.height() || r <= l)
        return {};
    const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(py));
    std::vector<bool> dark;
    for (int x = l; x < r; ++x)
        dark.push_back(IsDark(line[x]));
    return Runs(dark, l);
}

std::vector<CDarkRun> CPageRaster::RunsAlongColumn(double x, double y0, double y1) const {
    const int px = Px(x), t = std::max(0, Px(y0)), b = std::min(m_image.height(), Px(y1));
    if (px < 0 || px >= m_image.width() || b <= t)
        return {};
    std::vector<bool> dark;
    for (int y = t; y < b; ++y)
        dark.push_back(IsDark(m_image.pixel(px, y)));
    return Runs(dark, t);
}

double CPageRaster::WidestGapAlongRow(double y, double x0, double x1, double dTolerance) const {
    const int l = std::max(0, Px(x0)), r = std::min(m_image.width(), Px(x1));
    const int t = std::max(0, Px(y - dTolerance)),
              b = std::min(m_image.height() - 1, Px(y + dTolerance));
    int nGap = 0, nWidest = 0;
    for (int x = l; x < r; ++x) {
        bool bDark = false;
        for (int yy = t; yy <= b && !bDark; ++yy)
            bDark = IsDark(m_image.pixel(x, yy));
        nGap = bDark ? 0 : nGap + 1;
        nWidest = std::max(nWidest, nGap);
    }
    return Mm(nWidest);
}

std::vector<double> CPageRaster::FlatTraceRows(double x0, double x1, double dFraction) const {
    const int l = std::max(0, Px(x0)), r = std::min(m_image.width(), Px(x1));
    std::vector<double> rows;
    if (r <= l)
        return rows;
    const int nNeed = int(dFraction * (r - l));
    int nStart = -1;
    for (int y = 0; y <= m_image.height(); ++y) {
        int n = 0;
        if (y < m_image.height()) {
            const QRgb* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
            for (int x = l; x < r; ++x)
                n += IsDark(line[x]);
        }
        if (n > nNeed && nStart < 0)
            nStart = y;
        if (n <= nNeed && nStart >= 0) {
            rows.push_back(Mm((nStart + y) / 2.0));
            nStart = -1;
        }
    }
    return rows;
}

}  // namespace testsupport
