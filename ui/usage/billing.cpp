// Billing periods: from the billing day of one month to the day before it in the next.
#include "ui/usage/billing.h"

#include <algorithm>

#include "persistence/usage.h"

namespace tide {
namespace {

CivilDate month_after(CivilDate date, int32_t step) {
    const int64_t months = date.year * 12 + (date.month - 1) + step;
    date.year = months >= 0 ? months / 12 : -((-months + 11) / 12);
    date.month = static_cast<int32_t>(months - date.year * 12) + 1;
    date.day = 1;
    return date;
}

int64_t start_in(CivilDate month, int32_t billing_day) {
    const int64_t first = day_from_civil(month);
    const int64_t length = day_from_civil(month_after(month, 1)) - first;
    return first + std::min<int64_t>(billing_day, length) - 1;
}

} // namespace

BillingPeriod billing_period(int64_t day, int32_t billing_day) {
    billing_day = std::clamp(billing_day, 1, 31);
    CivilDate month = civil_from_day(day);
    month.day = 1;
    if (day < start_in(month, billing_day)) {
        month = month_after(month, -1);
    }
    return {start_in(month, billing_day), start_in(month_after(month, 1), billing_day) - 1};
}

int32_t days_left(const BillingPeriod& period, int64_t today) {
    return static_cast<int32_t>(std::clamp<int64_t>(period.last_day - std::max(today, period.first_day) + 1,
                                                    0, period.last_day - period.first_day + 1));
}

uint64_t daily_allowance(uint64_t limit_bytes, uint64_t used_bytes, int32_t days_left) {
    if (used_bytes >= limit_bytes) {
        return 0;
    }
    return (limit_bytes - used_bytes) / static_cast<uint64_t>(std::max(days_left, 1));
}

} // namespace tide
