// Tidemeter.exe as another program sees it: one instance, activation, exit through the dashboard button.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/handles_win.h"
#include "base/messages_win.h"
#include "tests/win/program_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using test::Program;
using test::ProgramGuard;
using test::start_program;

// Pumps this thread's messages while waiting for the handle; true when it was signalled in time.
bool wait_pumping(HANDLE handle, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms) {
            return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        }
        const DWORD result =
            MsgWaitForMultipleObjects(1, &handle, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) {
            return true;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
}

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
    ASSERT_TRUE(wait_pumping(second.process.get(), 60s));
    EXPECT_EQ(exit_code_of(second), 0u);

    // The activation was posted before the second instance ended; it may still be in the queue.
    const auto deadline = Clock::now() + 30s;
    while (first.activations() == 0 && Clock::now() < deadline) {
        MSG message;
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
        }
    }
    EXPECT_EQ(first.activations(), 1);
    EXPECT_TRUE(first.last_parameters_zero());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, SecondInstance, testing::Values(L"", L"--minimized"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return info.param[0] == L'\0' ? std::string("Plain") : std::string("Minimized");
                         });

// The top-level window of the given class of the given process, once it exists.
HWND find_window_of(const Program& program, const wchar_t* window_class, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline && WaitForSingleObject(program.process.get(), 100) == WAIT_TIMEOUT) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, window_class, nullptr)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == program.id) {
                return window;
            }
        }
    }
    return nullptr;
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
    ASSERT_TRUE(wait_pumping(second.process.get(), 60s));
    EXPECT_EQ(exit_code_of(second), 0u);
    const auto deadline = Clock::now() + 30s;
    while (!IsWindowVisible(dashboard) && Clock::now() < deadline) {
        Sleep(50);
    }
    EXPECT_TRUE(IsWindowVisible(dashboard));

    // What the dashboard posts when it is closed without close-to-tray ends the program.
    PostMessageW(controller, k_msg_dashboard_closed, 0, 0);
    ASSERT_EQ(WaitForSingleObject(program.process.get(), 60'000), WAIT_OBJECT_0);
    EXPECT_EQ(exit_code_of(program), 0u);
}

} // namespace
} // namespace tide
