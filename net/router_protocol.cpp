// The UPnP IGD protocol texts and their readers.
#include "net/router_protocol.h"

#include <limits>

namespace tide {
namespace {

constexpr std::string_view k_device_prefix = "urn:schemas-upnp-org:device:";
constexpr std::string_view k_service_prefix = "urn:schemas-upnp-org:service:";
constexpr size_t k_max_name = 128; // bytes kept of a name or identifier from the description

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equal_ignoring_case(text.substr(0, prefix.size()), prefix);
}

// Cut at a character boundary, so that a long name stays valid UTF-8.
std::string bounded(std::string_view text) {
    text = trim_blanks(text);
    if (text.size() <= k_max_name) {
        return std::string(text);
    }
    size_t end = k_max_name;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(text.substr(0, end));
}

// "urn:schemas-upnp-org:<prefix kind>:<kind>:<version>" for the kind named.
bool is_type(std::string_view type, std::string_view prefix, std::string_view kind) {
    const std::string_view text = trim_blanks(type);
    return text.size() > prefix.size() + kind.size() + 1 && text.substr(0, prefix.size()) == prefix &&
           text.substr(prefix.size(), kind.size()) == kind && text[prefix.size() + kind.size()] == ':';
}

bool is_device(const XmlTree& tree, int element, std::string_view kind) {
    return is_type(tree.child_text(element, "deviceType"), k_device_prefix, kind);
}

// The children of `parent` that are named `name`, in order, until `visit` says stop.
template <typename Visit>
bool any_child(const XmlTree& tree, int parent, std::string_view name, Visit visit) {
    for (size_t i = static_cast<size_t>(parent) + 1; i < tree.elements.size(); ++i) {
        const XmlElement& element = tree.elements[i];
        if (element.depth <= tree.elements[static_cast<size_t>(parent)].depth) {
            break;
        }
        if (element.parent == parent && element.name == name && visit(static_cast<int>(i))) {
            return true;
        }
    }
    return false;
}

// The devices of `device`'s deviceList, in order, until `visit` says stop.
template <typename Visit> bool any_subdevice(const XmlTree& tree, int device, Visit visit) {
    const int list = tree.child(device, "deviceList");
    return list >= 0 && any_child(tree, list, "device", visit);
}

template <typename Visit> bool any_service(const XmlTree& tree, int device, Visit visit) {
    const int list = tree.child(device, "serviceList");
    return list >= 0 && any_child(tree, list, "service", visit);
}

std::optional<uint64_t> parse_unsigned(std::string_view text) {
    const std::string_view digits = trim_blanks(text);
    if (digits.empty() || digits.size() > 20) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::string_view response_name(RouterAction action) {
    switch (action) {
    case RouterAction::total_received:
        return "GetTotalBytesReceivedResponse";
    case RouterAction::total_sent:
        return "GetTotalBytesSentResponse";
    case RouterAction::status_info:
        return "GetStatusInfoResponse";
    case RouterAction::link_properties:
        break;
    }
    return "GetCommonLinkPropertiesResponse";
}

// The response element inside Envelope/Body, or -1 (a SOAP fault has none).
int response_element(const XmlTree& tree, RouterAction action) {
    if (tree.elements.empty() || tree.elements.front().name != "Envelope") {
        return -1;
    }
    const int body = tree.child(0, "Body");
    return body < 0 ? -1 : tree.child(body, response_name(action));
}

// The text of a field of the action's response, or nothing.
std::optional<std::string_view> response_field(const XmlTree& tree, RouterAction action,
                                               std::string_view field) {
    const int response = response_element(tree, action);
    const int element = response < 0 ? -1 : tree.child(response, field);
    if (element < 0) {
        return std::nullopt;
    }
    return std::string_view(tree.elements[static_cast<size_t>(element)].text);
}

std::optional<XmlTree> parse_answer(std::string_view text) {
    return text.size() <= k_max_answer ? parse_xml(text) : std::nullopt;
}

} // namespace

std::string ssdp_search_request(std::string_view search_target) {
    // MX 1: routers answer within a second, well inside the two seconds the replies are collected.
    std::string request =
        "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 1\r\nST: ";
    request += search_target;
    request += "\r\n\r\n";
    return request;
}

std::optional<SsdpReply> read_ssdp_reply(std::string_view datagram) {
    if (datagram.size() > k_max_ssdp_reply) {
        return std::nullopt;
    }
    size_t end = datagram.find('\n');
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view status = trim_blanks(datagram.substr(0, end));
    if (!starts_with_ignoring_case(status, "HTTP/1.1 200") &&
        !starts_with_ignoring_case(status, "HTTP/1.0 200")) {
        return std::nullopt;
    }
    if (status.size() > 12 && status[12] != ' ') {
        return std::nullopt; // "HTTP/1.1 2000"
    }
    SsdpReply reply;
    datagram.remove_prefix(end + 1);
    while (!datagram.empty()) {
        end = datagram.find('\n');
        const std::string_view line = datagram.substr(0, end);
        datagram.remove_prefix(end == std::string_view::npos ? datagram.size() : end + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            if (trim_blanks(line).empty()) {
                break; // the end of the headers
            }
            return std::nullopt;
        }
        const std::string_view name = trim_blanks(line.substr(0, colon));
        const std::string_view value = trim_blanks(line.substr(colon + 1));
        if (equal_ignoring_case(name, "location")) {
            reply.location = value;
        } else if (equal_ignoring_case(name, "st")) {
            reply.search_target = value;
        } else if (equal_ignoring_case(name, "usn")) {
            reply.usn = value;
        }
    }
    if (reply.location.empty() || (reply.search_target != k_igd1 && reply.search_target != k_igd2)) {
        return std::nullopt;
    }
    return reply;
}

std::optional<RouterDescription> read_description(const XmlTree& tree, const HttpUrl& location) {
    if (tree.elements.empty() || tree.elements.front().name != "root") {
        return std::nullopt;
    }
    HttpUrl base = location;
    const std::string url_base(trim_blanks(tree.child_text(0, "URLBase")));
    if (!url_base.empty()) {
        const std::optional<HttpUrl> parsed = parse_http_url(url_base);
        if (!parsed || parsed->address != location.address) {
            return std::nullopt;
        }
        base = *parsed;
    }
    const int gateway = tree.child(0, "device");
    if (gateway < 0 || !is_device(tree, gateway, "InternetGatewayDevice")) {
        return std::nullopt;
    }
    // Every URL names the router's own host, or the description is no router's.
    bool elsewhere = false;
    const auto resolved = [&](int service) -> std::optional<HttpUrl> {
        const std::optional<HttpUrl> url =
            resolve_url(base, trim_blanks(tree.child_text(service, "controlURL")));
        elsewhere |= url && url->address != location.address;
        return url && url->address == location.address ? url : std::nullopt;
    };
    RouterDescription description;
    any_subdevice(tree, gateway, [&](int device) {
        if (!is_device(tree, device, "WANDevice")) {
            return false;
        }
        WanLink link;
        const bool counters = any_service(tree, device, [&](int service) {
            if (trim_blanks(tree.child_text(service, "serviceType")) != k_common_interface_config) {
                return false;
            }
            const std::optional<HttpUrl> url = resolved(service);
            link.common = url.value_or(HttpUrl{});
            return url.has_value();
        });
        if (!counters) {
            return false;
        }
        any_subdevice(tree, device, [&](int connection_device) {
            return is_device(tree, connection_device, "WANConnectionDevice") &&
                   any_service(tree, connection_device, [&](int service) {
                       const std::string type(trim_blanks(tree.child_text(service, "serviceType")));
                       if (!is_type(type, k_service_prefix, "WANIPConnection") &&
                           !is_type(type, k_service_prefix, "WANPPPConnection")) {
                           return false;
                       }
                       link.connection = resolved(service);
                       link.connection_service = link.connection ? bounded(type) : std::string();
                       return link.connection.has_value();
                   });
        });
        description.links.push_back(std::move(link));
        return description.links.size() == k_max_wan_links;
    });
    if (elsewhere || description.links.empty()) {
        return std::nullopt;
    }
    description.friendly_name = bounded(tree.child_text(gateway, "friendlyName"));
    description.model_name = bounded(tree.child_text(gateway, "modelName"));
    description.udn = bounded(tree.child_text(gateway, "UDN"));
    description.serial_number = bounded(tree.child_text(gateway, "serialNumber"));
    return description;
}

std::optional<RouterDescription> read_description(std::string_view text, const HttpUrl& location) {
    if (text.size() > k_max_description) {
        return std::nullopt;
    }
    const std::optional<XmlTree> tree = parse_xml(text);
    return tree ? read_description(*tree, location) : std::nullopt;
}

std::string_view soap_action_name(RouterAction action) {
    switch (action) {
    case RouterAction::total_received:
        return "GetTotalBytesReceived";
    case RouterAction::total_sent:
        return "GetTotalBytesSent";
    case RouterAction::status_info:
        return "GetStatusInfo";
    case RouterAction::link_properties:
        break;
    }
    return "GetCommonLinkProperties";
}

std::string soap_request_body(RouterAction action, std::string_view service) {
    const std::string name(soap_action_name(action));
    return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" +
           name + " xmlns:u=\"" + std::string(service) + "\"></u:" + name + "></s:Body></s:Envelope>\r\n";
}

std::string soap_action_header(RouterAction action, std::string_view service) {
    return "\"" + std::string(service) + "#" + std::string(soap_action_name(action)) + "\"";
}

std::optional<uint64_t> read_total(const XmlTree& tree, RouterAction action) {
    if (action != RouterAction::total_received && action != RouterAction::total_sent) {
        return std::nullopt;
    }
    const std::optional<std::string_view> text = response_field(
        tree, action, action == RouterAction::total_received ? "NewTotalBytesReceived" : "NewTotalBytesSent");
    return text ? parse_unsigned(*text) : std::nullopt;
}

std::optional<uint64_t> read_total(std::string_view text, RouterAction action) {
    const std::optional<XmlTree> tree = parse_answer(text);
    return tree ? read_total(*tree, action) : std::nullopt;
}

std::optional<LinkProperties> read_link_properties(const XmlTree& tree) {
    const std::optional<std::string_view> status =
        response_field(tree, RouterAction::link_properties, "NewPhysicalLinkStatus");
    if (!status) {
        return std::nullopt;
    }
    const auto rate = [&](std::string_view field) {
        const std::optional<std::string_view> text =
            response_field(tree, RouterAction::link_properties, field);
        return text ? parse_unsigned(*text).value_or(0) : 0;
    };
    return LinkProperties{trim_blanks(*status) == "Up", rate("NewLayer1DownstreamMaxBitRate"),
                          rate("NewLayer1UpstreamMaxBitRate")};
}

std::optional<LinkProperties> read_link_properties(std::string_view text) {
    const std::optional<XmlTree> tree = parse_answer(text);
    return tree ? read_link_properties(*tree) : std::nullopt;
}

std::optional<uint64_t> read_uptime(const XmlTree& tree) {
    const std::optional<std::string_view> text = response_field(tree, RouterAction::status_info, "NewUptime");
    return text ? parse_unsigned(*text) : std::nullopt;
}

} // namespace tide
