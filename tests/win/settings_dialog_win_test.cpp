// The settings window as a user drives it: tabs clicked, lists and boxes changed by input, the buttons
// pressed, and the settings record that comes back.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/recent_errors.h"
#include "presentation/localization.h"
#include "ui/settings/settings_dialog_win.h"
#include "tests/win/wait_win.h"
#include "tests/win/window_text_win.h"

namespace tide::ui {
namespace {

using namespace std::chrono_literals;
using test::pump_until;

using test::class_of;
using test::text_of;

// Answers the confirmation the window asks with a message box of this thread.
int g_answer = IDNO;
bool g_answered = false;
BOOL CALLBACK answer_box(HWND window, LPARAM) {
    if (class_of(window) == L"#32770" && IsWindowVisible(window)) {
        SendMessageW(GetDlgItem(window, g_answer), BM_CLICK, 0, 0);
        g_answered = true;
        return FALSE;
    }
    return TRUE;
}
void CALLBACK answer_timer(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), &answer_box, 0);
}

class SettingsDialogTest : public testing::Test {
protected:
    void SetUp() override { english_.initialise("en", errors_); }
    void TearDown() override { dialog_.close(); }

    // Each OK or Apply writes its edit into `live_`, as the application does, and records the result.
    bool open(const Settings& settings, bool rtl = false) {
        live_ = settings;
        return dialog_.open(
            GetModuleHandleW(nullptr), nullptr, settings,
            [this](const char* key) { return english_.wide_text(key); }, rtl,
            [this](const SettingsEdit& edit) {
                live_ = apply_edit(edit, live_);
                applied_.push_back(live_);
            });
    }
    HWND item(int id) const { return GetDlgItem(dialog_.window(), id); }

    // A click on the tab, as the mouse gives it.
    void click_tab(int page) {
        const HWND tabs = item(k_tab_control_id);
        RECT r{};
        SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(tabs, WM_LBUTTONUP, 0, at);
    }
    void press(int id) { SendMessageW(item(id), BM_CLICK, 0, 0); }
    void key(int id, WPARAM virtual_key) {
        SendMessageW(item(id), WM_KEYDOWN, virtual_key, 0);
        SendMessageW(item(id), WM_KEYUP, virtual_key, 0);
    }
    int selection(int id) const { return static_cast<int>(SendMessageW(item(id), CB_GETCURSEL, 0, 0)); }
    bool apply_enabled() const { return IsWindowEnabled(item(k_apply_button_id)) != FALSE; }

    void answer_next_box(int answer) {
        g_answer = answer;
        g_answered = false;
        SetTimer(nullptr, 0, 50, &answer_timer);
    }

    RecentErrors errors_;
    Localizer english_;
    SettingsDialog dialog_;
    Settings live_;
    std::vector<Settings> applied_;
};

// A screen reader names an edit, a list or a slider by the static text right before it: on every page,
// every one of them has one.
TEST_F(SettingsDialogTest, EveryFieldHasItsLabelRightBeforeIt) {
    ASSERT_TRUE(open(Settings{}));
    int fields = 0;
    for (HWND child = GetWindow(dialog_.window(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = test::class_of(child);
        if (_wcsicmp(kind.c_str(), L"Edit") != 0 && _wcsicmp(kind.c_str(), L"ComboBox") != 0 &&
            _wcsicmp(kind.c_str(), L"msctls_trackbar32") != 0) {
            continue;
        }
        ++fields;
        const HWND label = GetWindow(child, GW_HWNDPREV);
        ASSERT_NE(label, nullptr) << GetDlgCtrlID(child);
        EXPECT_EQ(_wcsicmp(test::class_of(label).c_str(), L"Static"), 0) << GetDlgCtrlID(child);
        EXPECT_FALSE(test::text_of(label).empty()) << GetDlgCtrlID(child);
    }
    EXPECT_GE(fields, 10);
}

TEST_F(SettingsDialogTest, TabsShowOnlyTheirOwnPage) {
    ASSERT_TRUE(open(Settings{}));
    const HWND window = dialog_.window();
    EXPECT_EQ(FindWindowW(k_settings_class, nullptr), window);
    EXPECT_EQ(text_of(window), L"Settings");
    EXPECT_EQ(GetParent(window), nullptr);
    const HWND tabs = item(k_tab_control_id);
    EXPECT_EQ(class_of(tabs), L"SysTabControl32");
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), k_page_count);
    EXPECT_FALSE(apply_enabled());
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 580);
    EXPECT_EQ(client.bottom, 490);

    for (int page : {0, 3, 1, 5, 2, 4}) {
        click_tab(page);
        EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), page);
        for (const ControlEntry& row : settings_controls()) {
            ASSERT_NE(item(row.id), nullptr) << row.id;
            EXPECT_EQ(IsWindowVisible(item(row.id)) != FALSE, row.page == page) << row.id << " on " << page;
        }
        for (int id : {k_reset_button_id, k_ok_button_id, k_apply_button_id, k_cancel_button_id}) {
            EXPECT_TRUE(IsWindowVisible(item(id))) << id;
        }
    }
    EXPECT_EQ(class_of(item(id_compact_opacity)), L"msctls_trackbar32");
    EXPECT_EQ(SendMessageW(item(id_language), CB_GETCOUNT, 0, 0), 23);
    EXPECT_FALSE(apply_enabled()); // looking is not changing
}

