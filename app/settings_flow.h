// The rules of a settings change that need no window: what the sampler and the tray menu take from
// the settings, and how an edit from the settings window meets the live windows' places.
#pragma once

#include <cstdint>
#include <vector>

#include "app/tray_menu.h"
#include "net/selection.h"
#include "persistence/settings.h"
#include "persistence/usage.h"
#include "ui/settings/settings_edit.h"

namespace tide {

SamplerSelection sampler_selection_from(const MonitoringSettings& monitoring);

TrayMenuState tray_menu_state_from(const Settings& settings, bool paused, bool start_with_windows);

// What changed when the settings window's edit was written into the live settings.
struct EditOutcome {
    bool language_changed = false;
    bool interval_changed = false;
    bool source_changed = false;
    bool history_switched_on = false;
};

// Writes what the user changed in the settings window into `live`, keeping the places the windows
// have now (the `compact`/`desktop` offsets, monitor and floating rectangle, the dashboard's size and
// position, which Reset would otherwise return to their defaults), and repairs the result.
EditOutcome merge_edited_settings(Settings& live, const ui::SettingsEdit& edit);

// The known networks as the settings window lists them, named in the user's language.
std::vector<ui::NetworkEntry> network_entries(const NetworkList& networks, const NetworkNames& names);

// The names, metered choices and forgotten networks from the settings window, made in the usage
// history (a network it no longer knows is passed over). True when anything changed.
bool apply_network_edits(UsageStore& store, const ui::NetworkEdits& edits);

// The taskbar display on (on the taskbar, mode 0, enabled) or off (only `enabled` cleared).
void set_taskbar_display_setting(Settings& settings, bool on);

} // namespace tide
