// The taskbar read-out on a taskbar of the test's own: the free place, embedding, font fitting, the
// narrowed task list and its restoration, the one-second check and re-creation of the taskbar.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "compact/compact_window_win.h"
#include "compact/displays_win.h"
#include "compact/fullscreen_win.h"
#include "compact/taskbar_host_win.h"
#include "presentation/theme.h"
#include "tests/win/palette_win.h"
#include "tests/win/test_taskbar_win.h"

namespace tide {
namespace {

using test::pump_until;
using test::TestTaskbar;
using ui::CompactWindow;
using ui::ShellTaskbarHost;

constexpr RECT k_bottom_bar{0, 760, 1280, 800};
constexpr RECT k_top_bar{0, 0, 1280, 40};
constexpr RECT k_low_bar{0, 780, 1280, 800}; // as high as Wine's own taskbar
constexpr int k_gap = 4;

DisplayInfo display(ScreenRect work) {
    return {"\\\\.\\DISPLAY1", {0, 0, 1280, 800}, work, 96, true};
}

bool overlaps(const ScreenRect& a, const ScreenRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

ScreenRect window_rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return to_screen_rect(r);
}

ScreenRect screen_rect(HWND window) {
    return window_rect(window);
}

ScreenRect shifted(ScreenRect r, int dx) {
    r.left += dx;
    r.right += dx;
    return r;
}

// Under Wine the pointer reaches its new place a moment after SetCursorPos returns.
bool move_cursor(POINT to) {
    SetCursorPos(to.x, to.y);
    return pump_until([&] {
        POINT at{};
        return GetCursorPos(&at) && at.x == to.x && at.y == to.y;
    });
}

bool topmost(HWND window) {
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

class TaskbarHostTest : public testing::Test {
protected:
    void SetUp() override { use_work({0, 0, 1280, 760}); }
    void TearDown() override {
        readout_.destroy();
        set_display_source(nullptr);
        set_fullscreen_state_source(nullptr);
        DestroyWindow(controller_);
    }

    void use_work(ScreenRect work) {
        std::vector<DisplayInfo> list{display(work)};
        set_display_source([list] { return list; });
    }

    // The taskbar read-out in taskbar mode, shown, with two rates.
    void start(bool embed = true, int font_pt = 11, int layout = 0, ButtonSource buttons = {}) {
        CompactSettings settings;
        settings.on_taskbar = true;
        settings.mode = 0;
        settings.embed_in_taskbar = embed;
        settings.native_style = false;
        settings.font_size_pt = font_pt;
        settings.layout = layout;
        ASSERT_TRUE(readout_.create(GetModuleHandleW(nullptr), controller_));
        readout_.set_taskbar_host(
            std::make_unique<ShellTaskbarHost>(controller_, WM_APP + 13, std::move(buttons)));
        readout_.apply(settings, test::palette("Midnight"), false);
        readout_.set_content({L"12.3 Mbit/s", L"1.2 Mbit/s", L"", L"", true});
        readout_.show(true);
    }

    ShellTaskbarHost& host() { return static_cast<ShellTaskbarHost&>(*readout_.taskbar_host()); }

    // No occupied child is closer than the gap to the read-out.
    void expect_clear_of(HWND bar) {
        const ScreenRect own = window_rect(readout_.hwnd());
        for (HWND child = GetWindow(bar, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if (child == readout_.hwnd() || !IsWindowVisible(child)) {
                continue;
            }
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            if (lstrcmpW(name, k_rebar_class) == 0) {
                continue;
            }
            ScreenRect r = screen_rect(child);
            if ((r.right - r.left) * 10 > 1280 * 6) {
                continue; // a background band, not a button
            }
            r.left -= k_gap;
            r.right += k_gap;
            EXPECT_FALSE(overlaps(own, r)) << "overlaps a child of class " << static_cast<int>(name[0]);
        }
    }

    // TIDE_TEST_HOLD_MS keeps the windows on screen a while, for a screenshot.
    static void hold() {
        wchar_t value[16] = {};
        if (GetEnvironmentVariableW(L"TIDE_TEST_HOLD_MS", value, 16) > 0) {
            const DWORD ms = static_cast<DWORD>(_wtoi(value));
            pump_until([] { return false; }, std::chrono::milliseconds(ms));
        }
    }

    HWND controller_ = CreateWindowExW(0, L"STATIC", L"controller", 0, 0, 0, 0, 0, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    CompactWindow readout_;
};

TEST_F(TaskbarHostTest, EmbedsInTheFreeStretchNearItsAnchorAndNarrowsTheTaskList) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    start();
    ASSERT_NE(readout_.hwnd(), nullptr);
    EXPECT_TRUE(readout_.embedded());
    EXPECT_EQ(GetAncestor(readout_.hwnd(), GA_PARENT), bar.host());
    const ScreenRect own = window_rect(readout_.hwnd());
    EXPECT_GE(own.top, 760);
    EXPECT_LE(own.bottom, 800);
    // Anchored at the end (align 2): right beside the notification area.
    EXPECT_EQ(own.right, 1040 - k_gap);
    expect_clear_of(bar.host());

    // The task list ends before the read-out; hiding gives it its own width back.
    const ScreenRect list = screen_rect(bar.task_list());
    EXPECT_LE(list.right, own.left - k_gap);
    readout_.show(false);
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 984, 40}));
    readout_.show(true);
    EXPECT_LT(TestTaskbar::client_rect_of(bar.task_list()).right, 984);
    readout_.destroy();
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 984, 40}));
}