TEST_F(SettingsDialogTest, ChangesEnableApplyWhichHandsThemBack) {
    Settings stored;
    stored.compact.native_style = false;
    ASSERT_TRUE(open(stored));

    click_tab(5);
    press(id_persist_history);
    EXPECT_TRUE(apply_enabled());
    key(id_retention, VK_DOWN); // 30 -> 90 days
    EXPECT_EQ(selection(id_retention), 2);

    click_tab(2);
    key(id_compact_opacity, VK_LEFT); // 90 % -> 85 %
    EXPECT_EQ(text_of(item(id_compact_opacity_value)), L"85%");
    EXPECT_TRUE(IsWindowEnabled(item(id_compact_font_size)));
    press(id_match_taskbar);
    press(id_every_taskbar);
    EXPECT_FALSE(IsWindowEnabled(item(id_compact_font_size)));
    EXPECT_FALSE(IsWindowEnabled(item(id_compact_theme)));
    EXPECT_FALSE(IsWindowEnabled(item(id_compact_opacity)));

    press(k_apply_button_id);
    ASSERT_EQ(applied_.size(), 1u);
    EXPECT_FALSE(apply_enabled());
    EXPECT_EQ(applied_[0].history_mode, 1);
    EXPECT_EQ(applied_[0].history_retention_days, 90);
    EXPECT_EQ(applied_[0].compact.opacity_pct, 85);
    EXPECT_TRUE(applied_[0].compact.native_style);
    Settings expected = stored;
    expected.history_mode = 1;
    expected.history_retention_days = 90;
    expected.compact.opacity_pct = 85;
    expected.compact.native_style = true;
    expected.compact.every_taskbar = true;
    EXPECT_EQ(applied_[0], expected); // and nothing else

    press(id_match_taskbar);
    EXPECT_TRUE(IsWindowEnabled(item(id_compact_font_size)));
    EXPECT_TRUE(apply_enabled());
    press(k_cancel_button_id);
    EXPECT_EQ(applied_.size(), 1u); // Cancel hands nothing back
    EXPECT_EQ(dialog_.window(), nullptr);
    EXPECT_EQ(FindWindowW(k_settings_class, nullptr), nullptr);
}

// The note under the source list follows the choice, and the choice is what Apply hands back.
TEST_F(SettingsDialogTest, SourceListSaysWhatItsChoiceCounts) {
    ASSERT_TRUE(open(Settings{}));
    EXPECT_EQ(class_of(item(id_source)), L"ComboBox");
    EXPECT_EQ(SendMessageW(item(id_source), CB_GETCOUNT, 0, 0), 3);
    EXPECT_TRUE(IsWindowVisible(item(k_source_note_id)));
    EXPECT_EQ(text_of(item(k_source_note_id)), english_.wide_text("source.interface_note"));

    key(id_source, VK_DOWN);
    key(id_source, VK_DOWN);
    EXPECT_EQ(selection(id_source), 2);
    EXPECT_EQ(text_of(item(k_source_note_id)), english_.wide_text("source.router_note"));
    click_tab(1);
    EXPECT_FALSE(IsWindowVisible(item(k_source_note_id)));

    press(k_apply_button_id);
    ASSERT_EQ(applied_.size(), 1u);
    Settings expected;
    expected.monitoring.source = 2;
    EXPECT_EQ(applied_[0], expected);
}

TEST_F(SettingsDialogTest, DataLimitsAreTypedInTheirUnitAndNeedTheHistory) {
    Settings stored;
    stored.history_mode = 1;
    stored.monthly_warning_mb = 10000;
    ASSERT_TRUE(open(stored));
    click_tab(5);
    EXPECT_EQ(text_of(item(id_monthly_limit)), L"10");
    EXPECT_EQ(selection(id_monthly_unit), k_unit_gb);
    EXPECT_FALSE(apply_enabled()); // filling the boxes is no edit

    SetWindowTextW(item(id_monthly_limit), L"12"); // as typing does: the box reports a change
    EXPECT_TRUE(apply_enabled());
    key(id_billing_day, VK_DOWN); // 1 -> 2
    press(k_apply_button_id);
    ASSERT_EQ(applied_.size(), 1u);
    Settings expected = stored;
    expected.monthly_warning_mb = 12000;
    expected.billing_day = 2;
    EXPECT_EQ(applied_[0], expected);

    EXPECT_TRUE(IsWindowEnabled(item(id_daily_limit)));
    press(id_persist_history);
    for (const int id : k_history_dependents) {
        EXPECT_FALSE(IsWindowEnabled(item(id))) << id;
    }
}

