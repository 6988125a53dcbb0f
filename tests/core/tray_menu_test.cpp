#include "app/tray_menu.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tide {
namespace {

std::string key_text(std::string_view key) { return "[" + std::string(key) + "]"; }

InterfaceInfo iface(uint64_t luid, std::string name, InterfaceKind kind, bool usable = true) {
    InterfaceInfo info;
    info.luid = luid;
    info.name = std::move(name);
    info.kind = kind;
    info.usable = usable;
    return info;
}

const TrayMenuItem& find(const TrayMenu& menu, uint32_t id) {
    for (const auto& item : menu.items) {
        if (item.kind == TrayMenuItem::Kind::command && item.id == id) {
            return item;
        }
    }
    ADD_FAILURE() << "no item " << id;
    return menu.items.front();
}

const TrayMenuItem& submenu(const TrayMenu& menu) {
    for (const auto& item : menu.items) {
        if (item.kind == TrayMenuItem::Kind::submenu) {
            return item;
        }
    }
    ADD_FAILURE() << "no submenu";
    return menu.items.front();
}

TEST(TrayMenu, EntriesInOrderWithTheirTexts) {
    TrayMenuState state;
    state.website = true;
    state.updates_page = true;
    const TrayMenu menu = build_tray_menu(state, nullptr, key_text);
    std::vector<std::pair<uint32_t, std::string>> seen;
    for (const auto& item : menu.items) {
        switch (item.kind) {
        case TrayMenuItem::Kind::separator: seen.emplace_back(0, "-"); break;
        case TrayMenuItem::Kind::submenu: seen.emplace_back(1, item.text); break;
        case TrayMenuItem::Kind::command: seen.emplace_back(item.id, item.text); break;
        }
    }
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {100, "[menu.open]"}, {109, "[menu.settings]"}, {0, "-"},
        {101, "[settings.on_taskbar]"}, {111, "[settings.show_desktop]"}, {112, "[settings.lock]"}, {0, "-"},
        {102, "[menu.pause]"}, {1, "[menu.interface]"}, {103, "[menu.start_with_windows]"}, {0, "-"},
        {107, "[menu.export_diagnostics]"}, {113, "[menu.usage_history]"}, {108, "[menu.export_usage]"},
        {110, "[menu.check_updates]"},
        {0, "-"}, {104, "[menu.website]"}, {105, "[menu.about]"}, {0, "-"}, {106, "[menu.exit]"}};
    EXPECT_EQ(seen, expected);
}

// A build given no address offers neither page; each address brings its own item alone.
TEST(TrayMenu, OffersOnlyThePagesTheBuildNames) {
    const auto ids = [](const TrayMenuState& state) {
        std::vector<uint32_t> found;
        for (const auto& item : build_tray_menu(state, nullptr, key_text).items) {
            if (item.id == cmd_website || item.id == cmd_check_updates) {
                found.push_back(item.id);
            }
        }
        return found;
    };
    TrayMenuState state;
    EXPECT_EQ(ids(state), std::vector<uint32_t>{});
    EXPECT_EQ(build_tray_menu(state, nullptr, key_text).items.size(), 18u);
    state.website = true;
    EXPECT_EQ(ids(state), std::vector<uint32_t>{cmd_website});
    state.website = false;
    state.updates_page = true;
    EXPECT_EQ(ids(state), std::vector<uint32_t>{cmd_check_updates});
}

TEST(TrayMenu, PausedOffersResume) {
    TrayMenuState state;
    state.paused = true;
    EXPECT_EQ(find(build_tray_menu(state, nullptr, key_text), cmd_pause).text, "[menu.resume]");
}

TEST(TrayMenu, CheckMarksFollowTheState) {
    TrayMenuState state;
    state.compact_enabled = true;
    state.compact_on_taskbar = true;
    state.compact_mode = 0;
    state.desktop_enabled = true;
    state.start_with_windows = true;
    TrayMenu menu = build_tray_menu(state, nullptr, key_text);
    EXPECT_TRUE(find(menu, cmd_toggle_taskbar).checked);
    EXPECT_TRUE(find(menu, cmd_toggle_desktop).checked);
    EXPECT_TRUE(find(menu, cmd_start_with_windows).checked);
    EXPECT_FALSE(find(menu, cmd_open).checked);

    state.compact_mode = 1;  // overlay-free modes do not count as "on the taskbar"
    state.desktop_enabled = false;
    state.start_with_windows = false;
    menu = build_tray_menu(state, nullptr, key_text);
    EXPECT_FALSE(find(menu, cmd_toggle_taskbar).checked);
    EXPECT_FALSE(find(menu, cmd_toggle_desktop).checked);
    EXPECT_FALSE(find(menu, cmd_start_with_windows).checked);
}

// compact_enabled, compact_mode, compact_locked, desktop_enabled, desktop_locked -> locked
using LockCase = std::tuple<bool, int, bool, bool, bool, bool>;
class LockedState : public testing::TestWithParam<LockCase> {};

