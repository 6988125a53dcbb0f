// Every adapter of this PC: the sum of the network adapters' counters, each byte counted once.
#include "net/adapters.h"

#include <set>
#include <string>
#include <utility>

#include "net/plausible.h"
#include "net/sampler.h"

namespace tide {

bool is_counted_adapter(const InterfaceInfo& info) {
    if (!info.usable || !info.hardware || info.tunnel) {
        return false;
    }
    // Windows gives every network adapter its medium's type; a tun device reports "other" (and, under
    // some systems, the hardware flag), so "other" is no adapter.
    if (info.type == k_if_type_other) {
        return false;
    }
    return info.kind != InterfaceKind::loopback && info.kind != InterfaceKind::vpn;
}

SourceReading read_adapters(AdapterTotals& totals, const Inventory& inventory) {
    SourceReading reading;
    if (!inventory.valid) {
        totals.previous.clear();
        return reading;
    }
    const int64_t elapsed = inventory.timestamp - totals.previous_time;
    const bool timed = elapsed >= RateMeter::k_min_interval && elapsed <= RateMeter::k_max_interval;

    std::map<uint64_t, InterfaceCounters> current;
    std::set<std::string> names;
    for (const InterfaceInfo& info : inventory.interfaces) {
        const auto counters = inventory.counters.find(info.luid);
        if (!is_counted_adapter(info) || counters == inventory.counters.end()) {
            continue;
        }
        // Every interface has a name of its own; a second row under a name already counted is the
        // same adapter seen twice (Wine keeps a deleted link's row and reads its counters by name).
        if (!info.name.empty() && !names.insert(info.name).second) {
            continue;
        }
        const InterfaceCounters now = counters->second;
        current[info.luid] = now;
        const auto before = totals.previous.find(info.luid);
        if (before == totals.previous.end() || now.received < before->second.received ||
            now.sent < before->second.sent) {
            continue;
        }
        const uint64_t received = now.received - before->second.received;
        const uint64_t sent = now.sent - before->second.sent;
        // The same rule the single interface has: a driver resetting its counter to a huge value.
        if (timed && (!plausible_rise(received, elapsed, k_interface_bytes_per_second) ||
                      !plausible_rise(sent, elapsed, k_interface_bytes_per_second))) {
            continue;
        }
        totals.received += received;
        totals.sent += sent;
    }
    totals.previous = std::move(current);
    totals.previous_time = inventory.timestamp;
    if (totals.previous.empty()) {
        return reading;
    }
    reading.valid = true;
    reading.received = totals.received;
    reading.sent = totals.sent;
    reading.identity = k_adapters_identity;
    reading.timestamp = inventory.timestamp;
    return reading;
}

} // namespace tide
