// Watches the buttons of a taskbar that draws them itself (no child windows) through UI Automation,
// on a thread of its own so that a hung shell can never stall the program's windows.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "persistence/settings.h"

namespace tide {

// One pass over a taskbar's buttons: their rectangles, or none when the pass failed or timed out.
using ButtonSource = std::function<std::optional<std::vector<ScreenRect>>(HWND taskbar)>;

// One thread for every taskbar there is: each read-out tells it which taskbar it sits on, and it reads
// the buttons of each of them in turn. The thread is never waited for: a pass may be held up to the
// automation timeout by a busy shell, and the thread that runs the windows must not wait on that. Stopped,
// it ends on its own after its current pass.
class TaskbarButtonWatcher {
public:
    // Posts `message` to `notify` when the buttons of a watched taskbar move. Without a source the buttons
    // are read through UI Automation; tests hand in one of their own.
    TaskbarButtonWatcher(HWND notify, UINT message, ButtonSource source = {});
    TaskbarButtonWatcher(const TaskbarButtonWatcher&) = delete;
    TaskbarButtonWatcher& operator=(const TaskbarButtonWatcher&) = delete;
    ~TaskbarButtonWatcher() { stop(); }

    // The read-out `client` sits on `window` (none: on no taskbar whose buttons need watching). The thread
    // starts the first time a window is given.
    void watch(const void* client, HWND window);

    // The last good button rectangles of `window`, empty while there are none for it. A failed pass
    // keeps the list before it, and so does a pause in watching (the read-out hidden meanwhile).
    std::vector<ScreenRect> latest(HWND window) const;

    // Tells the thread to end, without waiting for it; a later watch starts a new one.
    void stop();

    // The thread is there: watching, or told to stop and still ending its pass.
    bool running() const;

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
};

} // namespace tide
