// Asking Windows which programs used the data, and which hold connections now. Both calls block for as
// long as they take (the per-app one at most about its deadline), so they run on a worker thread of
// their own; `ask_in_background` starts one and posts the answer to a window.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "net/app_usage.h"

namespace tide {

enum class AppUsageStatus {
    ok,          // the answer, possibly empty
    unavailable, // no Windows Runtime, no such class, or a Windows without per-app figures
    failed,      // Windows reported an error
    timed_out,   // no answer within the deadline: the call was abandoned
};

struct AppUsageRequest {
    AppPeriod period = AppPeriod::today;
    bool every_profile = false; // every connected profile, not only the internet one
    int32_t billing_day = 1;
    int64_t now = 0;        // Unix seconds
    int64_t utc_offset = 0; // seconds
    std::chrono::milliseconds deadline{10'000};
};

struct AppUsageAnswer {
    AppUsageStatus status = AppUsageStatus::unavailable;
    std::vector<AppUsage> apps; // largest first; names of programs with their description where found
};

// Blocks up to about the deadline. Resolves the Windows Runtime at run time: where it is missing the
// answer is `unavailable`, and the program runs on.
AppUsageAnswer ask_app_usage(const AppUsageRequest& request);

// The programs with TCP connections or UDP endpoints now, IPv4 and IPv6.
std::vector<ProgramConnections> read_connections();
// The sockets grouped by the image names of their processes (the second half of read_connections).
std::vector<ProgramConnections> name_connections(const std::vector<SocketOwner>& sockets);

// Runs `work` on a new thread and posts `message` to `window` with wparam = `tag` and lparam = a
// `new T` holding the result, which the window takes over (with `take_posted`). When the window is gone
// the result is dropped by the thread.
template <typename T> void ask_in_background(HWND window, UINT message, WPARAM tag, std::function<T()> work);

template <typename T> std::unique_ptr<T> take_posted(LPARAM lparam) {
    return std::unique_ptr<T>(reinterpret_cast<T*>(lparam));
}

// Implemented for the two answers above.
extern template void ask_in_background<AppUsageAnswer>(HWND, UINT, WPARAM, std::function<AppUsageAnswer()>);
extern template void
    ask_in_background<std::vector<ProgramConnections>>(HWND, UINT, WPARAM,
                                                       std::function<std::vector<ProgramConnections>()>);

} // namespace tide
