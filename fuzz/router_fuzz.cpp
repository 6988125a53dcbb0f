// Fuzz target for what a router sends: the discovery reply, the description and the SOAP answers. No
// input may crash the readers, and whatever they accept keeps their promises.
#include "net/router_protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tide::LocalNetwork network{0xC0A80114, 24}; // 192.168.1.20/24
    const tide::HttpUrl location{0xC0A80101, 5000, "/rootDesc.xml"};

    if (const std::optional<tide::SsdpReply> reply = tide::read_ssdp_reply(text)) {
        if (reply->location.empty()) {
            std::abort();
        }
        if (const std::optional<tide::HttpUrl> url = tide::parse_http_url(reply->location)) {
            if (url->path.empty() || url->path.front() != '/') {
                std::abort();
            }
        }
    }
    if (const std::optional<tide::RouterDescription> description = tide::read_description(text, location)) {
        for (const tide::WanLink& link : description->links) {
            if (link.common.address != location.address ||
                link.common.path.find_first_of(" \r\n") != std::string::npos ||
                (link.connection && link.connection->address != location.address)) {
                std::abort();
            }
        }
    }
    for (const tide::RouterAction action :
         {tide::RouterAction::total_received, tide::RouterAction::total_sent}) {
        (void)tide::read_total(text, action);
    }
    (void)tide::read_link_properties(text);
    (void)tide::on_network(network, location.address);
    (void)tide::resolve_url(location, text);
    return 0;
}