TEST_F(TaskbarHostTest, OverlayTakesTheSameFreePlaceOnABottomOrTopTaskbar) {
    for (const bool top : {false, true}) {
        use_work(top ? ScreenRect{0, 40, 1280, 800} : ScreenRect{0, 0, 1280, 760});
        TestTaskbar bar(TestTaskbar::Kind::classic, top ? k_top_bar : k_bottom_bar);
        start(false);
        EXPECT_FALSE(readout_.embedded());
        EXPECT_EQ(GetAncestor(readout_.hwnd(), GA_PARENT), GetDesktopWindow());
        const ScreenRect own = window_rect(readout_.hwnd());
        EXPECT_EQ(own.right, 1040 - k_gap);
        EXPECT_GE(own.top, top ? 0 : 760);
        EXPECT_LE(own.bottom, top ? 40 : 800);
        expect_clear_of(bar.host());
        EXPECT_LT(TestTaskbar::client_rect_of(bar.task_list()).right, 984);
        hold();
        readout_.destroy();
        EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 984, 40}));
    }
}

TEST_F(TaskbarHostTest, TrayIconsPaintedByTheTaskbarKeepTheirRoom) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    DestroyWindow(bar.notify()); // like Wine's taskbar: buttons are windows, the tray icons are not
    start(false);
    ASSERT_FALSE(host().occupied().empty());
    EXPECT_LE(window_rect(readout_.hwnd()).right, 1280 - 260 - 8);
    EXPECT_FALSE(host().has_occupied()); // a dropped read-out measures its offset with the reserve too
}

TEST_F(TaskbarHostTest, TaskListLeftNarrowedByAnEarlierRunIsGivenItsWidthBack) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    SetWindowPos(bar.task_list(), nullptr, 0, 0, 600, 40,
                 SWP_NOZORDER | SWP_NOACTIVATE); // a run that crashed
    start();
    EXPECT_GT(TestTaskbar::client_rect_of(bar.task_list()).right, 600); // up to the read-out
    readout_.show(false);
    EXPECT_EQ(TestTaskbar::client_rect_of(bar.task_list()), (ScreenRect{0, 0, 984, 40}));
}

