// Tidemeter.exe in the router lab (scripts/netlab.sh --router): a real UPnP gateway (miniupnpd) between
// the internet and a home with this PC and one more host. With the router as the source the whole
// home's internet traffic is counted and the home's own is not; a router that stops and starts again
// loses nothing and invents nothing; with this PC's interface nothing is sent to the router at all. Last,
// a stand-in router (scripts/lab_router.py) that glitches, goes silent, trickles and names impostors
// changes the usage only by what its counter moved, and Exit does not wait for it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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

std::string settings_for(int source) {
    return R"({"defaults_rev": 3, "language": "en", "history_mode": 1, "monitoring": {"interval_ms": 500, "source": )" +
           std::to_string(source) + R"(}, "compact": {"enabled": false}, "desktop": {"enabled": false}})";
}

// One program run with the given source, with its tooltip watched.
class RouterLab {
public:
    explicit RouterLab(int source) {
        auto data = std::make_unique<test::TempFolder>();
        ready_ = shell_.ready() && write_file_atomically(*data / L"settings.json", settings_for(source));
        program_ = test::start_program(L"--minimized", std::move(data));
        ready_ = ready_ && program_.process;
    }
    ~RouterLab() { test::ProgramGuard guard{program_}; }

    bool ready() const { return ready_; }
    bool tip_becomes(const wchar_t* text) {
        return test::wait_for([&] { return shell_.tip_shows(text); }, 90s);
    }
    // The PC's own download of the lab's file, with a sample read after it (the rate back at zero).
    uint64_t fetch() {
        uint64_t received = 0;
        const size_t mark = shell_.mark();
        test::wait_for([&] { return (received = test::lab_fetch()) > 0; }, 30s);
        return test::wait_for([&] { return shell_.fell_to(mark, L"Download ", L"Download 0.0 "); }, 60s)
                   ? received
                   : 0;
    }
    // Ends the program and reads the day's download from its usage.json.
    uint64_t counted_download() {
        PostMessageW(test::window_of(program_.id, k_controller_class), k_msg_dashboard_button, k_button_exit,
                     0);
        if (!test::wait_for([&] { return test::has_ended(program_); }, 60s)) {
            return 0;
        }
        const auto text = read_file_bytes(*program_.data / L"usage.json");
        const auto saved = text ? usage_from_file_text(*text) : std::nullopt;
        return saved ? saved->sum(local_day_number() - 1, local_day_number() + 1).download : 0;
    }

private:
    test::ShellDouble shell_;
    test::Program program_;
    bool ready_ = false;
};

uint64_t lab_file_bytes() {
    return std::strtoull(test::lab_variable("TIDE_LAB_BYTES").c_str(), nullptr, 10);
}

