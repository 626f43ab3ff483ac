// Grid, pens, trace painter, screen page, sweep band and magnifier.
#include <QPainter>
#include <gtest/gtest.h>

#include "ecg_control/draw/ekgpage.h"
#include "probe.h"
#include "synthrecord.h"

namespace {

const QColor kGridColor(255, 128, 128);
const QColor kInnerColor(255, 191, 191);
const QColor kWhite(255, 255, 255);

QImage Blank(int w, int h, QColor color = QColor(0, 255, 0)) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

TEST(Pens, WindowsPenRules) {
    EXPECT_EQ(ColorFromRef(0x8080FF), QColor(255, 128, 128));
    EXPECT_EQ(ColorFromRef(RGB(1, 2, 3)), QColor(1, 2, 3));
    auto thin = MakePen(CPenSpec{PS_SOLID, 1, 0});
    ASSERT_TRUE(thin);
    EXPECT_TRUE(thin->isCosmetic());
    auto zero = MakePen(CPenSpec{PS_DOT, 0, 0});
    ASSERT_TRUE(zero);
    EXPECT_TRUE(zero->isCosmetic());
    EXPECT_EQ(zero->style(), Qt::DotLine);
    auto wide = MakePen(CPenSpec{PS_DASH, 3, 0xFF0000});
    ASSERT_TRUE(wide);
    EXPECT_FALSE(wide->isCosmetic());
    EXPECT_EQ(wide->width(), 3);
    EXPECT_EQ(wide->color(), QColor(0, 0, 255));
    EXPECT_EQ(wide->style(), Qt::DashLine);
    auto grid = MakeGeometricPen(CPenSpec{PS_SOLID, 1, 0});
    ASSERT_TRUE(grid);
    EXPECT_FALSE(grid->isCosmetic());
    EXPECT_FALSE(MakePen(CPenSpec{42, 1, 0}));
}

TEST(Pens, CosmeticStaysOnePixelWhenScaledAndGeometricScales) {
    CSynthRecord rec;
    FillLeads(rec.wave, 5000, 0);
    for (int nWidth : {1, 2}) {
        CTracePainter painter;
        painter.Layout().Attach(&rec.wave, nullptr, nullptr);
        painter.SetCellSize(2);
        painter.SetPen(PS_SOLID, nWidth, 0);
        painter.ShowPacemaker(FALSE);
        QImage image = Blank(1600, 1200, kWhite);
        QPainter p(&image);
        p.scale(3, 3);
        ASSERT_TRUE(painter.Draw(p, 0, 0));
        p.end();
        // Lead I's baseline at 20 px (scaled 60); count the rows it covers at x = 900.
        int nRows = 0;
        for (int y = 40; y < 80; ++y) {
            nRows += probe::IsDark(image.pixel(900, y)) ? 1 : 0;
        }
        EXPECT_EQ(nRows, nWidth == 1 ? 1 : 6) << "width " << nWidth;
    }
}

TEST(Grid, LinesFallOnTheirMillimetre) {
    for (int nBorder : {3, 0}) {
        CEkgGrid grid;
        grid.SetCellSize(10);
        grid.SetBorder(nBorder);
        EXPECT_EQ(grid.GetWidth(), 2500);
        EXPECT_EQ(grid.GetBorderWidth(), 2500 + 2 * nBorder * 10);
        QImage image = Blank(grid.GetBorderWidth() + 20, grid.GetBorderHeight() + 20);
        QPainter p(&image);
        grid.Draw(p, 10, 10);
        p.end();
        const int x0 = 10 + nBorder * 10, y0 = 10 + nBorder * 10;
        const int yProbe = y0 + 1800 + 5;  // between two 1 mm lines
        for (int k = 0; k <= 50; ++k) {
            ASSERT_TRUE(probe::Is(image, x0 + 50 * k, yProbe, kGridColor)) << k;
            if (k < 50) {
                for (int mm = 1; mm <= 4; ++mm) {
                    ASSERT_TRUE(probe::Is(image, x0 + 50 * k + 10 * mm, yProbe, kInnerColor)) << k;
                }
                ASSERT_TRUE(probe::Is(image, x0 + 50 * k + 5, yProbe, kWhite)) << k;
            }
        }
        const int xProbe = x0 + 1235;
        for (int k = 0; k <= 37; ++k) {
            ASSERT_TRUE(probe::Is(image, xProbe, y0 + 50 * k, kGridColor)) << k;
            if (k < 37) {
                ASSERT_TRUE(probe::Is(image, xProbe, y0 + 50 * k + 20, kInnerColor)) << k;
            }
        }
        if (nBorder > 0) {
            // Every fifth line reaches into the border, the others stop at the grid.
            EXPECT_TRUE(probe::Is(image, x0 + 250, 12, kGridColor));
            EXPECT_TRUE(probe::Is(image, x0 + 50, 12, kWhite));
            EXPECT_TRUE(probe::Is(image, 12, y0 + 250, kGridColor));
            EXPECT_TRUE(probe::Is(image, 12, y0 + 100, kWhite));
        }
    }
}

TEST(Grid, SettersAndDirtyRules) {
    CEkgGrid grid;
    EXPECT_FALSE(grid.SetGridPen(PS_SOLID, 1, 0x8080FF));  // unchanged
    EXPECT_TRUE(grid.SetGridPen(PS_DOT, 1, 0x00FF00));
    EXPECT_FALSE(grid.SetGridPen(99, 1, 0));  // cannot be made
    EXPECT_FALSE(grid.HasGridPen());
    grid.ClearDirty();
    grid.ShowInner(FALSE);
    grid.ClearDirty();
    EXPECT_TRUE(grid.SetInnerPen(PS_SOLID, 1, 0x123456));
    EXPECT_FALSE(grid.IsDirty());  // inner grid hidden
    grid.ShowInner(TRUE);
    grid.ClearDirty();
    EXPECT_TRUE(grid.SetInnerPen(PS_SOLID, 2, 0x123456));
    EXPECT_TRUE(grid.IsDirty());
    grid.SetCellSize(0);
    EXPECT_EQ(grid.GetCellSize(), 1);
}

class ScreenPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSynthRecord(m_rec, 5000, true);
        m_page.Attach(&m_rec.wave, &m_rec.info, &m_rec.morph, &m_rec.device);
        m_page.SetCellSize(2);
        m_page.SetFormat(1);
    }
    QImage DrawAll() {
        QImage image = Blank(m_page.GetWidth(), m_page.GetHeight());
        QPainter p(&image);
        EXPECT_TRUE(m_page.DrawAll(p, 0, 0));
        return image;
    }
    CSynthRecord m_rec;
    CEkgPage m_page;
};

