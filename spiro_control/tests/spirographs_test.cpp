// Geometry of the graphs and the report page, judged on the recording paint device (lines,
// polylines, rectangles, texts with coordinates) and by pixel probes, on tests with shaped
// curves whose landmarks the fixture script knows; hostile tests and host values for the
// rest.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "spiro_control/spiroexport.h"
#include "spirofixtures.h"
#include "testsupport/paintrecorder.h"

using testsupport::CPaintRecord;
using testsupport::CRecordingDevice;

namespace {

class SpiroGraphs : public ::testing::Test {
protected:
    void Bind(const CSpiroTestFile& file) {
        m_export.Init(&file);
        m_export.SetTestType(file.GetTestType());
    }
    // The measured curves: polylines of more than a hundred points, in drawing order. A
    // curve is drawn by pixel columns and may come in several strokes of one pen (where a
    // stroke would only go over what is already drawn): those are taken together.
    static std::vector<CPaintRecord> Curves(const CRecordingDevice& dev) {
        std::vector<CPaintRecord> strokes;
        for (const CPaintRecord& r : dev.Of(CPaintRecord::kPolyline)) {
            if (!strokes.empty() && strokes.back().penColor == r.penColor &&
                strokes.back().dPenWidth == r.dPenWidth && strokes.back().points.size() > 4 &&
                r.points.size() > 1) {
                strokes.back().points.insert(strokes.back().points.end(), r.points.begin(),
                                             r.points.end());
            } else {
                strokes.push_back(r);
            }
        }
        std::vector<CPaintRecord> out;
        for (const CPaintRecord& r : strokes) {
            if (r.points.size() > 100)
                out.push_back(r);
        }
        return out;
    }
    // The last vertex at or left of x, and the first at or right of it (x grows along the
    // curve).
    static QPointF LastUpTo(const CPaintRecord& r, double x) {
        QPointF found = r.points.front();
        for (const QPointF& pt : r.points) {
            if (pt.x() <= x)
                found = pt;
        }
        return found;
    }
    static QPointF FirstFrom(const CPaintRecord& r, double x) {
        for (const QPointF& pt : r.points) {
            if (pt.x() >= x)
                return pt;
        }
        return r.points.back();
    }
    static QPointF Highest(const CPaintRecord& r) {
        return *std::min_element(r.points.begin(), r.points.end(),
                                 [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    }
    static bool HasLine(const CRecordingDevice& dev, QPointF a, QPointF b, double dWidth) {
        for (const CPaintRecord& r : dev.Of(CPaintRecord::kLine)) {
            if (r.points[0] == a && r.points[1] == b && r.dPenWidth == dWidth)
                return true;
        }
        return false;
    }

    CSpiroExport m_export;
};

// Border 5, grid 30: grid origin gx = 5 + 30, gy = 5 + 15; zero flow at gy + 14 x 15.
TEST_F(SpiroGraphs, FlowVolumeGridAxesAndPeakFlow) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(1, 0));
    const auto marks = spirotest::Landmarks(1, 0);
    Bind(*pFile);
    CRecordingDevice dev(800, 600);
    {
        QPainter dc(&dev);
        m_export.DrawFlowVolume(dc, 0, 0, 800, 600, 0, 0);
    }
    const int g = 30, gx = 35, gy = 20, h = 15, y0 = gy + 14 * h;
    for (int k = 0; k <= 24; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(HasLine(dev, QPointF(gx, gy + k * h), QPointF(gx + 8 * g, gy + k * h),
                            k == 14 ? 2.0 : 1.0));
    }
    for (int j = 0; j <= 8; ++j) {
        SCOPED_TRACE(j);
        EXPECT_TRUE(HasLine(dev, QPointF(gx + j * g, gy), QPointF(gx + j * g, gy + 12 * g),
                            j == 0 ? 2.0 : 1.0));
    }
    ASSERT_EQ(dev.Texts("[VOL]").size(), 1u);
    EXPECT_EQ(dev.Texts("[VOL]")[0].points[0].x(), gx + 9 * g + 3);

