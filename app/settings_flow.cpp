// The rules of a settings change that need no window.
#include "app/settings_flow.h"

namespace tide {
namespace {

void keep_place(CompactSettings& edited, const CompactSettings& live) {
    edited.offset_x = live.offset_x;
    edited.offset_y = live.offset_y;
    edited.monitor_id = live.monitor_id;
    edited.floating_rect = live.floating_rect;
}

} // namespace

SamplerSelection sampler_selection_from(const MonitoringSettings& m) {
    SamplerSelection s;
    s.manual = m.manual_adapter.has_value();
    s.manual_luid = m.manual_adapter.value_or(0);
    s.fallback_to_auto = m.fallback_to_auto;
    s.include_vpn = m.include_vpn;
    s.include_virtual = m.include_virtual;
    s.pause_when_hidden = m.pause_when_hidden;
    s.source = m.source > 0 && m.source < k_monitor_source_count ? static_cast<MonitorSource>(m.source)
                                                                 : MonitorSource::interface_;
    return s;
}

TrayMenuState tray_menu_state_from(const Settings& settings, bool paused, bool start_with_windows) {
    TrayMenuState s;
    s.paused = paused;
    s.compact_enabled = settings.compact.enabled;
    s.compact_on_taskbar = settings.compact.on_taskbar;
    s.compact_mode = settings.compact.mode;
    s.compact_locked = settings.compact.locked;
    s.desktop_enabled = settings.desktop.enabled;
    s.desktop_locked = settings.desktop.locked;
    s.manual_adapter = settings.monitoring.manual_adapter;
    s.start_with_windows = start_with_windows;
    return s;
}

EditOutcome merge_edited_settings(Settings& live, const ui::SettingsEdit& edit) {
    Settings edited = ui::apply_edit(edit, live);
    keep_place(edited.compact, live.compact);
    keep_place(edited.desktop, live.desktop);
    edited.main_window.width = live.main_window.width;
    edited.main_window.height = live.main_window.height;
    edited.main_window.x = live.main_window.x;
    edited.main_window.y = live.main_window.y;
    edited.usage_window = live.usage_window; // moved by its own window only
    repair_settings(edited);

    EditOutcome out;
    out.language_changed = edited.language != live.language;
    out.interval_changed = edited.monitoring.interval_ms != live.monitoring.interval_ms;
    out.source_changed = edited.monitoring.source != live.monitoring.source;
    out.history_switched_on = edited.history_mode == 1 && live.history_mode != 1;
    live = std::move(edited);
    return out;
}

std::vector<ui::NetworkEntry> network_entries(const NetworkList& networks, const NetworkNames& names) {
    std::vector<ui::NetworkEntry> entries;
    for (KnownNetwork network : networks.networks()) {
        ui::NetworkEntry entry{network.id, network.user_name, {}, network.metered, network.user_metered};
        network.user_name.clear();
        entry.unnamed_name = network_display_name(network, names);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool apply_network_edits(UsageStore& store, const ui::NetworkEdits& edits) {
    bool changed = false;
    for (const auto& [id, name] : edits.renames) {
        changed = store.networks().rename(id, name) || changed;
    }
    for (const auto& [id, metered] : edits.metered) {
        changed = store.networks().set_user_metered(id, metered) || changed;
    }
    for (const std::string& id : edits.forgotten) {
        if (store.networks().find(id) != nullptr) {
            store.forget_network(id);
            changed = true;
        }
    }
    return changed;
}

void set_taskbar_display_setting(Settings& settings, bool on) {
    if (on) {
        settings.compact.on_taskbar = true;
        settings.compact.mode = 0;
        settings.compact.enabled = true;
    } else {
        settings.compact.enabled = false;
    }
}

} // namespace tide
