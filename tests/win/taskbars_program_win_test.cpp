// Tidemeter.exe on a desk of two monitors with a taskbar on each (stand-ins of the test's own): with
// "Show on every taskbar" each taskbar has its read-out and its figures on the screen, a secondary
// taskbar that goes takes its read-out along and one that comes back gets it back, a read-out moved on
// the secondary taskbar keeps that place after a restart; without the setting there is one read-out.
// Runs only where the system reports two monitors (scripts/two_monitors.sh makes such a desk).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/messages_win.h"
#include "compact/compact_window_win.h"
#include "compact/displays_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/json.h"
#include "presentation/theme.h"
#include "tests/win/program_win.h"
#include "tests/win/screen_pixels_win.h"
#include "tests/win/test_taskbar_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;
using test::pump_until;
using test::TestTaskbar;

// The figures as text only, laid over the taskbar (Wine never draws a layered child window), in full
// opacity so that they keep the theme's colours on the screen, in a box of fixed width so that a place is
// the same whatever the figures are.
constexpr char k_seed[] = R"({"schema_version": 1, "language": "en", "compact": {"every_taskbar": %s,
  "embed_in_taskbar": false, "native_style": false, "layout": 4, "opacity_pct": 100, "theme": "Midnight",
  "min_w": 260, "max_w": 260}})";

class TwoMonitors : public testing::Test {
protected:
    void SetUp() override {
        displays_ = enumerate_displays();
        if (displays_.size() < 2) {
            // On the desk the script makes, one monitor means the desk is broken, not that the test may go.
            ASSERT_EQ(GetEnvironmentVariableW(L"TIDE_TWO_MONITORS", nullptr, 0), 0u)
                << "Wine reports one monitor";
            GTEST_SKIP() << "needs two monitors (scripts/two_monitors.sh)";
        }
        main_ =
            *std::find_if(displays_.begin(), displays_.end(), [](const DisplayInfo& d) { return d.primary; });
        side_ = *std::find_if(displays_.begin(), displays_.end(),
                              [](const DisplayInfo& d) { return !d.primary; });
        main_bar_ = std::make_unique<TestTaskbar>(TestTaskbar::Kind::classic, bar_rect(main_));
        side_bar_ = std::make_unique<TestTaskbar>(TestTaskbar::Kind::secondary, bar_rect(side_));
        ASSERT_NE(main_bar_->host(), nullptr);
        ASSERT_NE(side_bar_->host(), nullptr);
    }

    // A Windows 10 taskbar, 40 pixels at the bottom of the monitor.
    static RECT bar_rect(const DisplayInfo& d) {
        return {d.monitor.left, d.monitor.bottom - 40, d.monitor.right, d.monitor.bottom};
    }

    static std::unique_ptr<test::TempFolder> seeded(bool every_taskbar) {
        auto data = std::make_unique<test::TempFolder>();
        char text[512] = {};
        std::snprintf(text, sizeof(text), k_seed, every_taskbar ? "true" : "false");
        EXPECT_TRUE(write_file_atomically(*data / L"settings.json", text));
        return data;
    }

