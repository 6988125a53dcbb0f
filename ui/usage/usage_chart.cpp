// The usage-history window's selection, summary and geometry.
#include "ui/usage/usage_chart.h"

#include <algorithm>

#include "compact/dpi.h"
#include "presentation/localization.h"

namespace tide {
namespace {

DipRect mirrored(DipRect r, float width, bool rtl) {
    if (rtl) {
        r.left = width - r.left - r.width;
    }
    return r;
}

// Left edge of slot i of n inside the plot, oldest first in reading order.
float slot_left(const DipRect& plot, size_t i, size_t n, float slot_width, bool rtl) {
    const float offset = plot.width * static_cast<float>(i) / static_cast<float>(std::max<size_t>(n, 1));
    return rtl ? plot.right() - offset - slot_width : plot.left + offset;
}

} // namespace

UsageStore days_since(const UsageStore& store, int64_t first_day) {
    UsageStore kept;
    for (auto it = store.days().lower_bound(first_day); it != store.days().end(); ++it) {
        kept.add(it->first, it->second.download, it->second.upload);
    }
    return kept;
}

std::vector<UsageBar> select_days(const UsageStore& store, int64_t today, const UsageLimits& limits) {
    std::vector<UsageBar> bars;
    bars.reserve(k_usage_days);
    for (int64_t day = today - static_cast<int64_t>(k_usage_days) + 1; day <= today; ++day) {
        UsageBar bar{day, day, store.get(day), false};
        const uint64_t used = total_bytes(bar.totals);
        // Reaching a limit counts as using it up, as for the warnings and the read-outs' colour.
        const bool over_daily = limit_used_up(used, limits.daily);
        if (!over_daily && limits.monthly > 0 && used > 0) {
            const BillingPeriod period = billing_period(day, limits.billing_day);
            const uint64_t before = total_bytes(store.sum(period.first_day, day - 1));
            bar.over_share = used >= daily_allowance(limits.monthly, before, days_left(period, day));
        }
        bar.over = over_daily || bar.over_share;
        bars.push_back(bar);
    }
    return bars;
}

std::vector<UsageBar> select_months(const UsageStore& store, int64_t today, const UsageLimits& limits) {
    std::vector<UsageBar> bars(k_usage_months);
    int64_t day = today;
    for (size_t k = k_usage_months; k-- > 0;) {
        const BillingPeriod period = billing_period(day, limits.billing_day);
        UsageBar& bar = bars[k];
        bar.first_day = period.first_day;
        bar.last_day = period.last_day;
        bar.totals = store.sum(period.first_day, std::min(period.last_day, today));
        bar.over = limit_used_up(total_bytes(bar.totals), limits.monthly);
        day = period.first_day - 1;
    }
    return bars;
}

UsageSummary usage_summary(const UsageStore& store, int64_t today, const UsageLimits& limits) {
    UsageSummary s;
    s.today = store.get(today);
    s.week = store.last_7_days(today);
    const BillingPeriod period = billing_period(today, limits.billing_day);
    s.period_first = period.first_day;
    s.period_last = period.last_day;
    s.period = store.sum(period.first_day, today);
    s.days_left = days_left(period, today);
    s.average = total_bytes(s.period) / static_cast<uint64_t>(today - period.first_day + 1);
    if (limits.monthly > 0) {
        s.allowance =
            daily_allowance(limits.monthly, total_bytes(store.sum(period.first_day, today - 1)), s.days_left);
    }
    return s;
}

std::array<SummaryCell, 4> summary_cells(const UsageSummary& summary, const UsageLimits& limits,
                                         const std::function<std::string(std::string_view)>& text,
                                         const std::function<std::string(uint64_t)>& bytes,
                                         const std::function<std::string(int64_t)>& number) {
    const auto split = [&](const DayTotals& t) {
        return "\xE2\x86\x93 " + bytes(t.download) + "   \xE2\x86\x91 " + bytes(t.upload);
    };
    std::array<SummaryCell, 4> cells;
    cells[0] = {text("label.today"), bytes(total_bytes(summary.today)), split(summary.today)};
    cells[1] = {text("label.week"), bytes(total_bytes(summary.week)), split(summary.week)};
    const bool calendar_month = civil_from_day(summary.period_first).day == 1;
    cells[2].label = text(calendar_month ? "label.month" : "usage.this_period");
    if (limits.monthly > 0) {
        cells[2].value = format_placeholders(text("usage.of_limit"),
                                             {bytes(total_bytes(summary.period)), bytes(limits.monthly)});
        cells[2].detail =
            format_placeholders(text("usage.days_left"),
                                {number ? number(summary.days_left) : std::to_string(summary.days_left)});
    } else {
        cells[2].value = bytes(total_bytes(summary.period));
        cells[2].detail = split(summary.period);
    }
    cells[3] = {text("usage.average"), bytes(summary.average), {}};
    return cells;
}

AxisScale usage_axis(const std::vector<UsageBar>& bars, uint64_t limit) {
    uint64_t peak = limit;
    for (const UsageBar& bar : bars) {
        peak = std::max(peak, total_bytes(bar.totals));
    }
    return axis_scale(static_cast<double>(peak), 0);
}

std::vector<ControlPlace> layout_usage_controls(int client_width, int client_height, int dpi, bool rtl,
                                                const UsageCaptionWidths& captions) {
    std::vector<ControlPlace> places;
    if (client_width < 2) {
        return places;
    }
    const auto s = [dpi](int v) { return scale_to_dpi(v, dpi); };
    struct Row {
        int id;
        int width;
        int top;
    };
    const int bottom_top = client_height - s(44);
    // From the far edge inwards: the switch's two halves touch, the buttons keep 8 DIP apart.
    const Row rows[] = {{k_id_usage_months, 96, s(14)},
                        {k_id_usage_days, 96, s(14)},
                        {k_id_usage_close, 110, bottom_top},
                        {k_id_usage_export, 140, bottom_top}};
    int right_top = client_width - s(24);
    int right_bottom = client_width - s(24);
    for (const Row& row : rows) {
        const size_t index = static_cast<size_t>(
            std::find(k_usage_control_order.begin(), k_usage_control_order.end(), row.id) -
            k_usage_control_order.begin());
        const int width = std::max(s(row.width), captions[index]);
        const bool top = row.id == k_id_usage_days || row.id == k_id_usage_months;
        int& edge = top ? right_top : right_bottom;
        const int left = edge - width;
        edge = left - (top ? 0 : s(8));
        places.push_back({row.id, rtl ? client_width - left - width : left, row.top, width, s(28)});
    }
    std::sort(places.begin(), places.end(), [](const ControlPlace& a, const ControlPlace& b) {
        const auto rank = [](int id) {
            return std::find(k_usage_control_order.begin(), k_usage_control_order.end(), id) -
                   k_usage_control_order.begin();
        };
        return rank(a.id) < rank(b.id);
    });
    return places;
}

std::vector<ControlPlace> layout_usage_network(const std::vector<ControlPlace>& controls, int client_width,
                                               int dpi, bool rtl, int label_width) {
    std::vector<ControlPlace> places;
    const auto s = [dpi](int v) { return scale_to_dpi(v, dpi); };
    int buttons_left = client_width; // in left-to-right terms
    int top = 0;
    for (const ControlPlace& place : controls) {
        if (place.id == k_id_usage_export || place.id == k_id_usage_close) {
            buttons_left = std::min(buttons_left, rtl ? client_width - place.x - place.width : place.x);
            top = place.y;
        }
    }
    if (buttons_left == client_width) {
        return places;
    }
    const int label_left = s(24);
    const int list_left = label_left + label_width + s(8);
    const int list_width = std::clamp(buttons_left - s(16) - list_left, s(100), s(220));
    const auto place = [&](int id, int left, int y, int width, int height) {
        places.push_back({id, rtl ? client_width - left - width : left, y, width, height});
    };
    // The label's text sits level with the buttons' captions.
    place(k_id_usage_network_label, label_left, top + s(6), label_width, s(20));
    place(k_id_usage_network, list_left, top, list_width, s(200));
    return places;
}

PixelSize usage_minimum_size(int dpi) {
    return {scale_to_dpi(560, dpi), scale_to_dpi(440, dpi)};
}

UsageGeometry usage_geometry(float width, float height, bool rtl) {
    UsageGeometry g;
    g.width = width;
    g.height = height;
    const auto box = [&](float x, float y, float w, float h) { return mirrored({x, y, w, h}, width, rtl); };
    g.title = box(24, 16, std::max(width - 48 - 200, 40.0f), 28);
    g.note = box(24, 50, width - 48, 18);
    const float cell = (width - 48 - 3 * 12) / 4;
    for (size_t i = 0; i < g.summary.size(); ++i) {
        g.summary[i] = box(24 + static_cast<float>(i) * (cell + 12), 74, cell, 58);
    }
    const float panel_top = 146;
    const float panel_height = std::max(120.0f, height - 60 - panel_top);
    g.panel = box(24, panel_top, width - 48, panel_height);
    // Value labels take 64 DIP on the reading-start side; day labels 22 DIP under the bars.
    g.plot = box(24 + 72, panel_top + 16, width - 48 - 72 - 16, panel_height - 16 - 30);
    return g;
}

std::vector<GridLine> usage_grid(const UsageGeometry& geometry, AxisScale scale, bool rtl) {
    return plot_grid(geometry.plot, geometry.width, scale, rtl, {30, -7, 62, 14});
}

BarShape bar_shape(const DipRect& plot, size_t i, size_t n, const DayTotals& totals, double max, bool rtl) {
    BarShape shape;
    const float slot_width = plot.width / static_cast<float>(std::max<size_t>(n, 1));
    shape.slot = {slot_left(plot, i, n, slot_width, rtl), plot.top, slot_width, plot.height};
    const float bar_width = std::max(1.0f, slot_width * 0.68f);
    const float left = shape.slot.left + (slot_width - bar_width) / 2;
    const double down = max > 0 ? std::min(static_cast<double>(totals.download), max) : 0.0;
    const double up = max > 0 ? std::min(static_cast<double>(totals.upload), max - down) : 0.0;
    const float down_height = max > 0 ? static_cast<float>(down / max) * plot.height : 0.0f;
    const float up_height = max > 0 ? static_cast<float>(up / max) * plot.height : 0.0f;
    shape.download = {left, plot.bottom() - down_height, bar_width, down_height};
    shape.upload = {left, shape.download.top - up_height, bar_width, up_height};
    return shape;
}

size_t label_step(const DipRect& plot, size_t n, float label_width) {
    const float pitch = plot.width / static_cast<float>(std::max<size_t>(n, 1));
    for (const size_t step : {1, 2, 3, 5, 7, 10, 15}) {
        if (pitch * static_cast<float>(step) >= label_width) {
            return step;
        }
    }
    return std::max<size_t>(n, 1);
}

bool has_label(size_t i, size_t n, size_t step) {
    return i < n && step > 0 && (n - 1 - i) % step == 0;
}

DipRect bar_label(const DipRect& plot, size_t i, size_t n, size_t step, bool rtl) {
    const float pitch = plot.width / static_cast<float>(std::max<size_t>(n, 1));
    const float centre = slot_left(plot, i, n, pitch, rtl) + pitch / 2;
    const float width = pitch * static_cast<float>(std::max<size_t>(step, 1));
    return {centre - width / 2, plot.bottom() + 6, width, 14};
}

int bar_at(const DipRect& plot, float x, size_t n, bool rtl) {
    if (n == 0 || plot.width <= 0 || x < plot.left || x >= plot.right()) {
        return -1;
    }
    const float offset = rtl ? plot.right() - x : x - plot.left;
    const auto index = static_cast<size_t>(offset / plot.width * static_cast<float>(n));
    return static_cast<int>(std::min(index, n - 1));
}

DipRect usage_hover_box(const UsageGeometry& geometry, const DipRect& slot, float text_width,
                        float text_height) {
    const float width = text_width + 16;
    const DipRect& panel = geometry.panel;
    float left = slot.right() + 4;
    if (left + width > panel.right()) {
        left = slot.left - 4 - width;
    }
    left = std::max(left, panel.left);
    return {left, panel.top + 8, width, text_height + 8};
}

} // namespace tide
