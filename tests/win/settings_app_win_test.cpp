// The settings window inside the running application: opened by the dashboard's button, applied through
// the application's settings path into settings.json, closed at exit.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/app_win.h"
#include "app/tray_menu.h"
#include "base/messages_win.h"
#include "base/wide_text_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/json.h"
#include "persistence/settings_store.h"
#include "persistence/settings_store_win.h"
#include "persistence/usage.h"
#include "persistence/usage_win.h"
#include "presentation/localization.h"
#include "tests/core/odd_settings.h"
#include "tests/win/program_win.h"
#include "tests/win/temp_folder_win.h"
#include "tests/win/tray_command_win.h"
#include "tests/win/user_input_win.h"
#include "tests/win/window_text_win.h"
#include "ui/dashboard/dashboard_layout.h"
#include "ui/dashboard/main_window_win.h"
#include "ui/settings/settings_dialog_win.h"
#include "tests/win/wait_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;
using test::wait_for;
using Clock = std::chrono::steady_clock;

std::string stored_language(const std::wstring& settings_path) {
    const auto bytes = read_file_bytes(settings_path);
    if (!bytes) {
        return {};
    }
    const auto document = parse_json(*bytes);
    const JsonValue* language = document ? find_member(*document, "language") : nullptr;
    return language != nullptr ? language->as_string() : std::string();
}

int settings_windows() {
    int count = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, ui::k_settings_class, nullptr)) != nullptr;) {
        ++count;
    }
    return count;
}

class SettingsInApp : public testing::Test {
protected:
    void SetUp() override {
        thread_ = std::thread([this] {
            thread_id_ = GetCurrentThreadId();
            app_.run(GetModuleHandleW(nullptr), true);
        });
        ASSERT_TRUE(wait_for([this] { return (controller_ = own_controller()) != nullptr; }, 30s));
    }
    void TearDown() override {
        // The loop always ends before the join, even when the window never appeared.
        if (controller_ != nullptr) {
            PostMessageW(controller_, k_msg_dashboard_button, k_button_exit, 0);
        } else if (thread_id_ != 0) {
            PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
        }
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // The controller window of the application running in this process.
    HWND own_controller() const {
        for (HWND window = nullptr;
             (window = FindWindowExW(nullptr, window, k_controller_class, nullptr)) != nullptr;) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId()) {
                return window;
            }
        }
        return nullptr;
    }
    std::string stored_language() const { return tide::stored_language(settings_path_); }
    // The value at a path of keys in settings.json, as JSON text; empty when there is none.
    std::string stored(std::initializer_list<std::string_view> path) const {
        const auto bytes = read_file_bytes(settings_path_);
        const std::optional<JsonValue> document = bytes ? parse_json(*bytes) : std::nullopt;
        const JsonValue* value = document ? &*document : nullptr;
        for (const std::string_view key : path) {
            value = find_member(value, key);
        }
        return value != nullptr ? serialize_json(*value, 0) : std::string();
    }
    HWND own_window(const wchar_t* window_class) const {
        return test::window_of(GetCurrentProcessId(), window_class);
    }

    // The dashboard's settings button, handled before this returns.
    void press_settings_button() {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(controller_, k_msg_dashboard_button, k_button_settings, 0, SMTO_NORMAL, 30'000,
                            &result);
    }
    // A choice in a list, as the list reports it to its window.
    static void choose(HWND dialog, int id, int position) {
        const HWND list = GetDlgItem(dialog, id);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    }

    const test::TempFolder folder_;
    const std::wstring settings_path_ = folder_ / L"settings.json";
    app::App app_{
        app::AppOptions{folder_.path(), RunValue{HKEY_CURRENT_USER, L"Software\\Tidemeter.Tests\\Run"}}};
    std::thread thread_;
    std::atomic<DWORD> thread_id_{0};
    HWND controller_ = nullptr;
};

