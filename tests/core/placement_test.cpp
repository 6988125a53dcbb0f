#include "compact/placement.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

// 1280 x 800 with a 40-pixel taskbar on the given side.
DisplayInfo screen(TaskbarEdge side, std::string id = "\\\\.\\DISPLAY1", bool primary = true) {
    DisplayInfo d{std::move(id), {0, 0, 1280, 800}, {0, 0, 1280, 800}, 96, primary};
    switch (side) {
    case TaskbarEdge::top:
        d.work.top = 40;
        break;
    case TaskbarEdge::bottom:
        d.work.bottom = 760;
        break;
    case TaskbarEdge::left:
        d.work.left = 40;
        break;
    case TaskbarEdge::right:
        d.work.right = 1240;
        break;
    case TaskbarEdge::none:
        break;
    }
    return d;
}

TEST(TaskbarEdge, FromTheWorkArea) {
    EXPECT_EQ(taskbar_edge(screen(TaskbarEdge::top)), TaskbarEdge::top);
    EXPECT_EQ(taskbar_edge(screen(TaskbarEdge::bottom)), TaskbarEdge::bottom);
    EXPECT_EQ(taskbar_edge(screen(TaskbarEdge::left)), TaskbarEdge::left);
    EXPECT_EQ(taskbar_edge(screen(TaskbarEdge::right)), TaskbarEdge::right);
    EXPECT_EQ(taskbar_edge(screen(TaskbarEdge::none)), TaskbarEdge::none);
    EXPECT_EQ(taskbar_strip(screen(TaskbarEdge::top)), (ScreenRect{0, 0, 1280, 40}));
    EXPECT_EQ(taskbar_strip(screen(TaskbarEdge::bottom)), (ScreenRect{0, 760, 1280, 800}));
    EXPECT_EQ(taskbar_strip(screen(TaskbarEdge::left)), (ScreenRect{0, 0, 40, 800}));
    EXPECT_EQ(taskbar_strip(screen(TaskbarEdge::right)), (ScreenRect{1240, 0, 1280, 800}));
    EXPECT_EQ(taskbar_strip(screen(TaskbarEdge::none)), ScreenRect{});
}

struct AnchorCase {
    TaskbarEdge side;
    PlacementParams params;
    ScreenRect expected; // for a 100 x 30 window
};

class WorkAreaAnchor : public ::testing::TestWithParam<AnchorCase> {};

