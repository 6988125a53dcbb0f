// The home router as a source of counts: the UPnP IGD protocol texts, their readers and the counter rule.
#include "net/router.h"

#include <limits>

namespace tide {
namespace {

constexpr std::string_view k_device_prefix = "urn:schemas-upnp-org:device:";
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

std::string_view trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Cut at a character boundary, so that a long name stays valid UTF-8.
std::string bounded(std::string_view text) {
    text = trim(text);
    if (text.size() <= k_max_name) {
        return std::string(text);
    }
    size_t end = k_max_name;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(text.substr(0, end));
}

// A path may go into a request line as it is: printable ASCII without spaces.
bool valid_path(std::string_view path) {
    if (path.empty() || path.front() != '/') {
        return false;
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            return false;
        }
    }
    return true;
}

std::optional<uint32_t> parse_decimal(std::string_view digits, uint32_t max) {
    if (digits.empty() || digits.size() > 5) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<uint32_t> parse_ipv4(std::string_view host) {
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = part < 3 ? host.find('.') : host.size();
        if (dot == std::string_view::npos || dot > 3) {
            return std::nullopt;
        }
        const std::optional<uint32_t> value = parse_decimal(host.substr(0, dot), 255);
        if (!value) {
            return std::nullopt;
        }
        address = (address << 8) | *value;
        host.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

bool is_device(const XmlTree& tree, int element, std::string_view kind) {
    const std::string type = tree.child_text(element, "deviceType");
    const std::string_view text = trim(type);
    return text.size() > k_device_prefix.size() + kind.size() + 1 &&
           text.substr(0, k_device_prefix.size()) == k_device_prefix &&
           text.substr(k_device_prefix.size(), kind.size()) == kind &&
           text[k_device_prefix.size() + kind.size()] == ':';
}

// The children of `parent` that are named `name`, in order.
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

std::string_view response_name(RouterAction action) {
    switch (action) {
    case RouterAction::total_received:
        return "GetTotalBytesReceivedResponse";
    case RouterAction::total_sent:
        return "GetTotalBytesSentResponse";
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
    const std::string_view status = trim(datagram.substr(0, end));
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
            if (trim(line).empty()) {
                break; // the end of the headers
            }
            return std::nullopt;
        }
        const std::string_view name = trim(line.substr(0, colon));
        const std::string_view value = trim(line.substr(colon + 1));
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

std::optional<HttpUrl> parse_http_url(std::string_view text) {
    text = trim(text);
    if (!starts_with_ignoring_case(text, "http://")) {
        return std::nullopt;
    }
    text.remove_prefix(7);
    const size_t slash = text.find_first_of("/?#");
    const std::string_view authority = text.substr(0, slash);
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    rest = rest.substr(0, rest.find('#'));
    HttpUrl url;
    const size_t colon = authority.find(':');
    const std::optional<uint32_t> address = parse_ipv4(authority.substr(0, colon));
    if (!address) {
        return std::nullopt;
    }
    url.address = *address;
    if (colon != std::string_view::npos) {
        const std::optional<uint32_t> port = parse_decimal(authority.substr(colon + 1), 65535);
        if (!port || *port == 0) {
            return std::nullopt;
        }
        url.port = static_cast<uint16_t>(*port);
    }
    url.path = rest.empty() ? "/" : rest.front() == '?' ? "/" + std::string(rest) : std::string(rest);
    if (!valid_path(url.path)) {
        return std::nullopt;
    }
    return url;
}

std::optional<HttpUrl> resolve_url(const HttpUrl& base, std::string_view reference) {
    reference = trim(reference);
    reference = reference.substr(0, reference.find('#'));
    if (reference.empty() || reference.substr(0, 2) == "//") {
        return std::nullopt;
    }
    const size_t scheme_end = reference.find(':');
    if (scheme_end != std::string_view::npos && reference.find_first_of("/?") > scheme_end) {
        return parse_http_url(reference); // absolute: only http
    }
    HttpUrl url = base;
    if (reference.front() == '/') {
        url.path = reference;
    } else {
        url.path = base.path.substr(0, base.path.find('?'));
        url.path = url.path.substr(0, url.path.rfind('/') + 1);
        url.path += reference;
    }
    if (!valid_path(url.path)) {
        return std::nullopt;
    }
    return url;
}

bool on_network(const LocalNetwork& network, uint32_t address) {
    if (network.prefix < 8 || network.prefix > 32) {
        return false;
    }
    const uint32_t mask = network.prefix == 32 ? ~uint32_t{0} : ~(~uint32_t{0} >> network.prefix);
    if ((address & mask) != (network.address & mask)) {
        return false;
    }
    if (network.prefix <= 30) {
        const uint32_t host = address & ~mask;
        return host != 0 && host != ~mask;
    }
    return true;
}

std::optional<RouterDescription> read_description(const XmlTree& tree, const HttpUrl& location,
                                                  const LocalNetwork& network) {
    if (tree.elements.empty() || tree.elements.front().name != "root") {
        return std::nullopt;
    }
    HttpUrl base = location;
    const std::string url_base(trim(tree.child_text(0, "URLBase")));
    if (!url_base.empty()) {
        const std::optional<HttpUrl> parsed = parse_http_url(url_base);
        if (!parsed) {
            return std::nullopt;
        }
        base = *parsed;
    }
    const int gateway = tree.child(0, "device");
    if (gateway < 0 || !is_device(tree, gateway, "InternetGatewayDevice")) {
        return std::nullopt;
    }
    std::string control;
    const auto find_service = [&](int service) {
        if (trim(tree.child_text(service, "serviceType")) != k_common_interface_config) {
            return false;
        }
        control = trim(tree.child_text(service, "controlURL"));
        return !control.empty();
    };
    const auto find_in_wan_device = [&](int device) {
        if (!is_device(tree, device, "WANDevice")) {
            return false;
        }
        const int services = tree.child(device, "serviceList");
        return services >= 0 && any_child(tree, services, "service", find_service);
    };
    const int devices = tree.child(gateway, "deviceList");
    if (devices < 0 || !any_child(tree, devices, "device", find_in_wan_device)) {
        return std::nullopt;
    }
    const std::optional<HttpUrl> resolved = resolve_url(base, control);
    if (!resolved || !on_network(network, resolved->address)) {
        return std::nullopt;
    }
    RouterDescription description;
    description.control = *resolved;
    description.friendly_name = bounded(tree.child_text(gateway, "friendlyName"));
    description.model_name = bounded(tree.child_text(gateway, "modelName"));
    description.udn = bounded(tree.child_text(gateway, "UDN"));
    description.serial_number = bounded(tree.child_text(gateway, "serialNumber"));
    return description;
}

std::optional<RouterDescription> read_description(std::string_view text, const HttpUrl& location,
                                                  const LocalNetwork& network) {
    if (text.size() > k_max_description) {
        return std::nullopt;
    }
    const std::optional<XmlTree> tree = parse_xml(text);
    return tree ? read_description(*tree, location, network) : std::nullopt;
}

std::string_view soap_action_name(RouterAction action) {
    switch (action) {
    case RouterAction::total_received:
        return "GetTotalBytesReceived";
    case RouterAction::total_sent:
        return "GetTotalBytesSent";
    case RouterAction::link_properties:
        break;
    }
    return "GetCommonLinkProperties";
}

std::string soap_request_body(RouterAction action) {
    const std::string name(soap_action_name(action));
    return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" +
           name + " xmlns:u=\"" + std::string(k_common_interface_config) + "\"></u:" + name +
           "></s:Body></s:Envelope>\r\n";
}

std::string soap_action_header(RouterAction action) {
    return "\"" + std::string(k_common_interface_config) + "#" + std::string(soap_action_name(action)) + "\"";
}

std::optional<uint64_t> read_total(const XmlTree& tree, RouterAction action) {
    const int response = response_element(tree, action);
    const std::string_view field =
        action == RouterAction::total_received ? "NewTotalBytesReceived" : "NewTotalBytesSent";
    if (response < 0 || action == RouterAction::link_properties) {
        return std::nullopt;
    }
    const int element = tree.child(response, field);
    if (element < 0) {
        return std::nullopt;
    }
    const std::string_view digits = trim(tree.elements[static_cast<size_t>(element)].text);
    if (digits.empty() || digits.size() > 20) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::optional<bool> read_link_up(const XmlTree& tree) {
    const int response = response_element(tree, RouterAction::link_properties);
    const int element = response < 0 ? -1 : tree.child(response, "NewPhysicalLinkStatus");
    if (element < 0) {
        return std::nullopt;
    }
    return trim(tree.elements[static_cast<size_t>(element)].text) == "Up";
}

std::optional<uint64_t> read_total(std::string_view text, RouterAction action) {
    const std::optional<XmlTree> tree = text.size() <= k_max_answer ? parse_xml(text) : std::nullopt;
    return tree ? read_total(*tree, action) : std::nullopt;
}

std::optional<bool> read_link_up(std::string_view text) {
    const std::optional<XmlTree> tree = text.size() <= k_max_answer ? parse_xml(text) : std::nullopt;
    return tree ? read_link_up(*tree) : std::nullopt;
}

RouterCounter::Result RouterCounter::baseline(const RouterAnswer& answer, Event event) {
    has_previous_ = true;
    previous_ = answer;
    ++epoch_;
    return {event, true, received_, sent_, epoch_};
}

RouterCounter::Result RouterCounter::update(const RouterAnswer& answer) {
    if (!answer.answered) {
        has_previous_ = false;
        return {Event::no_answer, false, received_, sent_, epoch_};
    }
    const int64_t elapsed = answer.time - previous_.time;
    if (!has_previous_ || answer.udn != previous_.udn || !answer.link_up || !previous_.link_up ||
        elapsed <= 0 || elapsed > k_max_gap) {
        return baseline(answer, Event::baseline);
    }
    // Bytes per nanosecond times nanoseconds: at most 60 s at 10 Gbit/s, far from overflowing.
    const uint64_t budget = static_cast<uint64_t>(elapsed) * k_max_bytes_per_second / 1'000'000'000;
    bool wrapped = false;
    const auto advance = [&](uint64_t before, uint64_t now) -> std::optional<uint64_t> {
        constexpr uint64_t k_wrap = uint64_t{1} << 32;
        if (now >= before) {
            return now - before <= budget ? std::optional<uint64_t>(now - before) : std::nullopt;
        }
        if (before < k_wrap && k_wrap - before + now <= budget) {
            wrapped = true;
            return k_wrap - before + now;
        }
        return std::nullopt;
    };
    const std::optional<uint64_t> received = advance(previous_.received, answer.received);
    const std::optional<uint64_t> sent = advance(previous_.sent, answer.sent);
    if (!received || !sent) {
        return baseline(answer, Event::restarted);
    }
    received_ += *received;
    sent_ += *sent;
    previous_ = answer;
    return {wrapped ? Event::wrapped : Event::counted, true, received_, sent_, epoch_};
}

} // namespace tide
