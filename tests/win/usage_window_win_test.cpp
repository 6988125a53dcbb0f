// The usage window as a user sees it: one window however often it is asked for, the theme's colours on
// the screen with a seeded day's bar in the download colour, mirrored in right-to-left; its network
// choice, alone and in the running program, where the bars and the limit line follow it.
#include "ui/usage/usage_window_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/messages_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/usage_win.h"
#include "presentation/theme.h"
#include "tests/win/palette_win.h"
#include "tests/win/program_win.h"
#include "tests/win/screen_pixels_win.h"
#include "tests/win/user_input_win.h"
#include "tests/win/wait_win.h"
#include "tests/win/window_text_win.h"

namespace tide::ui {
namespace {

using namespace std::chrono_literals;
using test::pump_until;
using test::wait_for;

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

// Stands in for the controller window: records the network choices the usage window posts to it.
class Recorder {
public:
    Recorder() {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &Recorder::proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"Tidemeter.Test.UsageRecorder";
        RegisterClassExW(&window_class);
        window_ = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  window_class.hInstance, this);
    }
    ~Recorder() { DestroyWindow(window_); }
    HWND hwnd() const { return window_; }
    std::vector<LPARAM> posted; // the entries chosen

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(
                window, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
        } else if (message == k_msg_usage_window && wparam == k_usage_network) {
            reinterpret_cast<Recorder*>(GetWindowLongPtrW(window, GWLP_USERDATA))->posted.push_back(lparam);
            return 0;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }
    HWND window_ = nullptr;
};

std::wstring entry(HWND list, LRESULT i) {
    wchar_t text[128] = {};
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    return text;
}

// The entry shown in the closed list (of a window in any process).
std::wstring shown(HWND list) {
    return entry(list, SendMessageW(list, CB_GETCURSEL, 0, 0));
}

UsageView networks_view(std::vector<std::wstring> networks, size_t selected) {
    UsageView view = seeded_view();
    view.networks = std::move(networks);
    view.network_selected = selected;
    return view;
}

// The list below the chart, named by the label right before it, after the chart in the Tab order; a key
// press on it reports the entry's index and nothing else; the controller's word moves it, a refresh that
// does not change that word leaves the user's pick alone.
TEST(UsageWindow, NetworkChoiceReportsThePickAndFollowsTheController) {
    Recorder recorder;
    UsageWindow window;
    UsageWindowSettings place;
    place.x = 60;
    place.y = 40;
    for (const bool rtl : {false, true}) {
        ASSERT_TRUE(window.open(GetModuleHandleW(nullptr), recorder.hwnd(), place, test::palette("Midnight"),
                                rtl, L"en", nullptr));
        window.update(networks_view({L"All networks", L"Home", L"Hotspot"}, 0));
        const HWND list = GetDlgItem(window.hwnd(), k_id_usage_network);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(test::class_of(list), L"ComboBox");
        ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(entry(list, 2), L"Hotspot");
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(test::text_of(GetWindow(list, GW_HWNDPREV)), L"usage.network");
        EXPECT_EQ(test::class_of(GetWindow(list, GW_HWNDPREV)), L"Static");

        // Across from the buttons: at the left, or at the right in right-to-left.
        RECT list_rect{};
        RECT export_rect{};
        GetWindowRect(list, &list_rect);
        GetWindowRect(GetDlgItem(window.hwnd(), k_id_usage_export), &export_rect);
        EXPECT_EQ(list_rect.right <= export_rect.left, !rtl) << rtl;
        EXPECT_EQ(list_rect.left >= export_rect.right, rtl) << rtl;
        EXPECT_EQ((GetWindowLongW(list, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, rtl);
        const HWND chart =
            GetNextDlgTabItem(window.hwnd(), GetDlgItem(window.hwnd(), k_id_usage_months), FALSE);
        EXPECT_EQ(GetNextDlgTabItem(window.hwnd(), chart, FALSE), list);
        EXPECT_EQ(GetNextDlgTabItem(window.hwnd(), list, FALSE),
                  GetDlgItem(window.hwnd(), k_id_usage_export));

        SetForegroundWindow(window.hwnd());
        SetFocus(list);
        recorder.posted.clear();
        std::thread input([] { test::press_keys({VK_DOWN}); });
        EXPECT_TRUE(pump_until([&] { return !recorder.posted.empty(); }, 20s)) << "no key arrived";
        input.join();
        EXPECT_EQ(recorder.posted, std::vector<LPARAM>{1});

        window.update(networks_view({L"All networks", L"Home", L"Hotspot"}, 0));
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 1) << "a refresh from before the pick";
        window.update(networks_view({L"All networks", L"Home", L"Hotspot"}, 2));
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 2);
        window.update(networks_view({L"All networks", L"Home"}, 7)); // a network forgotten
        EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 0);

        // The Apps view's figures follow no network: the choice goes while it is shown.
        SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(k_id_usage_apps, BN_CLICKED), 0);
        EXPECT_FALSE(IsWindowVisible(list));
        SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(k_id_usage_days, BN_CLICKED), 0);
        EXPECT_TRUE(IsWindowVisible(list));
        EXPECT_EQ(recorder.posted, std::vector<LPARAM>{1}) << "only the key press reported a choice";
        window.close();
    }
}

