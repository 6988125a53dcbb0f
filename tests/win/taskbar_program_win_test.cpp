// Tidemeter.exe on a taskbar of the test's own: its read-out comes back after the taskbar is re-created
// and "TaskbarCreated" arrives, the end of the session gives the task list back, a session that goes on
// gets the read-out back, and the program still exits cleanly.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/handles_win.h"
#include "base/messages_win.h"
#include "compact/compact_window_win.h"
#include "tests/win/program_win.h"
#include "tests/win/test_taskbar_win.h"

namespace tide {
namespace {

using test::pump_until;
using test::TestTaskbar;

struct Readout {
    HWND window = nullptr;
    DWORD process = 0;
};

BOOL CALLBACK find_readout(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<Readout*>(param);
    wchar_t name[64] = {};
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found->process && IsWindowVisible(window) && GetClassNameW(window, name, 64) > 0 &&
        lstrcmpW(name, ui::k_compact_class) == 0) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// The program's visible taskbar read-out: a child of `host` when embedded, else a top-level window.
HWND readout_of(DWORD process, HWND host) {
    Readout found{nullptr, process};
    EnumChildWindows(host, find_readout, reinterpret_cast<LPARAM>(&found));
    if (found.window == nullptr) {
        EnumWindows(find_readout, reinterpret_cast<LPARAM>(&found));
    }
    return found.window;
}

TEST(ProgramOnTestTaskbar, TaskbarCreatedBringsTheReadoutBack) {
    // At the place of Wine's own taskbar, so that the program's work area matches it.
    auto bar = std::make_unique<TestTaskbar>(TestTaskbar::Kind::classic, RECT{0, 780, 1280, 800});
    ASSERT_NE(bar->host(), nullptr);

    test::Program program = test::start_program(L"--minimized");
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    const DWORD id = program.id;

    // The program creates its embedded read-out in this thread's window: keep the messages flowing.
    HWND controller = nullptr;
    HWND readout = nullptr;
    ASSERT_TRUE(pump_until(
        [&] {
            controller = test::window_of(id, k_controller_class);
            readout = readout_of(id, bar->host());
            return controller != nullptr && readout != nullptr;
        },
        std::chrono::milliseconds(60'000)));
    const bool embedded = GetAncestor(readout, GA_PARENT) == bar->host();

    // The shell restarts: its windows (and an embedded read-out with them) go, new ones come.
    bar = std::make_unique<TestTaskbar>(TestTaskbar::Kind::classic, RECT{0, 780, 1280, 800});
    PostMessageW(controller, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_TRUE(pump_until(
        [&] {
            readout = readout_of(id, bar->host());
            return readout != nullptr && (!embedded || GetAncestor(readout, GA_PARENT) == bar->host());
        },
        std::chrono::milliseconds(30'000)));

    // The session ends (the process may be ended right after): the task list gets its width back first.
    const ScreenRect natural{0, 0, 984, 20};
    ASSERT_TRUE(pump_until([&] { return TestTaskbar::client_rect_of(bar->task_list()) != natural; },
                           std::chrono::milliseconds(30'000)));
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(controller, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 30'000, &answer);
    EXPECT_TRUE(pump_until([&] { return TestTaskbar::client_rect_of(bar->task_list()) == natural; },
                           std::chrono::milliseconds(30'000)));
    // and keeps it: the read-out's one-second check does not narrow it again.
    pump_until([] { return false; }, std::chrono::milliseconds(2500));
    EXPECT_EQ(TestTaskbar::client_rect_of(bar->task_list()), natural);

    // The log-off was cancelled: the read-out comes back at once (long before the 15 s of the case
    // below). An installer then closes applications and this one goes on running: it comes back later.
    SendMessageTimeoutW(controller, WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 30'000, &answer);
    EXPECT_TRUE(pump_until([&] { return readout_of(id, bar->host()) != nullptr; },
                           std::chrono::milliseconds(7'000)));
    SendMessageTimeoutW(controller, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_NORMAL, 30'000, &answer);
    EXPECT_EQ(readout_of(id, bar->host()), nullptr);
    EXPECT_TRUE(pump_until([&] { return readout_of(id, bar->host()) != nullptr; },
                           std::chrono::milliseconds(60'000)));

    PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
    EXPECT_TRUE(pump_until([&] { return test::has_ended(program); }, std::chrono::milliseconds(60'000)));
}

} // namespace
} // namespace tide
