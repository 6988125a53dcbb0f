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

// What Windows counts as the private bytes: the memory committed to this process alone, as the process
// sees its own address space. Under Wine the resident figure above also holds what the host's libraries
// (the graphics driver) map beside it.
inline size_t committed_private_bytes() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (auto* address = static_cast<char*>(nullptr);
         VirtualQuery(address, &info, sizeof(info)) == sizeof(info);
         address = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) {
            total += info.RegionSize;
        }
    }
    return total;
}

} // namespace tide::test
