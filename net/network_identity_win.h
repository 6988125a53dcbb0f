// The network the counted interface is on, from the Network List Manager or the default gateway, and
// the system's word that routes or interfaces changed.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "net/network_identity.h"

namespace tide {

// What decides the network: the interface that carries the default route and its gateway's address.
// A new key is the moment to look the network up again.
struct NetworkKey {
    uint64_t luid = 0;   // 0: no interface with a default route
    std::string gateway; // the next hop's address bytes; empty without one

    friend bool operator==(const NetworkKey&, const NetworkKey&) = default;
};

// The key for the interface (its own default route), or, without one, for the interface the best route
// to the internet leaves by. Consults the routing table only.
NetworkKey current_network_key(std::optional<uint64_t> luid);

// The network behind the key: the Network List Manager's network connected through that adapter
// (its id and name, and its cost), else the gateway's MAC address ("gw:"); "No network" without a
// default route. Nothing while the gateway's MAC address is not known yet (the neighbour table holds
// it once any traffic went to it). Runs on a thread with COM initialised; blocks at most for the
// system's own address resolution.
std::optional<NetworkIdentity> look_up_network(const NetworkKey& key);

// Routes or IP interfaces changed: set by the system's notification threads, taken by the main thread.
class NetworkChangeWatch {
public:
    NetworkChangeWatch() = default;
    NetworkChangeWatch(const NetworkChangeWatch&) = delete;
    NetworkChangeWatch& operator=(const NetworkChangeWatch&) = delete;
    ~NetworkChangeWatch() { stop(); }

    // False when neither notification could be registered (the caller then looks now and then).
    bool start();
    void stop();
    // The tick count of the first change since the last call, or nothing.
    std::optional<uint64_t> take_change();
    void note_change(); // for the notification callbacks

private:
    HANDLE route_ = nullptr;
    HANDLE interface_ = nullptr;
    std::atomic<uint64_t> changed_at_{0};
};

} // namespace tide
