// Which taskbars get a read-out, for desks of one and two monitors whose taskbars come and go.
#include "compact/taskbar_readouts.h"

#include <gtest/gtest.h>

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
        SpotCase{"OneMonitor", {k_main}, {k_main_bar}, true, "", {{0, 11}}},
        SpotCase{"TwoWithSecondaryTaskbar",
                 {k_main, k_side},
                 {k_main_bar, k_side_bar},
                 true,
                 "",
                 {{0, 11}, {1, 22}}},
        // The secondary monitor listed first by the system: still one each, in monitor order.
        SpotCase{
            "SecondaryListedFirst", {k_side, k_main}, {k_side_bar, k_main_bar}, true, "", {{0, 22}, {1, 11}}},
        SpotCase{"TwoWithoutSecondaryTaskbar", {k_main, k_side}, {k_main_bar}, true, "", {{0, 11}}},
        SpotCase{"MainTaskbarGone", {k_main, k_side}, {k_side_bar}, true, "", {{1, 22}}},
        SpotCase{"NoTaskbarAnywhereKeepsTheOne", {k_main, k_side}, {}, true, "\\\\.\\DISPLAY2", {{1, 0}}},
        SpotCase{"HiddenTaskbarGetsNone",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, false, k_side_bar.rect)},
                 true,
                 "",
                 {{0, 11}}},
        SpotCase{"EmptyTaskbarGetsNone",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, true, {1280, 768, 2304, 768})},
                 true,
                 "",
                 {{0, 11}}},
        // A secondary taskbar belongs to the monitor that holds its centre: one whose centre is on the
        // column just past the monitor's right edge is nobody's.
        SpotCase{"SecondaryOffItsMonitor",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, true, {2302, 728, 2306, 768})},
                 true,
                 "",
                 {{0, 11}}},
        SpotCase{"SecondaryAtItsMonitorsLastColumn",
                 {k_main, k_side},
                 {k_main_bar, with(k_side_bar, true, {2300, 728, 2306, 768})},
                 true,
                 "",
                 {{0, 11}, {1, 22}}},
        SpotCase{"OffTakesTheChosenMonitor",
                 {k_main, k_side},
                 {k_main_bar, k_side_bar},
                 false,
                 "\\\\.\\DISPLAY2",
                 {{1, 22}}},
        SpotCase{
            "OffWithoutIdTakesThePrimary", {k_side, k_main}, {k_main_bar, k_side_bar}, false, "", {{1, 11}}},
        SpotCase{"OffOnAMonitorWithoutTaskbar",
                 {k_main, k_side},
                 {k_main_bar},
                 false,
                 "\\\\.\\DISPLAY2",
                 {{1, 0}}},
        SpotCase{"NoMonitors", {}, {k_main_bar}, true, "", {}}),
    [](const testing::TestParamInfo<SpotCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace tide