// On a right-to-left Windows the taskbar is mirrored: client x counts from its right end.
TEST_F(TaskbarHostTest, MirroredTaskbarHoldsTheEmbeddedReadoutAtItsFreePlaceAndUnderTheHand) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar, true);
    start(false); // the overlay's place is worked out in screen pixels, with no mapping to go wrong
    const ScreenRect free = window_rect(readout_.hwnd());
    readout_.destroy();
    start(true);
    ASSERT_TRUE(readout_.embedded());
    const HWND window = readout_.hwnd();
    EXPECT_EQ(window_rect(window), free);

    // A drag of 10 pixels to the left, through the window's own mouse messages.
    const POINT grab{free.left + 5, free.top + 5};
    ASSERT_TRUE(move_cursor(grab));
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ASSERT_TRUE(move_cursor({grab.x - 10, grab.y}));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, 0);
    EXPECT_EQ(window_rect(window), shifted(free, -10));
    // Narrower rates meanwhile: the read-out stays under the hand, and is placed once the move ends.
    readout_.set_content({L"1 kbit/s", L"1 kbit/s", L"", L"", true});
    EXPECT_EQ(window_rect(window), shifted(free, -10));
    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    // Anchored at the end (align 2), the box keeps its right edge where it was dropped.
    const ScreenRect dropped = window_rect(window);
    EXPECT_EQ(dropped.right, free.right - 10);
    EXPECT_LT(width_of(dropped), width_of(free));
}

TEST_F(TaskbarHostTest, FailedAutomationKeepsTheLastButtonsAlsoWhenShownAgain) {
    TestTaskbar bar(TestTaskbar::Kind::bridge, k_bottom_bar);
    // A button where the read-out wants to be; every pass after the first fails, as in a busy shell.
    const std::vector<ScreenRect> buttons{{800, 760, 1036, 800}};
    std::atomic<int> passes{0};
    start(true, 11, 0, [&](HWND) -> std::optional<std::vector<ScreenRect>> {
        if (passes++ == 0) {
            return buttons;
        }
        return std::nullopt;
    });
    ASSERT_TRUE(pump_until([&] { return passes.load() >= 3; }, std::chrono::milliseconds(20000)));
    readout_.place(); // what the controller does when the watcher reports
    EXPECT_LE(window_rect(readout_.hwnd()).right, 800 - k_gap);
    readout_.show(false);
    readout_.show(true);
    EXPECT_LE(window_rect(readout_.hwnd()).right, 800 - k_gap);
    readout_.destroy();
}

TEST_F(TaskbarHostTest, LowCrowdedTaskbarTakesOneLineThenNumbersOnlyBeforeOverlapping) {
    use_work({0, 0, 1280, 780});
    TestTaskbar bar(TestTaskbar::Kind::classic, k_low_bar);
    start(false); // two lines, the default, never fit in 20 pixels
    EXPECT_EQ(readout_.layout_in_use(), static_cast<int>(CompactLayout::one_line));
    EXPECT_LE(window_rect(readout_.hwnd()).bottom, 800);
    const SIZE numbers = readout_.fit_font({true, 7, static_cast<int>(CompactLayout::numbers_only)});
    ASSERT_LT(numbers.cx, readout_.fit_font({true, 7, static_cast<int>(CompactLayout::one_line)}).cx);
    readout_.show(false);

    // A stretch that holds numbers only at 7 points, but not one line (buttons narrow enough to count).
    bar.add_child(L"Button", {48, 0, 500, 20});
    bar.add_child(L"Button", {500, 0, 1040 - 2 * k_gap - numbers.cx, 20});
    readout_.show(true);
    EXPECT_EQ(readout_.layout_in_use(), static_cast<int>(CompactLayout::numbers_only));
    expect_clear_of(bar.host());
    hold();
    readout_.show(false);

    // No room at all: the narrowest layout overlaps at the anchor.
    bar.add_child(L"Button", {1000, 0, 1040, 20});
    readout_.show(true);
    EXPECT_EQ(readout_.layout_in_use(), static_cast<int>(CompactLayout::numbers_only));
    EXPECT_EQ(width_of(window_rect(readout_.hwnd())), numbers.cx);
    EXPECT_EQ(readout_.settings().layout, 0); // the user's choice stays
}

