// The plain-text diagnostics report.
#include "diagnostics/report.h"

#include "base/sanitize.h"
#include "base/version.h"
#include "persistence/usage.h"

#include <cstdio>

namespace tide {
namespace {

std::string cleaned(std::string_view text) {
    return sanitize_text(text, k_sanitize_max_bytes);
}

std::string compiler_text() {
#if defined(__clang__)
    return "Clang " + std::to_string(__clang_major__) + "." + std::to_string(__clang_minor__) + "." +
           std::to_string(__clang_patchlevel__);
#elif defined(__GNUC__)
    std::string name = "GCC ";
#if defined(__MINGW64__)
    name = "MinGW-w64 GCC ";
#endif
    return name + std::to_string(__GNUC__) + "." + std::to_string(__GNUC_MINOR__) + "." +
           std::to_string(__GNUC_PATCHLEVEL__);
#elif defined(_MSC_VER)
    return "MSVC " + std::to_string(_MSC_FULL_VER);
#else
    return "unknown compiler";
#endif
}

int language_revision() {
    // MSVC reports the real revision in _MSVC_LANG; __cplusplus stays 199711 there without /Zc:__cplusplus.
#if defined(_MSVC_LANG)
    return static_cast<int>(_MSVC_LANG);
#else
    return static_cast<int>(__cplusplus);
#endif
}

void line(std::string& out, std::string_view text) {
    out.append(text);
    out.push_back('\n');
}

// Identifiers shorter than this would hit ordinary words and figures ("1000" as a serial number is
// also a sampling interval) and hide nothing worth hiding.
constexpr size_t k_min_identifier_bytes = 6;

bool is_word_byte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Replaces `what` where it stands as a whole token: not inside a longer word or figure.
void replace_tokens(std::string& text, std::string_view what, std::string_view with) {
    size_t at = text.find(what);
    while (at != std::string::npos) {
        const size_t end = at + what.size();
        const bool whole =
            (at == 0 || !is_word_byte(text[at - 1])) && (end == text.size() || !is_word_byte(text[end]));
        if (whole) {
            text.replace(at, what.size(), with);
            at = text.find(what, at + with.size());
        } else {
            at = text.find(what, at + 1);
        }
    }
}

} // namespace

std::string_view diagnostics_source_name(int source) {
    switch (source) {
    case 1:
        return "Every adapter of this PC";
    case 2:
        return "The whole home (router)";
    default:
        return "This PC's interface";
    }
}

DiagnosticsInput diagnostics_build_facts() {
    DiagnosticsInput input;
    input.app_version = std::string(k_app_version);
    input.compiler = compiler_text();
    input.build_config = "Release";
    input.language_standard = language_revision();
    return input;
}

std::string_view diagnostics_status_word(bool paused, int status) {
    if (paused) {
        return "Paused";
    }
    switch (status) {
    case 1:
        return "Connected";
    case 2:
        return "Measuring";
    default:
        return "Unavailable";
    }
}

std::string build_diagnostics_report(const DiagnosticsInput& in) {
    using std::to_string;
    std::string out;
    line(out, "Tidemeter diagnostic report");
    line(out, "Please review this text before sharing it. It contains no traffic content, browsing history, "
              "passwords, user names or machine names.");
    line(out, "");
    line(out, "Application version: " + cleaned(in.app_version));
    line(out, "Windows version: " + cleaned(in.windows_version));
    line(out, "Compiler: " + cleaned(in.compiler) + " (ISO C++ " + to_string(in.language_standard) + ", " +
                  cleaned(in.build_config) + ")");
    line(out, "UI language: " + cleaned(in.ui_language));
    line(out,
         "Selected network interface: " + cleaned(in.interface_name.empty() ? "(none)" : in.interface_name));
    line(out, "Counted traffic: " + std::string(diagnostics_source_name(in.source)));
    if (in.source == 2) {
        std::string router = in.router_name.empty() ? "(no name)" : cleaned(in.router_name);
        if (!in.router_model.empty()) {
            router += " (" + cleaned(in.router_model) + ")";
        }
        line(out, "Router: " + router);
    }
    line(out, "Sampling interval: " + to_string(in.interval_ms) + " ms");
    line(out, "Monitoring status: " + cleaned(in.status_word));
    if (!in.data_mode.empty()) {
        line(out, "Data folder: " + cleaned(in.data_mode));
    }
    line(out, "Displays: " + to_string(in.displays.size()));
    size_t n = 0;
    for (const DiagnosticsDisplay& d : in.displays) {
        ++n;
        const int64_t percent = static_cast<int64_t>(d.dpi) * 100 / 96;
        line(out, "  #" + to_string(n) + (d.primary ? " (primary)" : "") + ": " + to_string(d.width) + "x" +
                      to_string(d.height) + " px, " + to_string(d.dpi) + " DPI (" + to_string(percent) +
                      "%)");
    }
    line(out, "Recent errors (" + to_string(in.recent_errors.size()) + "):");
    if (in.recent_errors.empty()) {
        line(out, "  (none)");
    }
    for (const DiagnosticsError& e : in.recent_errors) {
        // Error texts were cleaned and cut when they were recorded; allowing for the "..." of that cut
        // keeps a second cut from eating into them again.
        line(out, "  " + format_utc_iso8601(e.time) + "  " + sanitize_text(e.text, k_sanitize_max_bytes + 3));
    }
    // Last, so that no field and no recorded error lets one through: an identifier as given and as
    // cleaning (of control characters, say) would have written it.
    for (const std::string& identifier : in.identifiers) {
        for (const std::string& form : {identifier, cleaned(identifier)}) {
            if (form.size() >= k_min_identifier_bytes) {
                replace_tokens(out, form, "<id>");
            }
        }
    }
    return out;
}

std::string format_utc_iso8601(int64_t unix_seconds) {
    constexpr int64_t k_day = 86400;
    int64_t days = unix_seconds / k_day;
    int64_t second_of_day = unix_seconds % k_day;
    if (second_of_day < 0) {
        second_of_day += k_day;
        --days;
    }
    const CivilDate date = civil_from_day(days);
    const auto year = static_cast<long long>(date.year);
    const auto month = static_cast<long long>(date.month);
    const auto day = static_cast<long long>(date.day);

    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", year, month, day,
                  static_cast<long long>(second_of_day / 3600),
                  static_cast<long long>(second_of_day / 60 % 60),
                  static_cast<long long>(second_of_day % 60));
    return buffer;
}

} // namespace tide