TEST_F(SettingsDialogTest, OkKeepsValuesNoListCanShow) {
    Settings stored;
    stored.history_retention_days = 60;
    stored.compact.font_size_pt = 15;
    stored.compact_units.unit = 6;
    stored.main_units.unit = 6;
    stored.desktop.opacity_pct = 42;
    stored.desktop.theme = "Nope";
    stored.language = "xx";
    ASSERT_TRUE(open(stored));
    EXPECT_EQ(selection(id_retention), 1);
    EXPECT_EQ(selection(id_compact_font_size), 6);
    EXPECT_EQ(selection(id_speed_unit), 0);
    EXPECT_EQ(selection(id_language), 0);
    EXPECT_EQ(text_of(item(id_desktop_opacity_value)), L"40%");

    press(k_ok_button_id);
    ASSERT_EQ(applied_.size(), 1u);
    EXPECT_EQ(applied_[0], stored);
    EXPECT_EQ(dialog_.window(), nullptr);
}

TEST_F(SettingsDialogTest, ResetAsksAndTakesEffectOnlyWithOk) {
    Settings stored;
    stored.language = "de";
    stored.compact.layout = 3;
    stored.custom_colors["bg"] = "#112233";
    ASSERT_TRUE(open(stored));

    answer_next_box(IDNO);
    press(k_reset_button_id);
    ASSERT_TRUE(g_answered);
    EXPECT_EQ(selection(id_compact_layout), 3);

    answer_next_box(IDYES);
    press(k_reset_button_id);
    ASSERT_TRUE(g_answered);
    EXPECT_EQ(selection(id_compact_layout), 0);
    EXPECT_EQ(selection(id_language), 0);
    EXPECT_FALSE(apply_enabled()); // reset alone is not a change to apply
    EXPECT_TRUE(applied_.empty());

    press(k_ok_button_id);
    ASSERT_EQ(applied_.size(), 1u);
    EXPECT_EQ(applied_[0], default_settings());
}

TEST_F(SettingsDialogTest, SecondOpenActivatesTheWindowAndKeepsItsEdits) {
    ASSERT_TRUE(open(Settings{}));
    const HWND first = dialog_.window();
    click_tab(4);
    press(id_dashboard_on_top);

    Settings other;
    other.main_window.close_to_tray = false;
    ASSERT_TRUE(open(other));
    EXPECT_EQ(dialog_.window(), first);
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_EQ(SendMessageW(item(id_dashboard_on_top), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(item(id_close_to_tray), BM_GETCHECK, 0, 0), BST_CHECKED);
    int windows = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, k_settings_class, nullptr)) != nullptr;) {
        ++windows;
    }
    EXPECT_EQ(windows, 1);
}

