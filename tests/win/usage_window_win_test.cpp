// The usage window as a user sees it: one window however often it is asked for, the theme's colours on
// the screen with a seeded day's bar in the download colour, mirrored in right-to-left.
#include "ui/usage/usage_window_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "presentation/theme.h"
#include "tests/win/palette_win.h"
#include "tests/win/screen_pixels_win.h"
#include "tests/win/wait_win.h"
#include "tests/win/window_text_win.h"

namespace tide::ui {
namespace {

using namespace std::chrono_literals;
using test::pump_until;

// Whether the screen pixel shows the colour.
bool shows(int x, int y, const Rgba& colour) {
    return test::count_near({x, y, x + 1, y + 1}, colour) == 1;
}

RECT client_on_screen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

// Two days before today (day 20000) hold 3 GB down and 1 GB up; every other day is empty.
UsageView seeded_view() {
    UsageStore store;
    store.add(19998, 3'000'000'000, 1'000'000'000);
    UsageView view;
    view.today = 20000;
    view.days = select_days(store, view.today, {});
    view.months = select_months(store, view.today, {});
    view.format_bytes = [](uint64_t v) { return std::to_wstring(v / 1'000'000) + L" MB"; };
    return view;
}

TEST(UsageWindow, OneWindowPaintsTheSeededDayAndMirrorsInRightToLeft) {
    UsageWindow window;
    UsageWindowSettings place;
    place.x = 60;
    place.y = 40;
    for (const bool rtl : {false, true}) {
        const Theme& theme = test::palette(rtl ? "Minimal White" : "Midnight");
        ASSERT_TRUE(window.open(GetModuleHandleW(nullptr), nullptr, place, theme, rtl, L"en", nullptr));
        const HWND first = window.hwnd();
        EXPECT_EQ(test::class_of(first), k_usage_class);
        ASSERT_TRUE(window.open(GetModuleHandleW(nullptr), nullptr, place, theme, rtl, L"en", nullptr));
        EXPECT_EQ(window.hwnd(), first) << "a second command brings the same window forward";

        window.update(seeded_view());
        UpdateWindow(window.hwnd());
        pump_until([] { return false; }, 300ms);

        const RECT client = client_on_screen(window.hwnd());
        const float scale = static_cast<float>(GetDpiForWindow(window.hwnd())) / 96.0f;
        const auto at = [&](float x, float y, const Rgba& colour) {
            return shows(client.left + static_cast<int>(x * scale), client.top + static_cast<int>(y * scale),
                         colour);
        };
        const float width = static_cast<float>(client.right - client.left) / scale;
        const float height = static_cast<float>(client.bottom - client.top) / scale;
        const UsageGeometry g = usage_geometry(width, height, rtl);
        EXPECT_TRUE(at(10, g.panel.top - 6, theme.bg)) << rtl;

        const UsageView view = seeded_view();
        const BarShape bar =
            bar_shape(g.plot, 27, k_usage_days, view.days[27].totals, usage_axis(view.days, 0).max, rtl);
        EXPECT_TRUE(at(bar.download.left + bar.download.width / 2, bar.download.top + bar.download.height / 2,
                       theme.download))
            << rtl;
        EXPECT_TRUE(
            at(bar.upload.left + bar.upload.width / 2, bar.upload.top + bar.upload.height / 2, theme.upload))
            << rtl;
        // The seeded day is the third from the newest, which stands at the right end, or the left.
        EXPECT_EQ(bar.download.left < width / 2, rtl);

        RECT export_button{};
        RECT close_button{};
        GetWindowRect(GetDlgItem(window.hwnd(), k_id_usage_export), &export_button);
        GetWindowRect(GetDlgItem(window.hwnd(), k_id_usage_close), &close_button);
        EXPECT_EQ(close_button.left > export_button.left, !rtl) << "Close at the far end";
        EXPECT_EQ(
            (GetWindowLongW(GetDlgItem(window.hwnd(), k_id_usage_close), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0,
            rtl);

        // Closing keeps the place it was left at.
        SetWindowPos(window.hwnd(), nullptr, 70, 50, 700, 500, SWP_NOZORDER);
        window.close();
        EXPECT_FALSE(window.is_open());
        EXPECT_EQ(window.placement().x, 70);
        EXPECT_EQ(window.placement().width, static_cast<int>(700 / scale + 0.5f));
    }
}

// The view switch is a group of its own: the arrow keys, handed to the dialog navigation as the program's
// loop does, move between its three halves and never into the chart's Tab stop after it.
TEST(UsageWindow, ArrowsOnTheViewSwitchStayInItsGroup) {
    UsageWindow window;
    UsageWindowSettings place;
    place.x = 60;
    place.y = 40;
    ASSERT_TRUE(window.open(GetModuleHandleW(nullptr), nullptr, place, test::palette("Midnight"), false,
                            L"en", nullptr));
    window.update(seeded_view());
    SetForegroundWindow(window.hwnd());
    struct Case {
        int from;
        WPARAM key;
        int to;
    };
    for (const Case& c :
         {Case{k_id_usage_months, VK_RIGHT, k_id_usage_apps},
          Case{k_id_usage_months, VK_DOWN, k_id_usage_apps}, Case{k_id_usage_apps, VK_RIGHT, k_id_usage_days},
          Case{k_id_usage_apps, VK_LEFT, k_id_usage_months}, Case{k_id_usage_days, VK_LEFT, k_id_usage_apps},
          Case{k_id_usage_days, VK_UP, k_id_usage_apps}}) {
        SetFocus(GetDlgItem(window.hwnd(), c.from));
        MSG key{GetFocus(), WM_KEYDOWN, c.key, 0, 0, {}};
        EXPECT_TRUE(IsDialogMessageW(window.hwnd(), &key));
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), c.to) << c.from << " " << c.key;
    }
    window.close();
}

} // namespace
} // namespace tide::ui
