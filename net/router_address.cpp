// Which addresses the router client talks to.
#include "net/router_address.h"

#include <algorithm>

namespace tide {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i])) {
            return false;
        }
    }
    return true;
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

} // namespace

std::string_view trim_blanks(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<HttpUrl> parse_http_url(std::string_view text) {
    text = trim_blanks(text);
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
    reference = trim_blanks(reference);
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

bool is_home_gateway(const SsdpOrigin& origin, const std::vector<uint32_t>& own_addresses) {
    const uint32_t host = origin.location.address;
    return host == origin.from && origin.network.gateway == host && on_network(origin.network, host) &&
           host != origin.network.address &&
           std::find(own_addresses.begin(), own_addresses.end(), host) == own_addresses.end();
}

std::optional<SsdpOrigin> choose_router(const std::vector<SsdpOrigin>& replies,
                                        const std::vector<uint32_t>& own_addresses) {
    for (const SsdpOrigin& reply : replies) {
        if (is_home_gateway(reply, own_addresses)) {
            return reply;
        }
    }
    return std::nullopt;
}

} // namespace tide
