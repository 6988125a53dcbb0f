// Texts built from the last sample, and the bookkeeping of each new sample.
#include "app/status_refresh.h"

#include <utility>

#include "base/sanitize.h"
#include "presentation/localization.h"

namespace tide {
namespace {

std::string status_text(const RefreshInputs& in) {
    if (in.paused) {
        return in.text("status.paused");
    }
    switch (in.sample.status) {
    case MonitorStatus::connected:
        return in.text("status.connected");
    case MonitorStatus::measuring:
        return in.text("status.measuring");
    case MonitorStatus::unavailable:
        break;
    }
    switch (in.sample.source_status) {
    case SourceStatus::router_not_answering:
        return in.text("status.router_not_answering");
    case SourceStatus::no_router:
        return in.text("status.no_router");
    case SourceStatus::ok:
        break;
    }
    return in.text("status.unavailable");
}

// The router's own words, cut short and without control characters.
std::string router_words(std::string_view words) {
    constexpr size_t k_max_bytes = 64;
    return sanitize_text(words, k_max_bytes);
}

std::string isolate(const RefreshInputs& in, std::string text) {
    return isolate_figure(std::move(text), in.rtl);
}

std::string main_speed(const RefreshInputs& in, double rate) {
    return isolate(in, format_speed(rate, in.settings.main_units, in.main_format));
}

std::string main_bytes(const RefreshInputs& in, uint64_t bytes) {
    const UnitSettings& units = in.settings.main_units;
    return isolate(in, format_bytes(bytes, units.base, units.precision, in.main_format));
}

std::string bytes_pair(const RefreshInputs& in, const DayTotals& totals) {
    return "\xE2\x86\x93 " + main_bytes(in, totals.download) + " \xE2\x86\x91 " +
           main_bytes(in, totals.upload);
}

std::string rate_pair(const RefreshInputs& in, double download, double upload) {
    return "\xE2\x86\x93 " + main_speed(in, download) + " \xE2\x86\x91 " + main_speed(in, upload);
}

} // namespace

NumberFormat main_number_format(const Settings& s, std::string_view code) {
    return make_number_format(code, s.digit_style == 1, s.decimal_sep);
}

NumberFormat compact_number_format(const Settings& s, std::string_view code) {
    return make_number_format(code, s.digit_style == 1 && s.native_digits_compact, s.decimal_sep);
}

std::string network_line(const RefreshInputs& in) {
    if (in.network_name.empty()) {
        return {};
    }
    // A name may be written in the other direction than the text around it.
    const std::string name = "\xE2\x81\xA8" + in.network_name + "\xE2\x81\xA9";
    return in.network_metered ? format_placeholders(in.text("network.metered"), {name}) : name;
}

StatusTexts compose_status_texts(const RefreshInputs& in) {
    StatusTexts out;
    out.status_text = status_text(in);
    const bool connected = in.sample.status == MonitorStatus::connected;
    if (connected) {
        out.compact_download = format_speed(in.sample.download, in.settings.compact_units, in.compact_format);
        out.compact_upload = format_speed(in.sample.upload, in.settings.compact_units, in.compact_format);
    } else {
        out.compact_download = std::string(k_no_value);
        out.compact_upload = std::string(k_no_value);
    }
    out.download_label = in.text("label.download");
    out.upload_label = in.text("label.upload");
    out.active = in.sample.status != MonitorStatus::unavailable;
    if (in.paused || !connected) {
        out.tooltip = out.status_text;
    } else {
        out.tooltip = format_placeholders(
            in.text("tip.speed"), {main_speed(in, in.sample.download), main_speed(in, in.sample.upload)});
    }
    if (const std::string network = network_line(in); !network.empty()) {
        out.tooltip += "\n" + network;
    }
    out.readout_name = connected ? format_placeholders(in.text("access.readout"),
                                                       {isolate_figure(out.compact_download, in.rtl),
                                                        isolate_figure(out.compact_upload, in.rtl)})
                                 : out.status_text;
    return out;
}

std::string state_announcement(const ReadoutState& before, const ReadoutState& now, const TextLookup& text) {
    if (before.active != now.active) {
        return text(now.active ? "status.connected" : "status.unavailable");
    }
    if (now.used_up && !before.used_up) {
        return text("access.limit_reached");
    }
    return {};
}

std::string source_text(const RateSample& sample, const TextLookup& text) {
    switch (sample.source) {
    case MonitorSource::interface_:
        return sample.interface_name;
    case MonitorSource::adapters:
        return text("source.adapters");
    case MonitorSource::router:
        break;
    }
    std::string out = text("source.router");
    const std::string name = router_words(sample.source_name);
    const std::string model = router_words(sample.source_model);
    if (!name.empty()) {
        out += ": " + name;
    }
    if (!model.empty() && model != name) {
        out += name.empty() ? ": " + model : " (" + model + ")";
    }
    return out;
}

DashboardTexts compose_dashboard_texts(const RefreshInputs& in, const UsageStore& usage, int64_t today,
                                       const std::vector<GraphPoint>& visible_points) {
    DashboardTexts out;
    out.status_text = status_text(in);
    if (const std::string network = network_line(in); !network.empty()) {
        out.status_text += " \xC2\xB7 " + network;
    }
    out.interface_text = source_text(in.sample, in.text);
    out.download_label = in.text("label.download");
    out.upload_label = in.text("label.upload");
    if (in.sample.status == MonitorStatus::connected) {
        // The dashboard isolates its card values itself.
        out.download_text = format_speed(in.sample.download, in.settings.main_units, in.main_format);
        out.upload_text = format_speed(in.sample.upload, in.settings.main_units, in.main_format);
    } else {
        out.download_text = std::string(k_no_value);
        out.upload_text = std::string(k_no_value);
    }
    out.session_line = in.text("label.session_total") + ":  \xE2\x86\x93 " +
                       main_bytes(in, in.sample.session_received) + "   \xE2\x86\x91 " +
                       main_bytes(in, in.sample.session_sent);
    if (in.settings.history_mode == 1) {
        out.history_line = in.text("label.today") + ": " + bytes_pair(in, usage.get(today)) + "    " +
                           in.text("label.week") + ": " + bytes_pair(in, usage.last_7_days(today)) + "    " +
                           in.text("label.month") + ": " + bytes_pair(in, usage.this_month(today));
    }
    const GraphStats stats = compute_graph_stats(visible_points);
    if (stats.count > 0) {
        out.stats_line = in.text("stats.avg") + ": " + rate_pair(in, stats.download.avg, stats.upload.avg) +
                         "    " + in.text("stats.min") + ": " +
                         rate_pair(in, stats.download.min, stats.upload.min) + "    " + in.text("stats.max") +
                         ": " + rate_pair(in, stats.download.max, stats.upload.max);
    }
    if (in.sample.source == MonitorSource::router && in.sample.source_status == SourceStatus::no_router) {
        // The status line has no room for it; the router has given no figures to sum up anyway.
        out.stats_line = in.text("status.no_router_help");
    }
    out.connected = in.sample.status != MonitorStatus::unavailable;
    return out;
}

SampleEffects take_sample(MonitorStatus& previous_status, const RateSample& sample, int64_t now) {
    SampleEffects out;
    switch (sample.status) {
    case MonitorStatus::connected:
        out.point = GraphPoint{now, true, sample.download, sample.upload};
        break;
    case MonitorStatus::unavailable:
        out.point = GraphPoint{now, false, 0.0, 0.0};
        break;
    case MonitorStatus::measuring:
        break;
    }
    out.network_lost =
        sample.status == MonitorStatus::unavailable && previous_status != MonitorStatus::unavailable;
    switch (sample.source_status) {
    case SourceStatus::router_not_answering:
        out.lost_text = k_router_not_answering_text;
        break;
    case SourceStatus::no_router:
        out.lost_text = k_no_router_text;
        break;
    case SourceStatus::ok:
        break;
    }
    previous_status = sample.status;
    return out;
}

} // namespace tide