// Wine's shell never reports a full-screen program: the test says so in its place.
TEST_F(TaskbarHostTest, FullScreenProgramKeepsTheOverlayBehindItUntilItEnds) {
    set_fullscreen_state_source([] { return true; });
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    start(false);
    const HWND readout = readout_.hwnd();
    ASSERT_TRUE(topmost(readout));
    const HWND video = CreateWindowExW(0, L"STATIC", L"video", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 800,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(video);
    EXPECT_TRUE(pump_until([&] { return is_below(readout, video); }, std::chrono::milliseconds(10000)));
    // Several rounds of keeping on top, and a placement after a display change, leave it there.
    pump_until([] { return false; }, std::chrono::milliseconds(1500));
    SendMessageW(readout, WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 800));
    EXPECT_TRUE(is_below(readout, video));
    EXPECT_TRUE(IsWindowVisible(readout));

    DestroyWindow(video);
    EXPECT_TRUE(pump_until([&] { return topmost(readout) && IsWindowVisible(readout); },
                           std::chrono::milliseconds(10000)));
}

// What the shell can report: a full-screen program of any kind, a Store app included, or the desktop.
TEST(FullScreenState, EveryFullScreenProgramCountsAndNothingElse) {
    const std::pair<QUERY_USER_NOTIFICATION_STATE, bool> states[] = {
        {QUNS_NOT_PRESENT, false},      {QUNS_BUSY, true},         {QUNS_RUNNING_D3D_FULL_SCREEN, true},
        {QUNS_PRESENTATION_MODE, true}, {QUNS_ACCEPTS_NOTIFICATIONS, false}, {QUNS_QUIET_TIME, false},
        {QUNS_APP, true}};
    for (const auto& [state, full_screen] : states) {
        EXPECT_EQ(is_fullscreen_state(state), full_screen) << state;
    }
}

TEST_F(TaskbarHostTest, TaskListWidenedByTheShellIsNarrowedAgainByTheLayoutCheck) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    start();
    const int narrowed = TestTaskbar::client_rect_of(bar.task_list()).right;
    ASSERT_LT(narrowed, 984);
    SetWindowPos(bar.task_list(), nullptr, 0, 0, 984, 40, SWP_NOZORDER | SWP_NOACTIVATE);
    // The check runs every second; allow for a loaded machine.
    EXPECT_TRUE(pump_until([&] { return TestTaskbar::client_rect_of(bar.task_list()).right == narrowed; },
                           std::chrono::milliseconds(8000)));
}

TEST_F(TaskbarHostTest, AvoidsButtonsAddedLaterAndPrefersTheNearerStretch) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    start();
    const ScreenRect first = window_rect(readout_.hwnd());
    // A button appears where the read-out is: the next check moves it to a free stretch.
    const int w = first.right - first.left;
    bar.add_child(L"Button", {first.left - 10, 0, first.right + 10, 40});
    ASSERT_TRUE(
        pump_until([&] { return window_rect(readout_.hwnd()) != first; }, std::chrono::milliseconds(8000)));
    expect_clear_of(bar.host());
    EXPECT_EQ(window_rect(readout_.hwnd()).right - window_rect(readout_.hwnd()).left, w);
}

