// Every adapter of this PC: the sum of the network adapters' counters, each byte counted once.
#pragma once

#include <cstdint>
#include <map>

#include "net/inventory.h"
#include "net/source.h"

namespace tide {

// An adapter is hardware that is up and carries its own traffic: loopback, filter interfaces (they
// see their adapter's bytes again) and tunnels or VPNs (their bytes pass an adapter too) are left out.
bool is_counted_adapter(const InterfaceInfo& info);

// The adapters' previous counters and the bytes counted so far. Each adapter counts only its own good
// deltas: one that appears, comes back or resets starts from a baseline, and a jump too large to be
// traffic counts nothing, without costing the other adapters their cycle.
struct AdapterTotals {
    std::map<uint64_t, InterfaceCounters> previous; // by luid, the adapters of the last inventory
    int64_t previous_time = 0;
    uint64_t received = 0;
    uint64_t sent = 0;
};

// The identity of the adapters' sum: it never changes, the per-adapter baselines are kept here.
inline constexpr uint64_t k_adapters_identity = 1;

// The reading for this cycle: the running sums, invalid when the table could not be read or no
// adapter is up. Of several rows with one name, the first counts.
SourceReading read_adapters(AdapterTotals& totals, const Inventory& inventory);

} // namespace tide