TEST_P(WorkAreaAnchor, AlignsAlongTheTaskbarSideAndStaysInside) {
    const AnchorCase& c = GetParam();
    EXPECT_EQ(work_area_anchor(screen(c.side), 100, 30, c.params), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkAreaAnchor,
    ::testing::Values(AnchorCase{TaskbarEdge::bottom, {0, 0, 0, 8}, {8, 722, 108, 752}},
                      AnchorCase{TaskbarEdge::bottom, {1, 0, 0, 8}, {590, 722, 690, 752}},
                      AnchorCase{TaskbarEdge::bottom, {2, 0, 0, 8}, {1172, 722, 1272, 752}},
                      AnchorCase{TaskbarEdge::top, {2, 0, 0, 8}, {1172, 48, 1272, 78}},
                      AnchorCase{TaskbarEdge::none, {2, 0, 0, 8}, {1172, 762, 1272, 792}},
                      AnchorCase{TaskbarEdge::left, {0, 0, 0, 8}, {48, 8, 148, 38}},
                      AnchorCase{TaskbarEdge::left, {1, 0, 0, 8}, {48, 385, 148, 415}},
                      AnchorCase{TaskbarEdge::right, {2, 0, 0, 8}, {1132, 762, 1232, 792}},
                      // offsets move it, the work area stops it
                      AnchorCase{TaskbarEdge::bottom, {2, -50, -20, 8}, {1122, 702, 1222, 732}},
                      AnchorCase{TaskbarEdge::bottom, {2, 500, 500, 8}, {1180, 730, 1280, 760}},
                      AnchorCase{TaskbarEdge::bottom, {0, -500, -900, 8}, {0, 0, 100, 30}}));

TEST(TaskbarAnchor, CentresInTheStripAndKeepsTheReserve) {
    const DisplayInfo bottom = screen(TaskbarEdge::bottom);
    EXPECT_EQ(taskbar_anchor(bottom, 100, 30, {2, 0, 0, 8}, 260), (ScreenRect{912, 765, 1012, 795}));
    EXPECT_EQ(taskbar_anchor(bottom, 100, 30, {0, 0, 0, 8}, 260), (ScreenRect{8, 765, 108, 795}));
    EXPECT_EQ(taskbar_anchor(bottom, 100, 30, {1, 0, 0, 8}, 260), (ScreenRect{590, 765, 690, 795}));
    EXPECT_EQ(taskbar_anchor(bottom, 100, 30, {2, 0, 50, 8}, -5), (ScreenRect{1172, 770, 1272, 800}));
    EXPECT_EQ(taskbar_anchor(screen(TaskbarEdge::top), 100, 30, {0, 0, -9, 0}, 0),
              (ScreenRect{0, 0, 100, 30}));
    // too low a strip, a vertical taskbar or none: the work-area anchor
    EXPECT_EQ(taskbar_anchor(bottom, 100, 41, {2, 0, 0, 8}, 0),
              work_area_anchor(bottom, 100, 41, {2, 0, 0, 8}));
    EXPECT_EQ(taskbar_anchor(bottom, 100, 40, {2, 0, 0, 8}, 0), (ScreenRect{1172, 760, 1272, 800})); // fills it
    const DisplayInfo left = screen(TaskbarEdge::left);
    EXPECT_EQ(taskbar_anchor(left, 100, 30, {2, 0, 0, 8}, 0), work_area_anchor(left, 100, 30, {2, 0, 0, 8}));
    // a monitor of no width (as a taskbar window of no width reports one)
    DisplayInfo narrow = bottom;
    narrow.monitor.left = narrow.monitor.right = narrow.work.left = narrow.work.right = 100;
    EXPECT_EQ(taskbar_anchor(narrow, 100, 30, {2, 0, 0, 8}, 0), work_area_anchor(narrow, 100, 30, {2, 0, 0, 8}));
}

// The chosen display's id, or "(none)": a test reads no null display.
std::string id_of(const DisplayInfo* display) {
    return display != nullptr ? display->id : "(none)";
}

TEST(ChooseDisplay, ByIdThenPrimaryThenFirst) {
    std::vector<DisplayInfo> displays{screen(TaskbarEdge::bottom, "A", false),
                                      screen(TaskbarEdge::bottom, "B", true),
                                      screen(TaskbarEdge::bottom, "C", false)};
    EXPECT_EQ(id_of(choose_display(displays, "C")), "C");
    EXPECT_EQ(id_of(choose_display(displays, "gone")), "B"); // a disconnected display
    EXPECT_EQ(id_of(choose_display(displays, "")), "B");
    EXPECT_EQ(id_of(choose_display(displays, "c")), "B"); // exact bytes only
    displays[1].primary = false;
    EXPECT_EQ(id_of(choose_display(displays, "gone")), "A");
    EXPECT_EQ(choose_display({}, "A"), nullptr);
}

// Two monitors with the paths Windows gives (the form of EnumDisplayDevicesW's DeviceID with
// EDD_GET_DEVICE_INTERFACE_NAME) and a third whose system gave none: its device name is its id.
std::vector<DisplayInfo> desk_with_paths() {
    std::vector<DisplayInfo> displays{
        screen(TaskbarEdge::bottom, "\\\\?\\DISPLAY#GSM5B09#5&1&UID4352#{e6f07b5f}"),
        screen(TaskbarEdge::bottom, "\\\\?\\DISPLAY#DEL40A3#5&2&UID4353#{e6f07b5f}", false),
        screen(TaskbarEdge::bottom, "\\\\.\\DISPLAY5", false)};
    displays[0].device_name = "\\\\.\\DISPLAY1";
    displays[1].device_name = "\\\\.\\DISPLAY2";
    displays[2].device_name = "\\\\.\\DISPLAY5";
    return displays;
}

TEST(AdoptDevicePaths, OldNamesOfMonitorsPresentBecomeTheirPaths) {
    const std::vector<DisplayInfo> desk = desk_with_paths();
    Settings s;
    s.compact.monitor_id = "\\\\.\\DISPLAY2";
    s.desktop.monitor_id = "\\\\.\\DISPLAY9"; // not there now: kept for when it comes back
    s.compact.monitor_offsets = {{"\\\\.\\DISPLAY2", 1, 1},
                                 {"\\\\.\\DISPLAY3", 5, 5},
                                 {desk[1].id, 2, 2},
                                 {"\\\\.\\DISPLAY1", 3, 3},
                                 {"\\\\.\\DISPLAY5", 4, 4}};
    EXPECT_TRUE(adopt_device_paths(s, desk));
    EXPECT_EQ(s.compact.monitor_id, desk[1].id);
    EXPECT_EQ(s.desktop.monitor_id, "\\\\.\\DISPLAY9");
    const std::vector<MonitorOffset> expected{
        {"\\\\.\\DISPLAY3", 5, 5}, {desk[1].id, 2, 2}, {desk[0].id, 3, 3}, {"\\\\.\\DISPLAY5", 4, 4}};
    EXPECT_EQ(s.compact.monitor_offsets, expected);
    // Once: nothing is left to rename.
    EXPECT_FALSE(adopt_device_paths(s, desk));
    s.desktop.monitor_id = "\\\\.\\DISPLAY1";
    EXPECT_TRUE(adopt_device_paths(s, desk));
    EXPECT_EQ(s.desktop.monitor_id, desk[0].id);
}

TEST(KeepPresentPlaces, PlacesOfMonitorsPresentCountAsUsed) {
    const std::vector<DisplayInfo> desk = desk_with_paths();
    std::vector<MonitorOffset> offsets{
        {desk[1].id, 1, 0}, {"gone", 2, 0}, {desk[0].id, 3, 0}, {"away", 4, 0}};
    keep_present_places(offsets, desk);
    const std::vector<MonitorOffset> expected{
        {"gone", 2, 0}, {"away", 4, 0}, {desk[1].id, 1, 0}, {desk[0].id, 3, 0}};
    EXPECT_EQ(offsets, expected);
    // Sixteen places, the present monitor's the oldest: a 17th monitor forgets one that is not there.
    offsets = {{desk[1].id, 1, 0}};
    for (int i = 0; i < 15; ++i) {
        offsets.push_back({"old" + std::to_string(i), 0, 0});
    }
    keep_present_places(offsets, desk);
    remember_monitor_offset(offsets, "new", 0, 0);
    EXPECT_NE(find_monitor_offset(offsets, desk[1].id), nullptr);
    EXPECT_EQ(find_monitor_offset(offsets, "old0"), nullptr);
}

TEST(DisplayAtCenter, LastMonitorHoldingTheCentre) {
    DisplayInfo left = screen(TaskbarEdge::bottom, "L");
    DisplayInfo right = screen(TaskbarEdge::bottom, "R", false);
    right.monitor = right.work = {1280, 0, 2560, 800};
    const std::vector<DisplayInfo> displays{left, right};
    EXPECT_EQ(id_of(display_at_center(displays, {1200, 10, 1300, 40})), "L"); // centre 1250
    EXPECT_EQ(id_of(display_at_center(displays, {1240, 10, 1340, 40})), "R"); // centre 1290
    EXPECT_EQ(id_of(display_at_center(displays, {1230, 10, 1330, 40})), "R"); // centre 1280, R's first column
    EXPECT_EQ(display_at_center(displays, {-300, 10, -100, 40}), nullptr);
}

struct OnScreenCase {
    ScreenRect saved;
    ScreenRect expected;
};

class KeepOnScreen : public ::testing::TestWithParam<OnScreenCase> {};

TEST_P(KeepOnScreen, HalfOnAWorkAreaIsClampedElseBottomRightOfThePrimary) {
    DisplayInfo second = screen(TaskbarEdge::none, "2", false);
    second.monitor = second.work = {1280, 0, 2560, 1024};
    const std::vector<DisplayInfo> displays{screen(TaskbarEdge::bottom), second};
    EXPECT_EQ(keep_on_screen(GetParam().saved, displays), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeepOnScreen,
    ::testing::Values(OnScreenCase{{100, 100, 200, 130}, {100, 100, 200, 130}},
                      // half off the right of the primary: clamped into its work area
                      OnScreenCase{{1230, 700, 1330, 730}, {1180, 700, 1280, 730}},
                      // exactly half on the first work area counts
                      OnScreenCase{{-50, 100, 50, 130}, {0, 100, 100, 130}},
                      // mostly on the second monitor
                      OnScreenCase{{1250, 990, 1350, 1020}, {1280, 990, 1380, 1020}},
                      // more than half off every work area: bottom right of the primary, 8 pixels in
                      OnScreenCase{{1200, 750, 1300, 790}, {1172, 712, 1272, 752}},
                      OnScreenCase{{-5000, -5000, -4900, -4970}, {1172, 722, 1272, 752}},
                      // less than half on it
                      OnScreenCase{{-60, 100, 40, 130}, {1172, 722, 1272, 752}},
                      // a single pixel is a rectangle too
                      OnScreenCase{{10, 10, 11, 11}, {10, 10, 11, 11}}));

TEST(KeepOnScreen, NoMonitorsLeavesTheRectangle) {
    EXPECT_EQ(keep_on_screen({1, 2, 3, 4}, {}), (ScreenRect{1, 2, 3, 4}));
}

struct SnapCase {
    ScreenRect dropped;
    int threshold;
    ScreenRect expected;
};

class Snap : public ::testing::TestWithParam<SnapCase> {};

TEST_P(Snap, EdgesWithinTheThresholdGoFlush) {
    EXPECT_EQ(snap_to_work_area(GetParam().dropped, {0, 0, 1280, 760}, GetParam().threshold),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Snap,
                         ::testing::Values(SnapCase{{12, 100, 112, 130}, 12, {0, 100, 100, 130}},
                                           SnapCase{{13, 100, 113, 130}, 12, {13, 100, 113, 130}},
                                           SnapCase{{1170, 720, 1270, 750}, 12, {1180, 730, 1280, 760}},
                                           SnapCase{{-5, -12, 95, 18}, 12, {0, 0, 100, 30}},
                                           SnapCase{{1170, 720, 1270, 750}, 0, {1170, 720, 1270, 750}},
                                           SnapCase{{1168, 100, 1268, 130}, 12, {1180, 100, 1280, 130}},
                                           SnapCase{{500, 718, 600, 748}, 12, {500, 730, 600, 760}},
                                           // left wins over right for a window as wide as the area
                                           SnapCase{{5, 5, 1285, 35}, 12, {0, 0, 1280, 30}}));

TEST(OffsetFromAnchor, DipOfTheMonitorRoundedHalfAway) {
    EXPECT_EQ(offset_from_anchor({100, 50, 200, 80}, {130, 20, 230, 50}, 96), (DipOffset{-30, 30}));
    EXPECT_EQ(offset_from_anchor({100, 50, 200, 80}, {130, 20, 230, 50}, 144), (DipOffset{-20, 20}));
    EXPECT_EQ(offset_from_anchor({101, 50, 200, 80}, {100, 49, 230, 50}, 192), (DipOffset{1, 1}));
    EXPECT_EQ(offset_from_anchor({99, 50, 200, 80}, {100, 51, 230, 50}, 192), (DipOffset{-1, -1}));
}

TEST(FillsMonitorOf, OnlyAWindowCoveringTheReadoutsWholeMonitor) {
    const std::vector<DisplayInfo> displays{{"A", {0, 0, 1280, 800}, {0, 0, 1280, 760}, 96, true},
                                            {"B", {1280, 0, 2560, 800}, {1280, 0, 2560, 760}, 96, false}};
    const ScreenRect on_a{1000, 765, 1100, 795};
    const ScreenRect on_b{2300, 765, 2400, 795};
    EXPECT_TRUE(fills_monitor_of({0, 0, 1280, 800}, on_a, displays));
    EXPECT_TRUE(fills_monitor_of({-8, -8, 1288, 808}, on_a, displays)); // a borderless window hangs over
    EXPECT_FALSE(fills_monitor_of({0, 0, 1280, 800}, on_b, displays));  // the other monitor
    EXPECT_FALSE(fills_monitor_of({0, 0, 1280, 760}, on_a, displays));  // maximised: the taskbar stays free
    EXPECT_FALSE(fills_monitor_of({1, 0, 1280, 800}, on_a, displays));
    EXPECT_FALSE(fills_monitor_of({0, 0, 1280, 800}, {5000, 0, 5100, 30}, displays)); // off every monitor
}

} // namespace
} // namespace tide
