// Waiting for a condition in the Windows tests: generous deadlines, polled, never a fixed sleep.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <thread>

namespace tide::test {

// Polls the condition every 20 ms from a thread whose windows, if any, live elsewhere.
inline bool wait_for(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Dispatches this thread's messages until the condition holds (for windows that live on this thread).
inline bool pump_until(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

} // namespace tide::test
