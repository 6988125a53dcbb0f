// Tidemeter.exe in the private network lab (scripts/netlab.sh) while its only link is deleted and
// created again (a new interface whose counters start at 0) and taken down and up: usage.json counts
// every byte that crossed the link once, counting this PC's interface or every adapter.
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

} // namespace
} // namespace tide