    // Three trials, the second best: widths 1, 6, 3 for a graph pen of width 2.
    const auto curves = Curves(dev);
    ASSERT_EQ(curves.size(), 3u);
    EXPECT_EQ(curves[0].dPenWidth, 1.0);
    EXPECT_EQ(curves[1].dPenWidth, 6.0);
    EXPECT_EQ(curves[2].dPenWidth, 3.0);
    for (int t = 1; t <= 3; ++t) {
        SCOPED_TRACE(t);
        const QPointF peak = Highest(curves[t - 1]);
        const std::string n = std::to_string(t);
        EXPECT_NEAR(peak.x(), gx + g * marks.at("pef_volume_" + n), 1.0);
        EXPECT_NEAR(peak.y(), y0 - h * marks.at("pef_" + n), 1.0);
        // Each curve starts at the origin; the inspiration, larger than the expiration,
        // ends on the vertical axis.
        EXPECT_EQ(curves[t - 1].points.front(), QPointF(gx, y0));
        EXPECT_EQ(curves[t - 1].points.back().x(), gx);
        EXPECT_GT(curves[t - 1].points.back().y(), y0);
    }
    // Legend: PRED, MEAS1, MEAS2 with its [BEST] row, MEAS3.
    EXPECT_EQ(dev.Texts("PRED").size(), 1u);
    EXPECT_EQ(dev.Texts("MEAS2").size(), 1u);
    ASSERT_EQ(dev.Texts("[BEST]").size(), 1u);
    EXPECT_GT(dev.Texts("[BEST]")[0].points[0].y(), dev.Texts("MEAS2")[0].points[0].y());
    EXPECT_LT(dev.Texts("[BEST]")[0].points[0].y(), dev.Texts("MEAS3")[0].points[0].y());
}

TEST_F(SpiroGraphs, PredictedCurveAndToleranceBoxes) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(1, 0));
    const auto marks = spirotest::Landmarks(1, 0);
    Bind(*pFile);
    CRecordingDevice dev(800, 600);
    {
        QPainter dc(&dev);
        m_export.DrawFlowVolume(dc, 0, 0, 800, 600, 0, 0);
    }
    const double g = 30, gx = 35, h = 15, y0 = 230;
    const double N = g * marks.at("pred_0");
    const double x1 = gx + 0.17 * N, x2 = x1 + 0.58 * N;
    std::vector<CPaintRecord> pred;
    for (const CPaintRecord& r : dev.Of(CPaintRecord::kPolyline)) {
        if (r.points.size() == 4)
            pred.push_back(r);
    }
    ASSERT_EQ(pred.size(), 1u);
    EXPECT_EQ(pred[0].penColor, QColor(255, 0, 0));
    const std::vector<QPointF> expected = {
        {gx, y0},
        {std::trunc(x1), std::trunc(y0 - h * marks.at("pred_8"))},
        {std::trunc(x2), std::trunc(y0 - h * marks.at("pred_13"))},
        {std::trunc(x2 + 0.25 * N), y0}};
    EXPECT_EQ(pred[0].points, expected);

    const auto rects = dev.Of(CPaintRecord::kRect);
    ASSERT_EQ(rects.size(), 4u);
    const double r = 2;  // g / 20 is below 2
    auto box = [&](double cx, double dParam) {
        return QRectF(QPointF(std::trunc(cx) - r, std::trunc(y0 - 1.2 * h * dParam)),
                      QPointF(std::trunc(cx) + r, std::trunc(y0 - 0.8 * h * dParam)));
    };
    EXPECT_EQ(rects[0].rect, box(x1, marks.at("pred_8")));
    EXPECT_EQ(rects[1].rect, box(gx + 0.5 * N, marks.at("pred_12")));
    EXPECT_EQ(rects[2].rect, box(gx + 0.75 * N, marks.at("pred_13")));
    EXPECT_EQ(rects[3].rect, QRectF(QPointF(std::trunc(gx + 0.8 * N), y0 - r),
                                    QPointF(std::trunc(gx + 1.2 * N), y0 + r)));
}

