// Taskbar discovery, occupied rectangles, the notification reserve, the task-list narrowing and the
// automation watcher, against a taskbar of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "compact/taskbar_watcher_win.h"
#include "compact/taskbar_win.h"
#include "tests/win/test_taskbar_win.h"

namespace tide {
namespace {

using test::TestTaskbar;

constexpr RECT k_bar{0, 760, 1280, 800};
const ScreenRect k_primary_monitor{0, 0, 1280, 800};

std::vector<ScreenRect> sorted(std::vector<ScreenRect> v) {
    std::sort(v.begin(), v.end(), [](const ScreenRect& a, const ScreenRect& b) {
        return std::tie(a.left, a.top, a.right, a.bottom) < std::tie(b.left, b.top, b.right, b.bottom);
    });
    return v;
}

TEST(TaskbarWindow, FindsThePrimaryAndTheSecondaryOnItsMonitor) {
    TestTaskbar primary(TestTaskbar::Kind::classic, k_bar);
    ASSERT_NE(primary.host(), nullptr);
    EXPECT_EQ(taskbar_window(true, k_primary_monitor), primary.host());

    TestTaskbar right(TestTaskbar::Kind::secondary, {1280, 760, 2560, 800});
    TestTaskbar far_right(TestTaskbar::Kind::secondary, {2560, 0, 3840, 40});
    EXPECT_EQ(taskbar_window(false, {1280, 0, 2560, 800}), right.host());
    EXPECT_EQ(taskbar_window(false, {2560, 0, 3840, 800}), far_right.host());
    // A monitor without a taskbar of its own gets none (the centre rule is half-open).
    EXPECT_EQ(taskbar_window(false, {3840, 0, 5120, 800}), nullptr);
    EXPECT_EQ(taskbar_window(false, {0, 0, 1920, 780}), nullptr);
}

TEST(TaskbarWindow, ContentBridgeChildCallsForAutomation) {
    TestTaskbar classic(TestTaskbar::Kind::classic, k_bar);
    TestTaskbar bridge(TestTaskbar::Kind::bridge, k_bar);
    EXPECT_FALSE(has_content_bridge(classic.host()));
    EXPECT_TRUE(has_content_bridge(bridge.host()));
    EXPECT_FALSE(has_content_bridge(nullptr));
}

TEST(OccupiedRectangles, VisibleNarrowChildrenOnlyThenAutomation) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bar);
    bar.add_child(L"Button", {300, 0, 340, 40}, false);     // hidden
    bar.add_child(L"Button", {100, 0, 869, 40});            // 769 > 60 % of 1280
    bar.add_child(L"Button", {100, 0, 868, 40});            // exactly 60 %
    bar.add_child(k_worker_class, {400, 0, 440, 40});       // band container
    HWND own = bar.add_child(L"Button", {600, 0, 700, 40}); // the read-out itself
    const std::vector<ScreenRect> automation{{5, 5, 10, 10}};

    const std::vector<ScreenRect> found = occupied_rectangles(bar.host(), own, automation);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.back(), automation.front());
    const std::vector<ScreenRect> expected{
        {0, 760, 48, 800}, {5, 5, 10, 10}, {100, 760, 868, 800}, {1040, 760, 1280, 800}};
    EXPECT_EQ(sorted(found), expected);
    EXPECT_TRUE(occupied_rectangles(nullptr, nullptr, {}).empty());
}

TEST(NotificationReserve, FollowsTheNotificationArea) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bar);
    EXPECT_EQ(notification_reserve(true, 96), 244); // 240 wide + 4
    EXPECT_EQ(notification_reserve(false, 96), 170);
}

