// Taskbar discovery, occupied rectangles, the notification reserve, the task-list narrowing and the
// automation watcher, against a taskbar of the test's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

#include "base/handles_win.h"
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

TEST(TaskbarWindow, FindsTheTaskbarDockedOnEachMonitor) {
    const std::vector<DisplayInfo> displays{{"1", k_primary_monitor, {0, 0, 1280, 760}, 96, true},
                                            {"2", {1280, 0, 2560, 800}, {1280, 0, 2560, 760}, 96, false},
                                            {"3", {2560, 0, 3840, 800}, {2560, 40, 3840, 800}, 96, false},
                                            {"4", {3840, 0, 5120, 800}, {3840, 0, 5120, 800}, 96, false}};
    TestTaskbar primary(TestTaskbar::Kind::classic, k_bar);
    ASSERT_NE(primary.host(), nullptr);
    TestTaskbar right(TestTaskbar::Kind::secondary, {1280, 760, 2560, 800});
    TestTaskbar far_right(TestTaskbar::Kind::secondary, {2560, 0, 3840, 40});
    EXPECT_EQ(taskbar_window(displays, 0), primary.host());
    EXPECT_EQ(taskbar_window(displays, 1), right.host());
    EXPECT_EQ(taskbar_window(displays, 2), far_right.host());
    EXPECT_EQ(taskbar_window(displays, 3), nullptr); // a monitor without a taskbar of its own
    // Auto-hidden: slid off the bottom edge, 2 pixels left on its monitor, and still its monitor's.
    SetWindowPos(right.host(), nullptr, 1280, 798, 1280, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(taskbar_window(displays, 1), right.host());
    // The main taskbar dragged to another monitor is that monitor's.
    SetWindowPos(primary.host(), nullptr, 3840, 760, 1280, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(taskbar_window(displays, 3), primary.host());
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
    TaskbarButtonWatcher idle(bar.host(), WM_APP + 13);
    idle.watch(&idle, nullptr);
    EXPECT_FALSE(idle.running());

    TaskbarButtonWatcher watcher(bar.host(), WM_APP + 13);
    const int first = 0;
    const int second = 0;
    watcher.watch(&first, bar.host());
    EXPECT_TRUE(watcher.running());
    watcher.watch(&second, bar.start());
    watcher.watch(&first, nullptr);
    watcher.watch(&second, nullptr);
    EXPECT_TRUE(watcher.latest(nullptr).empty()); // nothing belongs to "no window"
    EXPECT_TRUE(watcher.running());               // the thread sleeps until it is needed again
    watcher.stop();
    EXPECT_TRUE(test::wait_for([&] { return !watcher.running(); }, std::chrono::milliseconds(30'000)));
    watcher.stop(); // a second stop is harmless
}

// Two read-outs on two taskbars: one thread reads both. A shell that holds a pass (as a busy Explorer
// holds an automation call up to its timeout) never holds the caller of stop.
TEST(TaskbarButtonWatcher, OneThreadServesEveryTaskbarAndIsNeverWaitedFor) {
    TestTaskbar bar(TestTaskbar::Kind::bridge, k_bar);
    TestTaskbar side(TestTaskbar::Kind::bridge, {1280, 760, 2560, 800});
    struct Shell {
        std::mutex lock;
        std::vector<DWORD> threads;
        std::atomic<bool> hold{false};
        UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    };
    auto shell = std::make_shared<Shell>();
    TaskbarButtonWatcher watcher(bar.host(), WM_APP + 13, [shell](HWND taskbar) {
        {
            std::lock_guard<std::mutex> hold(shell->lock);
            shell->threads.push_back(GetCurrentThreadId());
        }
        if (shell->hold.load()) {
            WaitForSingleObject(shell->release.get(), 60'000);
        }
        RECT r{};
        GetWindowRect(taskbar, &r);
        return std::optional<std::vector<ScreenRect>>({{r.left, r.top, r.left + 40, r.bottom}});
    });
    const int first = 0;
    const int second = 0;
    watcher.watch(&first, bar.host());
    watcher.watch(&second, side.host());
    ASSERT_TRUE(test::wait_for(
        [&] { return watcher.latest(bar.host()).size() == 1 && watcher.latest(side.host()).size() == 1; },
        std::chrono::milliseconds(30'000)));
    EXPECT_EQ(watcher.latest(side.host()).front(), (ScreenRect{1280, 760, 1320, 800}));
    {
        std::lock_guard<std::mutex> hold(shell->lock);
        EXPECT_EQ(std::count(shell->threads.begin(), shell->threads.end(), shell->threads.front()),
                  static_cast<std::ptrdiff_t>(shell->threads.size()));
        shell->threads.clear();
    }
    shell->hold = true;
    ASSERT_TRUE(test::wait_for(
        [&] {
            std::lock_guard<std::mutex> hold(shell->lock);
            return !shell->threads.empty();
        },
        std::chrono::milliseconds(30'000))); // a pass is held now
    watcher.stop();                          // returns with the pass still held
    EXPECT_TRUE(watcher.running());
    SetEvent(shell->release.get());
    EXPECT_TRUE(test::wait_for([&] { return !watcher.running(); }, std::chrono::milliseconds(30'000)));
}

} // namespace
} // namespace tide
