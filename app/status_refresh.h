// Turns the last sample into everything the user reads: the status, the compact read-outs' texts, the
// tray tooltip and the dashboard's lines; and the bookkeeping each new sample brings (graph point,
// lost-network notice, usage increment).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/tray_menu.h"
#include "net/sampler.h"
#include "persistence/settings.h"
#include "persistence/usage.h"
#include "presentation/number_format.h"
#include "ui/dashboard/graph_model.h"

namespace tide {

inline constexpr std::string_view k_network_unavailable_text =
    "Network unavailable (no usable adapter or counter read failed)";
inline constexpr std::string_view k_router_not_answering_text =
    "Router not answering (no answer when asked for its byte counters)";
inline constexpr std::string_view k_no_router_text = "No router with UPnP found on the local network";
inline constexpr std::string_view k_no_value = "\xE2\x80\x94"; // an em dash stands for "no rate"

// The main and compact number formats for the resolved language and the digit settings.
NumberFormat main_number_format(const Settings& settings, std::string_view language_code);
NumberFormat compact_number_format(const Settings& settings, std::string_view language_code);

struct RefreshInputs {
    const RateSample& sample;
    bool paused;
    const Settings& settings;
    const TextLookup& text;
    const NumberFormat& main_format;
    const NumberFormat& compact_format;
    bool rtl = false;         // numbers inside right-to-left text are wrapped in directional isolates
    std::string network_name; // the network the bytes go to, cleaned; empty before it is known
    bool network_metered = false;
};

// "Home" or "Home (metered)"; empty without a name.
std::string network_line(const RefreshInputs& in);

// All UTF-8.
struct StatusTexts {
    std::string status_text;
    std::string compact_download; // the rates of the compact read-outs; paused keeps the last ones
    std::string compact_upload;
    std::string download_label;
    std::string upload_label;
    bool active = false; // the status is not unavailable
    std::string tooltip;
    std::string readout_name; // what a screen reader reads on a read-out: both rates, or the status
};

StatusTexts compose_status_texts(const RefreshInputs& in);

// What the read-outs show that a screen reader says once when it changes.
struct ReadoutState {
    bool active = true;   // the status is not unavailable
    bool used_up = false; // a data limit is used up
};

// The connection lost, back, or a data limit used up (in that order of weight); empty when none of it
// changed.
std::string state_announcement(const ReadoutState& before, const ReadoutState& now, const TextLookup& text);

struct DashboardTexts {
    std::string status_text;
    std::string interface_text;
    std::string download_text;
    std::string upload_text;
    std::string download_label;
    std::string upload_label;
    std::string session_line;
    std::string history_line; // empty unless the daily history is kept
    std::string stats_line;   // empty without a valid visible point; with no router found, the UPnP help
    bool connected = false;   // the status is not unavailable
};

// What the sample counts, for the dashboard: the interface's name, "every adapter", or the router
// with its friendly name and model. With no router found, how to turn UPnP on takes the statistics'
// line.
std::string source_text(const RateSample& sample, const TextLookup& text);

DashboardTexts compose_dashboard_texts(const RefreshInputs& in, const UsageStore& usage, int64_t today,
                                       const std::vector<GraphPoint>& visible_points);

struct SampleEffects {
    std::optional<GraphPoint> point;                         // pushed onto the graph history
    bool network_lost = false;                               // record lost_text
    std::string_view lost_text = k_network_unavailable_text; // the router's own words for the router source
};

// The graph point a sample brings and whether the network has just become unavailable;
// previous_status is the status of the sample before (measuring before the first) and is updated.
SampleEffects take_sample(MonitorStatus& previous_status, const RateSample& sample, int64_t now);

} // namespace tide
