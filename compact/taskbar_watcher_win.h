// Watches the buttons of a taskbar that draws them itself (no child windows) through UI Automation,
// on a thread of its own so that a hung shell can never stall the program's windows.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "base/handles_win.h"
#include "persistence/settings.h"

namespace tide {

// One pass over a taskbar's buttons: their rectangles, or none when the pass failed or timed out.
using ButtonSource = std::function<std::optional<std::vector<ScreenRect>>(HWND taskbar)>;

class TaskbarButtonWatcher {
public:
    // Without a source the buttons are read through UI Automation; tests hand in one of their own.
    explicit TaskbarButtonWatcher(ButtonSource source = {}) : source_(std::move(source)) {}
    TaskbarButtonWatcher(const TaskbarButtonWatcher&) = delete;
    TaskbarButtonWatcher& operator=(const TaskbarButtonWatcher&) = delete;
    ~TaskbarButtonWatcher() { stop(); }

    // Watches `window` (none: stop looking) and posts `message` to `notify` when its buttons move.
    // Starts the thread the first time a window is given.
    void watch(HWND window, HWND notify, UINT message);

    // The last good button rectangles of `window`, empty while there are none for it. A failed pass
    // keeps the list before it, and so does a pause in watching (the read-out hidden meanwhile).
    std::vector<ScreenRect> latest(HWND window) const;

    // Ends and joins the thread.
    void stop();

    bool running() const { return thread_.joinable(); }

private:
    void run();
    // Stores one pass's result; true when it differs from the previous one.
    bool store(HWND window, std::vector<ScreenRect> rects);

    ButtonSource source_; // read by the thread only once it runs
    std::atomic<HWND> watched_{nullptr};
    std::atomic<HWND> notify_{nullptr};
    std::atomic<UINT> message_{0};
    std::atomic<bool> stop_{false};
    UniqueHandle wake_; // auto-reset
    std::thread thread_;

    mutable std::mutex results_lock_; // guards results_ and results_window_
    std::vector<ScreenRect> results_;
    HWND results_window_ = nullptr;
};

} // namespace tide