TEST_F(TaskbarHostTest, CrowdedTaskbarShrinksTheFontThenOverlapsAtTheAnchor) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    start(false);
    const ScreenRect normal = window_rect(readout_.hwnd());
    const int normal_width = normal.right - normal.left;
    readout_.show(false);

    // Leave a stretch a little narrower than the read-out (with both gaps).
    const int free = normal_width + 2 * k_gap - 8;
    bar.add_child(L"Button", {48, 0, 500, 40});
    bar.add_child(L"Button", {500, 0, 1036 - free, 40});
    readout_.show(true);
    const ScreenRect shrunk = window_rect(readout_.hwnd());
    EXPECT_LT(shrunk.right - shrunk.left, normal_width);
    EXPECT_GE(shrunk.left, 1036 - free + k_gap);
    EXPECT_LE(shrunk.right, 1040 - k_gap);
    hold();
    readout_.show(false);

    // No room at all: overlapping at the anchor, at the smallest size.
    bar.add_child(L"Button", {1000, 0, 1040, 40});
    readout_.show(true);
    const ScreenRect overlap = window_rect(readout_.hwnd());
    EXPECT_LT(overlap.right - overlap.left, shrunk.right - shrunk.left);
    EXPECT_GE(overlap.top, 760);
    hold();
}

TEST_F(TaskbarHostTest, TopTaskbarHoldsTheReadoutInItsStrip) {
    use_work({0, 40, 1280, 800});
    TestTaskbar bar(TestTaskbar::Kind::classic, k_top_bar);
    start();
    EXPECT_EQ(GetAncestor(readout_.hwnd(), GA_PARENT), bar.host());
    const ScreenRect own = window_rect(readout_.hwnd());
    EXPECT_GE(own.top, 0);
    EXPECT_LE(own.bottom, 40);
    expect_clear_of(bar.host());
}

TEST_F(TaskbarHostTest, VerticalOrHiddenTaskbarIsNeverEmbedded) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    use_work({62, 0, 1280, 800});
    start();
    EXPECT_FALSE(readout_.embedded());
    EXPECT_EQ(host().host(), nullptr);
    const ScreenRect own = window_rect(readout_.hwnd());
    EXPECT_GE(own.left, 62); // inside the work area, beside the taskbar side

    use_work({0, 0, 1280, 800});
    readout_.place();
    EXPECT_FALSE(readout_.embedded());
    EXPECT_LE(window_rect(readout_.hwnd()).bottom, 800);
}

TEST_F(TaskbarHostTest, SecondaryMonitorWithoutItsTaskbarIsNotEmbedded) {
    TestTaskbar bar(TestTaskbar::Kind::classic, k_bottom_bar);
    std::vector<DisplayInfo> list{display({0, 0, 1280, 760}),
                                  {"\\\\.\\DISPLAY2", {1280, 0, 2560, 800}, {1280, 0, 2560, 760}, 96, false}};
    set_display_source([list] { return list; });
    CompactSettings settings;
    settings.native_style = false;
    settings.monitor_id = "\\\\.\\DISPLAY2";
    ASSERT_TRUE(readout_.create(GetModuleHandleW(nullptr), controller_));
    readout_.set_taskbar_host(std::make_unique<ShellTaskbarHost>(controller_, WM_APP + 13));
    readout_.apply(settings, test::palette("Midnight"), false);
    readout_.show(true);
    EXPECT_FALSE(readout_.embedded());
    EXPECT_GE(window_rect(readout_.hwnd()).left, 1280);
}

