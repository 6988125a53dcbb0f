// Tidemeter.exe moving between two networks in the private network lab (scripts/netlab.sh
// --two-gateways): "home" and "hotspot" are told apart by their gateways' MAC addresses, each keeps its
// own bytes in usage.json, and a data plan counts only the networks it bills.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "base/messages_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/usage_win.h"
#include "tests/win/lab_win.h"
#include "tests/win/program_win.h"
#include "tests/win/shell_double_win.h"
#include "tests/win/wait_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;

constexpr char k_home[] = "gw:02-00-00-00-77-01";
constexpr char k_hotspot[] = "gw:02-00-00-00-78-01";

std::string settings_counting(const std::string& network, int limit_mb) {
    return R"({"defaults_rev": 3, "language": "en", "history_mode": 1, "monthly_warning_mb": )" +
           std::to_string(limit_mb) + R"(, "plan_counts": 2, "plan_networks": [")" + network +
           R"("], "compact": {"enabled": false}})";
}

bool exit_program(const test::Program& program) {
    const HWND controller = test::window_of(program.id, k_controller_class);
    PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
    return test::wait_for([&] { return test::has_ended(program); }, 60s);
}

// Fetches the lab's file `times` times over the default route; the bytes received.
uint64_t fetch(int times) {
    uint64_t bytes = 0;
    for (int i = 0; i < times; ++i) {
        const uint64_t one = test::lab_fetch("TIDE_LAB_ROUTED_SERVER");
        if (one == 0) {
            return 0;
        }
        bytes += one;
    }
    return bytes;
}

// The bytes of TCP/IP headers and acknowledgements beside the payload: well under a tenth.
void expect_about(uint64_t counted, uint64_t fetched, const char* what) {
    EXPECT_GE(counted, fetched) << what;
    EXPECT_LE(counted, fetched + fetched / 10) << what;
}

TEST(LabNetworks, EachNetworkKeepsItsBytesAndThePlanCountsOnlyItsOwn) {
    if (test::lab_variable("TIDE_LAB_ROUTED_SERVER").empty()) {
        GTEST_SKIP() << "needs scripts/netlab.sh --two-gateways";
    }
    test::ShellDouble shell;
    ASSERT_TRUE(shell.ready());
    auto data = std::make_unique<test::TempFolder>();
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", settings_counting(k_hotspot, 5)));
    test::Program program = test::start_program(L"--minimized", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};

    // Home: its gateway is known from the lab's own traffic before the program starts.
    ASSERT_TRUE(test::wait_for([&] { return shell.tip_shows(L"Download "); }, 90s));
    ASSERT_TRUE(test::wait_for([&] { return shell.tip_shows(L"Network 1"); }, 60s));
    const uint64_t at_home = fetch(5);
    ASSERT_GT(at_home, 10'000'000u) << "no file from the lab's server";
    // Counted in a sample of its own: a sample that finds the route moved counts nothing of its interval.
    const int changes = shell.requests(NIM_MODIFY);
    ASSERT_TRUE(test::wait_for([&] { return shell.requests(NIM_MODIFY) >= changes + 2; }, 60s));
    EXPECT_EQ(shell.requests_with(L"monthly limit"), 0); // 10 MB at home: not the plan's network

    // The hotspot: the change is seen, then its bytes go to it.
    ASSERT_TRUE(test::lab_link("hotspot"));
    ASSERT_TRUE(test::wait_for([&] { return !shell.tip_shows(L"Network 1"); }, 60s));
    const uint64_t on_hotspot = fetch(3);
    ASSERT_GT(on_hotspot, 6'000'000u);
    ASSERT_TRUE(test::wait_for([&] { return shell.tip_shows(L"Network 2"); }, 60s));
    ASSERT_TRUE(test::wait_for(
        [&] { return shell.requests_with(L"It is used up until the period ends.") > 0; }, 60s));
    EXPECT_EQ(shell.requests_with(L"monthly limit"), 1); // 80 % and 90 % passed within the one sample
    ASSERT_TRUE(exit_program(program));

    const std::optional<std::string> text = read_file_bytes(*program.data / L"usage.json");
    ASSERT_TRUE(text);
    const std::optional<UsageStore> saved = usage_from_file_text(*text);
    ASSERT_TRUE(saved);
    const int64_t today = local_day_number();
    const DayTotals home = saved->network_get(today, k_home);
    const DayTotals hotspot = saved->network_get(today, k_hotspot);
    SCOPED_TRACE(*text);
    expect_about(home.download, at_home, "home");
    expect_about(hotspot.download, on_hotspot, "hotspot");
    const DayTotals total = saved->get(today);
    const DayTotals other = saved->network_get(today, {});
    EXPECT_EQ(total.download, home.download + hotspot.download + other.download +
                                  saved->network_get(today, k_no_network_id).download);
    EXPECT_LT(other.download, 100'000u); // nothing of the fetches is left without its network
    ASSERT_TRUE(saved->networks().find(k_home));
    EXPECT_EQ(saved->networks().find(k_home)->number, 1);

    // The same days under a plan of 20 MB counting only home: 10 MB of it is half, no warning, where
    // every network (16 MB) would be past 80 %.
    ASSERT_TRUE(write_file_atomically(*program.data / L"settings.json", settings_counting(k_home, 20)));
    test::Program again = test::start_program(L"--minimized", std::move(program.data));
    ASSERT_TRUE(again.process);
    test::ProgramGuard again_guard{again};
    // The first run's tips said "of 5 MB": this one is the new run's.
    ASSERT_TRUE(test::wait_for([&] { return shell.tip_shows(L" MB of 20 MB"); }, 60s));
    EXPECT_FALSE(test::wait_for([&] { return shell.requests_with(L"monthly limit") > 1; }, 5s));
    EXPECT_TRUE(exit_program(again));
}

} // namespace
} // namespace tide
