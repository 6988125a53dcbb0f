// The process's private memory, the witness of the leak checks (GetGuiResources reports nothing
// under Wine). Wine gives it as the page-file usage and leaves the private usage at 0, so a check on
// the private usage alone could never fail there.
#pragma once

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstddef>

namespace tide::test {

inline size_t private_bytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
    return std::max(counters.PrivateUsage, counters.PagefileUsage);
}

} // namespace tide::test