TEST_F(SettingsInApp, ArabicAppliedReachesTheFileAndTheTooltipAndCancelWritesNothing) {
    press_settings_button();
    const HWND dialog = FindWindowW(ui::k_settings_class, nullptr);
    ASSERT_NE(dialog, nullptr);
    press_settings_button(); // a second request only brings the open window forward
    EXPECT_EQ(settings_windows(), 1);
    EXPECT_EQ(FindWindowW(ui::k_settings_class, nullptr), dialog);

    int arabic = 0;
    const auto& languages = language_list();
    for (size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].code == "ar") {
            arabic = static_cast<int>(i) + 1;
        }
    }
    ASSERT_GT(arabic, 0);
    choose(dialog, ui::id_language, arabic);
    const HWND apply = GetDlgItem(dialog, ui::k_apply_button_id);
    ASSERT_TRUE(IsWindowEnabled(apply));
    SendMessageW(apply, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(apply));

    ASSERT_TRUE(wait_for([this] { return stored_language() == "ar"; }, 20s)) << stored_language();

    // A change thrown away with Cancel is never written.
    DeleteFileW(settings_path_.c_str());
    choose(dialog, ui::id_retention, 4);
    SendMessageW(GetDlgItem(dialog, ui::k_cancel_button_id), BM_CLICK, 0, 0);
    EXPECT_EQ(settings_windows(), 0);
    EXPECT_FALSE(wait_for([this] { return file_exists(settings_path_); }, 2500ms));
}

TEST_F(SettingsInApp, ExitClosesAnOpenSettingsWindowWithoutApplying) {
    press_settings_button();
    const HWND dialog = FindWindowW(ui::k_settings_class, nullptr);
    ASSERT_NE(dialog, nullptr);
    choose(dialog, ui::id_language, 2);
    PostMessageW(controller_, k_msg_dashboard_button, k_button_exit, 0);
    thread_.join();
    controller_ = nullptr;
    EXPECT_EQ(settings_windows(), 0);
    EXPECT_EQ(stored_language(), "system"); // the exit save holds the live settings, not the edit
}

TEST_F(SettingsInApp, LockAndGraphRangeChangedWhileTheWindowIsOpenSurviveOk) {
    press_settings_button();
    const HWND dialog = own_window(ui::k_settings_class);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(test::choose_tray_command(controller_, cmd_toggle_lock));
    choose(own_window(ui::k_main_class), k_id_graph_range, range_position(3600));
    ASSERT_TRUE(wait_for(
        [this] {
            return stored({"desktop", "locked"}) == "true" && stored({"history_window_s"}) == "3600";
        },
        20s));

    choose(dialog, ui::id_retention, 3); // the user's own edit, which shows when the OK is saved
    SendMessageW(GetDlgItem(dialog, ui::k_ok_button_id), BM_CLICK, 0, 0);
    ASSERT_TRUE(wait_for([this] { return stored({"history_retention_days"}) == "180"; }, 20s));
    EXPECT_EQ(stored({"compact", "locked"}), "true");
    EXPECT_EQ(stored({"desktop", "locked"}), "true");
    EXPECT_EQ(stored({"history_window_s"}), "3600");
}

class SettingsInAppWithOddFile : public SettingsInApp {
protected:
    SettingsInAppWithOddFile() { write_file_atomically(settings_path_, settings_file_text(odd_record())); }
};

TEST_F(SettingsInAppWithOddFile, UntouchedOkLeavesTheFileAsItWas) {
    const std::optional<std::string> before = read_file_bytes(settings_path_);
    ASSERT_TRUE(before);
    press_settings_button();
    const HWND dialog = own_window(ui::k_settings_class);
    ASSERT_NE(dialog, nullptr);
    DeleteFileW(settings_path_.c_str());
    SendMessageW(GetDlgItem(dialog, ui::k_ok_button_id), BM_CLICK, 0, 0);
    // Read until it reads: the writer thread may be replacing the file at the moment it appears.
    std::optional<std::string> after;
    ASSERT_TRUE(wait_for([&] { return (after = read_file_bytes(settings_path_)).has_value(); }, 20s));
    EXPECT_EQ(*after, *before);
}