    // The program's visible read-outs (top-level: laid over the taskbars), or those whose centre lies on
    // a monitor.
    static std::vector<HWND> readouts(DWORD process, const DisplayInfo* on = nullptr) {
        std::vector<HWND> found;
        for (HWND w = FindWindowExW(nullptr, nullptr, ui::k_compact_class, nullptr); w != nullptr;
             w = FindWindowExW(nullptr, w, ui::k_compact_class, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            RECT r{};
            GetWindowRect(w, &r);
            const POINT c{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            const bool placed = on == nullptr || (on->monitor.left <= c.x && c.x < on->monitor.right &&
                                                  on->monitor.top <= c.y && c.y < on->monitor.bottom);
            if (owner == process && IsWindowVisible(w) && placed) {
                found.push_back(w);
            }
        }
        return found;
    }
    static std::vector<HWND> readouts_on(DWORD process, const DisplayInfo& d) {
        return readouts(process, &d);
    }

    // One read-out on each taskbar, inside its rectangle.
    bool one_on_each_taskbar(DWORD process) const {
        const auto inside = [](HWND w, HWND bar) {
            RECT r{};
            RECT b{};
            GetWindowRect(w, &r);
            GetWindowRect(bar, &b);
            return r.left >= b.left && r.right <= b.right && r.top >= b.top && r.bottom <= b.bottom;
        };
        const std::vector<HWND> main = readouts_on(process, main_);
        const std::vector<HWND> side = readouts_on(process, side_);
        return readouts(process).size() == 2 && main.size() == 1 && side.size() == 1 &&
               inside(main[0], main_bar_->host()) && inside(side[0], side_bar_->host());
    }

    static void exit_program(test::Program& program) {
        const HWND controller = test::window_of(program.id, k_controller_class);
        PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
        EXPECT_TRUE(pump_until([&] { return test::has_ended(program); }, 60s));
    }

    std::vector<DisplayInfo> displays_;
    DisplayInfo main_;
    DisplayInfo side_;
    std::unique_ptr<TestTaskbar> main_bar_;
    std::unique_ptr<TestTaskbar> side_bar_;
    POINT moved_{};
};

TEST_F(TwoMonitors, EveryTaskbarHasItsReadoutAndFollowsTheTaskbars) {
    test::Program program = test::start_program(L"--minimized", seeded(true));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    ASSERT_TRUE(pump_until([&] { return one_on_each_taskbar(program.id); }, 60s));

    // Both show the figures: the theme's download and upload colours are on the screen in each box.
    const Theme theme = resolve_theme("Midnight", {}, {});
    for (const DisplayInfo& d : {main_, side_}) {
        HWND readout = readouts_on(program.id, d).front();
        EXPECT_TRUE(pump_until(
            [&] {
                RECT r{};
                GetWindowRect(readout, &r);
                return test::count_near(r, theme.download) >= 4 && test::count_near(r, theme.upload) >= 4;
            },
            20s))
            << d.id;
    }

    // Auto-hidden, the secondary taskbar stays shown but slides off its edge, 2 pixels left on its monitor:
    // its read-out stays, the same window, through the program's looks at the taskbars, and as it slides
    // back.
    const HWND side_readout = readouts_on(program.id, side_).front();
    const RECT bar = bar_rect(side_);
    for (const int top : {static_cast<int>(bar.bottom) - 2, static_cast<int>(bar.top)}) {
        SetWindowPos(side_bar_->host(), nullptr, bar.left, top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pump_until([] { return false; }, 2500ms);
        EXPECT_TRUE(IsWindowVisible(side_readout)) << top;
        EXPECT_EQ(readouts_on(program.id, side_), std::vector<HWND>{side_readout}) << top;
    }

    // The secondary taskbar goes ("Show taskbar on all displays" turned off): so does its read-out.
    side_bar_.reset();
    EXPECT_TRUE(pump_until([&] { return readouts_on(program.id, side_).empty(); }, 5s));
    EXPECT_EQ(readouts_on(program.id, main_).size(), 1u);
    // and comes back.
    side_bar_ = std::make_unique<TestTaskbar>(TestTaskbar::Kind::secondary, bar_rect(side_));
    EXPECT_TRUE(pump_until([&] { return one_on_each_taskbar(program.id); }, 5s));
    exit_program(program);
}

TEST_F(TwoMonitors, SecondaryPlaceIsKeptForItsMonitor) {
    test::Program program = test::start_program(L"--minimized", seeded(true));
    ASSERT_TRUE(program.process);
    {
        test::ProgramGuard guard{program};
        ASSERT_TRUE(pump_until([&] { return one_on_each_taskbar(program.id); }, 60s));
        // A move of the secondary read-out, 150 pixels to the left, ended as the system's move loop ends one.
        const HWND side = readouts_on(program.id, side_).front();
        RECT r{};
        GetWindowRect(side, &r);
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(side, WM_ENTERSIZEMOVE, 0, 0, SMTO_NORMAL, 30'000, &answer);
        SetWindowPos(side, nullptr, r.left - 150, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageTimeoutW(side, WM_EXITSIZEMOVE, 0, 0, SMTO_NORMAL, 30'000, &answer);
        moved_ = {r.left - 150, r.top};
        EXPECT_TRUE(pump_until(
            [&] {
                RECT now{};
                GetWindowRect(side, &now);
                return now.left == moved_.x;
            },
            10s));
        // Saved for that monitor; the main taskbar's place stays as it was.
        const std::wstring path = *program.data / L"settings.json";
        std::string text;
        EXPECT_TRUE(pump_until(
            [&] {
                text = read_file_bytes(path).value_or("");
                const auto json = parse_json(text);
                const JsonValue* compact = json ? find_member(*json, "compact") : nullptr;
                const JsonValue* places = find_member(compact, "monitor_offsets");
                if (places == nullptr || places->elements().size() != 1) {
                    return false;
                }
                const JsonValue& place = places->elements()[0];
                const JsonValue* monitor = find_member(place, "monitor");
                const JsonValue* x = find_member(place, "x");
                const JsonValue* main_x = find_member(compact, "offset_x");
                return monitor && monitor->as_string() == side_.id && x && x->as_number() == -150 &&
                       main_x && main_x->as_number() == 0;
            },
            15s))
            << text;
        exit_program(program);
    }

    // Started again with the same files: the secondary read-out is where it was left.
    test::Program again = test::start_program(L"--minimized", std::move(program.data));
    ASSERT_TRUE(again.process);
    test::ProgramGuard guard{again};
    EXPECT_TRUE(pump_until(
        [&] {
            if (!one_on_each_taskbar(again.id)) {
                return false;
            }
            RECT r{};
            GetWindowRect(readouts_on(again.id, side_).front(), &r);
            return r.left == moved_.x && r.top == moved_.y;
        },
        60s));
    exit_program(again);
}

// Windows 10 with "Show taskbar on all displays" off: the one taskbar dragged to the second monitor takes
// the read-out along, with the setting and without it.
TEST_F(TwoMonitors, TheReadoutFollowsTheMainTaskbarToTheSecondMonitor) {
    side_bar_.reset();
    main_bar_ = std::make_unique<TestTaskbar>(TestTaskbar::Kind::classic, bar_rect(side_));
    for (const bool every_taskbar : {true, false}) {
        test::Program program = test::start_program(L"--minimized", seeded(every_taskbar));
        ASSERT_TRUE(program.process);
        test::ProgramGuard guard{program};
        EXPECT_TRUE(pump_until(
            [&] { return readouts(program.id).size() == 1 && readouts_on(program.id, side_).size() == 1; },
            60s))
            << every_taskbar;
        exit_program(program);
    }
}

// A place an earlier version kept under the monitor's device name (\\.\DISPLAY2) is read once under
// the monitor's own path, which the file keeps from then on.
TEST_F(TwoMonitors, APlaceUnderTheOldNameMovesToTheMonitorsPath) {
    ASSERT_NE(side_.id, side_.device_name) << "Wine gives each monitor a device interface path";
    ASSERT_EQ(side_.id.rfind("\\\\?\\", 0), 0u) << side_.id;
    auto data = std::make_unique<test::TempFolder>();
    std::string escaped;
    for (const char c : side_.device_name) {
        escaped += c == '\\' ? "\\\\" : std::string(1, c);
    }
    const std::string text = R"({"schema_version": 1, "language": "en", "compact": {"every_taskbar": true,
        "embed_in_taskbar": false, "monitor_offsets": [{"monitor": ")" +
                             escaped + R"(", "x": -100, "y": 0}]}})";
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", text));
    test::Program program = test::start_program(L"--minimized", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    ASSERT_TRUE(pump_until([&] { return one_on_each_taskbar(program.id); }, 60s));
    exit_program(program);
    const auto json = parse_json(read_file_bytes(*program.data / L"settings.json").value_or(""));
    const JsonValue* compact = json ? find_member(*json, "compact") : nullptr;
    const JsonValue* places = find_member(compact, "monitor_offsets");
    ASSERT_NE(places, nullptr);
    ASSERT_EQ(places->elements().size(), 1u);
    const JsonValue* monitor = find_member(places->elements()[0], "monitor");
    const JsonValue* x = find_member(places->elements()[0], "x");
    ASSERT_TRUE(monitor != nullptr && x != nullptr);
    EXPECT_EQ(monitor->as_string(), side_.id);
    EXPECT_EQ(x->as_number(), -100);
}

TEST_F(TwoMonitors, WithoutTheSettingThereIsOneReadout) {
    test::Program program = test::start_program(L"--minimized", seeded(false));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    ASSERT_TRUE(pump_until([&] { return readouts(program.id).size() == 1; }, 60s));
    // and stays one when the program looks at the desk again (as after a monitor was plugged in).
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(test::window_of(program.id, k_controller_class), WM_DISPLAYCHANGE, 32, 0, SMTO_NORMAL,
                        30'000, &answer);
    EXPECT_EQ(readouts(program.id).size(), 1u);
    EXPECT_EQ(readouts_on(program.id, main_).size(), 1u);
    exit_program(program);
}

} // namespace
} // namespace tide
