// What the dashboard shows: the record the refresh hands it, and the texts it composes from that record
// and its own state (status line, hover read-out, control captions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/dashboard/graph_model.h"

namespace tide {

// A rate in bits per second as the dashboard's speed text.
using RateFormatter = std::function<std::wstring(double)>;

struct DashboardView {
    std::wstring status_text;
    std::wstring interface_text; // may be empty
    std::wstring download_text;  // or a dash when not connected
    std::wstring upload_text;
    std::wstring download_label;
    std::wstring upload_label;
    std::wstring session_line;
    std::wstring history_line; // empty unless the daily history is kept
    std::wstring stats_line;   // empty without a valid visible point
    bool connected = true;     // false only while the status is unavailable
    std::vector<GraphPoint> points;
    RateFormatter format_rate; // may be empty: no value labels then
};

// Left-to-right isolate ... pop directional isolate: keeps figures and units in order inside
// right-to-left text.
std::wstring isolate(std::wstring_view text);

// The status, and the interface after a bullet when there is one.
std::wstring status_line(const DashboardView& view);

// The time from point h to the newest visible point, then both rates (or a dash for an invalid point
// or without a formatter). Empty when h is not a visible point. In right-to-left text the duration is
// isolated like the rates, or "16 s" would read "s 16".
std::wstring hover_text(const DashboardView& view, size_t h, bool rtl = false);

// "-5 min": the oldest end of the time axis.
std::wstring range_axis_text(int64_t range_s);

// The texts of the range choice, in GraphRanges order.
std::vector<std::wstring> range_choice_texts();

// The taskbar toggle's caption: a check mark in front while the read-out is on.
std::wstring taskbar_toggle_text(std::wstring_view label, bool on);

} // namespace tide
