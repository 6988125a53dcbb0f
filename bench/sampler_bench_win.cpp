// Cost of one sampler cycle (inventory, choice, rate computation) beside a bare loop of the same
// operating-system calls. Prints the medians and their ratio.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "net/inventory_win.h"
#include "net/sampler.h"

namespace {

double now_us() {
    static const double frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e6 / frequency;
}

// What take_inventory asks of the system, without building anything from it.
void bare_calls() {
    MIB_IF_TABLE2* table = nullptr;
    if (GetIfTable2(&table) == NO_ERROR && table != nullptr) {
        FreeMibTable(table);
    }
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);

    SOCKADDR_INET v4{};
    v4.Ipv4.sin_family = AF_INET;
    const unsigned char v4_bytes[4] = {8, 8, 8, 8};
    std::memcpy(&v4.Ipv4.sin_addr, v4_bytes, sizeof(v4_bytes));
    SOCKADDR_INET v6{};
    v6.Ipv6.sin6_family = AF_INET6;
    const unsigned char v6_bytes[16] = {0x20, 0x01, 0x48, 0x60, 0x48, 0x60, 0,    0,
                                        0,    0,    0,    0,    0,    0,    0x88, 0x88};
    std::memcpy(&v6.Ipv6.sin6_addr, v6_bytes, sizeof(v6_bytes));

    MIB_IPFORWARD_ROW2 route{};
    SOCKADDR_INET source{};
    GetBestRoute2(nullptr, 0, nullptr, &v4, 0, &route, &source);
    GetBestRoute2(nullptr, 0, nullptr, &v6, 0, &route, &source);
    MIB_IPFORWARD_TABLE2* routes = nullptr;
    if (GetIpForwardTable2(AF_UNSPEC, &routes) == NO_ERROR && routes != nullptr) {
        FreeMibTable(routes);
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain() {
    constexpr int k_warm_up = 20;
    constexpr int k_rounds = 500;
    tide::SamplerState state;
    const tide::SamplerSelection selection;
    size_t name_bytes = 0; // keeps the result alive
    auto cycle = [&] {
        const tide::Inventory inventory = tide::take_inventory();
        const tide::RateSample sample = tide::compute_sample(state, inventory, selection);
        name_bytes += sample.interface_name.size();
    };
    for (int i = 0; i < k_warm_up; ++i) {
        cycle();
        bare_calls();
    }
    // Interleaved so that drift in the machine's load touches both series alike.
    std::vector<double> cycles;
    std::vector<double> bares;
    for (int i = 0; i < k_rounds; ++i) {
        double start = now_us();
        cycle();
        cycles.push_back(now_us() - start);
        start = now_us();
        bare_calls();
        bares.push_back(now_us() - start);
    }
    const double cycle_median = median(cycles);
    const double bare_median = median(bares);
    std::printf("sampler cycle median: %.1f us (%zu name bytes)\n", cycle_median, name_bytes);
    std::printf("bare system calls median: %.1f us\n", bare_median);
    std::printf("ratio: %.3f (goal <= 1.2)\n", cycle_median / bare_median);
    return 0;
}