// One second of volume per cell, also where whole-number samples per pixel went wrong
// (200 / 120 is 1 in integers: a second spanned 200 pixels) or were 0 (grid above 200).
TEST_F(SpiroGraphs, VolumeTimeOneSecondPerCell) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(1, 0));
    const auto marks = spirotest::Landmarks(1, 0);
    Bind(*pFile);
    m_export.m_nGraphType = 1;
    for (int g : {30, 120, 202, 400}) {
        SCOPED_TRACE(g);
        m_export.SetGridSize(g);
        CRecordingDevice dev(20 * g, 12 * g);
        {
            QPainter dc(&dev);
            m_export.DrawVolumeTime(dc, 0, 0, 20 * g, 12 * g, 0, 0);
        }
        const double gx = 5 + g, gy = 5 + g / 2, zero = gy + 9 * g;
        const auto curves = Curves(dev);
        ASSERT_EQ(curves.size(), 3u);
        const CPaintRecord& best = curves[1];
        // Sample 199 ends the first second (the last point of its pixel column), sample 200
        // starts the next cell.
        const QPointF second = LastUpTo(best, gx + 199.0 * g / 200);
        EXPECT_NEAR(second.x(), gx + 199.0 * g / 200, 1.0);
        EXPECT_NEAR(second.y(), zero - g * marks.at("v1s_2"), 1.0);
        EXPECT_NEAR(FirstFrom(best, gx + g).x(), gx + g, 0.0);
        // The plateau: the whole expiration's volume.
        EXPECT_NEAR(LastUpTo(best, gx + 1199.0 * g / 200).y(), zero - g * marks.at("fvc_2"), 1.0);
        // The inspiration ends before the volume turns negative.
        EXPECT_GE(best.points.back().y(), zero - g * marks.at("fvc_2") - 1);
        EXPECT_LE(best.points.back().y(), zero);
        EXPECT_TRUE(HasLine(dev, QPointF(gx, zero), QPointF(gx + 8 * g, zero), 2.0));
    }
}

TEST_F(SpiroGraphs, GraphSelectionOneDrawsTheBestTrialInThePensWidth) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(4, 2));
    Bind(*pFile);
    m_export.m_nGraphNum = 1;
    for (int nGraphType : {0, 1}) {
        m_export.m_nGraphType = nGraphType;
        CRecordingDevice dev(800, 600);
        {
            QPainter dc(&dev);
            m_export.DrawScreenGraphs(dc, 0, 0, 800, 600, 0, 0);
        }
        const auto curves = Curves(dev);
        ASSERT_EQ(curves.size(), 1u);
        EXPECT_EQ(curves[0].dPenWidth, 2.0);
        EXPECT_EQ(dev.Texts("MEAS2").size(), 1u);
        EXPECT_TRUE(dev.Texts("MEAS1").empty());
    }
}

// Width rule: below 7 the best trial gets w + 4 and the others w - 1, w + 1, ...;
// 7 gives 16 for the best and 1 then 6; above 7 w + 10, and w - 5 then w.
TEST_F(SpiroGraphs, WidthRule) {
    struct Case {
        int w;
        int nBest;
        std::vector<int> widths;
    };
    const Case cases[] = {
        {2, 2, {1, 6, 3}},  {2, 1, {6, 1, 3}},  {1, 3, {0, 2, 5}},
        {7, 2, {1, 16, 6}}, {7, 1, {16, 6, 6}}, {10, 3, {5, 10, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w * 10 + c.nBest);
        int nAdj = c.w > 6 ? -5 : -1;
        std::vector<int> widths;
        for (int t = 1; t <= 3; ++t)
            widths.push_back(CSpiroExport::CurveWidth(c.w, t == c.nBest, nAdj));
        EXPECT_EQ(widths, c.widths);
    }
}

TEST_F(SpiroGraphs, PrePostOverlaysAndLegendRows) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(5, 2));
    const auto marks = spirotest::Landmarks(5, 2);
    Bind(*pFile);
    for (int nGraphType : {0, 1}) {
        SCOPED_TRACE(nGraphType);
        m_export.m_nGraphType = nGraphType;
        CRecordingDevice dev(800, 600);
        {
            QPainter dc(&dev);
            m_export.DrawScreenGraphs(dc, 0, 0, 800, 600, 0, 0);
        }
        const auto curves = Curves(dev);
        ASSERT_EQ(curves.size(), 2u);  // best base, best post
        EXPECT_EQ(curves[0].dPenWidth, 6.0);
        EXPECT_EQ(curves[1].penColor, QColor(0, 255, 0));
        const int g = 30, gy = 20;
        ASSERT_EQ(dev.Texts("BASE").size(), 1u);
        ASSERT_EQ(dev.Texts("POST").size(), 1u);
        // Both rows lie inside the graph, one below the other.
        const double yBase = dev.Texts("BASE")[0].points[0].y();
        const double yPost = dev.Texts("POST")[0].points[0].y();
        EXPECT_GT(yBase, gy);
        EXPECT_NEAR(yPost - yBase, g / 2, 1.0);
        if (nGraphType == 0) {
            EXPECT_NEAR(Highest(curves[1]).y(), gy + 14 * 15 - 15 * marks.at("post_pef"), 1.0);
        }
    }
}

