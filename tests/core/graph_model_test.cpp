// The graph's data: history ring, visible selection, statistics, value axis, durations, hover index.
#include "ui/dashboard/graph_model.h"

#include <gtest/gtest.h>

#include <ostream>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace tide {
namespace {

GraphPoint point(int64_t time, double download = 0, double upload = 0, bool valid = true) {
    return {time, valid, download, upload};
}

std::vector<int64_t> times_of(const std::vector<GraphPoint>& points) {
    std::vector<int64_t> times;
    for (const GraphPoint& p : points) {
        times.push_back(p.time);
    }
    return times;
}

TEST(GraphHistory, ReservesEverythingAtConstruction) {
    GraphHistory history;
    EXPECT_EQ(history.capacity(), 14400u);
    EXPECT_EQ(history.size(), 0u);
    EXPECT_TRUE(history.snapshot().empty());
}

TEST(GraphHistory, FullRingOverwritesTheOldestPoint) {
    GraphHistory history;
    for (int64_t t = 0; t < 14400; ++t) {
        history.push(point(t));
    }
    history.push(point(14400));
    history.push(point(14401));
    ASSERT_EQ(history.size(), 14400u);
    const std::vector<GraphPoint> snapshot = history.snapshot();
    ASSERT_EQ(snapshot.size(), 14400u);
    EXPECT_EQ(snapshot.front().time, 2);
    EXPECT_EQ(snapshot.back().time, 14401);
    for (size_t i = 1; i < snapshot.size(); ++i) {
        ASSERT_EQ(snapshot[i].time, snapshot[i - 1].time + 1) << i;
    }
}

TEST(GraphHistory, WrapsRepeatedlyInPushOrder) {
    GraphHistory history(3);
    for (int64_t t = 1; t <= 8; ++t) {
        history.push(point(t));
    }
    EXPECT_EQ(times_of(history.snapshot()), (std::vector<int64_t>{6, 7, 8}));
    EXPECT_EQ(history.at(0).time, 6);
}

TEST(GraphHistory, ClearStartsAfreshAndKeepsCapacity) {
    GraphHistory history(3);
    for (int64_t t = 1; t <= 5; ++t) {
        history.push(point(t));
    }
    history.clear();
    EXPECT_TRUE(history.snapshot().empty());
    history.push(point(10));
    history.push(point(11));
    EXPECT_EQ(times_of(history.snapshot()), (std::vector<int64_t>{10, 11}));
    EXPECT_EQ(history.capacity(), 3u);
}

TEST(VisiblePoints, SelectsTheRangeInPushOrder) {
    GraphHistory history;
    for (int64_t t = 100; t <= 200; ++t) {
        history.push(point(t));
    }
    VisibleGraph visible;
    select_visible_points(history, 200, 30, visible);
    ASSERT_EQ(visible.points.size(), 31u); // a point exactly at now - range is included
    EXPECT_EQ(visible.points.front().time, 170);
    EXPECT_EQ(visible.points.back().time, 200);
    EXPECT_FALSE(visible.rebuild);
}

TEST(VisiblePoints, FourSamplesASecondForThirtySeconds) {
    GraphHistory history;
    for (int64_t i = 0; i < 4 * 600; ++i) {
        history.push(point(1000 + i / 4));
    }
    VisibleGraph visible;
    select_visible_points(history, 1599, 30, visible);
    EXPECT_EQ(visible.points.size(), 124u); // 31 whole seconds of 4 points
}

TEST(VisiblePoints, FrozenKeepsItsPointsUntilARebuildIsAsked) {
    GraphHistory history;
    history.push(point(10, 1));
    VisibleGraph visible;
    select_visible_points(history, 10, 60, visible);
    visible.pause();
    history.push(point(11, 2));
    select_visible_points(history, 11, 60, visible);
    EXPECT_EQ(times_of(visible.points), (std::vector<int64_t>{10}));

    visible.rebuild = true; // a range change while paused reselects once
    select_visible_points(history, 11, 60, visible);
    EXPECT_EQ(times_of(visible.points), (std::vector<int64_t>{10, 11}));
    EXPECT_TRUE(visible.frozen);
    history.push(point(12, 3));
    select_visible_points(history, 12, 60, visible);
    EXPECT_EQ(visible.points.size(), 2u);

    visible.resume();
    select_visible_points(history, 12, 60, visible);
    EXPECT_EQ(visible.points.size(), 3u);
}

TEST(VisiblePoints, ExtremeClockDoesNotWrap) {
    GraphHistory history;
    history.push(point(std::numeric_limits<int64_t>::min()));
    VisibleGraph visible;
    select_visible_points(history, std::numeric_limits<int64_t>::min() + 5, 3600, visible);
    EXPECT_EQ(visible.points.size(), 1u);
}

TEST(GraphStats, SkipsInvalidPoints) {
    const std::vector<GraphPoint> points = {point(1, 0, 0, false), point(2, 300, 30), point(3, 0, 0, false),
                                            point(4, 100, 90), point(5, 200, 60)};
    const GraphStats stats = compute_graph_stats(points);
    EXPECT_EQ(stats.count, 3u);
    EXPECT_DOUBLE_EQ(stats.download.avg, 200);
    EXPECT_DOUBLE_EQ(stats.download.min, 100);
    EXPECT_DOUBLE_EQ(stats.download.max, 300);
    EXPECT_DOUBLE_EQ(stats.upload.avg, 60);
    EXPECT_DOUBLE_EQ(stats.upload.min, 30);
    EXPECT_DOUBLE_EQ(stats.upload.max, 90);
}

TEST(GraphStats, AllZeroWithoutValidPoints) {
    const GraphStats stats = compute_graph_stats({point(1, 5, 5, false)});
    EXPECT_EQ(stats.count, 0u);
    EXPECT_EQ(stats.download.max, 0);
    EXPECT_EQ(stats.upload.min, 0);
    EXPECT_EQ(stats.upload.avg, 0);
}

TEST(GraphPeak, LargestValidRateInEitherDirection) {
    EXPECT_EQ(graph_peak({}), 0);
    EXPECT_EQ(graph_peak({point(1, 9e9, 9e9, false), point(2, 10, 70), point(3, 50, 20)}), 70);
}

struct ScaleCase {
    double peak;
    double max;
    int divisions;
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << "peak " << c.peak;
}

class AxisScaleTable : public testing::TestWithParam<ScaleCase> {};

TEST_P(AxisScaleTable, RoundsUpToAStep) {
    const AxisScale scale = axis_scale(GetParam().peak, 0);
    EXPECT_DOUBLE_EQ(scale.max, GetParam().max);
    EXPECT_EQ(scale.divisions, GetParam().divisions);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AxisScaleTable,
    testing::Values(ScaleCase{0, 1e6, 4}, ScaleCase{-5, 1e6, 4}, ScaleCase{std::nan(""), 1e6, 4},
                    ScaleCase{std::numeric_limits<double>::infinity(), 1e6, 4}, ScaleCase{900'000, 1e6, 4},
                    ScaleCase{2'000'000, 4e6, 4}, ScaleCase{4'800'000, 8e6, 4}, ScaleCase{4'700'000, 5e6, 5},
                    ScaleCase{9'600'000, 2e7, 4}, ScaleCase{1'500'000, 2e6, 4}, ScaleCase{9'000'000, 1e7, 5},
                    ScaleCase{95'000'000, 1e8, 5}, ScaleCase{3e9, 4e9, 4}));

TEST(AxisScale, FixedMaximumWins) {
    const AxisScale scale = axis_scale(5e9, 1e6);
    EXPECT_EQ(scale.max, 1e6);
    EXPECT_EQ(scale.divisions, 4);
}

TEST(AxisScale, HugePeakStaysFinite) {
    const AxisScale scale = axis_scale(std::numeric_limits<double>::max(), 0);
    EXPECT_GT(scale.max, 0);
    EXPECT_GT(scale.divisions, 0);
}

struct DurationCase {
    int64_t seconds;
    const char* text;
};

void PrintTo(const DurationCase& c, std::ostream* os) {
    *os << c.seconds << " s";
}

class DurationTable : public testing::TestWithParam<DurationCase> {};

TEST_P(DurationTable, Formats) {
    EXPECT_EQ(format_duration(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, DurationTable,
                         testing::Values(DurationCase{-7, "0 s"}, DurationCase{0, "0 s"},
                                         DurationCase{45, "45 s"}, DurationCase{59, "59 s"},
                                         DurationCase{60, "1 min"}, DurationCase{125, "2 min 05 s"},
                                         DurationCase{300, "5 min"}, DurationCase{900, "15 min"},
                                         DurationCase{3599, "59 min 59 s"}, DurationCase{3600, "1 h"},
                                         DurationCase{3659, "1 h"}, DurationCase{3900, "1 h 05 min"},
                                         DurationCase{90000, "25 h"}));

TEST(GraphRanges, ReadAsTheRangeChoice) {
    std::vector<std::string> texts;
    for (int range : GraphRanges) {
        texts.push_back(format_duration(range));
        EXPECT_TRUE(is_graph_range(range));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"30 s", "1 min", "5 min", "15 min", "1 h"}));
    EXPECT_FALSE(is_graph_range(120));
}

struct HoverCase {
    double x;
    size_t count;
    bool rtl;
    int index;
};

void PrintTo(const HoverCase& c, std::ostream* os) {
    *os << "x " << c.x << ", count " << c.count << (c.rtl ? ", rtl" : "");
}

class HoverTable : public testing::TestWithParam<HoverCase> {};

TEST_P(HoverTable, MapsXToAPoint) {
    const HoverCase& c = GetParam();
    EXPECT_EQ(hover_index(c.x, 80, 400, c.count, c.rtl), c.index);
}

INSTANTIATE_TEST_SUITE_P(Table, HoverTable,
                         testing::Values(HoverCase{200, 0, false, -1}, HoverCase{79.9, 5, false, -1},
                                         HoverCase{480.1, 5, false, -1}, HoverCase{300, 1, false, 0},
                                         HoverCase{80, 5, false, 0}, HoverCase{480, 5, false, 4},
                                         HoverCase{80, 5, true, 4}, HoverCase{480, 5, true, 0},
                                         HoverCase{130, 5, false, 1}, // f = 0.125, 0.5 rounds away from zero
                                         HoverCase{129, 5, false, 0}, // 0.49
                                         HoverCase{130, 5, true, 4},  // (1 - 0.125) * 4 = 3.5
                                         HoverCase{280, 121, false, 60}, HoverCase{280, 121, true, 60}));

TEST(HoverIndex, RejectsAnEmptyPlotOrAnUnknownPosition) {
    EXPECT_EQ(hover_index(100, 80, 0, 5, false), -1);
    EXPECT_EQ(hover_index(100, 80, -10, 5, false), -1);
    EXPECT_EQ(hover_index(std::nan(""), 80, 400, 5, false), -1);
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(hover_index(100, std::nan(""), 400, 5, false), -1);
    EXPECT_EQ(hover_index(100, -infinity, infinity, 5, false), -1);
    EXPECT_EQ(hover_index(100, 80, infinity, 5, true), -1);
}

// Download values; NaN stands for an invalid point.
struct ExtremesCase {
    std::vector<double> values;
    size_t columns;
    std::vector<size_t> kept;
};

class ColumnExtremesTable : public ::testing::TestWithParam<ExtremesCase> {};

TEST_P(ColumnExtremesTable, KeepsTheLowAndHighOfEachColumn) {
    std::vector<GraphPoint> points;
    for (const double v : GetParam().values) {
        points.push_back(std::isnan(v) ? point(0, 0, 0, false) : point(0, v, 7));
    }
    EXPECT_EQ(column_extremes(points, GetParam().columns, &GraphPoint::download), GetParam().kept);
}

const double gap = std::nan("");

INSTANTIATE_TEST_SUITE_P(
    Table, ColumnExtremesTable,
    ::testing::Values(
        ExtremesCase{{3, 1, 2, 5}, 10, {0, 1, 2, 3}},         // fewer points than columns
        ExtremesCase{{1, 1, 1, 1, 1}, 4, {0, 1, 2, 3, 4}},    // n - 1 == columns: one point per column
        ExtremesCase{{1, 1, 1, 1, 1, 1}, 4, {0, 2, 3, 4, 5}}, // one more: 0 and 1 share column 0
        ExtremesCase{{1, 1, 2, 3}, 0, {0, 1, 2, 3}},          // no width known: everything
        // Columns 0 (j 0-3), 1 (j 4-7, from exactly 4 * 2 / 8), 2 (j 8): the spike at 2 and the dip at 5
        // stay.
        ExtremesCase{{1, 1, 9, 1, 1, 0, 1, 1, 1}, 2, {0, 2, 4, 5, 8}},
        ExtremesCase{{9, 1, 1, 1, 1, 1, 1, 1, 0}, 2, {0, 1, 4, 8}}, // high before low keeps time order
        // A gap keeps its first point and splits the column it falls in.
        ExtremesCase{{1, 3, 2, gap, 5, 4, 6, 4, 1}, 1, {0, 1, 3, 5, 6, 8}},
        ExtremesCase{{1, 5, gap, gap, 2, 2, 7, 2, 3}, 2, {0, 1, 2, 4, 6, 8}},
        // A second gap keeps its first point as well: the first one ended in between.
        ExtremesCase{{1, gap, 1, 1, gap, 1, 1, 1, 1}, 2, {0, 1, 2, 4, 5, 8}},
        ExtremesCase{{1, gap, 1, gap, 1, 1, 1, 1, 1}, 1, {0, 1, 2, 3, 4, 8}}));

TEST(ColumnExtremes, EachDirectionPicksItsOwnExtremes) {
    std::vector<GraphPoint> points;
    for (int j = 0; j < 9; ++j) {
        points.push_back(point(j, j == 1 ? 9 : 1, j == 6 ? 9 : 1));
    }
    EXPECT_EQ(column_extremes(points, 2, &GraphPoint::download), (std::vector<size_t>{0, 1, 4, 8}));
    EXPECT_EQ(column_extremes(points, 2, &GraphPoint::upload), (std::vector<size_t>{0, 4, 6, 8}));
}

} // namespace
} // namespace tide
