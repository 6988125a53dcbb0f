// The home router as a source of counts: what Tidemeter says to an UPnP Internet Gateway Device and
// how it reads the answers (discovery, description, SOAP), and the rule that turns the router's
// counters into totals. The router's answers are untrusted network input: every reader here is
// bounded and returns nothing for anything it does not fully understand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/xml.h"

namespace tide {

inline constexpr std::string_view k_igd1 = "urn:schemas-upnp-org:device:InternetGatewayDevice:1";
inline constexpr std::string_view k_igd2 = "urn:schemas-upnp-org:device:InternetGatewayDevice:2";
inline constexpr std::string_view k_common_interface_config =
    "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1";

inline constexpr size_t k_max_ssdp_reply = 4096;
inline constexpr size_t k_max_description = 64 * 1024;
inline constexpr size_t k_max_answer = 16 * 1024;

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
};

// Only an address on that network, and not the network's own or broadcast address, is followed.
bool on_network(const LocalNetwork& network, uint32_t address);

struct RouterDescription {
    HttpUrl control;           // WANCommonInterfaceConfig's control URL, resolved
    std::string friendly_name; // of the gateway device
    std::string model_name;
    std::string udn;
    std::string serial_number;
};

// The gateway's WANCommonInterfaceConfig service under its WANDevice, resolved against URLBase or,
// without it, the description's own location; nothing unless the control URL is on `network`.
std::optional<RouterDescription> read_description(const XmlTree& tree, const HttpUrl& location,
                                                  const LocalNetwork& network);
std::optional<RouterDescription> read_description(std::string_view text, const HttpUrl& location,
                                                  const LocalNetwork& network);

// The three actions read every sample, in this order.
enum class RouterAction : int32_t { total_received = 0, total_sent = 1, link_properties = 2 };

std::string_view soap_action_name(RouterAction action);
// The request's body and its SOAPAction header value.
std::string soap_request_body(RouterAction action);
std::string soap_action_header(RouterAction action);

// NewTotalBytesReceived or NewTotalBytesSent of a ...Response. The standard's counters are 32-bit,
// but many routers report 64-bit values in the same field, so any unsigned decimal up to 2^64 - 1 is
// taken; the counter rule below decides from the values whether they wrap at 4 GiB.
std::optional<uint64_t> read_total(const XmlTree& tree, RouterAction action);
// NewPhysicalLinkStatus of GetCommonLinkPropertiesResponse is "Up".
std::optional<bool> read_link_up(const XmlTree& tree);
// The same from the answer's text, at most k_max_answer bytes.
std::optional<uint64_t> read_total(std::string_view text, RouterAction action);
std::optional<bool> read_link_up(std::string_view text);

// What one sample got from the router.
struct RouterAnswer {
    bool answered = false; // all three actions answered and read
    std::string udn;
    uint64_t received = 0;
    uint64_t sent = 0;
    bool link_up = false;
    int64_t time = 0; // monotonic nanoseconds
};

// Turns the router's counters into running totals that never go back.
//
// The rule for a counter that went down: it wrapped if both readings fit in 32 bits and the bytes a
// wrap implies (2^32 - previous + new) could have crossed the link in the time between the two
// readings at k_max_bytes_per_second; otherwise the router restarted or reset its counters, and the new
// reading is a new baseline with nothing counted. A router that restarts stops answering first, and
// every reading after a gap (no answer, link down, more than k_max_gap between answers) is a new
// baseline anyway, so a restart is only taken for a wrap when the counter was near 4 GiB and dropped
// within one sample. Another router (another UDN) is a new baseline too, and so is a rise beyond
// what the link could carry. A new baseline starts a new epoch: the totals of different epochs are
// never compared.
class RouterCounter {
public:
    static constexpr uint64_t k_max_bytes_per_second = 1'250'000'000; // 10 Gbit/s
    static constexpr int64_t k_max_gap = 60'000'000'000;              // ns

    enum class Event : int32_t { no_answer, baseline, counted, wrapped, restarted };

    struct Result {
        Event event = Event::no_answer;
        bool valid = false;
        uint64_t received = 0; // running totals of this epoch
        uint64_t sent = 0;
        uint64_t epoch = 0;
    };

    Result update(const RouterAnswer& answer);

private:
    Result baseline(const RouterAnswer& answer, Event event);

    bool has_previous_ = false;
    RouterAnswer previous_;
    uint64_t received_ = 0;
    uint64_t sent_ = 0;
    uint64_t epoch_ = 0;
};

} // namespace tide
