// The router source: finds the home's Internet Gateway Device with SSDP, reads its description and asks
// it for its counters every sample over one kept-alive HTTP connection. It lives on the sampler thread
// and exists only while the router is the chosen source, so with any other source nothing is sent.
#pragma once

#include <memory>

#include "net/source.h"

namespace tide {

// A new router source, for SamplerShared::make_router_source. Each read() blocks for at most a few
// seconds (2 s per request, 2 s of listening while it searches).
std::unique_ptr<ReadingSource> make_router_source();

} // namespace tide