TEST_F(SpiroGraphs, SlowVitalCapacityAndMvv) {
    {
        auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(2, 2));
        const auto marks = spirotest::Landmarks(2, 2);
        Bind(*pFile);
        CRecordingDevice dev(800, 600);
        {
            QPainter dc(&dev);
            m_export.DrawScreenGraphs(dc, 0, 0, 800, 600, 0, 0);
        }
        const auto curves = Curves(dev);
        ASSERT_EQ(curves.size(), 1u);
        const int g = 30, gx = 35, gy = 20;
        // Count - 2 segments, drawn by pixel columns (at most four points each over the
        // eight cells); five seconds a cell; the plateau at gy + 5g + g x value.
        EXPECT_LE(curves[0].points.size(), static_cast<size_t>(4 * 8 * g + 2));
        EXPECT_LT(curves[0].points.size(), static_cast<size_t>(marks.at("svc_count") - 1));
        EXPECT_EQ(curves[0].points.front(), QPointF(gx, gy + 5 * g));
        EXPECT_EQ(curves[0].points.back().x(),
                  gx + std::trunc((marks.at("svc_count") - 3) * g / 1000.0));
        EXPECT_EQ(curves[0].points.back().y(), gy + 5 * g + g * marks.at("svc_plateau"));
        EXPECT_EQ(dev.Texts("40").size(), 1u);
    }
    {
        auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(3, 2));
        const auto marks = spirotest::Landmarks(3, 2);
        Bind(*pFile);
        CRecordingDevice dev(800, 600);
        {
            QPainter dc(&dev);
            m_export.DrawScreenGraphs(dc, 0, 0, 800, 600, 0, 0);
        }
        const auto curves = Curves(dev);
        ASSERT_EQ(curves.size(), 1u);
        const int g = 30, gy = 20, bottom = gy + 9 * g;
        // Every cycle rises through the middle once (the first from the start point).
        const auto& pts = curves[0].points;
        const double yMid = bottom - marks.at("mvv_mid") * g * 0.053333335;
        int nRises = 0;
        for (size_t i = 1; i < pts.size(); ++i) {
            if (pts[i - 1].y() > yMid && pts[i].y() <= yMid)
                ++nRises;
        }
        EXPECT_EQ(nRises, static_cast<int>(marks.at("mvv_cycles")));
        const QPointF top = Highest(curves[0]);
        EXPECT_NEAR(top.y(), bottom - (marks.at("mvv_mid") + marks.at("mvv_amp")) * g * 0.053333335,
                    1.0);
        EXPECT_EQ(dev.Texts("12.0").size(), 1u);
        EXPECT_EQ(dev.Texts("150").size(), 1u);
    }
}

