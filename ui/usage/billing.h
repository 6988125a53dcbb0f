// Billing periods for the usage window's months.
#pragma once

#include <cstdint>

namespace tide {

inline constexpr uint64_t k_bytes_per_mb = 1000000;

struct BillingPeriod {
    int64_t first_day = 0; // inclusive local day numbers
    int64_t last_day = 0;
};

// The period holding the day; a billing day past a month's end means that month's last day.
BillingPeriod billing_period(int64_t day, int32_t billing_day);
// Days from today to the period's end, today included; 0 once the period is over.
int32_t days_left(const BillingPeriod& period, int64_t today);
// What may still be used per day to stay within the limit; never below 0.
uint64_t daily_allowance(uint64_t limit_bytes, uint64_t used_bytes, int32_t days_left);

} // namespace tide
