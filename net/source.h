// Where the byte totals come from: this PC's interface, every adapter of this PC, or the home router.
#pragma once

#include <cstdint>
#include <string>

namespace tide {

// `monitoring.source`: what the read-outs, the usage history and the data plan count.
enum class MonitorSource : int32_t {
    interface_ = 0, // the one interface the sampler chooses ("interface" alone reads like a keyword)
    adapters = 1,   // every adapter of this PC, summed
    router = 2,     // the whole home, from the router's own counters
};

inline constexpr int32_t k_monitor_source_count = 3;

// Why a source gave no totals; ok whenever it answered.
enum class SourceStatus : int32_t {
    ok = 0,
    router_not_answering = 1,
    no_router = 2,
};

// One cycle's answer of a source. The totals are cumulative; a change of identity (another router, a
// router that restarted) starts a new baseline, and an invalid reading counts nothing for its cycle.
struct SourceReading {
    bool valid = false;
    SourceStatus status = SourceStatus::ok; // when not valid: why
    uint64_t received = 0;                  // bytes
    uint64_t sent = 0;
    uint64_t identity = 0;
    int64_t timestamp = 0; // monotonic nanoseconds when the totals were read
    int64_t wall_time = 0; // unix seconds when the totals were read; 0 when the source does not say
    std::string name;      // the router's friendly name; empty for this PC's sources
    std::string model;     // the router's model name
    std::string udn;       // the router's unique device name: an identifier, scrubbed from reports
    std::string serial;    // the router's serial number: likewise
    std::string problem; // a failure for the recent errors, said once (a fixed text, nothing of the router's)
};

// A source the sampler thread asks once per cycle. It lives on the sampler thread only and may block
// for the length of its own time-outs.
class ReadingSource {
public:
    virtual ~ReadingSource() = default;
    virtual SourceReading read() = 0;
};

} // namespace tide