TEST_F(SpiroGraphs, UnknownTypeHasNoSizeAndDrawsNothing) {
    CSpiroTestFile file;
    Bind(file);
    EXPECT_EQ(m_export.GetGraphSize(), QSize(0, 0));
    CRecordingDevice dev(400, 400);
    {
        QPainter dc(&dev);
        m_export.DrawScreenGraphs(dc, 0, 0, 400, 400, 0, 0);
    }
    EXPECT_TRUE(dev.Records().empty());
    // Sizes of the known types: 11 x grid + 2 x border across, 13 or 10 cells down.
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(4, 2));
    Bind(*pFile);
    EXPECT_EQ(m_export.GetGraphSize(), QSize(340, 400));
    m_export.m_nGraphType = 1;
    EXPECT_EQ(m_export.GetGraphSize(), QSize(340, 310));
    // A grid below 2 is drawn, and measured, as 2.
    m_export.SetGridSize(0);
    EXPECT_EQ(m_export.GetGraphSize(), QSize(32, 30));
}

// A 600 x 800 page: B = 14, d = 7, E = 25, graphs on a grid of 24.
TEST_F(SpiroGraphs, ReportPageGeometry) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(1, 0));
    Bind(*pFile);
    CRecordingDevice dev(600, 800);
    {
        QPainter dc(&dev);
        m_export.DrawReportPageOn(dc, 600, 800);
    }
    const int B = 14, d = 7, E = 25, g = 24;
    EXPECT_TRUE(HasLine(dev, QPointF(E, 4 * B + d), QPointF(600 - E, 4 * B + d), 1.0));
    const int yFooter = 800 - 2 * B - d;
    EXPECT_TRUE(HasLine(dev, QPointF(E, yFooter), QPointF(600 - E, yFooter), 1.0));
    // Volume-time graph at (E, T) and flow-volume graph at (E + 11g, T), T from the page.
    const int T = 30 * B + (800 - 4 * B - 13 * g - 30 * B) / 4;
    const int gxVt = E + g, gxFv = E + 11 * g + g, gy = T + g / 2;
    for (int j = 0; j <= 8; ++j) {
        SCOPED_TRACE(j);
        EXPECT_TRUE(HasLine(dev, QPointF(gxVt + j * g, gy), QPointF(gxVt + j * g, gy + 9 * g),
                            j == 0 ? 2.0 : 1.0));
        EXPECT_TRUE(HasLine(dev, QPointF(gxFv + j * g, gy), QPointF(gxFv + j * g, gy + 12 * g),
                            j == 0 ? 2.0 : 1.0));
    }
    // Texts have their top on their row: the first one's top at B.
    bool bFound = false;
    for (const CPaintRecord& r : dev.Of(CPaintRecord::kText)) {
        if (r.text.startsWith("Pat-ID : ")) {
            bFound = true;
            EXPECT_EQ(r.points[0].x(), E);
            const QFontMetrics metrics(r.font, &dev);
            EXPECT_NEAR(r.points[0].y() - metrics.ascent(), B, 1.0);
        }
    }
    EXPECT_TRUE(bFound);
}

// The printed page: pen widths above 1 scaled by (pixels per mm) x 0.2, a graph pen of
// width 1 made 7, point fonts; every pen as it was afterwards.
TEST_F(SpiroGraphs, PrintedPageScalesPensAndRestoresThem) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(1, 0));
    Bind(*pFile);
    const CSpiroPageMetrics page{4960, 7016, 210.0};  // A4 at 600 dpi
    struct Case {
        int nGraphWidth;
        std::vector<double> widths;
    };
    // s = 4960 / 210 x 0.2 = 4.72: width 2 becomes 9 (best 19, others 4 and 9); width 1
    // becomes 7 (best 16, others 1 and 6).
    for (const Case& c : {Case{2, {4, 19, 9}}, Case{1, {1, 16, 6}}}) {
        SCOPED_TRACE(c.nGraphWidth);
        m_export.m_pens.graph.nWidth = c.nGraphWidth;
        const CSpiroPens before = m_export.m_pens;
        CRecordingDevice dev(page.nWidthPx, page.nHeightPx, 600);
        {
            QPainter dc(&dev);
            m_export.PrintReportPage(dc, page);
        }
        const auto curves = Curves(dev);
        ASSERT_EQ(curves.size(), 6u);  // volume-time and flow-volume, three trials each
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(curves[i].dPenWidth, c.widths[i]) << i;
            EXPECT_EQ(curves[3 + i].dPenWidth, c.widths[i]) << i;
        }
        // Axis pen 2 -> 9, grid pen 1 stays 1.
        const int E = page.nWidthPx / 24;
        bool bAxis = false;
        for (const CPaintRecord& r : dev.Of(CPaintRecord::kLine)) {
            if (r.points[0].x() == E + (E & ~1) && r.dPenWidth == 9.0)
                bAxis = true;
        }
        EXPECT_TRUE(bAxis);
        EXPECT_EQ(m_export.m_pens.graph.nWidth, before.graph.nWidth);
        EXPECT_EQ(m_export.m_pens.axis.nWidth, before.axis.nWidth);
        // Point fonts: 9 point at 600 dpi is 75 pixels.
        for (const CPaintRecord& r : dev.Of(CPaintRecord::kText)) {
            if (r.text.startsWith("Pat-ID")) {
                EXPECT_EQ(r.font.pointSize(), 9);
            }
        }
    }
}

