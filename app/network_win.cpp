// The network the counted bytes belong to: looked up when the interface or its gateway changes (or
// the system says routes changed), never for every sample.
#include <algorithm>
#include <ctime>

#include "app/app_win.h"
#include "net/day_share.h"
#include "persistence/usage_win.h"

namespace tide::app {
namespace {

// Without a notification (Wine sends none) the routing table is looked at this often; a network whose
// gateway is not resolved yet is looked up again after the shorter time.
constexpr uint64_t k_network_recheck_ms = 5000;
constexpr uint64_t k_pending_recheck_ms = 2000;

NetworkIdentity no_network() {
    return NetworkIdentity{std::string(k_no_network_id), {}, false};
}

} // namespace

void App::follow_network(uint64_t now_ms) {
    if (!network_tracker_.started()) {
        network_watch_.start();
    }
    const std::optional<uint64_t> changed_at = network_watch_.take_change();
    // A change is placed no earlier than the last one known, so the tracker's moments stay in order.
    const uint64_t at_ms = std::clamp(changed_at.value_or(now_ms), previous_sample_ms_, now_ms);
    if (current_sample_.status == MonitorStatus::unavailable) {
        network_tracker_.change(no_network(), at_ms);
        network_key_.reset();
    } else if (current_sample_.source == MonitorSource::router) {
        // The whole home is the network whose router answers.
        const std::string id = router_network_id(current_sample_.source_udn);
        network_tracker_.change(id.empty()
                                    ? std::nullopt
                                    : std::optional(NetworkIdentity{id, current_sample_.source_name, false}),
                                at_ms);
        network_key_.reset();
    } else {
        const std::optional<uint64_t> luid = current_sample_.source == MonitorSource::interface_
                                                 ? current_sample_.interface_luid
                                                 : std::nullopt;
        const bool pending = network_tracker_.started() && !network_tracker_.current();
        const uint64_t since = now_ms - network_checked_ms_;
        const bool due = changed_at || !network_key_ || (luid && *luid != network_key_->luid) ||
                         since >= (pending ? k_pending_recheck_ms : k_network_recheck_ms);
        if (due) {
            network_checked_ms_ = now_ms;
            const NetworkKey key = current_network_key(luid);
            if (!network_key_ || key != *network_key_ || pending) {
                network_key_ = key;
                network_tracker_.change(look_up_network(key), at_ms);
            }
        }
    }
    const std::optional<NetworkIdentity>& current = network_tracker_.current();
    if (!current || current->id == k_no_network_id) {
        if (current) {
            held_bytes_.clear(); // gone before it was known: those bytes stay with "Other networks"
        }
        return;
    }
    usage_.store.see_network(current->id, current->name, current->metered, local_day_number());
    for (const auto& [day, totals] : held_bytes_) {
        usage_.store.assign_to_network(day, current->id, totals);
    }
    held_bytes_.clear();
}

// The growth of the session totals goes to the network that carried most of the time since the last
// sample; while that network is not known yet, the bytes wait under "Other networks" for it.
void App::count_sample_bytes(uint64_t now_ms) {
    const std::optional<NetworkIdentity> network =
        network_tracker_.network_for(previous_sample_ms_ == 0 ? now_ms : previous_sample_ms_, now_ms);
    previous_sample_ms_ = now_ms;
    // A sample that covers a silence (a night asleep) puts its bytes on the days it covers.
    UsageStore growth;
    if (!usage_counter_.feed(growth, 0, current_sample_.session_received, current_sample_.session_sent)) {
        return;
    }
    usage_.dirty = true;
    for (const auto& [day, bytes] :
         spread_over_days(growth.get(0), current_sample_.counted_since,
                          static_cast<int64_t>(std::time(nullptr)), current_time_zone())) {
        if (network) {
            usage_.store.add(day, network->id, bytes.download, bytes.upload);
        } else {
            usage_.store.add(day, bytes.download, bytes.upload);
            DayTotals& held = held_bytes_[day];
            held.download += bytes.download;
            held.upload += bytes.upload;
        }
    }
}

NetworkNames App::network_names() const {
    return NetworkNames{localizer_.text("network.other"), localizer_.text("network.none"),
                        localizer_.text("network.numbered")};
}

} // namespace tide::app
