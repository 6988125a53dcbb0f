// The data-plan figures, their texts and the warning bookkeeping.
#include "app/plan_status.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "presentation/localization.h"

namespace tide {
namespace {

std::string isolate(const PlanTextInputs& in, std::string text) {
    return isolate_figure(std::move(text), in.rtl);
}

std::string whole_number(int64_t value, const PlanTextInputs& in) {
    return isolate(in, localise_number(std::to_string(value), in.format, false));
}

std::string amount(uint64_t bytes, const PlanTextInputs& in) {
    return isolate(in, plan_bytes(bytes, in));
}

WarningRecords& records_of(GivenWarnings& records, PlanLimit limit) {
    return limit == PlanLimit::monthly ? records.monthly : records.daily;
}

} // namespace

NetworkFilter plan_filter(const Settings& settings, const NetworkList& networks) {
    NetworkFilter filter;
    filter.counts = static_cast<PlanCounts>(std::clamp(settings.plan_counts, 0, 2));
    filter.chosen = settings.plan_networks;
    if (filter.counts == PlanCounts::chosen && filter.chosen.empty()) {
        // Chosen before any network was picked: a plan that counts nothing would never warn.
        filter.counts = PlanCounts::every;
    }
    filter.networks = &networks;
    return filter;
}

PlanView plan_view(const Settings& settings, const UsageStore& store, int64_t today, bool usage_complete) {
    PlanView view;
    view.today = today;
    view.active = settings.history_mode == 1 && usage_complete;
    view.period = billing_period(today, settings.billing_day);
    const NetworkFilter filter = plan_filter(settings, store.networks());
    view.used = filter.counts == PlanCounts::every
                    ? plan_usage(store, today, settings.billing_day)
                    : plan_usage(store.counted(filter), today, settings.billing_day);
    view.monthly_limit = limit_bytes(settings.monthly_warning_mb);
    view.daily_limit = limit_bytes(settings.daily_warning_mb);
    view.used_up = view.active && (limit_used_up(view.used.period, view.monthly_limit) ||
                                   limit_used_up(view.used.today, view.daily_limit));
    return view;
}

std::string plan_bytes(uint64_t bytes, const PlanTextInputs& in) {
    const int precision = std::clamp(in.precision, 0, 2);
    double value = static_cast<double>(bytes);
    while (value >= 1000.0) {
        value /= 1000.0;
    }
    const double scale = std::pow(10.0, precision);
    const bool whole = std::fmod(std::round(value * scale), scale) == 0.0;
    return format_bytes(bytes, 0, whole ? 0 : precision, in.format);
}

std::string plan_tip_line(const PlanView& view, const PlanTextInputs& in) {
    if (!view.active || view.monthly_limit == 0) {
        return {};
    }
    return format_placeholders(in.text("tip.month_limit"),
                               {amount(view.used.period, in), amount(view.monthly_limit, in)});
}

PlanNotice plan_notice(const DueWarning& due, const PlanView& view, const PlanTextInputs& in) {
    const bool monthly = due.limit == PlanLimit::monthly;
    const uint64_t used = monthly ? view.used.period : view.used.today;
    const uint64_t limit = monthly ? view.monthly_limit : view.daily_limit;
    const uint64_t left = used < limit ? limit - used : 0;
    std::vector<std::string> arguments{amount(used, in), amount(limit, in),
                                       whole_number(used_percent(used, limit), in)};
    const char* key = nullptr;
    if (due.threshold >= 100) {
        key = monthly ? "warn.monthly_used_up" : "warn.daily_used_up";
    } else if (!monthly) {
        key = "warn.daily";
        arguments.push_back(amount(left, in));
    } else if (const int32_t days = days_left(view.period, view.today); days > 1) {
        key = "warn.monthly";
        arguments.push_back(whole_number(days, in));
        arguments.push_back(amount(daily_allowance(limit, used, days), in));
    } else {
        key = "warn.monthly_last_day";
        arguments.push_back(amount(left, in));
    }
    return PlanNotice{in.text("warn.title"), format_placeholders(in.text(key), arguments)};
}

void PlanWarner::load(const GivenWarnings& records) {
    records_ = records;
    changed_ = false;
}

std::optional<DueWarning> PlanWarner::check(const PlanView& view, int32_t monthly_mb, int32_t daily_mb,
                                            uint64_t now_ms) {
    if (!view.active) {
        return std::nullopt;
    }
    std::optional<DueWarning> due;
    const auto check_one = [&](PlanLimit limit, const BillingPeriod& period, int32_t limit_mb,
                               uint64_t used) {
        if (limit_mb <= 0) {
            return; // no limit: what was warned stays for when one is set again
        }
        WarningRecords& records = records_of(records_, limit);
        const LimitWarnings current = current_warnings(records, period, view.today, limit_mb, used);
        if (keep_warnings(records, current)) {
            changed_ = true;
        }
        const int32_t threshold = threshold_to_warn(current.level, used, limit_bytes(limit_mb));
        if (threshold != 0 && !due) {
            due = DueWarning{limit, threshold};
        }
    };
    check_one(PlanLimit::monthly, view.period, monthly_mb, view.used.period);
    check_one(PlanLimit::daily, BillingPeriod{view.today, view.today}, daily_mb, view.used.today);
    if (retry_at_ms_ && now_ms < *retry_at_ms_) {
        return std::nullopt;
    }
    return due;
}

void PlanWarner::given(const DueWarning& due) {
    // check() put the record of the current period first.
    WarningRecords& records = records_of(records_, due.limit);
    if (!records.empty()) {
        records.front().level = due.threshold;
    }
    changed_ = true;
    retry_at_ms_.reset();
}

void PlanWarner::refused(uint64_t now_ms) {
    retry_at_ms_ = now_ms + k_retry_after_ms;
}

} // namespace tide