TEST_P(LockedState, FollowsTheDisplayInUse) {
    const auto [compact_enabled, mode, compact_locked, desktop_enabled, desktop_locked, expected] = GetParam();
    TrayMenuState state;
    state.compact_enabled = compact_enabled;
    state.compact_mode = mode;
    state.compact_locked = compact_locked;
    state.desktop_enabled = desktop_enabled;
    state.desktop_locked = desktop_locked;
    EXPECT_EQ(displays_locked(state), expected);
    EXPECT_EQ(find(build_tray_menu(state, nullptr, key_text), cmd_toggle_lock).checked, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LockedState,
    testing::Values(
        // taskbar display in use: its lock counts, and the desktop's only when the desktop is on
        LockCase{true, 0, true, false, false, true}, LockCase{true, 0, true, true, false, false},
        LockCase{true, 0, true, true, true, true}, LockCase{true, 0, false, false, true, false},
        // taskbar display not in use: the desktop lock counts when the desktop is on or compact is locked
        LockCase{false, 0, false, true, true, true}, LockCase{false, 0, false, false, true, false},
        LockCase{false, 0, true, false, true, true}, LockCase{true, 2, false, true, false, false},
        LockCase{true, 1, true, false, false, false}));

TEST(TrayMenu, InterfaceListSkipsDownAndLoopback) {
    const std::vector<InterfaceInfo> inventory = {
        iface(1, "Loopback Pseudo-Interface 1", InterfaceKind::loopback),
        iface(2, "Ethernet", InterfaceKind::ethernet),
        iface(3, "Wi-Fi", InterfaceKind::wifi, false),
        iface(4, "VPN", InterfaceKind::vpn),
        iface(5, "vEthernet", InterfaceKind::virtual_),
    };
    TrayMenuState state;
    state.manual_adapter = 4;
    const TrayMenu menu = build_tray_menu(state, &inventory, key_text);
    const auto& sub = submenu(menu);
    ASSERT_EQ(sub.children.size(), 4u);
    EXPECT_EQ(sub.children[0].id, cmd_automatic);
    EXPECT_FALSE(sub.children[0].checked);
    EXPECT_EQ(sub.children[1].text, "Ethernet");
    EXPECT_EQ(sub.children[1].id, 201u);
    EXPECT_FALSE(sub.children[1].checked);
    EXPECT_EQ(sub.children[2].text, "VPN");
    EXPECT_EQ(sub.children[2].id, 202u);
    EXPECT_TRUE(sub.children[2].checked);
    EXPECT_EQ(sub.children[3].text, "vEthernet");
    ASSERT_EQ(menu.interfaces.size(), 3u);
    EXPECT_EQ(menu.interfaces[1].luid, 4u);
}

TEST(TrayMenu, ManualInterfaceThatIsDownChecksNothing) {
    const std::vector<InterfaceInfo> inventory = {iface(2, "Ethernet", InterfaceKind::ethernet),
                                                  iface(3, "Wi-Fi", InterfaceKind::wifi, false)};
    TrayMenuState state;
    state.manual_adapter = 3;
    const auto& sub = submenu(build_tray_menu(state, &inventory, key_text));
    for (const auto& child : sub.children) {
        EXPECT_FALSE(child.checked) << child.text;
    }
}

TEST(TrayMenu, InvalidInventoryOffersOnlyAutomatic) {
    const TrayMenu menu = build_tray_menu({}, nullptr, key_text);
    const auto& sub = submenu(menu);
    ASSERT_EQ(sub.children.size(), 1u);
    EXPECT_TRUE(sub.children[0].checked);
    EXPECT_TRUE(menu.interfaces.empty());
}

TEST(TrayMenu, IdentifiersStopAt299) {
    std::vector<InterfaceInfo> inventory;
    for (uint64_t i = 0; i < 120; ++i) {
        inventory.push_back(iface(1000 + i, "if" + std::to_string(i), InterfaceKind::ethernet));
    }
    const TrayMenu menu = build_tray_menu({}, &inventory, key_text);
    EXPECT_EQ(menu.interfaces.size(), 99u);
    EXPECT_EQ(submenu(menu).children.back().id, 299u);
}

TEST(TrayMenu, StoredListResolvesTheCommand) {
    const std::vector<InterfaceInfo> listed = {iface(7, "a", InterfaceKind::ethernet),
                                               iface(8, "b", InterfaceKind::wifi),
                                               iface(9, "c", InterfaceKind::vpn)};
    EXPECT_EQ(interface_for_command(listed, 203), std::optional<uint64_t>(9));
    EXPECT_EQ(interface_for_command(listed, 201), std::optional<uint64_t>(7));
    EXPECT_EQ(interface_for_command(listed, 204), std::nullopt);
    EXPECT_EQ(interface_for_command(listed, 200), std::nullopt);
    EXPECT_EQ(interface_for_command(listed, 300), std::nullopt);
    // Beyond the last identifier even with every identifier in use.
    const std::vector<InterfaceInfo> full(100, iface(5, "d", InterfaceKind::ethernet));
    EXPECT_EQ(interface_for_command(full, 299), std::optional<uint64_t>(5));
    EXPECT_EQ(interface_for_command(full, 300), std::nullopt);
}

}  // namespace
}  // namespace tide