// Windows 11's secondary taskbar draws its buttons and its clock itself: the clock's room stays free.
TEST_F(TaskbarHostTest, SecondaryTaskbarThatDrawsItsClockKeepsItsRoom) {
    std::vector<DisplayInfo> list{display({0, 0, 1280, 760}),
                                  {"\\\\.\\DISPLAY2", {1280, 0, 2560, 800}, {1280, 0, 2560, 760}, 96, false}};
    set_display_source([list] { return list; });
    TestTaskbar bar(TestTaskbar::Kind::secondary, {1280, 760, 2560, 800});
    DestroyWindow(bar.notify());
    bar.add_child(k_content_bridge_class, {0, 0, 1280, 40});
    CompactSettings settings;
    settings.native_style = false;
    settings.embed_in_taskbar = false;
    settings.monitor_id = "\\\\.\\DISPLAY2";
    ASSERT_TRUE(readout_.create(GetModuleHandleW(nullptr), controller_));
    readout_.set_taskbar_host(std::make_unique<ShellTaskbarHost>(controller_, WM_APP + 13));
    readout_.apply(settings, test::palette("Midnight"), false);
    readout_.set_content({L"12.3 Mbit/s", L"1.2 Mbit/s", L"", L"", true});
    readout_.show(true);
    ASSERT_TRUE(host().use_automation());
    ASSERT_FALSE(host().occupied().empty()); // the start button
    EXPECT_LE(window_rect(readout_.hwnd()).right, 2560 - 170 - 8);
    readout_.show(false);
    readout_.destroy(); // stops the watcher thread promptly
}

TEST_F(TaskbarHostTest, OverlayWhoseTaskbarDisappearsIsPlacedAgainByTheLayoutCheck) {
    auto bar = std::make_unique<TestTaskbar>(TestTaskbar::Kind::classic, k_bottom_bar);
    start(false);
    const HWND gone = bar->host();
    ASSERT_EQ(host().host(), gone);
    bar.reset();
    // The next check finds the host gone and places again (on whatever taskbar is left, or none).
    EXPECT_TRUE(pump_until([&] { return host().host() != gone; }, std::chrono::milliseconds(8000)));
    EXPECT_NE(readout_.hwnd(), nullptr);
    EXPECT_TRUE(host().host() == nullptr || IsWindow(host().host()));
}

TEST_F(TaskbarHostTest, RecreatedTaskbarGetsTheReadoutBack) {
    auto bar = std::make_unique<TestTaskbar>(TestTaskbar::Kind::classic, k_bottom_bar);
    start();
    ASSERT_TRUE(readout_.embedded());
    bar.reset(); // the shell ends: its children go with it
    bar = std::make_unique<TestTaskbar>(TestTaskbar::Kind::classic, k_bottom_bar);
    readout_.recreate(); // what the controller does on "TaskbarCreated"
    ASSERT_NE(readout_.hwnd(), nullptr);
    EXPECT_EQ(GetAncestor(readout_.hwnd(), GA_PARENT), bar->host());
    expect_clear_of(bar->host());
}

TEST_F(TaskbarHostTest, ButtonsDrawnByTheTaskbarUseTheWatcherNotTheTaskList) {
    TestTaskbar bar(TestTaskbar::Kind::bridge, k_bottom_bar);
    start();
    EXPECT_TRUE(host().use_automation());
    EXPECT_TRUE(readout_.embedded());
    expect_clear_of(bar.host());
    readout_.show(false);
    readout_.destroy(); // stops the watcher thread promptly
}

// Wine's virtual desktop has a taskbar of its own, a shell this program did not write: with no test
// taskbar around, the read-out lands on its strip and covers none of its buttons.
TEST_F(TaskbarHostTest, SitsOnAForeignTaskbarWithoutCoveringItsButtons) {
    set_display_source(nullptr);
    const HWND shell = FindWindowW(k_primary_taskbar_class, nullptr);
    RECT bar{};
    if (shell == nullptr || !IsWindowVisible(shell) || !GetWindowRect(shell, &bar)) {
        GTEST_SKIP() << "no visible taskbar on this desktop";
    }
    // Wine's taskbar is 20 pixels high: only the one-line layout fits on it.
    for (const bool embed : {false, true}) {
        start(embed, 11, 1);
        EXPECT_EQ(readout_.embedded(), embed);
        const ScreenRect own = window_rect(readout_.hwnd());
        EXPECT_GE(own.top, bar.top);
        EXPECT_LE(own.bottom, bar.bottom);
        expect_clear_of(shell);
        hold();
        readout_.destroy();
    }
}

} // namespace
} // namespace tide
