// Every adapter of this PC: the sum of the network adapters' counters, each byte counted once.
#include "net/adapters.h"

#include <set>
#include <string>
#include <utility>

#include "net/plausible.h"
#include "net/sampler.h"

namespace tide {

bool is_counted_adapter(const InterfaceInfo& info, bool dial_up) {
    // The inside of a shared connection (ICS, Mobile Hotspot), WSL's and Hyper-V's internal switches
    // and host-only networks hold no default route, and the members of a bridge or of an external
    // virtual switch hold no address: forwarded bytes count once, where they leave the PC. The hardware
    // flag decides nothing here: a bridge and a virtual switch's own adapter lack it.
    if (!info.usable || !info.gateway || info.kind == InterfaceKind::loopback || info.tunnel) {
        return false;
    }
    // For Wine, which flags a tun device as hardware: it is typed "other", as no Windows adapter is.
    if (info.type == k_if_type_other) {
        return false;
    }
    if (info.type == k_if_type_ppp) {
        return dial_up;
    }
    return info.kind != InterfaceKind::vpn;
}

std::vector<uint64_t> counted_adapters(const Inventory& inventory) {
    const auto pick = [&inventory](bool dial_up) {
        std::vector<uint64_t> counted;
        std::set<std::string> names;
        for (const InterfaceInfo& info : inventory.interfaces) {
            if (!is_counted_adapter(info, dial_up) || !inventory.counters.contains(info.luid)) {
                continue;
            }
            // For Wine, which keeps a deleted link's row beside the new one and reads the counters of
            // both by name: a name counts once (Windows names every interface differently).
            if (!info.name.empty() && !names.insert(info.name).second) {
                continue;
            }
            counted.push_back(info.luid);
        }
        return counted;
    };
    std::vector<uint64_t> counted = pick(false);
    return counted.empty() ? pick(true) : counted;
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
    for (const uint64_t luid : counted_adapters(inventory)) {
        const InterfaceCounters now = inventory.counters.at(luid);
        current[luid] = now;
        const auto before = totals.previous.find(luid);
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