TEST(TaskListAdjuster, NarrowsBesideTheReadoutAgainAfterAWideningAndRestores) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bar);
    const ScreenRect natural = TestTaskbar::client_rect_of(bar.task_list());
    ASSERT_EQ(natural, (ScreenRect{0, 0, 984, 40}));

    TaskListAdjuster adjuster;
    // The read-out in the list's right half: the list ends 4 pixels before it.
    adjuster.adjust_task_list(bar.host(), {900, 765, 1000, 795}, 4, 120);
    EXPECT_EQ(adjuster.target(), bar.task_list());
    EXPECT_TRUE(adjuster.adjusted());
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 844, 40}));

    // Another band takes the right end of the container and the shell gives the list the rest: that
    // is its natural size now, and the next check narrows that one.
    CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE, 960, 0, 24, 40, bar.rebar(), nullptr,
                    GetModuleHandleW(nullptr), nullptr);
    SetWindowPos(bar.task_list(), nullptr, 0, 0, 960, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    adjuster.adjust_task_list(bar.host(), {900, 765, 1000, 795}, 4, 120);
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 844, 40}));

    // The read-out in the left half: the list starts after it.
    adjuster.adjust_task_list(bar.host(), {60, 765, 160, 795}, 4, 120);
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{112, 0, 960, 40}));

    adjuster.restore_task_list();
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 960, 40}));
    EXPECT_EQ(adjuster.target(), nullptr);
    EXPECT_FALSE(adjuster.adjusted());
}

TEST(TaskListAdjuster, ShownAgainBeforeTheShellRestoredTheListKeepsItsNaturalWidth) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bar);
    TaskListAdjuster adjuster;
    adjuster.adjust_task_list(bar.host(), {900, 765, 1000, 795}, 4, 120);
    adjuster.restore_task_list();
    // The shell of another process has not carried out the restore yet.
    SetWindowPos(bar.task_list(), nullptr, 0, 0, 844, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    adjuster.adjust_task_list(bar.host(), {900, 765, 1000, 795}, 4, 120);
    EXPECT_TRUE(adjuster.adjusted());
    adjuster.restore_task_list();
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 984, 40}));
}

TEST(TaskListAdjuster, ReadoutClearOfTheListOrTooLittleLeftChangesNothing) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bar);
    TaskListAdjuster adjuster;
    adjuster.adjust_task_list(bar.host(), {1100, 765, 1200, 795}, 4, 120);
    EXPECT_FALSE(adjuster.adjusted());
    adjuster.adjust_task_list(bar.host(), {100, 765, 1000, 795}, 4, 120);
    EXPECT_FALSE(adjuster.adjusted());
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 984, 40}));
}

TEST(TaskListAdjuster, HiddenBandHasNoTargetAndTheOldOneIsGivenBack) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bar);
    TaskListAdjuster adjuster;
    adjuster.adjust_task_list(bar.host(), {900, 765, 1000, 795}, 4, 120);
    ASSERT_TRUE(adjuster.adjusted());
    ShowWindow(bar.rebar(), SW_HIDE);
    adjuster.adjust_task_list(bar.host(), {900, 765, 1000, 795}, 4, 120);
    EXPECT_EQ(adjuster.target(), nullptr);
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 984, 40}));

    // A target that disappears is forgotten without a call on a dead window.
    ShowWindow(bar.rebar(), SW_SHOWNA);
    adjuster.adjust_task_list(bar.host(), {900, 765, 1000, 795}, 4, 120);
    ASSERT_TRUE(adjuster.adjusted());
    DestroyWindow(bar.rebar());
    adjuster.restore_task_list();
    EXPECT_EQ(adjuster.target(), nullptr);
}

TEST(TaskbarButtonWatcher, WithoutAutomationTheThreadIdlesAndStopsPromptly) {
    TestTaskbar bar(TestTaskbar::Kind::bridge, k_bar);
    TaskbarButtonWatcher idle;
    idle.watch(nullptr, bar.host(), WM_APP + 13);
    EXPECT_FALSE(idle.running());

    TaskbarButtonWatcher watcher;
    watcher.watch(bar.host(), bar.host(), WM_APP + 13);
    EXPECT_TRUE(watcher.running());
    watcher.watch(bar.start(), bar.host(), WM_APP + 13);
    watcher.watch(bar.host(), bar.host(), WM_APP + 13);
    watcher.watch(nullptr, bar.host(), WM_APP + 13);
    EXPECT_TRUE(watcher.latest(nullptr).empty()); // nothing belongs to "no window"
    EXPECT_TRUE(watcher.running());               // the thread sleeps until it is needed again
    const ULONGLONG start = GetTickCount64();
    watcher.stop();
    EXPECT_FALSE(watcher.running());
    EXPECT_LT(GetTickCount64() - start, 5000u);
    watcher.stop(); // a second stop is harmless
}

} // namespace
} // namespace tide
