// The inventory read from the system: loopback present, counters live, default route marked.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <set>
#include <vector>

#include "net/inventory_win.h"

namespace tide {
namespace {

std::optional<uint64_t> loopback_luid(const Inventory& inventory) {
    for (const InterfaceInfo& info : inventory.interfaces) {
        if (info.kind == InterfaceKind::loopback) {
            return info.luid;
        }
    }
    return std::nullopt;
}

TEST(TakeInventory, IsValidAndListsLoopback) {
    const Inventory inventory = take_inventory();
    ASSERT_TRUE(inventory.valid);
    EXPECT_GT(inventory.timestamp, 0);
    ASSERT_TRUE(loopback_luid(inventory).has_value());
    for (const InterfaceInfo& info : inventory.interfaces) {
        EXPECT_TRUE(inventory.counters.contains(info.luid)) << info.name;
    }
    EXPECT_GT(take_inventory().timestamp, inventory.timestamp);
}

// Sends `count` datagrams of `size` bytes to itself over 127.0.0.1 and reads them back.
bool send_over_loopback(int count, int size) {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return false;
    }
    bool ok = false;
    const SOCKET receiver = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    const SOCKET sender = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (receiver != INVALID_SOCKET && sender != INVALID_SOCKET &&
        bind(receiver, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        const std::vector<char> payload(static_cast<size_t>(size), 'x');
        std::vector<char> buffer(static_cast<size_t>(size));
        ok = true;
        for (int i = 0; i < count && ok; ++i) {
            ok = sendto(sender, payload.data(), size, 0, reinterpret_cast<sockaddr*>(&address),
                        sizeof(address)) == size &&
                 recv(receiver, buffer.data(), size, 0) == size;
        }
    }
    closesocket(sender);
    closesocket(receiver);
    WSACleanup();
    return ok;
}

TEST(TakeInventory, LoopbackCountersGrowWithTrafficToItself) {
    const Inventory before = take_inventory();
    ASSERT_TRUE(before.valid);
    const std::optional<uint64_t> luid = loopback_luid(before);
    ASSERT_TRUE(luid.has_value());
    const InterfaceCounters start = before.counters.at(*luid);

    constexpr int k_count = 32;
    constexpr int k_size = 1000;
    ASSERT_TRUE(send_over_loopback(k_count, k_size));

    // Other traffic on loopback only adds to the counters, so "at least" is exact enough.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    InterfaceCounters now{};
    do {
        const Inventory after = take_inventory();
        ASSERT_TRUE(after.valid);
        now = after.counters.at(*luid);
        if (now.received >= start.received + k_count * k_size && now.sent >= start.sent + k_count * k_size) {
            return;
        }
        Sleep(50);
    } while (std::chrono::steady_clock::now() < deadline);
    FAIL() << "loopback counters went from " << start.received << "/" << start.sent << " to " << now.received
           << "/" << now.sent;
}

TEST(TakeInventory, MarksTheDefaultRouteInterfaceRouted) {
    std::set<uint64_t> defaults;
    MIB_IPFORWARD_TABLE2* table = nullptr;
    if (GetIpForwardTable2(AF_UNSPEC, &table) == NO_ERROR && table != nullptr) {
        for (ULONG i = 0; i < table->NumEntries; ++i) {
            if (table->Table[i].DestinationPrefix.PrefixLength == 0) {
                defaults.insert(table->Table[i].InterfaceLuid.Value);
            }
        }
        FreeMibTable(table);
    }
    if (defaults.empty()) {
        GTEST_SKIP() << "this machine has no default route";
    }
    const Inventory inventory = take_inventory();
    ASSERT_TRUE(inventory.valid);
    bool found = false;
    for (const InterfaceInfo& info : inventory.interfaces) {
        found = found || (info.routed && defaults.contains(info.luid));
    }
    EXPECT_TRUE(found);
}

} // namespace
} // namespace tide
