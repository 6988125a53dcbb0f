// The usage-history window's rules and geometry: which days and months the bars stand for, what the
// summary row says, where every bar, label and control goes. Pure arithmetic, tested natively; the
// window only draws and moves what these return.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/data_plan.h"
#include "persistence/usage.h"
#include "ui/dashboard/dashboard_layout.h"

namespace tide {

inline constexpr size_t k_usage_days = 30;
inline constexpr size_t k_usage_months = 12;

// The plan the bars are measured against; 0 = no limit.
struct UsageLimits {
    uint64_t daily = 0;   // bytes
    uint64_t monthly = 0; // bytes
    int32_t billing_day = 1;
};

// One bar: a local day, a calendar month or a billing period.
struct UsageBar {
    int64_t first_day = 0; // inclusive local day numbers
    int64_t last_day = 0;
    DayTotals totals;
    bool over = false; // a day that used up its allowance, a month its limit (reaching one counts)
    // A day over only its share of the monthly limit, not over a daily limit set.
    bool over_share = false;

    friend bool operator==(const UsageBar&, const UsageBar&) = default;
};

// The days from first_day on: what the window shows while the history is not kept, this run's days.
UsageStore days_since(const UsageStore& store, int64_t first_day);

// The 30 days up to and including today, oldest first; days without an entry are empty bars. A day is
// over when it reached the daily limit, or its share of the monthly limit: what is still left in its
// period spread over the days left (that day included).
std::vector<UsageBar> select_days(const UsageStore& store, int64_t today, const UsageLimits& limits);

// The 12 months up to and including the one holding today, oldest first: calendar months, or billing
// periods starting on the billing day.
std::vector<UsageBar> select_months(const UsageStore& store, int64_t today, const UsageLimits& limits);

struct UsageSummary {
    DayTotals today;
    DayTotals week;
    DayTotals period; // this month or billing period up to today
    int64_t period_first = 0;
    int64_t period_last = 0;
    int32_t days_left = 0;  // in the period, today included
    uint64_t average = 0;   // per day of the period so far
    uint64_t allowance = 0; // per day for the rest of the period, with a monthly limit
};

UsageSummary usage_summary(const UsageStore& store, int64_t today, const UsageLimits& limits);

// One cell of the summary row, UTF-8: a caption, the figure, and a smaller line under it.
struct SummaryCell {
    std::string label;
    std::string value;
    std::string detail;

    friend bool operator==(const SummaryCell&, const SummaryCell&) = default;
};

// Today, the last 7 days, this month or billing period (against the limit, with the days left when one
// is set) and the average per day of the period so far.
// A count of days is printed by `number` (the language's digits), or as it is without one.
std::array<SummaryCell, 4> summary_cells(const UsageSummary& summary, const UsageLimits& limits,
                                         const std::function<std::string(std::string_view)>& text,
                                         const std::function<std::string(uint64_t)>& bytes,
                                         const std::function<std::string(int64_t)>& number = {});

// The value axis in bytes: the graph's nice steps over the tallest bar and the limit drawn.
AxisScale usage_axis(const std::vector<UsageBar>& bars, uint64_t limit);

// Control ids; creation order is Tab order.
inline constexpr int k_id_usage_days = 4101;
inline constexpr int k_id_usage_months = 4102;
inline constexpr int k_id_usage_export = 4103;
inline constexpr int k_id_usage_close = 4104;
inline constexpr int k_id_usage_network_label = 4106;
inline constexpr int k_id_usage_network = 4107; // the network choice, a drop-down list
inline constexpr std::array<int, 4> k_usage_control_order{k_id_usage_days, k_id_usage_months,
                                                          k_id_usage_export, k_id_usage_close};

// Widths in pixels the captions need, in control order; 0 = the usual width.
using UsageCaptionWidths = std::array<int, 4>;

// The view switch at the top and the two buttons at the bottom, at the far end from the title (the
// left in right-to-left). A caption that does not fit widens its control; empty below 2 pixels.
std::vector<ControlPlace> layout_usage_controls(int client_width, int client_height, int dpi, bool rtl,
                                                const UsageCaptionWidths& captions = {});

// The network choice at the reading-start end of the bottom row, across from the buttons `controls`
// (layout_usage_controls' places): its label, label_width pixels wide (what its caption needs), then the
// drop-down list, 220 DIP wide or what is left before the buttons, never under 100 DIP. The list's
// height is that of its dropped list. Empty without the buttons.
std::vector<ControlPlace> layout_usage_network(const std::vector<ControlPlace>& controls, int client_width,
                                               int dpi, bool rtl, int label_width);

// 560 x 440 DIP in pixels.
PixelSize usage_minimum_size(int dpi);

// Every painted box in DIP for a client area of width x height, already mirrored for right-to-left.
struct UsageGeometry {
    float width = 0.0f;
    float height = 0.0f;
    DipRect title;
    DipRect note; // the one line shown while the history is not kept
    std::array<DipRect, 4> summary;
    DipRect panel;
    DipRect plot;
};

UsageGeometry usage_geometry(float width, float height, bool rtl);

// The grid lines of the axis with their value labels beside the plot (to its right in right-to-left).
std::vector<GridLine> usage_grid(const UsageGeometry& geometry, AxisScale scale, bool rtl);

struct BarShape {
    DipRect slot;     // the whole column, for hovering
    DipRect download; // stacked from the bottom
    DipRect upload;   // on top of the download
};

// Bar i of n, oldest at the left (at the right in right-to-left). Values above max are cut at the top,
// so neither part ever leaves the plot.
BarShape bar_shape(const DipRect& plot, size_t i, size_t n, const DayTotals& totals, double max, bool rtl);

// Every how many bars a label of the given width fits; the newest bar always has one.
size_t label_step(const DipRect& plot, size_t n, float label_width);
bool has_label(size_t i, size_t n, size_t step);
// The label box under bar i, centred on it.
DipRect bar_label(const DipRect& plot, size_t i, size_t n, size_t step, bool rtl);

// The bar under x, or -1.
int bar_at(const DipRect& plot, float x, size_t n, bool rtl);

// The read-out box beside the hovered bar, kept inside the panel.
DipRect usage_hover_box(const UsageGeometry& geometry, const DipRect& slot, float text_width,
                        float text_height);

} // namespace tide
