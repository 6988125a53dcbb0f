// Which addresses the router client talks to: http URLs of IPv4 hosts only, and only the home's
// gateway. A reply, a description or an URL base that names anything else is never followed, so a
// printer, a rogue device on the LAN or this PC itself cannot become "the router".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

// The text without the blanks, tabs and line ends around it, as the UPnP texts allow.
std::string_view trim_blanks(std::string_view text);

struct HttpUrl {
    uint32_t address = 0; // IPv4, host order
    uint16_t port = 80;
    std::string path = "/"; // with its query
    bool operator==(const HttpUrl&) const = default;
};

// An absolute `http://a.b.c.d[:port][/path]` URL. Names, IPv6, user information and other schemes
// are refused.
std::optional<HttpUrl> parse_http_url(std::string_view text);

// A reference as found in a description (absolute URL, absolute path or relative path) against the
// URL it is relative to.
std::optional<HttpUrl> resolve_url(const HttpUrl& base, std::string_view reference);

// The network of the interface an answer came in on.
struct LocalNetwork {
    uint32_t address = 0; // host order
    int prefix = 24;
    std::optional<uint32_t> gateway; // that interface's default gateway, when it has one
};

// An address on that network, not the network's own or broadcast address (a /31 has neither). A
// network wider than /8 is no home network: nothing is on it.
bool on_network(const LocalNetwork& network, uint32_t address);

// Where an SSDP reply came from and what it said.
struct SsdpOrigin {
    uint32_t from = 0;    // the reply's source address
    HttpUrl location;     // its LOCATION
    LocalNetwork network; // of the interface it came in on
};

// The one host a router may be: the LOCATION names the address the reply came from, that address is
// the default gateway of the interface it came in on and lies on its network, and it is none of this
// PC's own addresses.
bool is_home_gateway(const SsdpOrigin& origin, const std::vector<uint32_t>& own_addresses);

// Of all replies collected in the search window, the first that passes is_home_gateway.
std::optional<SsdpOrigin> choose_router(const std::vector<SsdpOrigin>& replies,
                                        const std::vector<uint32_t>& own_addresses);

} // namespace tide