TEST_F(ScreenPageTest, SizeFollowsMainsModeAndSpeed) {
    EXPECT_EQ(m_page.GetWidth(), 500 + 12);
    EXPECT_EQ(m_page.GetHeight(), 370 + 12);
    m_page.SetColumnsRowsForMode(1, 2);
    EXPECT_EQ(m_page.Grid().GetColumns(), 60);
    m_page.SetColumnsRowsForMode(0, 4);
    EXPECT_EQ(m_page.Grid().GetColumns(), 100);
    m_page.SetColumnsRowsForMode(1, 4);
    EXPECT_EQ(m_page.Grid().GetColumns(), 120);
    EXPECT_EQ(m_page.Grid().GetRows(), 37);
}

TEST_F(ScreenPageTest, ColumnMarksPacemakerMarksAndPulses) {
    const QImage image = DrawAll();
    const int b = 6;  // border in pixels
    // Format 1: a column mark at the start of V1 (x 250), reaching 10 mm above its baseline.
    const CTracePoint v1 = m_page.Painter().Layout().GetCellPosition(6);
    EXPECT_EQ(v1.x, 250);
    EXPECT_TRUE(probe::IsDark(image.pixel(b + 250, b + v1.y - 18)));
    // No mark at the start of lead II in the first column.
    EXPECT_FALSE(probe::IsDark(image.pixel(b + 1, b + 80 - 18)));
    // Pacemaker mark at sample 120 (pixel 12): from 5 mm to 1 mm above lead I's baseline.
    EXPECT_TRUE(probe::IsDark(image.pixel(b + 12, b + 30 - 8)));
    // Screen calibration pulse of format 1: base 55 mm, 10 mm high at gain 3, rising at 5 mm.
    int nTop = 0;
    const int nRun = probe::LongestDarkRun(image, b + 10, b + 80, b + 115, &nTop);
    EXPECT_GE(nRun, 20);
    EXPECT_LE(nRun, 22);
}

TEST_F(ScreenPageTest, DisabledPainterDrawsNothingAndSucceeds) {
    m_page.Painter().SetEnabled(FALSE);
    const QImage image = DrawAll();
    EXPECT_EQ(probe::DarkPixels(image, image.rect()), 0);
}

