// Dashboard geometry: the control row, the painted boxes, grid, lines and hover box, both directions.
#include "ui/dashboard/dashboard_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace tide {
namespace {

struct ControlsCase {
    int width;
    int height;
    int dpi;
    bool rtl;
    std::vector<ControlPlace> expected;
};

void PrintTo(const ControlsCase& c, std::ostream* os) {
    *os << c.width << "x" << c.height << " at " << c.dpi << (c.rtl ? " rtl" : " ltr");
}

class ControlsTable : public testing::TestWithParam<ControlsCase> {};

TEST_P(ControlsTable, PlacesEveryControlInCreationOrder) {
    const ControlsCase& c = GetParam();
    EXPECT_EQ(layout_controls(c.width, c.height, c.dpi, c.rtl), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ControlsTable,
    testing::Values(
        // Row 0 at 600 + 10 - 96 = 514, row 1 forty below.
        ControlsCase{960, 600, 96, false,
                     {{3004, 24, 519, 110, 20}, {3001, 138, 514, 110, 220}, {3002, 262, 514, 150, 28},
                      {3003, 420, 514, 170, 28}, {3005, 24, 554, 300, 36}, {3006, 332, 558, 130, 28},
                      {3007, 470, 558, 120, 28}, {3008, 598, 558, 130, 28}}},
        // Mirrored: x measured from the right edge.
        ControlsCase{960, 600, 96, true,
                     {{3004, 826, 519, 110, 20}, {3001, 712, 514, 110, 220}, {3002, 548, 514, 150, 28},
                      {3003, 370, 514, 170, 28}, {3005, 636, 554, 300, 36}, {3006, 498, 558, 130, 28},
                      {3007, 370, 558, 120, 28}, {3008, 232, 558, 130, 28}}},
        // 144 DPI: row 0 at 900 + 15 - 144 = 771; 5 DIP become 8 pixels (7.5 rounded away from zero).
        ControlsCase{1440, 900, 144, false,
                     {{3004, 36, 779, 165, 30}, {3001, 207, 771, 165, 330}, {3002, 393, 771, 225, 42},
                      {3003, 630, 771, 255, 42}, {3005, 36, 831, 450, 54}, {3006, 498, 837, 195, 42},
                      {3007, 705, 837, 180, 42}, {3008, 897, 837, 195, 42}}},
        ControlsCase{1, 600, 96, false, {}}));

TEST(Controls, OrderIsTheCreationOrder) {
    const std::vector<ControlPlace> places = layout_controls(800, 600, 96, false);
    ASSERT_EQ(places.size(), k_control_order.size());
    for (size_t i = 0; i < places.size(); ++i) {
        EXPECT_EQ(places[i].id, k_control_order[i]);
    }
}

// Captions in a longer language: the label wants 140 and the pause button 190 pixels.
TEST(Controls, LongCaptionsWidenTheirControlsAndPushTheRowWithinTheMargin) {
    const CaptionWidths long_captions{140, 0, 190, 100, 0, 0, 0, 0};
    struct Case {
        int width;
        bool rtl;
        CaptionWidths captions;
        std::array<std::pair<int, int>, 4> row0; // x and width of 3004, 3001, 3002, 3003
    };
    for (const Case& c : {
             Case{960, false, long_captions, {{{24, 140}, {168, 110}, {292, 190}, {490, 170}}}},
             Case{960, true, long_captions, {{{796, 140}, {682, 110}, {478, 190}, {300, 170}}}},
             // 26 pixels of room up to the margin, shared 30 : 40.
             Case{640, false, long_captions, {{{24, 121}, {149, 110}, {273, 164}, {445, 170}}}},
             Case{960, false, {50, 50, 50, 50, 50, 50, 50, 50},
                  {{{24, 110}, {138, 110}, {262, 150}, {420, 170}}}},
         }) {
        const std::vector<ControlPlace> places = layout_controls(c.width, 600, 96, c.rtl, c.captions);
        ASSERT_EQ(places.size(), 8u);
        for (size_t i = 0; i < c.row0.size(); ++i) {
            EXPECT_EQ(std::make_pair(places[i].x, places[i].width), c.row0[i])
                << c.width << " " << c.rtl << " " << i;
        }
        const std::vector<ControlPlace> plain = layout_controls(c.width, 600, 96, c.rtl);
        EXPECT_TRUE(std::equal(places.begin() + 4, places.end(), plain.begin() + 4))
            << "row 1 has no long caption";
    }
}

// The narrowest window's client area: the second row gives up what it lacks, in proportion, and keeps
// its order and gaps; exactly as wide as it needs, it stays as it is.
TEST(Controls, TheSecondRowFitsTheNarrowestWindow) {
    for (const bool rtl : {false, true}) {
        const std::vector<ControlPlace> places = layout_controls(624, 480, 96, rtl);
        const std::array<std::pair<int, int>, 4> expected{{{24, 243}, {275, 105}, {388, 97}, {493, 105}}};
        for (size_t i = 0; i < expected.size(); ++i) {
            const ControlPlace& p = places[4 + i];
            const int left = rtl ? 624 - p.x - p.width : p.x;
            EXPECT_EQ(std::make_pair(left, p.width), expected[i]) << rtl << " " << i;
        }
    }
    EXPECT_EQ(layout_controls(752, 480, 96, false).back(), (ControlPlace{3008, 598, 438, 130, 28}));
}

TEST(Controls, StayAtTheBottomEdgeAtAnyDpi) {
    for (const int dpi : {96, 120, 144, 192}) {
        const std::vector<ControlPlace> places = layout_controls(2000, 1500, dpi, false);
        // The taskbar toggle is the lowest control: it ends 96 - 10 - 40 - 36 = 10 DIP above the edge.
        const ControlPlace& toggle = places[4];
        EXPECT_NEAR(1500 - (toggle.y + toggle.height), 10.0 * dpi / 96, 2) << dpi;
    }
}

TEST(WindowSize, Minimum) {
    EXPECT_EQ(minimum_window_size(96).width, 640);
    EXPECT_EQ(minimum_window_size(96).height, 480);
    EXPECT_EQ(minimum_window_size(144).width, 960);
    EXPECT_EQ(minimum_window_size(144).height, 720);
    EXPECT_EQ(minimum_window_size(0).width, 640);
}

TEST(RangePosition, OutOfListShowsFiveMinutes) {
    EXPECT_EQ(range_position(30), 0);
    EXPECT_EQ(range_position(60), 1);
    EXPECT_EQ(range_position(300), 2);
    EXPECT_EQ(range_position(900), 3);
    EXPECT_EQ(range_position(3600), 4);
    EXPECT_EQ(range_position(120), 2);
    EXPECT_EQ(range_position(-30), 2);
}

void expect_rect(const DipRect& r, float left, float top, float width, float height) {
    EXPECT_FLOAT_EQ(r.left, left);
    EXPECT_FLOAT_EQ(r.top, top);
    EXPECT_FLOAT_EQ(r.width, width);
    EXPECT_FLOAT_EQ(r.height, height);
}

TEST(Geometry, LeftToRight) {
    const DashboardGeometry g = dashboard_geometry(960, 640, false);
    expect_rect(g.cards[0].box, 24, 80, 444, 104);
    expect_rect(g.cards[1].box, 492, 80, 444, 104);
    expect_rect(g.cards[1].arrow, 508, 96, 16, 16);
    EXPECT_FLOAT_EQ(g.cards[1].label.left, 532);
    EXPECT_FLOAT_EQ(g.cards[1].value.left, 508);
    EXPECT_FLOAT_EQ(g.cards[1].value.top, 124);
    // B = 544: the panel is max(80, 544 - 278) high.
    expect_rect(g.panel, 24, 200, 912, 266);
    expect_rect(g.plot, 80, 214, 842, 226);
    EXPECT_FLOAT_EQ(g.session_line.top, 518);
    EXPECT_FLOAT_EQ(g.history_line.top, 496);
    EXPECT_FLOAT_EQ(g.stats_line.top, 474);
    EXPECT_FLOAT_EQ(g.range_label.left, 80);
    EXPECT_FLOAT_EQ(g.range_label.top, 446);
    EXPECT_FLOAT_EQ(g.now_label.left, 882);
    EXPECT_FLOAT_EQ(g.now_label.right(), g.plot.right());
}

TEST(Geometry, MirroredRightToLeft) {
    const DashboardGeometry g = dashboard_geometry(960, 640, true);
    // The download card moves to the right, its arrow to the card's right edge.
    expect_rect(g.cards[0].box, 492, 80, 444, 104);
    expect_rect(g.cards[0].arrow, 960 - 24 - 32, 96, 16, 16);
    expect_rect(g.cards[1].box, 24, 80, 444, 104);
    EXPECT_FLOAT_EQ(g.cards[0].arrow.right(), g.cards[0].box.right() - 16);
    expect_rect(g.plot, 38, 214, 842, 226);
    expect_rect(g.panel, 24, 200, 912, 266);
    EXPECT_FLOAT_EQ(g.range_label.left, 780); // the oldest end is on the right
    EXPECT_FLOAT_EQ(g.now_label.left, g.plot.left);
    EXPECT_FLOAT_EQ(g.title.left, 24);
}

TEST(Geometry, ShortWindowKeepsAPanel) {
    const DashboardGeometry g = dashboard_geometry(640, 300, false);
    EXPECT_FLOAT_EQ(g.panel.height, 80);
    EXPECT_FLOAT_EQ(g.plot.height, 40);
}

TEST(Grid, LinesAndLabelsFromBottomToTop) {
    for (const bool rtl : {false, true}) {
        const DashboardGeometry g = dashboard_geometry(960, 640, rtl);
        const std::vector<GridLine> lines = grid_lines(g, {4e6, 4}, rtl);
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_FLOAT_EQ(lines[0].y, 440);
        EXPECT_FLOAT_EQ(lines[1].y, 383.5f);
        EXPECT_FLOAT_EQ(lines[4].y, 214);
        EXPECT_DOUBLE_EQ(lines[1].value, 1e6);
        EXPECT_DOUBLE_EQ(lines[4].value, 4e6);
        EXPECT_FLOAT_EQ(lines[2].label.top, lines[2].y - 8);
        EXPECT_FLOAT_EQ(lines[2].label.left, rtl ? 882 : 30);
    }
    EXPECT_TRUE(grid_lines(dashboard_geometry(960, 640, false), {1e6, 0}, false).empty());
}

TEST(Points, SpacedByIndexNewestAtTheEnd) {
    const DipRect plot{80, 214, 842, 226};
    EXPECT_FLOAT_EQ(point_x(plot, 0, 5, false), 80);
    EXPECT_FLOAT_EQ(point_x(plot, 2, 5, false), 501);
    EXPECT_FLOAT_EQ(point_x(plot, 4, 5, false), 922);
    EXPECT_FLOAT_EQ(point_x(plot, 0, 5, true), 922);
    EXPECT_FLOAT_EQ(point_x(plot, 4, 5, true), 80);
    EXPECT_FLOAT_EQ(point_y(plot, 0, 4e6), 440);
    EXPECT_FLOAT_EQ(point_y(plot, 2e6, 4e6), 327);
    EXPECT_FLOAT_EQ(point_y(plot, 9e9, 4e6), 214); // above the scale: at the top
    EXPECT_FLOAT_EQ(point_y(plot, std::nan(""), 4e6), 440);
    EXPECT_FLOAT_EQ(point_y(plot, 1e6, 0), 440);
}

GraphPoint valid(int64_t t, double down, double up) {
    return {t, true, down, up};
}
GraphPoint invalid(int64_t t) {
    return {t, false, 0, 0};
}

TEST(Lines, InvalidPointBreaksBothLines) {
    const DipRect plot{80, 214, 842, 226};
    const std::vector<GraphPoint> points = {valid(1, 1e6, 2e6), valid(2, 2e6, 1e6), invalid(3),
                                            valid(4, 3e6, 1e6), valid(5, 1e6, 1e6), valid(6, 0, 0)};
    const GraphLines lines = graph_lines(points, plot, 4e6, false);
    for (const GraphLine* line : {&lines.download, &lines.upload}) {
        ASSERT_EQ(line->run_starts.size(), 2u);
        EXPECT_EQ(line->segment_count(), 3u);
        EXPECT_EQ(line->run_ends[0] - line->run_starts[0], 2u);
        EXPECT_EQ(line->run_ends[1] - line->run_starts[1], 3u);
    }
    // The second run starts at point 3's x.
    EXPECT_FLOAT_EQ(lines.download.points[lines.download.run_starts[1]].x, point_x(plot, 3, 6, false));
    EXPECT_FLOAT_EQ(lines.upload.points[0].y, point_y(plot, 2e6, 4e6));
}

TEST(Lines, LonePointsAndShortListsDrawNothing) {
    const DipRect plot{80, 214, 842, 226};
    EXPECT_EQ(graph_lines({valid(1, 1, 1)}, plot, 1e6, false).download.segment_count(), 0u);
    const GraphLines lines = graph_lines({valid(1, 1, 1), invalid(2), valid(3, 1, 1)}, plot, 1e6, false);
    EXPECT_EQ(lines.download.segment_count(), 0u);
    EXPECT_TRUE(lines.download.points.empty());
    EXPECT_EQ(graph_lines({invalid(1), invalid(2)}, plot, 1e6, true).upload.segment_count(), 0u);
}

TEST(Lines, AnHourAtTenSecondsIs360Points) {
    GraphHistory history;
    const int64_t now = 100'000;
    for (int64_t t = now - 7200 + 5; t <= now; t += 10) {
        history.push(valid(t, 1e6, 5e5));
    }
    VisibleGraph visible;
    select_visible_points(history, now, 3600, visible);
    ASSERT_EQ(visible.points.size(), 360u);
    const DipRect plot{80, 214, 842, 226};
    const GraphLines lines = graph_lines(visible.points, plot, axis_scale(1e6, 0).max, true);
    EXPECT_EQ(lines.download.segment_count(), 359u);
    EXPECT_EQ(lines.upload.segment_count(), 359u);
    // Right to left: the oldest point on the right edge, the newest on the left.
    EXPECT_FLOAT_EQ(lines.download.points.front().x, plot.right());
    EXPECT_FLOAT_EQ(lines.download.points.back().x, plot.left);
}

TEST(Hover, BoxBesidePointWithinThePanel) {
    const DashboardGeometry g = dashboard_geometry(960, 640, false);
    HoverBox h = hover_box(g, 100, 200, 20);
    expect_rect(h.box, 110, 218, 216, 28);
    EXPECT_FLOAT_EQ(h.text.x, 118);
    EXPECT_FLOAT_EQ(h.text.y, 222);
    // Would pass the panel's right edge (936): flips to the left of the point.
    h = hover_box(g, 800, 200, 20);
    EXPECT_FLOAT_EQ(h.box.left, 574);
    // Too wide either way: held at the panel's left edge.
    h = hover_box(g, 300, 900, 20);
    EXPECT_FLOAT_EQ(h.box.left, 24);
    // Right to left uses the same rule on the mirrored x.
    const DashboardGeometry m = dashboard_geometry(960, 640, true);
    EXPECT_FLOAT_EQ(hover_box(m, 900, 100, 20).box.left, 900 - 10 - 116);
}

// An 800 x 600 DIP dashboard beside a 150 % monitor listed before the 100 % primary one.
struct OpeningCase {
    const char* name;
    std::optional<int> x;
    std::optional<int> y;
    std::vector<DisplayInfo> displays;
    DashboardOpening expected;
};

const DisplayInfo k_scaled{"\\\\.\\DISPLAY2", {1920, 0, 3840, 1080}, {1920, 0, 3840, 1080}, 144, false};
const DisplayInfo k_primary{"\\\\.\\DISPLAY1", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96, true};

class OpeningTable : public testing::TestWithParam<OpeningCase> {};

TEST_P(OpeningTable, SizesWithTheDpiOfTheMonitorItOpensOn) {
    const OpeningCase& c = GetParam();
    const DashboardOpening got = dashboard_opening(800, 600, c.x, c.y, c.displays, 120);
    EXPECT_EQ(got.dpi, c.expected.dpi);
    EXPECT_EQ(got.width, c.expected.width);
    EXPECT_EQ(got.height, c.expected.height);
    EXPECT_EQ(got.rect, c.expected.rect);
}

const std::vector<DisplayInfo> k_two{k_scaled, k_primary};

INSTANTIATE_TEST_SUITE_P(
    Monitors, OpeningTable,
    testing::Values(
        OpeningCase{"NoPositionPrimary", {}, {}, k_two, {{}, 800, 600, 96}},
        OpeningCase{
            "OnTheScaledMonitor", 2000, 100, k_two, {ScreenRect{2000, 100, 3200, 1000}, 1200, 900, 144}},
        OpeningCase{"OnThePrimary", 100, 100, k_two, {ScreenRect{100, 100, 900, 700}, 800, 600, 96}},
        // Exactly half of the 1200-pixel window on the scaled monitor counts; one pixel less does not.
        OpeningCase{"HalfOnTheScaled", 1320, 100, k_two, {ScreenRect{1920, 100, 3120, 1000}, 1200, 900, 144}},
        OpeningCase{"LessThanHalf", 1319, 100, k_two, {ScreenRect{1120, 100, 1920, 700}, 800, 600, 96}},
        OpeningCase{
            "OffEveryMonitor", -5000, -5000, k_two, {ScreenRect{1112, 432, 1912, 1032}, 800, 600, 96}},
        OpeningCase{"NoMonitorsSystemDpi", 10, 20, {}, {ScreenRect{10, 20, 1010, 770}, 1000, 750, 120}}),
    [](const testing::TestParamInfo<OpeningCase>& info) { return std::string(info.param.name); });

// A one-hour graph at 0.25 s in a plot 400 pixels wide: at most two points per column, the one-sample
// spike at full height and the gap still there, mirrored in right to left.
TEST(Lines, ReducedToTheColumnsOfThePlot) {
    const DipRect plot{80, 214, 400, 226};
    std::vector<GraphPoint> points;
    for (int64_t j = 0; j < 14400; ++j) {
        points.push_back(j == 7000 ? invalid(j) : valid(j, j == 9001 ? 4e6 : 1e6 + (j % 7) * 1e5, 5e5));
    }
    const GraphLines ltr = graph_lines(points, plot, 4e6, false, 400);
    const GraphLines rtl = graph_lines(points, plot, 4e6, true, 400);
    for (const GraphLines* lines : {&ltr, &rtl}) {
        EXPECT_LE(lines->download.points.size(), 2u * 401 + 2); // the gap's column holds two stretches
        EXPECT_EQ(lines->download.run_starts.size(), 2u);
        EXPECT_EQ(lines->upload.run_starts.size(), 2u);
        const auto top = std::min_element(lines->download.points.begin(), lines->download.points.end(),
                                          [](DipPoint a, DipPoint b) { return a.y < b.y; });
        EXPECT_FLOAT_EQ(top->y, plot.top);
        EXPECT_FLOAT_EQ(top->x, point_x(plot, 9001, 14400, lines == &rtl));
    }
    ASSERT_EQ(ltr.download.points.size(), rtl.download.points.size());
    for (size_t i = 0; i < ltr.download.points.size(); ++i) {
        EXPECT_NEAR(ltr.download.points[i].x - plot.left, plot.right() - rtl.download.points[i].x, 1e-3);
    }
}

} // namespace
} // namespace tide
