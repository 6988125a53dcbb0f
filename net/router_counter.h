// The rule that turns a router's counters into the bytes the home sent and received. It counts what
// the router counted and nothing else: a glitch, a reconnect, a restart or another router adds
// nothing, and a silence (a time-out, a pause, a night asleep) loses nothing the counters still hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tide {

// The physical link's state as GetCommonLinkProperties said it; unknown when that failed, which
// never stops the counting.
enum class LinkState : int32_t { unknown = 0, up = 1, down = 2 };

// One WANDevice's readings of one sample.
struct LinkReading {
    bool answered = true; // its totals were read; one that was not keeps its baseline
    uint64_t received = 0;
    uint64_t sent = 0;
    LinkState state = LinkState::unknown;
    uint64_t downstream_bits = 0; // the link's rate as the router states it; 0: not stated
    uint64_t upstream_bits = 0;
    std::optional<uint64_t> uptime_s; // the connection's uptime, asked when a counter went down
};

// What one sample got from the router.
struct RouterAnswer {
    bool answered = false;
    std::string udn;
    std::vector<LinkReading> links; // in the description's order
    int64_t time = 0;               // monotonic nanoseconds
};

// Running totals over every WANDevice, each counter with its own baseline:
// - A rise counts when a 10 Gbit/s link could have carried it since the baseline, whatever the router
//   says its link is (routers state 0, or kilobits where bits are meant), and also across a silence:
//   with the same UDN a counter that went up can only under-state the traffic.
// - A reading below the baseline, or a rise beyond 10 Gbit/s, is held and counts nothing. The next
//   reading decides: back on the old line, it was a glitch (the old baseline stays); rising from the
//   held one, the counter was reset, or wrapped at 4 GiB when both readings fit 32 bits, the link
//   states a rate of at least 1 Mbit/s and exactly one wrap fits the time at that rate.
// - A connection younger than the time since the baseline (its uptime went back) was made again: a
//   new baseline at once. So is a link that is down, and another router (another UDN).
class RouterCounter {
public:
    struct Result {
        bool valid = false;
        uint64_t received = 0; // never go back
        uint64_t sent = 0;
    };

    Result update(const RouterAnswer& answer);

private:
    struct Point {
        uint64_t value = 0;
        int64_t time = 0;
    };
    // One counter of one link.
    struct Track {
        std::optional<Point> base;
        std::optional<Point> held;
        // The bytes counted for this reading.
        uint64_t advance(uint64_t value, int64_t time, uint64_t rate_bits);
        void restart(uint64_t value, int64_t time) {
            base = Point{value, time};
            held.reset();
        }
    };
    struct Line {
        Track received;
        Track sent;
    };

    std::string udn_;
    std::vector<Line> lines_;
    uint64_t received_ = 0;
    uint64_t sent_ = 0;
};

} // namespace tide