TEST_F(ScreenPageTest, NoSamplesReportsFailure) {
    CEkgPage page;
    QImage image = Blank(600, 400);
    QPainter p(&image);
    EXPECT_FALSE(page.DrawAll(p, 0, 0));
    EXPECT_FALSE(page.DrawPart(p, QRect(0, 0, 0, 10), 0, 0));
}

TEST_F(ScreenPageTest, SweepBandRedrawsOnlyItsSamples) {
    QImage image = Blank(m_page.GetWidth(), m_page.GetHeight());
    QPainter p(&image);
    ASSERT_TRUE(m_page.RedrawRange(p, 1000, 1100, 0, 0, image.width()));
    p.end();
    // Samples 1000..1100 at 0.1 px a sample: x 99..111 plus the border.
    const QColor kMarker(0, 255, 0);
    EXPECT_TRUE(probe::Is(image, 6 + 90, 100, kMarker));
    EXPECT_TRUE(probe::Is(image, 6 + 120, 100, kMarker));
    EXPECT_FALSE(probe::Is(image, 6 + 105, 100, kMarker));
    // A band wholly outside the visible part draws nothing.
    QImage other = Blank(100, 100);
    QPainter q(&other);
    EXPECT_TRUE(m_page.RedrawRange(q, 4000, 4100, 0, 0, 100));
    q.end();
    EXPECT_TRUE(probe::Is(other, 50, 50, kMarker));
}

TEST_F(ScreenPageTest, MonitoringSweepDrawsItsBandAndBar) {
    // The monitoring buffer: 1000 samples a lead, 200 items of 5 samples.
    FillLeads(m_rec.wave, 1000, 0);
    m_page.Invalidate();
    QImage image = Blank(m_page.GetWidth(), m_page.GetHeight());
    QPainter p(&image);
    ASSERT_TRUE(m_page.DrawSweep(p, 100, 0, 0, image.width(), 0x0000FF));
    // Samples 500..504 at 0.5 px a sample: x 249..253 plus the border, bar at 254..255.
    EXPECT_TRUE(probe::Is(image, 6 + 254, 150, QColor(255, 0, 0)));
    EXPECT_TRUE(probe::Is(image, 6 + 255, 300, QColor(255, 0, 0)));
    EXPECT_FALSE(probe::Is(image, 6 + 250, 150, QColor(0, 255, 0)));
    EXPECT_TRUE(probe::Is(image, 6 + 240, 150, QColor(0, 255, 0)));
    // No bar after the last item.
    QImage last = Blank(m_page.GetWidth(), m_page.GetHeight());
    QPainter q(&last);
    ASSERT_TRUE(m_page.DrawSweep(q, 199, 0, 0, last.width(), 0x0000FF));
    EXPECT_FALSE(probe::Is(last, 6 + 500, 150, QColor(255, 0, 0)));
}

TEST(Magnifier, SizesAreRaisedAndTheFrameIsRed) {
    CSynthRecord rec;
    MakeSynthRecord(rec);
    CEkgMagnifier glass;
    glass.Attach(&rec.wave, &rec.info, &rec.morph);
    glass.SetGlass(0, 0);
    EXPECT_EQ(glass.Page().Grid().GetCellSize(), 10);
    EXPECT_EQ(glass.GetCount(), 2);
    EXPECT_EQ(glass.GetSide(), 100);
    glass.SetGlass(12, 3);
    EXPECT_EQ(glass.GetSide(), 180);
    // The host's largest values: the side stays a number (capped), not an overflow.
    glass.SetGlass(32767, 32767);
    EXPECT_GT(glass.GetSide(), 0);
    EXPECT_LE(glass.GetSide(), CEkgMagnifier::kMaxSide);
    glass.SetGlass(12, 3);
    // A view whose cell was set to 0 still has a width: no division by zero.
    CEkgPage view;
    view.SetCellSize(0);
    EXPECT_EQ(view.Grid().GetCellSize(), 1);
    ASSERT_GT(view.Grid().GetWidth(), 0);
    QImage image = Blank(400, 400);
    QPainter p(&image);
    glass.Draw(p, 100, 30, 50, 60, view.Grid().GetWidth());
    glass.Draw(p, 0, 0, 250, 200, 0);  // nothing for an empty view
    p.end();
    EXPECT_TRUE(probe::Is(image, 50, 60, QColor(255, 0, 0)));
    EXPECT_TRUE(probe::Is(image, 50 + 179, 60 + 179, QColor(255, 0, 0)));
    EXPECT_FALSE(probe::Is(image, 50 + 90, 60 + 90, QColor(0, 255, 0)));
    EXPECT_TRUE(probe::Is(image, 300, 300, QColor(0, 255, 0)));
}

}  // namespace
