// Tidemeter.exe with a monthly data limit, in the private network lab (scripts/netlab.sh): real traffic
// through the measured interface brings one notification from the tray icon, turns the read-out's
// figures to the warning colour, and a restart does not warn again.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "base/messages_win.h"
#include "compact/compact_window_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/usage_win.h"
#include "presentation/theme.h"
#include "tests/win/lab_win.h"
#include "tests/win/palette_win.h"
#include "tests/win/program_win.h"
#include "tests/win/screen_pixels_win.h"
#include "tests/win/shell_double_win.h"
#include "tests/win/wait_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;

// A 10 MB limit, the desktop read-out alone and opaque so that its colours read back exactly, and a
// long interval so that the whole download lands in one sample.
constexpr char k_settings[] = R"({"defaults_rev": 3, "language": "en", "history_mode": 1,
    "monthly_warning_mb": 10, "monitoring": {"interval_ms": 10000}, "compact": {"enabled": false},
    "desktop": {"enabled": true, "opacity_pct": 100, "layout": 1, "theme": "Midnight",
                "floating_rect": {"l": 400, "t": 300, "r": 560, "b": 330}}})";

constexpr wchar_t k_monthly_notice[] = L"of your 10 MB monthly limit";

BOOL CALLBACK find_visible_readout(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
    wchar_t name[64] = {};
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found->first && IsWindowVisible(window) && GetClassNameW(window, name, 64) > 0 &&
        lstrcmpW(name, ui::k_compact_class) == 0) {
        found->second = window;
        return FALSE;
    }
    return TRUE;
}

// Pixels of the program's visible read-out close to the colour; -1 without a visible read-out.
int readout_pixels_near(DWORD process, Rgba expected) {
    std::pair<DWORD, HWND> found{process, nullptr};
    EnumWindows(find_visible_readout, reinterpret_cast<LPARAM>(&found));
    RECT r{};
    if (found.second == nullptr || !GetWindowRect(found.second, &r)) {
        return -1;
    }
    return test::count_near(r, expected);
}

bool exit_program(const test::Program& program) {
    const HWND controller = test::window_of(program.id, k_controller_class);
    PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
    return test::wait_for([&] { return test::has_ended(program); }, 60s);
}

TEST(LabDataPlanProgram, WarnsOnceWhenTrafficUsesUpTheMonthlyLimit) {
    test::ShellDouble shell;
    ASSERT_TRUE(shell.ready());
    const Theme theme = test::palette("Midnight");

    auto data = std::make_unique<test::TempFolder>();
    UsageStore seeded;
    seeded.add(local_day_number(), 7'900'000, 0);
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", k_settings));
    ASSERT_TRUE(write_file_atomically(*data / L"usage.json", usage_file_text(seeded)));

    test::Program program = test::start_program(L"--minimized", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};

    // Just after a measured sample: the download has the whole interval before the next one.
    ASSERT_TRUE(test::wait_for([&] { return shell.tip_shows(L"Download "); }, 90s));
    EXPECT_TRUE(shell.tip_shows(L" MB of 10 MB"));
    EXPECT_GT(readout_pixels_near(program.id, theme.download), 0);
    EXPECT_EQ(readout_pixels_near(program.id, theme.warning), 0);

    ASSERT_GT(test::lab_fetch(), 2'100'000u) << "no file from the lab's server";
    ASSERT_TRUE(test::wait_for([&] { return shell.requests_with(k_monthly_notice) > 0; }, 60s));
    EXPECT_TRUE(test::wait_for([&] { return readout_pixels_near(program.id, theme.warning) > 0; }, 30s));
    EXPECT_EQ(readout_pixels_near(program.id, theme.download), 0);
    EXPECT_EQ(shell.requests_with(L"It is used up until the period ends."), 1);
    ASSERT_TRUE(exit_program(program));
    EXPECT_EQ(shell.requests_with(k_monthly_notice), 1);

    // The same data folder again: the given warning is remembered.
    test::Program again = test::start_program(L"--minimized", std::move(program.data));
    ASSERT_TRUE(again.process);
    test::ProgramGuard again_guard{again};
    ASSERT_TRUE(test::wait_for(
        [&] { return shell.requests(NIM_ADD) == 2 && shell.tip_shows(L"This month: "); }, 60s));
    EXPECT_EQ(shell.requests_with(k_monthly_notice), 1);
    EXPECT_TRUE(exit_program(again));
}

} // namespace
} // namespace tide
