// The plain-text diagnostics report: its input record and the text built from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

struct DiagnosticsDisplay {
    int width = 0; // the monitor's full rectangle, pixels
    int height = 0;
    int dpi = 96; // effective DPI, 96 when unreadable
    bool primary = false;
};

struct DiagnosticsError {
    int64_t time = 0; // Unix seconds
    std::string text;
};

struct DiagnosticsInput {
    std::string app_version;
    std::string windows_version;
    std::string compiler;
    std::string build_config;
    std::string ui_language;
    std::string interface_name; // may be empty
    int source = 0;             // what is counted: 0 this PC's interface, 1 every adapter, 2 the router
    std::string router_name;    // the router's friendly name and model (router source only)
    std::string router_model;
    std::vector<std::string> identifiers; // the router's UDN and serial number: never written out
    std::string status_word;              // see diagnostics_status_word
    int language_standard = 0;            // yyyymm of the language revision the program was built against
    int interval_ms = 0;
    std::string data_mode;                       // where the files live (data_mode_text); no line when empty
    std::vector<DiagnosticsDisplay> displays;    // monitor enumeration order
    std::vector<DiagnosticsError> recent_errors; // oldest first
};

// An input with the facts about this build filled in: the program's version, compiler, "Release" and the
// language revision; everything else is left for the caller.
DiagnosticsInput diagnostics_build_facts();

// The English status word of the report: "Paused" while paused, otherwise by status code
// (1 "Connected", 2 "Measuring", anything else "Unavailable").
std::string_view diagnostics_status_word(bool paused, int status);

// The English name of a counted source ("This PC's interface" for a code it does not know).
std::string_view diagnostics_source_name(int source);

// The report text (UTF-8, "\n" line ends, no byte-order mark). Every identifier of the input of at
// least six bytes is written as "<id>" wherever it stands as a whole token; a shorter one identifies
// nothing and would only hide ordinary figures.
std::string build_diagnostics_report(const DiagnosticsInput& input);

// "YYYY-MM-DDTHH:MM:SSZ" for Unix seconds in UTC; times before 1970 work (floor semantics).
std::string format_utc_iso8601(int64_t unix_seconds);

} // namespace tide
