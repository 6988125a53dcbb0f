// The tray context menu as data.
#include "app/tray_menu.h"

namespace tide {
namespace {

TrayMenuItem command(uint32_t id, std::string text, bool checked = false) {
    TrayMenuItem item;
    item.id = id;
    item.text = std::move(text);
    item.checked = checked;
    return item;
}

TrayMenuItem separator() {
    TrayMenuItem item;
    item.kind = TrayMenuItem::Kind::separator;
    return item;
}

}  // namespace

bool taskbar_display_on(const TrayMenuState& s) {
    return s.compact_enabled && s.compact_on_taskbar && s.compact_mode == 0;
}

bool displays_locked(const TrayMenuState& s) {
    if (s.compact_enabled && s.compact_mode == 0) {
        return s.compact_locked && (!s.desktop_enabled || s.desktop_locked);
    }
    return s.desktop_locked && (s.desktop_enabled || s.compact_locked);
}

TrayMenu build_tray_menu(const TrayMenuState& s, const std::vector<InterfaceInfo>* inventory,
                         const TextLookup& text) {
    TrayMenu menu;

    TrayMenuItem sub;
    sub.kind = TrayMenuItem::Kind::submenu;
    sub.text = text("menu.interface");
    sub.children.push_back(command(cmd_automatic, text("menu.automatic"), !s.manual_adapter.has_value()));
    if (inventory != nullptr) {
        constexpr size_t k_max_listed = cmd_last_interface - cmd_first_interface + 1;
        for (const InterfaceInfo& info : *inventory) {
            if (!info.usable || info.kind == InterfaceKind::loopback) {
                continue;
            }
            if (menu.interfaces.size() == k_max_listed) {
                break;
            }
            const auto id = static_cast<uint32_t>(cmd_first_interface + menu.interfaces.size());
            const bool checked = s.manual_adapter.has_value() && *s.manual_adapter == info.luid;
            sub.children.push_back(command(id, info.name, checked));
            menu.interfaces.push_back(info);
        }
    }

    auto& items = menu.items;
    items.push_back(command(cmd_open, text("menu.open")));
    items.push_back(command(cmd_settings, text("menu.settings")));
    items.push_back(separator());
    items.push_back(command(cmd_toggle_taskbar, text("settings.on_taskbar"), taskbar_display_on(s)));
    items.push_back(command(cmd_toggle_desktop, text("settings.show_desktop"), s.desktop_enabled));
    items.push_back(command(cmd_toggle_lock, text("settings.lock"), displays_locked(s)));
    items.push_back(separator());
    items.push_back(command(cmd_pause, text(s.paused ? "menu.resume" : "menu.pause")));
    items.push_back(std::move(sub));
    items.push_back(command(cmd_start_with_windows, text("menu.start_with_windows"), s.start_with_windows));
    items.push_back(separator());
    items.push_back(command(cmd_export_diagnostics, text("menu.export_diagnostics")));
    items.push_back(command(cmd_usage_history, text("menu.usage_history")));
    items.push_back(command(cmd_export_usage, text("menu.export_usage")));
    // Without an address from the build there is nothing to open: a made-up one could be anybody's.
    if (s.updates_page) {
        items.push_back(command(cmd_check_updates, text("menu.check_updates")));
    }
    items.push_back(separator());
    if (s.website) {
        items.push_back(command(cmd_website, text("menu.website")));
    }
    items.push_back(command(cmd_about, text("menu.about")));
    items.push_back(separator());
    items.push_back(command(cmd_exit, text("menu.exit")));
    return menu;
}

std::optional<uint64_t> interface_for_command(const std::vector<InterfaceInfo>& listed, uint32_t id) {
    if (id < cmd_first_interface || id > cmd_last_interface) {
        return std::nullopt;
    }
    const size_t index = id - cmd_first_interface;
    if (index >= listed.size()) {
        return std::nullopt;
    }
    return listed[index].luid;
}

}  // namespace tide