// The running program with a day of home and hotspot traffic and a daily limit of a plan that counts the
// hotspot: the bars and the limit line follow the choice made with the keyboard, and a choice posted
// with an index the window never offered changes nothing.
TEST(UsageWindowProgram, BarsAndLimitLineFollowTheNetworkChoice) {
    const int64_t today = local_day_number();
    UsageStore store;
    store.see_network("gw:home", "Home", false, today);
    store.see_network("gw:hotspot", "Hotspot", true, today);
    store.add(today - 1, "gw:home", 2'000'000'000, 0);
    store.add(today, "gw:home", 3'000'000'000, 0);
    store.add(today, "gw:hotspot", 1'000'000'000, 0);
    auto data = std::make_unique<test::TempFolder>();
    ASSERT_TRUE(write_file_atomically(*data / L"usage.json", usage_file_text(store)));
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", R"({"schema_version": 1, "defaults_rev": 3,
        "language": "en", "compact": {"enabled": false}, "desktop": {"enabled": false},
        "main_window": {"theme": "Midnight"}, "usage_window": {"width": 720, "height": 540, "x": 40, "y": 40},
        "history_mode": 1, "daily_warning_mb": 1500, "plan_counts": 2, "plan_networks": ["gw:hotspot"]})"));
    test::Program program = test::start_program(L"--minimized", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    HWND controller = nullptr;
    ASSERT_TRUE(wait_for(
        [&] { return (controller = test::window_of(program.id, k_controller_class)) != nullptr; }, 90s));
    HWND usage = nullptr;
    const bool opened = wait_for(
        [&] {
            PostMessageW(controller, k_msg_dashboard_button, k_button_usage, 0);
            return wait_for([&] { return (usage = test::window_of(program.id, k_usage_class)) != nullptr; },
                            5s);
        },
        60s);
    ASSERT_TRUE(opened);
    // The window is found as soon as it exists, which can be before its controls do.
    HWND list = nullptr;
    ASSERT_TRUE(wait_for(
        [&] {
            list = GetDlgItem(usage, k_id_usage_network);
            return list != nullptr && SendMessageW(list, CB_GETCOUNT, 0, 0) >= 4;
        },
        30s));
    EXPECT_EQ(entry(list, 1), L"Networks the plan counts");
    EXPECT_EQ(entry(list, 2), L"Home");
    EXPECT_EQ(entry(list, 3), L"Hotspot");

    const Theme& theme = test::palette("Midnight");
    // Yesterday's bar, by a pixel just above the plot's floor in the middle of its slot, and the limit
    // line, by the warning colour anywhere in the plot: no bar of these figures is over a limit.
    const auto shows = [&](bool yesterday, bool limit) {
        RECT client{};
        GetClientRect(usage, &client);
        MapWindowPoints(usage, nullptr, reinterpret_cast<POINT*>(&client), 2);
        const float scale = static_cast<float>(GetDpiForWindow(usage)) / 96.0f;
        const UsageGeometry g = usage_geometry(static_cast<float>(client.right - client.left) / scale,
                                               static_cast<float>(client.bottom - client.top) / scale, false);
        const BarShape bar = bar_shape(g.plot, k_usage_days - 2, k_usage_days, {1, 0}, 1.0, false);
        const int x = client.left + static_cast<int>((bar.download.left + bar.download.width / 2) * scale);
        const int y = client.top + static_cast<int>((g.plot.bottom() - 3) * scale);
        const RECT plot{client.left + static_cast<int>(g.plot.left * scale),
                        client.top + static_cast<int>(g.plot.top * scale),
                        client.left + static_cast<int>(g.plot.right() * scale),
                        client.top + static_cast<int>(g.plot.bottom() * scale)};
        const int bar_pixels = test::count_near({x - 1, y - 1, x + 2, y + 2}, theme.download);
        const int warning_pixels = test::count_near(plot, theme.warning);
        return (bar_pixels == 9) == yesterday && (warning_pixels > 20) == limit;
    };
    const auto chosen = [&](const wchar_t* name, bool yesterday, bool limit) {
        return wait_for([&] { return shown(list) == name && shows(yesterday, limit); }, 30s);
    };
    EXPECT_TRUE(chosen(L"All networks", true, false)) << "the plan counts only the hotspot: no limit line";

    // Opened with a click and closed again, then a key press for each entry.
    test::click_middle(list);
    ASSERT_TRUE(wait_for([&] { return SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 20s));
    test::press_keys({VK_ESCAPE});
    ASSERT_TRUE(wait_for([&] { return SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0) == 0; }, 20s));
    test::press_keys({VK_DOWN});
    EXPECT_TRUE(chosen(L"Networks the plan counts", false, true));
    test::press_keys({VK_DOWN});
    EXPECT_TRUE(chosen(L"Home", true, false));
    test::press_keys({VK_DOWN});
    EXPECT_TRUE(chosen(L"Hotspot", false, true)) << "the one network the plan counts";

    // Entries the window never offered: nothing changes; the controller's own word moves the list.
    PostMessageW(controller, k_msg_usage_window, k_usage_network, SendMessageW(list, CB_GETCOUNT, 0, 0));
    PostMessageW(controller, k_msg_usage_window, k_usage_network, -1);
    EXPECT_FALSE(wait_for([&] { return shown(list) != L"Hotspot"; }, 3s));
    PostMessageW(controller, k_msg_usage_window, k_usage_network, 2);
    EXPECT_TRUE(chosen(L"Home", true, false));
    EXPECT_FALSE(test::has_ended(program));

    PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
    EXPECT_TRUE(wait_for([&] { return test::has_ended(program); }, 60s));
}

} // namespace
} // namespace tide::ui
