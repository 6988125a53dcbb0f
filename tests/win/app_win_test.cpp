// Tidemeter.exe as another program sees it: one instance, activation, exit through the dashboard button.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "base/handles_win.h"
#include "base/messages_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/json.h"
#include "persistence/usage_win.h"
#include "tests/win/program_win.h"
#include "tests/win/wait_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;
using test::has_ended;
using test::Program;
using test::ProgramGuard;
using test::pump_until;
using test::start_program;

DWORD exit_code_of(const Program& program) {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process.get(), &code);
    return code;
}

// This process plays the first instance: it holds the mutex and a controller window that counts
// activation requests.
class FirstInstance {
public:
    FirstInstance() {
        const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Tidemeter.SingleInstance");
        already_running_ = GetLastError() == ERROR_ALREADY_EXISTS;
        mutex_.reset(mutex);
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &FirstInstance::proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = k_controller_class;
        RegisterClassExW(&window_class);
        window_ = CreateWindowExW(0, k_controller_class, k_controller_title, 0, 0, 0, 0, 0, nullptr, nullptr,
                                  window_class.hInstance, this);
    }
    ~FirstInstance() {
        DestroyWindow(window_);
        UnregisterClassW(k_controller_class, GetModuleHandleW(nullptr));
    }

    bool ready() const { return mutex_ && !already_running_ && window_ != nullptr; }
    int activations() const { return activations_; }
    bool last_parameters_zero() const { return last_zero_; }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        } else if (message == k_msg_activate) {
            auto* self = reinterpret_cast<FirstInstance*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            ++self->activations_;
            self->last_zero_ = wparam == 0 && lparam == 0;
            return 0;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }

    UniqueHandle mutex_;
    bool already_running_ = false;
    HWND window_ = nullptr;
    int activations_ = 0;
    bool last_zero_ = false;
};

class SecondInstance : public testing::TestWithParam<const wchar_t*> {};

TEST_P(SecondInstance, ActivatesTheFirstAndExitsWithZero) {
    FirstInstance first;
    ASSERT_TRUE(first.ready()) << "another Tidemeter is running, or the window was not created";

    Program second = start_program(GetParam());
    ASSERT_TRUE(second.process);
    ProgramGuard guard{second};
    ASSERT_TRUE(pump_until([&] { return has_ended(second); }, 60s));
    EXPECT_EQ(exit_code_of(second), 0u);

    // The activation was posted before the second instance ended; it may still be in the queue.
    pump_until([&] { return first.activations() != 0; }, 30s);
    EXPECT_EQ(first.activations(), 1);
    EXPECT_TRUE(first.last_parameters_zero());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, SecondInstance, testing::Values(L"", L"--minimized"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return info.param[0] == L'\0' ? std::string("Plain") : std::string("Minimized");
                         });

// The top-level window of the given class of the given process, once it exists.
HWND find_window_of(const Program& program, const wchar_t* window_class, std::chrono::milliseconds timeout) {
    HWND found = nullptr;
    test::wait_for(
        [&] {
            found = test::window_of(program.id, window_class);
            return found != nullptr || has_ended(program);
        },
        timeout);
    return found;
}

HWND find_controller(const Program& program, std::chrono::milliseconds timeout) {
    return find_window_of(program, k_controller_class, timeout);
}