TEST_F(SettingsInAppWithOddFile, ResetAndOkPutTheDashboardsRangeBackToFiveMinutes) {
    HWND range = nullptr;
    ASSERT_TRUE(wait_for(
        [&] {
            range = GetDlgItem(own_window(ui::k_main_class), k_id_graph_range);
            return SendMessageW(range, CB_GETCURSEL, 0, 0) == range_position(3600);
        },
        30s));
    press_settings_button();
    const HWND dialog = own_window(ui::k_settings_class);
    ASSERT_NE(dialog, nullptr);
    const HWND reset = GetDlgItem(dialog, ui::k_reset_button_id);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(ui::k_reset_button_id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(reset));
    const HWND question = test::visible_own_window(L"#32770");
    ASSERT_NE(question, nullptr);
    SendMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    ASSERT_TRUE(wait_for([&] { return !IsWindow(question); }, 30s));
    SendMessageW(GetDlgItem(dialog, ui::k_ok_button_id), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(range, CB_GETCURSEL, 0, 0), range_position(300));
}

// A usage.json of two networks the day before: "Network 1" (no name of its own) and "Hotspot".
class SettingsInAppWithNetworks : public SettingsInApp {
protected:
    static constexpr char k_home[] = "gw:02-00-00-00-00-0a";
    static constexpr char k_hotspot[] = "gw:02-00-00-00-00-0b";

    SettingsInAppWithNetworks() {
        write_file_atomically(settings_path_, R"({"defaults_rev": 3, "language": "en", "history_mode": 1,
                                                 "compact": {"enabled": false}})");
        UsageStore store;
        store.see_network(k_home, "", false, yesterday_);
        store.see_network(k_hotspot, "Hotspot", false, yesterday_);
        store.add(yesterday_, k_home, 7000, 700);
        store.add(yesterday_, k_hotspot, 3000, 300);
        store.add(yesterday_, 50, 5); // before networks were kept: "Other networks"
        write_file_atomically(usage_path_, usage_file_text(store));
    }

    // Clicked again while `done` does not hold: a click before the window is up front goes elsewhere.
    static bool click_until(HWND window, POINT at, const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            test::click_at(window, at);
            if (wait_for(done, 2s)) {
                return true;
            }
        }
        return false;
    }
    static bool click_middle(HWND window, const std::function<bool()>& done) {
        RECT r{};
        GetClientRect(window, &r);
        return click_until(window, {r.right / 2, r.bottom / 2}, done);
    }
    // The list row that shows `name`; -1 for none.
    static int row_named(HWND list, const std::wstring& name) {
        const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            wchar_t text[128] = {};
            LVITEMW item{};
            item.pszText = text;
            item.cchTextMax = 128;
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            if (name == text) {
                return row;
            }
        }
        return -1;
    }
    static bool click_row(HWND list, int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        return click_until(list, {(r.left + r.right) / 2, (r.top + r.bottom) / 2},
                           [&] { return selected_row(list) == row; });
    }
    static bool dropped(HWND combo) { return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }
    // The window with the keyboard focus on the thread of `window`.
    static HWND focus_of(HWND window) {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
    }
    static int selected_row(HWND list) {
        return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    std::optional<UsageStore> stored_usage() const {
        const auto bytes = read_file_bytes(usage_path_);
        return bytes ? usage_from_file_text(*bytes) : std::nullopt;
    }

    const std::wstring usage_path_ = folder_ / L"usage.json";
    const int64_t yesterday_ = local_day_number() - 1;
};

