// Which taskbars get a read-out, for desks of one and two monitors whose taskbars come and go.
#include "compact/taskbar_readouts.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tide {
namespace {

const DisplayInfo k_main{"\\\\.\\DISPLAY1", {0, 0, 1280, 800}, {0, 0, 1280, 760}, 96, true};
const DisplayInfo k_side{"\\\\.\\DISPLAY2", {1280, 0, 2304, 768}, {1280, 0, 2304, 728}, 144, false};
const TaskbarWindowInfo k_main_bar{11, true, {0, 760, 1280, 800}, true};
const TaskbarWindowInfo k_side_bar{22, false, {1280, 728, 2304, 768}, true};

struct SpotCase {
    const char* name;
    std::vector<DisplayInfo> displays;
    std::vector<TaskbarWindowInfo> taskbars;
    bool every_taskbar;
    std::string monitor_id;
    std::vector<TaskbarSpot> expected;
};

void PrintTo(const SpotCase& c, std::ostream* os) {
    *os << c.name;
}

class TaskbarSpots : public testing::TestWithParam<SpotCase> {};

TEST_P(TaskbarSpots, OneReadoutPerTaskbarThatIsThere) {
    const SpotCase& c = GetParam();
    EXPECT_EQ(taskbar_spots(c.displays, c.taskbars, c.every_taskbar, c.monitor_id), c.expected);
}

TaskbarWindowInfo with(TaskbarWindowInfo t, bool visible, ScreenRect rect) {
    t.visible = visible;
    t.rect = rect;
    return t;
}

INSTANTIATE_TEST_SUITE_P(
    Desks, TaskbarSpots,
    testing::Values(
        SpotCase{"OneMonitor", {k_main}, {k_main_bar}, true, "", {{0, 11, true}}},
        SpotCase{"TwoWithSecondaryTaskbar",
                 {k_main, k_side},
                 {k_main_bar, k_side_bar},
                 true,
                 "",
                 {{0, 11, true}, {1, 22, false}}},
        // The secondary monitor listed first by the system: still one each, in monitor order.
        SpotCase{"SecondaryListedFirst",
                 {k_side, k_main},
                 {k_side_bar, k_main_bar},
                 true,
                 "",
                 {{0, 22, false}, {1, 11, true}}},
        SpotCase{"TwoWithoutSecondaryTaskbar", {k_main, k_side}, {k_main_bar}, true, "", {{0, 11, true}}},
        SpotCase{"MainTaskbarGone", {k_main, k_side}, {k_side_bar}, true, "", {{1, 22, false}}},
        SpotCase{
            "NoTaskbarAnywhereKeepsTheOne", {k_main, k_side}, {}, true, "\\\\.\\DISPLAY2", {{1, 0, true}}},
        SpotCase{"HiddenTaskbarGetsNone",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, false, k_side_bar.rect)},
                 true,
                 "",
                 {{0, 11, true}}},
        SpotCase{"NoWidthTaskbarGetsNone",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, true, {1280, 728, 1280, 768})},
                 true,
                 "",
                 {{0, 11, true}}},
        SpotCase{"EmptyTaskbarGetsNone",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, true, {1280, 768, 2304, 768})},
                 true,
                 "",
                 {{0, 11, true}}},
        // Auto-hidden: the window stays shown and slides off its edge, 2 pixels left on the monitor
        // (the rectangle a user reported from Windows 10 with a 40-pixel taskbar; ABM_GETTASKBARPOS docs).
        SpotCase{"AutoHiddenMainKeepsItsReadout",
                 {k_main, k_side},
                 {with(k_main_bar, true, {0, 798, 1280, 838}), k_side_bar},
                 true,
                 "",
                 {{0, 11, true}, {1, 22, false}}},
        SpotCase{"AutoHiddenSecondaryKeepsItsReadout",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, true, {1280, 766, 2304, 806})},
                 true,
                 "",
                 {{0, 11, true}, {1, 22, false}}},
        // Windows 10 with "Show taskbar on all displays" off: the one taskbar dragged to the second monitor.
        SpotCase{"MainTaskbarOnTheSecondMonitor",
                 {k_main, k_side},
                 {with(k_main_bar, true, k_side_bar.rect)},
                 true,
                 "",
                 {{1, 11, true}}},
        SpotCase{"OffFollowsTheMainTaskbar",
                 {k_main, k_side},
                 {with(k_main_bar, true, k_side_bar.rect)},
                 false,
                 "",
                 {{1, 11, true}}},
        SpotCase{"OffWithAnAbsentMonitorFollowsTheMainTaskbar",
                 {k_main, k_side},
                 {with(k_main_bar, true, k_side_bar.rect)},
                 false,
                 "\\\\.\\DISPLAY9",
                 {{1, 11, true}}},
        SpotCase{"OffTakesTheChosenMonitor",
                 {k_main, k_side},
                 {k_main_bar, k_side_bar},
                 false,
                 "\\\\.\\DISPLAY2",
                 {{1, 22, true}}},
        SpotCase{"OffWithoutIdTakesTheMainTaskbars",
                 {k_side, k_main},
                 {k_main_bar, k_side_bar},
                 false,
                 "",
                 {{1, 11, true}}},
        SpotCase{"OffOnAMonitorWithoutTaskbar",
                 {k_main, k_side},
                 {k_main_bar},
                 false,
                 "\\\\.\\DISPLAY2",
                 {{1, 0, true}}},
        SpotCase{"NoMonitors", {}, {k_main_bar}, true, "", {}}),
    [](const testing::TestParamInfo<SpotCase>& info) { return std::string(info.param.name); });

