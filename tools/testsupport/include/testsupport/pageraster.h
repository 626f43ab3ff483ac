#pragma once
// Measures a printed or exported page in millimetres, as a reader with a ruler would: the
// page is a raster (a PDF page rasterised by pdftoppm, or any image with its resolution),
// and every answer is in mm from the raster's top-left corner.
//
//     testsupport::CPageRaster page;
//     ASSERT_TRUE(page.LoadPdf(pdf, 300)) << page.Error();
//     page.TurnUpright();                    // a landscape page the queue put on portrait paper
//     const auto grid = page.FindGrid();     // the 5 mm lines of the ECG paper
//     EXPECT_NEAR(grid.PitchX(), 5.0, 0.05);
//     EXPECT_EQ(page.InkOutside(printable), 0);
//     double end = page.LastDarkX(QRectF(grid.Left(), y - 1, grid.Width(), 2));
//
// "Dark" is trace and text ink (every channel below 170); "ink" is anything not near white, the
// grid's light red included. The grid is found from its periodic red lines: the strongest
// columns and rows of red, the 1 mm inner lines being lighter and thinner.
//
// Link `corvane_testsupport_qt`.
#include <QImage>
#include <QRectF>
#include <string>
#include <vector>

namespace testsupport {

// The major (5 mm) lines of an ECG grid, centres in mm, left to right and top to bottom.
struct CGridLines {
    std::vector<double> xs, ys;
    // Mean distance of neighbouring lines (0 with fewer than two lines).
    double PitchX() const;
    double PitchY() const;
    // The largest deviation of a line from the regular pitch (mm).
    double IrregularityX() const;
    double IrregularityY() const;
    double Left() const { return xs.empty() ? 0 : xs.front(); }
    double Right() const { return xs.empty() ? 0 : xs.back(); }
    double Top() const { return ys.empty() ? 0 : ys.front(); }
    double Bottom() const { return ys.empty() ? 0 : ys.back(); }
    double Width() const { return Right() - Left(); }
    double Height() const { return Bottom() - Top(); }
};

// A dark run crossed by a probe line: its centre and width, mm.
struct CDarkRun {
    double dCentre, dWidth;
};

class CPageRaster {
public:
    CPageRaster() = default;
    CPageRaster(QImage image, double dDpi);

    // Rasterises the first page of a PDF with pdftoppm at nDpi (colour); FALSE with Error().
    bool LoadPdf(const std::string& pdf, int nDpi);
    // Turns a portrait raster of a landscape page upright: the print system puts a landscape
    // page on portrait paper turned a quarter counter-clockwise, so it is turned clockwise
    // back. A raster that is already wider than high is left as it is.
    void TurnUpright();

    const QImage& Image() const { return m_image; }
    const std::string& Error() const { return m_strError; }
    double PxPerMm() const { return m_dDpi / 25.4; }
    double WidthMm() const { return m_image.width() / PxPerMm(); }
    double HeightMm() const { return m_image.height() / PxPerMm(); }

    static bool IsDark(unsigned int rgb);
    static bool IsInk(unsigned int rgb);
    static bool IsGridRed(unsigned int rgb);

    // The major grid lines; empty when the page has no red grid.
    CGridLines FindGrid() const;
    // Pixels of ink (anything not near white) outside the rectangle (mm), or dark pixels
    // when bDarkOnly: what a printer with that printable area would lose.
    int InkOutside(const QRectF& rcInside, bool bDarkOnly = false) const;
    // Dark pixels inside a rectangle (mm).
    int DarkInside(const QRectF& rc) const;
    // The x (mm) of the rightmost / leftmost dark pixel inside a band (mm); -1 when none.
    double LastDarkX(const QRectF& rcBand) const;
    double FirstDarkX(const QRectF& rcBand) const;
    // The dark runs that a horizontal probe at y (mm) crosses between x0 and x1 (mm), left to
    // right, and those of a vertical probe at x between y0 and y1, top to bottom.
    std::vector<CDarkRun> RunsAlongRow(double y, double x0, double x1) const;
    std::vector<CDarkRun> RunsAlongColumn(double x, double y0, double y1) const;
    // The widest gap (mm) between dark pixels along a horizontal line from x0 to x1, taking a
    // column as dark when any pixel within dTolerance (mm) of y is: 0 for a solid line.
    double WidestGapAlongRow(double y, double x0, double x1, double dTolerance) const;
    // Trace baselines: centres (mm) of the rows whose dark pixels cover more than dFraction
    // of [x0, x1] (a flat trace is such a row; text and pulses are not).
    std::vector<double> FlatTraceRows(double x0, double x1, double dFraction = 0.5) const;

private:
    int Px(double mm) const { return static_cast<int>(mm * PxPerMm() + 0.5); }
    double Mm(double px) const { return px / PxPerMm(); }
    std::vector<CDarkRun> Runs(const std::vector<bool>& dark, int nOffset) const;

    QImage m_image;
    double m_dDpi = 0;
    std::string m_strError;
};

}  // namespace testsupport