TEST_F(SettingsInAppWithNetworks, RenameMeteredChosenAndForgetReachUsageAndSettings) {
    press_settings_button();
    const HWND dialog = own_window(ui::k_settings_class);
    ASSERT_NE(dialog, nullptr);
    const HWND tabs = GetDlgItem(dialog, ui::k_tab_control_id);
    RECT tab{};
    SendMessageW(tabs, TCM_GETITEMRECT, 5, reinterpret_cast<LPARAM>(&tab));
    const HWND list = GetDlgItem(dialog, ui::id_networks);
    ASSERT_TRUE(click_until(tabs, {(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2},
                            [&] { return IsWindowVisible(list) != FALSE; }));
    ASSERT_GE(row_named(list, L"Hotspot"), 0);
    ASSERT_GE(row_named(list, L"Network 1"), 0);

    ASSERT_TRUE(click_row(list, row_named(list, L"Hotspot")));
    const HWND name = GetDlgItem(dialog, ui::id_network_name);
    ASSERT_TRUE(wait_for([&] { return test::text_of(name) == L"Hotspot"; }, 20s));
    ASSERT_TRUE(click_middle(name, [&] { return focus_of(dialog) == name; }));
    SendMessageW(name, EM_SETSEL, 0, -1);
    test::type_text(L"Phone");
    ASSERT_TRUE(wait_for([&] { return row_named(list, L"Phone") >= 0; }, 20s)) << test::text_of(name).size();

    const HWND metered = GetDlgItem(dialog, ui::id_network_metered);
    ASSERT_TRUE(click_middle(metered, [&] { return dropped(metered); }));
    test::press_keys({VK_DOWN, VK_RETURN}); // "As Windows says" -> "Yes"
    ASSERT_TRUE(
        wait_for([&] { return !dropped(metered) && SendMessageW(metered, CB_GETCURSEL, 0, 0) == 1; }, 20s));

    const HWND counted = GetDlgItem(dialog, ui::id_network_counted);
    EXPECT_FALSE(IsWindowEnabled(counted)); // the plan counts every network so far
    const HWND counts = GetDlgItem(dialog, ui::id_plan_counts);
    ASSERT_TRUE(click_middle(counts, [&] { return dropped(counts); }));
    test::press_keys({VK_DOWN, VK_DOWN, VK_RETURN}); // "Chosen networks"
    ASSERT_TRUE(wait_for([&] { return IsWindowEnabled(counted) != FALSE; }, 20s));
    ASSERT_TRUE(
        click_middle(counted, [&] { return SendMessageW(counted, BM_GETCHECK, 0, 0) == BST_CHECKED; }));

    ASSERT_TRUE(click_row(list, row_named(list, L"Network 1")));
    ASSERT_TRUE(wait_for([&] { return test::text_of(name) == L"Network 1"; }, 20s));
    ASSERT_TRUE(click_middle(GetDlgItem(dialog, ui::id_network_forget),
                             [&] { return row_named(list, L"Network 1") < 0; }));
    ASSERT_GE(row_named(list, L"Phone"), 0);

    ASSERT_TRUE(click_middle(GetDlgItem(dialog, ui::k_ok_button_id), [&] { return !IsWindow(dialog); }));
    std::optional<UsageStore> usage;
    ASSERT_TRUE(
        wait_for([&] { return (usage = stored_usage()) && usage->networks().find(k_home) == nullptr; }, 30s));
    const KnownNetwork* hotspot = usage->networks().find(k_hotspot);
    ASSERT_NE(hotspot, nullptr);
    EXPECT_EQ(hotspot->user_name, "Phone");
    EXPECT_EQ(hotspot->user_metered, std::optional<bool>{true});
    EXPECT_EQ(usage->get(yesterday_), (DayTotals{10050, 1005}));
    EXPECT_EQ(usage->network_get(yesterday_, k_hotspot), (DayTotals{3000, 300}));
    EXPECT_EQ(usage->network_get(yesterday_, ""), (DayTotals{7050, 705})); // "Other networks"

    ASSERT_TRUE(wait_for([this] { return stored({"plan_counts"}) == "2"; }, 20s));
    EXPECT_EQ(stored({"plan_networks"}), R"(["gw:02-00-00-00-00-0b"])");
}

} // namespace
} // namespace tide