TEST_F(SettingsDialogTest, DpiChangeRebuildsWithoutLosingEdits) {
    ASSERT_TRUE(open(Settings{}, true));
    const HWND window = dialog_.window();
    EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);
    click_tab(1);
    key(id_precision, VK_DOWN); // 1 -> 2 decimals, not applied
    ASSERT_TRUE(apply_enabled());

    RECT bigger{100, 50, 100 + 900, 50 + 760};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&bigger));
    EXPECT_EQ(SendMessageW(item(k_tab_control_id), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(IsWindowVisible(item(id_precision)));
    EXPECT_FALSE(IsWindowVisible(item(id_language)));
    EXPECT_EQ(selection(id_precision), 2);
    EXPECT_TRUE(apply_enabled());
    RECT tab{};
    GetWindowRect(item(k_tab_control_id), &tab);
    EXPECT_EQ(tab.right - tab.left, 822); // 548 DIP at 144 DPI

    press(k_ok_button_id);
    ASSERT_EQ(applied_.size(), 1u);
    EXPECT_EQ(applied_[0].main_units.precision, 2);
    EXPECT_EQ(applied_[0].compact_units.precision, 2);
}

// The keys the application's message loop hands to the window: Enter is OK, Escape is Cancel.
TEST_F(SettingsDialogTest, EnterPressesOkAndEscapeCancels) {
    const auto pump_dialog_keys = [this] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!dialog_.handle_dialog_message(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    };
    ASSERT_TRUE(open(Settings{}));
    SetFocus(item(k_tab_control_id));
    PostMessageW(item(k_tab_control_id), WM_KEYDOWN, VK_ESCAPE, 0);
    pump_dialog_keys();
    EXPECT_EQ(dialog_.window(), nullptr);
    EXPECT_TRUE(applied_.empty());

    ASSERT_TRUE(open(Settings{}));
    click_tab(4);
    press(id_start_minimized);
    SetFocus(item(id_start_minimized));
    PostMessageW(item(id_start_minimized), WM_KEYDOWN, VK_RETURN, 0);
    pump_dialog_keys();
    EXPECT_EQ(dialog_.window(), nullptr);
    ASSERT_EQ(applied_.size(), 1u);
    EXPECT_TRUE(applied_[0].main_window.start_minimized);
}

// The known networks need the history kept, say when there are none, and a check for the plan needs a
// plan of chosen networks; Cancel hands none of their edits back.
TEST_F(SettingsDialogTest, KnownNetworksFollowTheHistoryAndThePlansChoice) {
    ASSERT_TRUE(open(Settings{}));
    click_tab(5);
    EXPECT_FALSE(IsWindowVisible(item(id_networks)));
    EXPECT_TRUE(IsWindowVisible(item(id_networks_none)));
    EXPECT_EQ(text_of(item(id_networks_none)), L"No network has been seen yet.");
    EXPECT_EQ(text_of(GetWindow(item(id_networks), GW_HWNDPREV)), L"Known networks"); // its screen-reader name
    EXPECT_FALSE(IsWindowEnabled(item(id_networks_none)));
    press(id_persist_history);
    EXPECT_TRUE(IsWindowEnabled(item(id_networks_none)));
    EXPECT_FALSE(IsWindowEnabled(item(id_network_name))); // nothing to name
    dialog_.close();

    Settings kept;
    kept.history_mode = 1;
    live_ = kept;
    ASSERT_TRUE(dialog_.open(
        GetModuleHandleW(nullptr), nullptr, kept, [this](const char* key) { return english_.wide_text(key); },
        false, [this](const SettingsEdit& edit) { applied_.push_back(apply_edit(edit, live_)); },
        {{"gw:a", "", "Network 1", false, std::nullopt}}));
    click_tab(5);
    EXPECT_TRUE(IsWindowVisible(item(id_networks)));
    EXPECT_FALSE(IsWindowVisible(item(id_networks_none)));
    EXPECT_EQ(text_of(item(id_network_name)), L"Network 1");
    EXPECT_TRUE(IsWindowEnabled(item(id_network_forget)));
    EXPECT_FALSE(IsWindowEnabled(item(id_network_counted)));
    key(id_plan_counts, VK_DOWN);
    key(id_plan_counts, VK_DOWN); // chosen networks
    EXPECT_TRUE(IsWindowEnabled(item(id_network_counted)));
    press(id_network_counted);
    EXPECT_TRUE(apply_enabled());
    press(id_persist_history);
    EXPECT_FALSE(IsWindowEnabled(item(id_networks)));
    EXPECT_FALSE(IsWindowEnabled(item(id_network_counted)));
    press(k_cancel_button_id);
    EXPECT_TRUE(applied_.empty());
}

// Not a check: leaves each page on screen for a picture. Run with --gtest_also_run_disabled_tests and
// TIDE_SHOT_LANGUAGE (en, ar, ...); the page number is written to TIDE_SHOT_DIR/ready, and the next page
// follows when the file "next" appears there.
TEST_F(SettingsDialogTest, DISABLED_PagesForPictures) {
    const char* language = std::getenv("TIDE_SHOT_LANGUAGE");
    const char* folder = std::getenv("TIDE_SHOT_DIR");
    ASSERT_NE(folder, nullptr);
    Localizer localizer;
    localizer.initialise(language != nullptr ? language : "en", errors_);
    Settings settings;
    settings.compact.native_style = false;
    settings.history_mode = 1;
    settings.plan_counts = 2;
    settings.plan_networks = {"nlm:{B}"};
    if (const char* source = std::getenv("TIDE_SHOT_SOURCE")) {
        settings.monitoring.source = std::atoi(source); // the longest note is the router's
    }
    ASSERT_TRUE(dialog_.open(GetModuleHandleW(nullptr), nullptr, settings,
                             [&](const char* key) { return localizer.wide_text(key); }, localizer.rtl,
                             nullptr,
                             {{"gw:a", "", "Network 1", false, std::nullopt},
                              {"nlm:{B}", "Phone", "AndroidAP", true, std::nullopt}}));
    const std::string ready = std::string(folder) + "/ready";
    const std::string next = std::string(folder) + "/next";
    for (int page = 0; page < k_page_count; ++page) {
        click_tab(page);
        pump_until([] { return false; }, 300ms);
        if (FILE* f = std::fopen(ready.c_str(), "w")) {
            std::fprintf(f, "%d\n", page);
            std::fclose(f);
        }
        ASSERT_TRUE(pump_until([&] { return std::remove(next.c_str()) == 0; }, 60s));
    }
}

} // namespace
} // namespace tide::ui
