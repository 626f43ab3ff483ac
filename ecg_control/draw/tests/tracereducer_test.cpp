#include "ecg_control/draw/tracereducer.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

using CLine = std::vector<CPlotPoint>;

// One device column per unit; ten units a device row unless said (so that no stroke is
// tall); a wide visible rectangle unless given.
std::vector<CLine> Reduce(const std::vector<CPlotPoint>& points,
                          CPlotRect rc = CPlotRect{-1e6, -1e6, 1e6, 1e6}, double dRows = 0.1) {
    CTraceReducer reducer(1.0, 0.0, dRows, rc);
    for (const CPlotPoint& pt : points) {
        reducer.Add(pt.x, pt.y);
    }
    reducer.Finish();
    std::vector<CLine> lines;
    for (std::size_t k = 0; k < reducer.PolylineCount(); ++k) {
        std::size_t n = 0;
        const CPlotPoint* p = reducer.Polyline(k, &n);
        lines.emplace_back(p, p + n);
    }
    return lines;
}

TEST(TraceReducer, ColumnsOfFourOrFewerPointsAreKept) {
    const std::vector<CPlotPoint> points = {{0.1, 0}, {0.4, 0.5}, {0.7, 0.2}, {0.9, 0.3},
                                            {1.2, 1}, {1.5, 1.5}, {2.0, 1}};
    const auto lines = Reduce(points);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], points);
}

TEST(TraceReducer, DenseColumnKeepsFirstLowestHighestAndLastInTheirOrder) {
    struct {
        std::vector<double> ay;  // y of points 0.1 apart in column 0
        std::vector<double> aExpect;
    } cases[] = {
        {{0, 5, -3, 2, 7, 1}, {0, -3, 7, 1}},  // lowest before highest
        {{0, 9, 4, -6, 2, 1}, {0, 9, -6, 1}},  // highest before lowest
        {{-4, 3, 1, 2, 0, 8}, {-4, 8}},        // first lowest, last highest
        {{2, 2, 2, 2, 2, 2}, {2, 2}},          // a flat column: first and last
        {{1, 5, 5, 0, 0, 3}, {1, 5, 0, 3}},    // ties keep the first of them
    };
    for (const auto& c : cases) {
        std::vector<CPlotPoint> points;
        for (std::size_t i = 0; i < c.ay.size(); ++i) {
            points.push_back({0.1 * static_cast<double>(i), c.ay[i]});
        }
        points.push_back({1.5, 0});  // the next column
        const auto lines = Reduce(points);
        ASSERT_EQ(lines.size(), 1u);
        std::vector<double> ay;
        for (std::size_t i = 0; i + 1 < lines[0].size(); ++i) {
            ay.push_back(lines[0][i].y);
        }
        EXPECT_EQ(ay, c.aExpect);
        EXPECT_EQ(lines[0].back(), (CPlotPoint{1.5, 0}));
    }
}

TEST(TraceReducer, PointsPerColumnFollowTheColumnsNotTheSamples) {
    // 100,000 samples of noise over 100 columns.
    std::vector<CPlotPoint> points;
    for (int i = 0; i < 100000; ++i) {
        points.push_back({i / 1000.0, (i * 7919 % 201) / 100.0 - 1.0});
    }
    const auto lines = Reduce(points);
    std::size_t n = 0;
    for (const CLine& line : lines) {
        n += line.size();
    }
    EXPECT_LE(n, 4u * 100u);
    EXPECT_GE(n, 2u * 100u);
}

