// What the data-plan limits mean right now: the figures against the limits, the tray tooltip's line,
// the warning texts, and which warning is due (each threshold once per period, never in a loop).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/tray_menu.h"
#include "persistence/data_plan.h"
#include "persistence/settings.h"
#include "persistence/usage.h"
#include "presentation/number_format.h"

namespace tide {

struct PlanView {
    bool active = false; // limits are watched: the daily history is kept and its file fully read
    int64_t today = 0;
    BillingPeriod period;
    PlanUsage used;
    uint64_t monthly_limit = 0; // bytes; 0 = no limit
    uint64_t daily_limit = 0;
    bool used_up = false; // a limit is fully used: the read-outs show their figures in the warning colour
};

// The networks the plan counts, by the settings' choice.
NetworkFilter plan_filter(const Settings& settings, const NetworkList& networks);

// usage_complete: the file's days are in the store; a file not read (yet) would give a partial total.
// The figures count the networks the plan counts.
PlanView plan_view(const Settings& settings, const UsageStore& store, int64_t today, bool usage_complete);

struct PlanTextInputs {
    const TextLookup& text;
    const NumberFormat& format;
    int precision = 1; // main_units.precision
    bool rtl = false;  // numbers inside right-to-left text are wrapped in directional isolates
};

// An amount in the decimal units the limits are entered in; "10 GB" rather than "10.0 GB".
std::string plan_bytes(uint64_t bytes, const PlanTextInputs& in);

// "This month: 8.2 GB of 10 GB"; empty without a monthly limit or while limits are not watched.
std::string plan_tip_line(const PlanView& view, const PlanTextInputs& in);

enum class PlanLimit { monthly, daily };

struct DueWarning {
    PlanLimit limit = PlanLimit::monthly;
    int32_t threshold = 0;

    friend bool operator==(const DueWarning&, const DueWarning&) = default;
};

struct PlanNotice {
    std::string title;
    std::string text;
};

// How much of which limit is used and what is left, with the allowance that keeps a monthly limit.
PlanNotice plan_notice(const DueWarning& due, const PlanView& view, const PlanTextInputs& in);

// The warnings given so far and the one due now.
class PlanWarner {
public:
    // A notification the shell refused is asked for again only after this long.
    static constexpr uint64_t k_retry_after_ms = 60000;

    void load(const GivenWarnings& records);

    // Brings the records up to the current periods and limits and returns the warning due now, the
    // monthly limit's first. Nothing while limits are not watched or a refusal is being waited out.
    std::optional<DueWarning> check(const PlanView& view, int32_t monthly_mb, int32_t daily_mb,
                                    uint64_t now_ms);
    // The shell showed it.
    void given(const DueWarning& due);
    // The shell refused it: it stays due, but is not asked for again before k_retry_after_ms.
    void refused(uint64_t now_ms);

    const GivenWarnings& records() const { return records_; }
    bool changed() const { return changed_; } // the records differ from what was last saved
    void saved() { changed_ = false; }

private:
    GivenWarnings records_;
    bool changed_ = false;
    std::optional<uint64_t> retry_at_ms_;
};

} // namespace tide