// Which monitor a taskbar window belongs to. A taskbar is docked on one edge of one monitor (APPBARDATA's
// uEdge, ABE_LEFT/TOP/RIGHT/BOTTOM; ABM_SETAUTOHIDEBAREX: one auto-hide bar per edge of each monitor), and
// its window rectangle is in screen coordinates (ABM_GETTASKBARPOS). Shown: 40 pixels at 96 DPI on
// Windows 10, 62 wide on a side. Hidden: slid off the edge with 2 pixels left on the monitor.
struct DockCase {
    const char* name;
    std::vector<DisplayInfo> displays;
    ScreenRect bar;
    std::optional<size_t> expected;
};

void PrintTo(const DockCase& c, std::ostream* os) {
    *os << c.name;
}

class DockedMonitor : public testing::TestWithParam<DockCase> {};

TEST_P(DockedMonitor, TheMonitorWhoseEdgeItIsOn) {
    EXPECT_EQ(docked_monitor(GetParam().bar, GetParam().displays), GetParam().expected);
}

const DisplayInfo k_upper{"\\\\.\\DISPLAY1", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96, true};
const DisplayInfo k_lower{"\\\\.\\DISPLAY2", {0, 1080, 1920, 2160}, {0, 1080, 1920, 2160}, 96, false};
const DisplayInfo k_left{"\\\\.\\DISPLAY3", {-1920, 0, 0, 1080}, {-1920, 0, 0, 1080}, 96, false};

INSTANTIATE_TEST_SUITE_P(
    Bars, DockedMonitor,
    testing::Values(DockCase{"ShownAtTheBottom", {k_main, k_side}, {0, 760, 1280, 800}, 0},
                    DockCase{"ShownAtTheTop", {k_main, k_side}, {0, 0, 1280, 40}, 0},
                    DockCase{"ShownOnTheRight", {k_main, k_side}, {2242, 0, 2304, 768}, 1},
                    DockCase{"HiddenAtTheBottom", {k_main, k_side}, {0, 798, 1280, 838}, 0},
                    DockCase{"HiddenToOnePixel", {k_main, k_side}, {0, 799, 1280, 839}, 0},
                    DockCase{"JustOffTheBottom", {k_main, k_side}, {0, 800, 1280, 840}, std::nullopt},
                    DockCase{"HiddenAtTheTop", {k_main, k_side}, {0, -38, 1280, 2}, 0},
                    DockCase{"HiddenOnTheLeft", {k_main, k_side}, {-60, 0, 2, 800}, 0},
                    DockCase{"HiddenOnTheRight", {k_main, k_side}, {2302, 0, 2364, 768}, 1},
                    DockCase{"ShownOnTheInnerLeftEdge", {k_main, k_side}, {1280, 0, 1342, 768}, 1},
                    // Most of it lies on the neighbour, whose edge it reaches too: it shows least of itself
                    // on its own monitor.
                    DockCase{"HiddenOnTheInnerLeftEdge", {k_main, k_side}, {1220, 0, 1282, 768}, 1},
                    DockCase{"HiddenOnTheInnerRightEdge", {k_main, k_side}, {1278, 0, 1340, 800}, 0},
                    DockCase{"HiddenAtTheInnerBottomEdge", {k_upper, k_lower}, {0, 1078, 1920, 1118}, 0},
                    DockCase{"ShownAtTheInnerTopEdge", {k_upper, k_lower}, {0, 1080, 1920, 1120}, 1},
                    DockCase{"HalfwaySlidTakesTheFirst", {k_upper, k_lower}, {0, 1060, 1920, 1100}, 0},
                    DockCase{"MiddleHalfAPixelLeftOfZero", {k_main, k_left}, {-21, 1078, 20, 1080}, 1},
                    // As high as wide: along the top or bottom.
                    DockCase{"SquareHiddenAtTheBottom", {k_main, k_side}, {600, 798, 640, 838}, 0},
                    DockCase{"HiddenLeftOfThePrimary", {k_main, k_left}, {-1920, 1078, 0, 1118}, 1},
                    // Its middle on the monitor's first column, or one column before it.
                    DockCase{"CentredOnTheFirstColumn", {k_main, k_side}, {1270, 766, 1290, 768}, 1},
                    DockCase{
                        "CentredOneColumnBefore", {k_main, k_side}, {1269, 766, 1289, 768}, std::nullopt},
                    DockCase{"MiddleOnTheLastRow", {k_main, k_side}, {2302, 759, 2304, 775}, 1},
                    DockCase{"MiddleOneRowPast", {k_main, k_side}, {2302, 760, 2304, 776}, std::nullopt},
                    DockCase{"OnNoEdge", {k_main, k_side}, {100, 100, 500, 140}, std::nullopt},
                    DockCase{"OnNoMonitor", {k_main, k_side}, {2400, 0, 2500, 40}, std::nullopt},
                    DockCase{"NoWidth", {k_main, k_side}, {1280, 728, 1280, 768}, std::nullopt},
                    DockCase{"NoHeight", {k_main, k_side}, {1280, 768, 2304, 768}, std::nullopt}),
    [](const testing::TestParamInfo<DockCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tide
