// The automatic (or manual) choice of the measured interface.
#pragma once

#include <cstdint>
#include <optional>

#include "net/inventory.h"
#include "net/source.h"

namespace tide {

// The sampler's copy of the monitoring settings.
struct SamplerSelection {
    uint64_t manual_luid = 0;
    bool manual = false; // whether a manual interface is set
    bool fallback_to_auto = true;
    bool include_vpn = false;
    bool include_virtual = false;
    bool pause_when_hidden = false; // carried along; the sampler does not consult it
    MonitorSource source = MonitorSource::interface_;
};

// Whether the automatic choice may consider the interface.
bool is_eligible(const InterfaceInfo& info, const SamplerSelection& selection);

// The route decides first, then the hardware flag, then the medium, then the speed (100 Mbit/s steps).
int interface_score(const InterfaceInfo& info);

// The manual interface when it is usable, otherwise (or without a manual choice) the best eligible
// interface by score, keeping `previous` unless another interface scores strictly higher.
std::optional<uint64_t> choose_interface(const Inventory& inventory, const SamplerSelection& selection,
                                         std::optional<uint64_t> previous);

} // namespace tide