// Pixel probes on the rendered page: grid lines at gx + j g, the axes dark.
TEST_F(SpiroGraphs, PixelProbesOnTheRenderedPage) {
    auto pFile = spirotest::OpenFixture(spirotest::ShapedFixture(1, 0));
    Bind(*pFile);
    QImage image;
    ASSERT_EQ(m_export.DrawReportPage(image, 600, 800), 0);
    ASSERT_EQ(image.size(), QSize(600, 800));
    const int B = 14, E = 25, g = 24;
    const int T = 30 * B + (800 - 4 * B - 13 * g - 30 * B) / 4;
    const int gx = E + g, gy = T + g / 2;
    auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) < 128; };
    // The zero-volume axis (2 wide) and the vertical axis.
    EXPECT_TRUE(dark(gx + 4 * g + g / 2, gy + 9 * g));
    EXPECT_TRUE(dark(gx, gy + g / 2));
    // Dotted grid lines: some dark pixels along each line, none half way between lines
    // above the curves.
    for (int j = 1; j <= 7; ++j) {
        int nDark = 0, nBetween = 0;
        for (int y = gy + 2; y < gy + g - 2; ++y) {
            nDark += dark(gx + j * g, y);
            nBetween += dark(gx + j * g - g / 2, y);
        }
        EXPECT_GT(nDark, 3) << j;
        EXPECT_EQ(nBetween, 0) << j;
    }
}

// Hostile tests (random words: NaN, infinities, huge values) and host values: grid sizes
// 0 to 400, odd and negative ones, scroll offsets and report widths up to 5400 draw without
// a sanitizer report.
TEST_F(SpiroGraphs, HostileTestsAndHostValues) {
    for (int nType = 1; nType <= 5; ++nType) {
        for (int nFormat = 0; nFormat <= 2; ++nFormat) {
            SCOPED_TRACE(nType * 10 + nFormat);
            auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(nType, nFormat));
            Bind(*pFile);
            for (int g : {-7, 0, 1, 3, 31, 202, 400, 32766}) {
                for (int nGraphType : {0, 1}) {
                    if (nGraphType == 1 && !spirofile::IsFvcType(nType))
                        continue;
                    m_export.SetGridSize(g);
                    m_export.m_nGraphType = nGraphType;
                    m_export.m_nBorder = g == 3 ? -40 : 5;
                    CRecordingDevice dev(700, 500);
                    QPainter dc(&dev);
                    m_export.DrawScreenGraphs(dc, 0, 0, 700, 500, g == 31 ? 100000 : 0, -3);
                }
            }
            for (int w : {1, 7, nFormat == 2 ? 4801 : 600}) {
                CRecordingDevice dev(w, w * 8 / 6);
                QPainter dc(&dev);
                m_export.DrawReportPageOn(dc, w, w * 8 / 6);
            }
        }
    }
    auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(5, 2));
    Bind(*pFile);
    QImage image;
    EXPECT_EQ(m_export.DrawReportPage(image, 5400, 7200), 0);
    EXPECT_EQ(image.size(), QSize(5400, 7200));
}

}  // namespace