// Each TCP segment of at most 1448 bytes adds at most 66 on the wire (Ethernet 14, IP 20, TCP with time
// stamps 32); a few kilobytes more for handshakes, HTTP headers and ARP.
void expect_within_overhead(uint64_t counted, uint64_t fetched) {
    EXPECT_GE(counted, fetched);
    EXPECT_LE(counted, fetched + fetched * 66 / 1448 + 16'384);
}

TEST(LabRouter, TheRouterCountsTheWholeHomesInternetAndNotTheHomeItself) {
    RouterLab lab(2);
    ASSERT_TRUE(lab.ready());
    ASSERT_TRUE(lab.tip_becomes(L"Download "));
    ASSERT_EQ(test::lab_run("other-fetch"), "0");
    // The router never sees the home's own traffic, so its rate cannot show this one: the PC's own
    // download after it brings the sample that follows both.
    uint64_t home = 0;
    test::wait_for([&] { return (home = test::lab_fetch("TIDE_LAB_HOME_SERVER")) > 0; }, 30s);
    ASSERT_GT(home, 0u) << "no file from the other home host";
    const uint64_t own = lab.fetch();
    ASSERT_GT(own, 0u);
    expect_within_overhead(lab.counted_download(), lab_file_bytes() + own);
}

TEST(LabRouter, ThisPcsInterfaceCountsItsOwnAndSendsNothingToTheRouter) {
    ASSERT_EQ(test::lab_run("upnp-reset"), "0");
    RouterLab lab(0);
    ASSERT_TRUE(lab.ready());
    ASSERT_TRUE(lab.tip_becomes(L"Download "));
    ASSERT_EQ(test::lab_run("other-fetch"), "0");
    const uint64_t own = lab.fetch();
    ASSERT_GT(own, 0u);
    expect_within_overhead(lab.counted_download(), own);
    EXPECT_EQ(test::lab_run("upnp-count"), "0");
}

TEST(LabRouter, ARouterThatStopsAndStartsAgainLosesNothingAndInventsNothing) {
    RouterLab lab(2);
    ASSERT_TRUE(lab.ready());
    ASSERT_TRUE(lab.tip_becomes(L"Download "));
    ASSERT_EQ(test::lab_run("router-stop"), "0");
    const bool silent = lab.tip_becomes(L"Router not answering");
    // miniupnpd's counters are the WAN interface's: they go on while it is stopped, and what crossed
    // the router meanwhile is counted once it answers again.
    EXPECT_EQ(test::lab_run("other-fetch"), "0");
    ASSERT_EQ(test::lab_run("router-start"), "0");
    ASSERT_TRUE(silent);
    ASSERT_TRUE(lab.tip_becomes(L"Download "));
    const uint64_t own = lab.fetch();
    ASSERT_GT(own, 0u);
    expect_within_overhead(lab.counted_download(), lab_file_bytes() + own);
}

// The stand-in router in miniupnpd's place for one test; miniupnpd again afterwards, also on failure.
struct StandInRouter {
    bool started = test::lab_run("standin-start") == "0";
    ~StandInRouter() {
        test::lab_run("standin-stop");
        test::lab_run("router-start");
    }
};

TEST(LabRouter, AHostileRouterChangesTheUsageOnlyByWhatItsCounterMoved) {
    StandInRouter router;
    ASSERT_TRUE(router.started);
    RouterLab lab(2);
    ASSERT_TRUE(lab.ready());
    ASSERT_TRUE(lab.tip_becomes(L"Download "));

    // One answer of 0 between two true ones: nothing counted.
    ASSERT_EQ(test::lab_run("standin-mode glitch"), "0");
    ASSERT_TRUE(test::wait_for([] { return test::lab_logged("glitch-served") > 0; }, 60s));

    // 8 s without answers while the counter goes on: what it moved is counted when answers come back.
    const auto silence = std::chrono::steady_clock::now();
    ASSERT_EQ(test::lab_run("standin-mode silent"), "0");
    ASSERT_TRUE(lab.tip_becomes(L"Router not answering"));
    ASSERT_EQ(test::lab_run("other-fetch"), "0");
    test::wait_for([&] { return std::chrono::steady_clock::now() - silence >= 8s; }, 30s);
    ASSERT_EQ(test::lab_run("standin-mode normal"), "0");
    ASSERT_TRUE(lab.tip_becomes(L"Download "));

    // An answer that trickles a byte every 1.9 s: the read-outs say so, and Exit does not wait for it.
    ASSERT_EQ(test::lab_run("standin-mode trickle"), "0");
    ASSERT_TRUE(lab.tip_becomes(L"Router not answering"));
    const auto exit = std::chrono::steady_clock::now();
    const uint64_t counted = lab.counted_download();
    EXPECT_LT(std::chrono::steady_clock::now() - exit, 3s);
    expect_within_overhead(counted, lab_file_bytes());
    // Its SSDP replies named this PC and the other home host before itself: neither was contacted.
    EXPECT_EQ(test::lab_run("impostor-count"), "0");
}

} // namespace
} // namespace tide
