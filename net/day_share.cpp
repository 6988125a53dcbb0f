// The bytes of one sample spread over the local days the sample covers.
#include "net/day_share.h"

#include <algorithm>

namespace tide {
namespace {

constexpr int64_t k_day = 86'400;
constexpr int64_t k_longest_span = 366 * k_day;

// bytes * part / whole without overflow, rounded down (part <= whole).
uint64_t share(uint64_t bytes, int64_t part, int64_t whole) {
    const auto p = static_cast<uint64_t>(part);
    const auto w = static_cast<uint64_t>(whole);
    return bytes / w * p + bytes % w * p / w;
}

} // namespace

std::vector<std::pair<int64_t, DayTotals>> spread_over_days(const DayTotals& bytes, int64_t from_unix,
                                                            int64_t to_unix, const TimeZoneState& zone) {
    const int64_t last_day = local_day_number(to_unix, zone);
    if (from_unix <= 0 || from_unix >= to_unix) {
        return {{last_day, bytes}};
    }
    from_unix = std::max(from_unix, to_unix - k_longest_span);
    const int64_t whole = to_unix - from_unix;
    const int64_t offset = utc_offset_seconds(zone);
    std::vector<std::pair<int64_t, DayTotals>> days;
    DayTotals given;
    for (int64_t day = local_day_number(from_unix, zone); day < last_day; ++day) {
        // The span's part before the next local midnight.
        const int64_t midnight = (day + 1) * k_day - offset;
        const int64_t part = std::min(midnight, to_unix) - std::max(from_unix, midnight - k_day);
        const DayTotals piece{share(bytes.download, part, whole), share(bytes.upload, part, whole)};
        given.download += piece.download;
        given.upload += piece.upload;
        days.emplace_back(day, piece);
    }
    days.emplace_back(last_day, DayTotals{bytes.download - given.download, bytes.upload - given.upload});
    return days;
}

} // namespace tide
