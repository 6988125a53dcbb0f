// The settings window inside the running application: opened by the dashboard's button, applied through
// the application's settings path into settings.json, closed at exit.
#include <windows.h>

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
#include "presentation/localization.h"
#include "tests/core/odd_settings.h"
#include "tests/win/program_win.h"
#include "tests/win/temp_folder_win.h"
#include "tests/win/tray_command_win.h"
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

} // namespace
} // namespace tide
