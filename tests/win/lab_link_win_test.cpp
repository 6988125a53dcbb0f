// Tidemeter.exe in the private network lab (scripts/netlab.sh) while its only link is deleted and
// created again (a new interface whose counters start at 0) and taken down and up: usage.json counts
// every byte that crossed the link once, counting this PC's interface or every adapter; and every
// adapter leaves out a second link without a gateway.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "base/messages_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/usage.h"
#include "persistence/usage_win.h"
#include "tests/win/lab_win.h"
#include "tests/win/program_win.h"
#include "tests/win/shell_double_win.h"
#include "tests/win/wait_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;

std::string settings_counting(int source) {
    return R"({"defaults_rev": 3, "language": "en", "history_mode": 1, "monitoring": {"interval_ms": 500, "source": )" +
           std::to_string(source) + R"(}, "compact": {"enabled": false}, "desktop": {"enabled": false}})";
}

class LabLink : public testing::TestWithParam<int> {};

TEST_P(LabLink, ARecreatedAndABouncedLinkCountEveryByteOnce) {
    test::ShellDouble shell;
    ASSERT_TRUE(shell.ready());
    auto data = std::make_unique<test::TempFolder>();
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", settings_counting(GetParam())));
    test::Program program = test::start_program(L"--minimized", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    const auto tip_becomes = [&](const wchar_t* text) {
        return test::wait_for([&] { return shell.tip_shows(text); }, 60s);
    };
    // The lab's file once the link carries it again (the route may follow the link by a moment), and
    // the download rate up and back at zero after it: a sample read once the file was in, since bytes
    // after the last sample before an exit are not counted.
    const auto fetch_and_measure = [&] {
        uint64_t received = 0;
        const size_t mark = shell.mark();
        test::wait_for([&] { return (received = test::lab_fetch()) > 0; }, 30s);
        return test::wait_for([&] { return shell.fell_to(mark, L"Download ", L"Download 0.0 "); }, 30s)
                   ? received
                   : 0;
    };
    ASSERT_TRUE(tip_becomes(L"Download "));

    uint64_t fetched = fetch_and_measure();
    ASSERT_GT(fetched, 0u) << "no file from the lab's server";
    // The program sees the link go and come back (and measures it again) before the next file.
    for (const auto& [gone, back] : {std::pair{"unlink", "link"}, std::pair{"down", "up"}}) {
        ASSERT_TRUE(test::lab_link(gone));
        ASSERT_TRUE(tip_becomes(L"No connection")) << gone;
        ASSERT_TRUE(test::lab_link(back));
        ASSERT_TRUE(tip_becomes(L"Download ")) << back;
        const uint64_t received = fetch_and_measure();
        ASSERT_GT(received, 0u) << "no file after " << back;
        fetched += received;
    }

    PostMessageW(test::window_of(program.id, k_controller_class), k_msg_dashboard_button, k_button_exit, 0);
    ASSERT_TRUE(test::wait_for([&] { return test::has_ended(program); }, 60s));
    const auto text = read_file_bytes(*program.data / L"usage.json");
    ASSERT_TRUE(text.has_value());
    const auto saved = usage_from_file_text(*text);
    ASSERT_TRUE(saved.has_value()) << *text;
    const uint64_t counted = saved->sum(local_day_number() - 1, local_day_number() + 1).download;
    // On the link each TCP segment of at most 1448 bytes adds at most 66 (Ethernet 14, IP 20, TCP with
    // time stamps 32); a few kilobytes more for the handshakes and ARP of three connections.
    EXPECT_GE(counted, fetched);
    EXPECT_LE(counted, fetched + fetched * 66 / 1448 + 16'384);
}

// The lab's link is the only adapter, so every adapter counts what the interface counts; the link
// deleted and created again is an adapter that disappears and appears with its counters at 0.
INSTANTIATE_TEST_SUITE_P(Lab, LabLink, testing::Values(0, 1), [](const testing::TestParamInfo<int>& info) {
    return std::string(info.param == 0 ? "ThisPcsInterface" : "EveryAdapter");
});

// A second link without a gateway, as ICS, a hotspot or a host-only network has, carries its own
// traffic: every adapter counts only the link with the default route.
TEST(LabLink, EveryAdapterLeavesOutALinkWithoutAGateway) {
    test::ShellDouble shell;
    ASSERT_TRUE(shell.ready());
    auto data = std::make_unique<test::TempFolder>();
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", settings_counting(1)));
    test::Program program = test::start_program(L"--minimized", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    ASSERT_TRUE(test::wait_for([&] { return shell.tip_shows(L"Download "); }, 60s));
    const auto fetch_and_measure = [&] {
        const size_t mark = shell.mark();
        const uint64_t received = test::lab_fetch();
        return test::wait_for([&] { return shell.fell_to(mark, L"Download ", L"Download 0.0 "); }, 30s)
                   ? received
                   : 0;
    };

    // Until the side link is up its server's address is reached over the first link.
    ASSERT_EQ(test::lab_run("side-link"), "0");
    struct SideLink {
        ~SideLink() { test::lab_run("side-unlink"); } // the next test finds one link, pass or fail
    } side_link;
    // Samples go by with the side link in the table before it carries the files that must not count.
    uint64_t fetched = fetch_and_measure();
    ASSERT_GT(fetched, 0u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_GT(test::lab_fetch("TIDE_LAB_SIDE_SERVER"), 0u);
    }
    const uint64_t received = fetch_and_measure();
    ASSERT_GT(received, 0u);
    fetched += received;

    PostMessageW(test::window_of(program.id, k_controller_class), k_msg_dashboard_button, k_button_exit, 0);
    ASSERT_TRUE(test::wait_for([&] { return test::has_ended(program); }, 60s));
    const auto text = read_file_bytes(*program.data / L"usage.json");
    ASSERT_TRUE(text.has_value());
    const auto saved = usage_from_file_text(*text);
    ASSERT_TRUE(saved.has_value()) << *text;
    const uint64_t counted = saved->sum(local_day_number() - 1, local_day_number() + 1).download;
    // Three side files would be 12 MB more; the margin is the headers of the two counted ones.
    EXPECT_GE(counted, fetched);
    EXPECT_LE(counted, fetched + fetched * 66 / 1448 + 16'384);
}

// Samples 10 s apart: a file fetched right after one has crossed before the next. The program ended
// at once, by its Exit (as the installer ends it too) or by the end of the Windows session, still
// counts it.
TEST(LabLink, AFileFetchedJustBeforeTheEndIsCounted) {
    constexpr char k_slow_settings[] = R"({"defaults_rev": 3, "language": "en", "history_mode": 1,
        "monitoring": {"interval_ms": 10000}, "compact": {"enabled": false}, "desktop": {"enabled": false}})";
    const auto end_session = [](HWND controller) {
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(controller, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_NORMAL,
                                   30'000, &answer) != 0 &&
               SendMessageTimeoutW(controller, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 30'000,
                                   &answer) != 0; // answered once usage.json is on disk
    };
    for (const bool by_exit : {true, false}) {
        SCOPED_TRACE(by_exit ? "Exit" : "end of the session");
        test::ShellDouble shell;
        ASSERT_TRUE(shell.ready());
        auto data = std::make_unique<test::TempFolder>();
        ASSERT_TRUE(write_file_atomically(*data / L"settings.json", k_slow_settings));
        test::Program program = test::start_program(L"--minimized", std::move(data));
        ASSERT_TRUE(program.process);
        test::ProgramGuard guard{program};
        // The second sample, the first with rates: the next one is ten seconds away.
        ASSERT_TRUE(test::wait_for([&] { return shell.tip_shows(L"Download "); }, 60s));
        const uint64_t fetched = test::lab_fetch();
        ASSERT_GT(fetched, 0u) << "no file from the lab's server";

        const HWND controller = test::window_of(program.id, k_controller_class);
        if (by_exit) {
            PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
            ASSERT_TRUE(test::wait_for([&] { return test::has_ended(program); }, 60s));
        } else {
            ASSERT_TRUE(end_session(controller));
        }
        const auto text = read_file_bytes(*program.data / L"usage.json");
        ASSERT_TRUE(text.has_value());
        const auto saved = usage_from_file_text(*text);
        ASSERT_TRUE(saved.has_value()) << *text;
        EXPECT_GE(saved->sum(local_day_number() - 1, local_day_number() + 1).download, fetched);
    }
}

} // namespace
} // namespace tide