TEST(TraceReducer, SegmentsAreCutWhereTheyLeaveTheRectangle) {
    // Out through the top edge (y = 10), back in, then wholly outside, then in again.
    const CPlotRect rc{0, 0, 100, 10};
    const auto lines = Reduce({{1, 5}, {2, 15}, {3, 5}, {4, 50}, {5, 60}, {6, 5}, {7, 6}}, rc);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], (CLine{{1, 5}, {1.5, 10}}));
    EXPECT_EQ(lines[1], (CLine{{2.5, 10}, {3, 5}, {3 + 5.0 / 45.0, 10}}));
    ASSERT_EQ(lines[2].size(), 3u);
    EXPECT_DOUBLE_EQ(lines[2][0].x, 5 + 50.0 / 55.0);
    EXPECT_DOUBLE_EQ(lines[2][0].y, 10);
    EXPECT_EQ(lines[2][1], (CPlotPoint{6, 5}));
    EXPECT_EQ(lines[2][2], (CPlotPoint{7, 6}));
    // A segment that crosses the rectangle from outside to outside keeps its middle.
    const auto across = Reduce({{-10, 5}, {110, 5}}, rc);
    ASSERT_EQ(across.size(), 1u);
    EXPECT_EQ(across[0], (CLine{{0, 5}, {100, 5}}));
    // Nothing inside: nothing drawn.
    EXPECT_TRUE(Reduce({{1, 20}, {2, 30}, {3, -40}}, CPlotRect{0, 100, 100, 200}).empty());
}

TEST(TraceReducer, TallStrokesOverWhatIsShownAreLeftOut) {
    // A column swinging from edge to edge of the rectangle: one stroke shows it.
    const CPlotRect rc{0, 0, 1000, 100};
    std::vector<CPlotPoint> points;
    for (int i = 0; i < 60; ++i) {
        points.push_back({i * 0.2, i % 2 == 0 ? 1e6 : -1e6});
    }
    const auto lines = Reduce(points, rc, 1.0);
    double dLength = 0;
    for (const CLine& line : lines) {
        for (std::size_t i = 1; i < line.size(); ++i) {
            dLength += std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
        }
    }
    // 12 columns of 100 rows: about one stroke each, never one per sample.
    EXPECT_LT(dLength, 2.5 * 12 * 100);
    EXPECT_GT(dLength, 0.9 * 12 * 100);
    // Short strokes are never left out, so a small zigzag stays whole.
    const std::vector<CPlotPoint> zigzag = {{0.1, 0}, {0.3, 3}, {0.5, 0}, {0.7, 3}};
    const auto kept = Reduce(zigzag, rc, 1.0);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], zigzag);
    // A tall stroke a pixel or more away from the one it goes over is kept.
    const auto apart = Reduce({{0.1, 0}, {0.2, 50}, {1.3, 0}}, rc, 1.0);
    ASSERT_EQ(apart.size(), 1u);
    EXPECT_EQ(apart[0].size(), 3u);
    // One less than a pixel away is left out, and the trace goes on from its end.
    const auto over = Reduce({{0.1, 0}, {0.2, 50}, {0.9, 10}, {1.2, 12}}, rc, 1.0);
    ASSERT_EQ(over.size(), 2u);
    EXPECT_EQ(over[0], (CLine{{0.1, 0}, {0.2, 50}}));
    EXPECT_EQ(over[1], (CLine{{0.9, 10}, {1.2, 12}}));
}

TEST(TraceReducer, PointsThatAreNotNumbersAreLeftOut) {
    const double dNan = std::numeric_limits<double>::quiet_NaN();
    const double dInf = std::numeric_limits<double>::infinity();
    const auto lines = Reduce({{0, 0}, {dNan, 1}, {1, dInf}, {2, 2}, {1e300, 1}});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][0], (CPlotPoint{0, 0}));
    EXPECT_EQ(lines[0][1], (CPlotPoint{2, 2}));
    EXPECT_EQ(lines[0].size(), 3u);  // far away, cut at the rectangle
}

TEST(TraceReducer, ColumnsMayRunBackwards) {
    // A flow-volume loop goes back towards the axis.
    std::vector<CPlotPoint> points;
    for (int i = 0; i <= 20; ++i) {
        points.push_back({static_cast<double>(i), 0});
    }
    for (int i = 20; i >= 0; --i) {
        points.push_back({static_cast<double>(i), 5});
    }
    const auto lines = Reduce(points);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].front(), (CPlotPoint{0, 0}));
    EXPECT_EQ(lines[0].back(), (CPlotPoint{0, 5}));
}

}  // namespace
