// The bytes of one sample spread over the local days the sample covers: a source that was silent for
// a night counts the night's traffic on the night's days, not on the morning.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "persistence/usage.h"

namespace tide {

// Each local day from `from_unix` to `to_unix` with its share of the bytes in proportion to the time
// of the span that lies in it; the shares add up to the bytes exactly. A span that is empty, goes back
// or is unknown (from_unix 0) puts everything on the day of `to_unix`. A span longer than a year puts
// the bytes on its last year.
std::vector<std::pair<int64_t, DayTotals>> spread_over_days(const DayTotals& bytes, int64_t from_unix,
                                                            int64_t to_unix, const TimeZoneState& zone);

} // namespace tide
