// The tray context menu as data: which entries, in which order, with which check marks. The Windows
// side turns it into a popup menu; keeping it here makes every rule of the menu testable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/inventory.h"

namespace tide {

// Command identifiers of the tray menu, also used by the compact displays and the dashboard.
enum TrayCommand : uint32_t {
    cmd_open = 100,
    cmd_toggle_taskbar = 101,
    cmd_pause = 102,
    cmd_start_with_windows = 103,
    cmd_website = 104,
    cmd_about = 105,
    cmd_exit = 106,
    cmd_export_diagnostics = 107,
    cmd_export_usage = 108,
    cmd_settings = 109,
    cmd_check_updates = 110,
    cmd_toggle_desktop = 111,
    cmd_toggle_lock = 112,
    cmd_usage_history = 113,
    cmd_automatic = 200,
    cmd_first_interface = 201,
    cmd_last_interface = 299,
};

// The settings and state the menu depends on.
struct TrayMenuState {
    bool paused = false;
    bool compact_enabled = true;
    bool compact_on_taskbar = true;
    int compact_mode = 0;
    bool compact_locked = false;
    bool desktop_enabled = false;
    bool desktop_locked = false;
    std::optional<uint64_t> manual_adapter;
    bool start_with_windows = false;  // whether the Run-key value exists now
    bool website = false;             // the build names the project's web page
    bool updates_page = false;        // the build names the page with the latest release
};

struct TrayMenuItem {
    enum class Kind { command, separator, submenu };
    Kind kind = Kind::command;
    uint32_t id = 0;
    std::string text;  // UTF-8
    bool checked = false;
    std::vector<TrayMenuItem> children;  // the interface submenu
};

struct TrayMenu {
    std::vector<TrayMenuItem> items;
    std::vector<InterfaceInfo> interfaces;  // entry i carries identifier 201 + i
};

using TextLookup = std::function<std::string(std::string_view key)>;

// The taskbar display counts as on with compact.enabled, compact.on_taskbar and mode 0.
bool taskbar_display_on(const TrayMenuState& state);
// Whether the displays count as locked (the check mark of "Lock position" and the toggle's basis).
bool displays_locked(const TrayMenuState& state);

// Builds the menu; `inventory` is a fresh inventory of the interfaces, nullptr when it was invalid.
// Only the first 99 offered interfaces get an entry: identifiers stop at 299.
TrayMenu build_tray_menu(const TrayMenuState& state, const std::vector<InterfaceInfo>* inventory,
                         const TextLookup& text);

// The interface a command 201..299 stands for, looked up in the list stored when the menu opened.
std::optional<uint64_t> interface_for_command(const std::vector<InterfaceInfo>& listed, uint32_t id);

}  // namespace tide
