// Every adapter of this PC: the sum of the network adapters' counters, each byte counted once.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "net/inventory.h"
#include "net/source.h"

namespace tide {

// An adapter counts when it reaches the internet itself: it is up, not a filter, and holds a default
// route of its own. Tunnels and VPNs hold one too, but their bytes cross an adapter that counts; a
// dial-up connection (PPP) counts only when `dial_up` is set.
bool is_counted_adapter(const InterfaceInfo& info, bool dial_up = false);

// The luids of the adapters summed, in table order. A dial-up connection with a default route counts
// only when no adapter has one: PPPoE leaves its Ethernet without an address.
std::vector<uint64_t> counted_adapters(const Inventory& inventory);

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
// adapter reaches the internet.
SourceReading read_adapters(AdapterTotals& totals, const Inventory& inventory);

} // namespace tide
