// The automatic (or manual) choice of the measured interface.
#include "net/selection.h"

#include <algorithm>

namespace tide {

bool is_eligible(const InterfaceInfo& info, const SamplerSelection& selection) {
    if (!info.usable || info.kind == InterfaceKind::loopback) {
        return false;
    }
    if (info.kind == InterfaceKind::vpn && !selection.include_vpn) {
        return false;
    }
    if (info.kind == InterfaceKind::virtual_ && !selection.include_virtual) {
        return false;
    }
    return true;
}

int interface_score(const InterfaceInfo& info) {
    int score = 0;
    if (info.routed) {
        score = info.hardware ? 1100 : 1000;
    } else if (info.hardware) {
        score = 100;
    }
    if (info.kind == InterfaceKind::ethernet || info.kind == InterfaceKind::wifi) {
        score += 50;
    }
    constexpr uint64_t k_speed_step = 100'000'000;
    constexpr uint64_t k_speed_cap = 49;
    score += static_cast<int>(std::min(info.link_speed / k_speed_step, k_speed_cap));
    return score;
}

std::optional<uint64_t> choose_interface(const Inventory& inventory, const SamplerSelection& selection,
                                         std::optional<uint64_t> previous) {
    if (selection.manual) {
        for (const InterfaceInfo& info : inventory.interfaces) {
            if (info.luid == selection.manual_luid && info.usable) {
                return info.luid;
            }
        }
        if (!selection.fallback_to_auto) {
            return std::nullopt;
        }
    }

    const InterfaceInfo* best = nullptr;
    int best_score = 0;
    const InterfaceInfo* sticky = nullptr;
    for (const InterfaceInfo& info : inventory.interfaces) {
        if (!is_eligible(info, selection)) {
            continue;
        }
        const int score = interface_score(info);
        if (best == nullptr || score > best_score) {
            best = &info;
            best_score = score;
        }
        if (previous && info.luid == *previous) {
            sticky = &info;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    if (sticky != nullptr && best_score <= interface_score(*sticky)) {
        return sticky->luid;
    }
    return best->luid;
}

} // namespace tide
