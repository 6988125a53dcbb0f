// The router source: finds the home's Internet Gateway Device with SSDP, reads its description and asks
// it for its counters every sample over one kept-alive HTTP connection. It lives on the sampler thread
// and exists only while the router is the chosen source, so with any other source nothing is sent.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string_view>

#include "net/source.h"
#include "net/xml.h"

namespace tide {

// A new router source, for SamplerShared::make_router_source. Every request has a deadline whatever the
// router sends (2 s for an action, 4 s for the description, 2 s of listening while it searches), and
// each wait ends within a twentieth of a second once `stop` is set.
std::unique_ptr<ReadingSource> make_router_source(const std::atomic<bool>& stop);

// What the router source reads XML with: XmlLite (no document type, at most XmlTreeBuilder's depth)
// into the element list the portable readers take.
std::optional<XmlTree> read_xml(std::string_view text);

} // namespace tide