TEST(Program, ExitButtonEndsItWithCodeZero) {
    Program program = start_program(L"--minimized");
    ASSERT_TRUE(program.process);
    ProgramGuard guard{program};
    const HWND controller = find_controller(program, 60s);
    ASSERT_NE(controller, nullptr) << "exit code " << exit_code_of(program);

    wchar_t title[32] = {};
    GetWindowTextW(controller, title, 32);
    EXPECT_STREQ(title, k_controller_title);
    EXPECT_FALSE(IsWindowVisible(controller));

    // Unknown button codes are ignored: the window is still there once they were handled.
    for (WPARAM code : {WPARAM{0}, WPARAM{7}}) {
        DWORD_PTR result = 0;
        ASSERT_NE(
            SendMessageTimeoutW(controller, k_msg_dashboard_button, code, 0, SMTO_NORMAL, 30'000, &result),
            0);
        EXPECT_TRUE(IsWindow(controller));
    }

    PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
    ASSERT_EQ(WaitForSingleObject(program.process.get(), 60'000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(program), 0u);
    // It kept its files where it was told to, and saved them on the way out.
    EXPECT_NE(GetFileAttributesW((*program.data / L"settings.json").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Program, SecondStartShowsTheHiddenDashboard) {
    Program program = start_program(L"--minimized");
    ASSERT_TRUE(program.process);
    ProgramGuard guard{program};
    const HWND controller = find_controller(program, 60s);
    ASSERT_NE(controller, nullptr) << "exit code " << exit_code_of(program);
    const HWND dashboard = find_window_of(program, L"Tidemeter.Main", 30s);
    ASSERT_NE(dashboard, nullptr);
    EXPECT_FALSE(IsWindowVisible(dashboard));

    Program second = start_program(L"");
    ASSERT_TRUE(second.process);
    ProgramGuard second_guard{second};
    ASSERT_TRUE(pump_until([&] { return has_ended(second); }, 60s));
    EXPECT_EQ(exit_code_of(second), 0u);
    EXPECT_TRUE(test::wait_for([&] { return IsWindowVisible(dashboard) != FALSE; }, 30s));
    EXPECT_TRUE(test::wait_for([&] { return GetForegroundWindow() == dashboard; }, 30s));

    // What the dashboard posts when it is closed without close-to-tray ends the program.
    PostMessageW(controller, k_msg_dashboard_closed, 0, 0);
    ASSERT_EQ(WaitForSingleObject(program.process.get(), 60'000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(program), 0u);
}

BOOL CALLBACK add_window_of_process(HWND window, LPARAM param) {
    auto* found = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == found->first) {
        found->second.push_back(window);
        EnumChildWindows(window, add_window_of_process, param);
    }
    return TRUE;
}

// The focus parts' messages carry a pointer in lParam; any program on the desktop can send or post the
// same numbers to any window of the program, which must not take them.
TEST(Program, AnotherProgramsPrivateMessagesCannotCrashIt) {
    auto data = std::make_unique<test::TempFolder>();
    UsageStore seeded;
    seeded.add(local_day_number(), 7'900'000, 0);
    ASSERT_TRUE(write_file_atomically(*data / L"usage.json", usage_file_text(seeded)));
    ASSERT_TRUE(
        write_file_atomically(*data / L"settings.json", "{\"schema_version\": 1, \"history_mode\": 1}"));
    Program program = start_program(L"", std::move(data)); // the dashboard open, with its focus part
    ASSERT_TRUE(program.process);
    ProgramGuard guard{program};
    const HWND controller = find_controller(program, 60s);
    ASSERT_NE(controller, nullptr) << "exit code " << exit_code_of(program);
    ASSERT_TRUE(
        test::wait_for([&] { return test::window_of(program.id, L"Tidemeter.Main") != nullptr; }, 30s));

    std::pair<DWORD, std::vector<HWND>> windows{program.id, {}};
    EnumWindows(add_window_of_process, reinterpret_cast<LPARAM>(&windows));
    ASSERT_GE(windows.second.size(), 3u); // controller, dashboard, read-outs
    for (const HWND window : windows.second) {
        for (UINT message = WM_USER + 0x100; message <= WM_USER + 0x102; ++message) {
            for (const LPARAM lparam : {LPARAM{1}, LPARAM{0x7ffe0000}}) {
                DWORD_PTR result = 0;
                SendMessageTimeoutW(window, message, 0, lparam, SMTO_NORMAL, 30'000, &result);
                PostMessageW(window, message, 0, lparam);
            }
        }
    }
    // Clearing the history is what the dashboard asks after its question, never another program.
    for (const LPARAM lparam : {LPARAM{0}, LPARAM{1}, LPARAM{-1}}) {
        PostMessageW(controller, k_msg_clear_history, 0, lparam);
    }
    // Posted after them, so taken after them: the graph range changes and is saved.
    PostMessageW(controller, k_msg_graph_range, 900, 0);
    EXPECT_TRUE(test::wait_for(
        [&] {
            const auto json = parse_json(read_file_bytes(*program.data / L"settings.json").value_or(""));
            const JsonValue* range = json ? find_member(*json, "history_window_s") : nullptr;
            return range != nullptr && range->as_number() == 900;
        },
        30s));
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(controller, WM_NULL, 0, 0, SMTO_NORMAL, 30'000, &result), 0);
    EXPECT_FALSE(has_ended(program));
    PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
    ASSERT_EQ(WaitForSingleObject(program.process.get(), 60'000), WAIT_OBJECT_0);
    const auto usage = parse_json(read_file_bytes(*program.data / L"usage.json").value_or(""));
    ASSERT_TRUE(usage.has_value());
    const JsonValue* days = find_member(*usage, "days");
    ASSERT_NE(days, nullptr);
    ASSERT_FALSE(days->elements().empty());
    EXPECT_GE(days->elements().front().elements().at(1).as_number(), 7'900'000);
}

} // namespace
} // namespace tide
