// What Tidemeter says to an UPnP Internet Gateway Device and how it reads the answers: discovery, the
// description and the SOAP actions. The router's answers are untrusted network input: every reader
// here is bounded and returns nothing for anything it does not fully understand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/router_address.h"
#include "net/xml.h"

namespace tide {

inline constexpr std::string_view k_igd1 = "urn:schemas-upnp-org:device:InternetGatewayDevice:1";
inline constexpr std::string_view k_igd2 = "urn:schemas-upnp-org:device:InternetGatewayDevice:2";
inline constexpr std::string_view k_common_interface_config =
    "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1";

inline constexpr size_t k_max_ssdp_reply = 4096;
inline constexpr size_t k_max_description = 64 * 1024;
inline constexpr size_t k_max_answer = 16 * 1024;
inline constexpr size_t k_max_wan_links = 4; // WANDevices read from one description

// The M-SEARCH datagram for one search target, sent to 239.255.255.250:1900.
std::string ssdp_search_request(std::string_view search_target);

struct SsdpReply {
    std::string location;
    std::string search_target; // ST
    std::string usn;
};

// An "HTTP/1.1 200" reply with LOCATION and an ST naming an Internet Gateway Device (1 or 2); header
// names in any case.
std::optional<SsdpReply> read_ssdp_reply(std::string_view datagram);

// One WANDevice of the gateway: its counters' service and, when it has one, the connection service
// whose uptime tells a reconnect.
struct WanLink {
    HttpUrl common;                    // WANCommonInterfaceConfig's control URL, resolved
    std::optional<HttpUrl> connection; // WANIPConnection's or WANPPPConnection's
    std::string connection_service;    // that service's type, for its SOAP action
    bool operator==(const WanLink&) const = default;
};

struct RouterDescription {
    std::vector<WanLink> links; // at least one, at most k_max_wan_links, in document order
    std::string friendly_name;  // of the gateway device
    std::string model_name;
    std::string udn;
    std::string serial_number;
};

// The gateway's WANDevices with a WANCommonInterfaceConfig service, their URLs resolved against
// URLBase or, without it, the description's own location. URLBase and every URL followed must name
// the location's host: nothing when one names another.
std::optional<RouterDescription> read_description(const XmlTree& tree, const HttpUrl& location);
std::optional<RouterDescription> read_description(std::string_view text, const HttpUrl& location);

enum class RouterAction : int32_t {
    total_received = 0,
    total_sent = 1,
    link_properties = 2,
    status_info = 3, // of the connection service
};

std::string_view soap_action_name(RouterAction action);
// The request's body and its SOAPAction header value, for the service that answers the action.
std::string soap_request_body(RouterAction action, std::string_view service = k_common_interface_config);
std::string soap_action_header(RouterAction action, std::string_view service = k_common_interface_config);

// NewTotalBytesReceived or NewTotalBytesSent of a ...Response. The standard's counters are 32-bit,
// but many routers report 64-bit values in the same field, so any unsigned decimal up to 2^64 - 1 is
// taken; the counter rule decides from the values whether they wrap at 4 GiB.
std::optional<uint64_t> read_total(const XmlTree& tree, RouterAction action);
std::optional<uint64_t> read_total(std::string_view text, RouterAction action);

// GetCommonLinkProperties: whether the physical link is "Up", and the link's rates as the router
// states them (bits per second; 0 when missing or not a number).
struct LinkProperties {
    bool up = false;
    uint64_t downstream = 0;
    uint64_t upstream = 0;
    bool operator==(const LinkProperties&) const = default;
};
std::optional<LinkProperties> read_link_properties(const XmlTree& tree);
std::optional<LinkProperties> read_link_properties(std::string_view text);

// NewUptime of GetStatusInfo: seconds since the connection was made.
std::optional<uint64_t> read_uptime(const XmlTree& tree);

} // namespace tide
