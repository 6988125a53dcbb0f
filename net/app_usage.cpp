// Per-app figures and connections as the Apps view shows them; see app_usage.h.
#include "net/app_usage.h"

#include <algorithm>
#include <limits>
#include <map>
#include <tuple>

#include "persistence/usage.h"

namespace tide {
namespace {

constexpr uint64_t k_max_u64 = std::numeric_limits<uint64_t>::max();

uint64_t add_saturating(uint64_t a, uint64_t b) {
    return a > k_max_u64 - b ? k_max_u64 : a + b;
}

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next code point at i, or U+FFFD for a malformed sequence (one byte consumed).
char32_t next_code_point(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    // The sequence's length, the lead's own bits and the least code point that needs that length.
    struct Form {
        size_t length;
        char32_t bits;
        char32_t least;
    };
    const Form form = (lead & 0xE0) == 0xC0   ? Form{2, lead & 0x1Fu, 0x80}
                      : (lead & 0xF0) == 0xE0 ? Form{3, lead & 0x0Fu, 0x800}
                      : (lead & 0xF8) == 0xF0 ? Form{4, lead & 0x07u, 0x10000}
                                              : Form{1, 0, 0};
    const size_t length = form.length;
    char32_t c = form.bits;
    const char32_t least = form.least;
    if (length == 1) {
        ++i;
        return 0xFFFD;
    }
    if (i + length > text.size()) {
        ++i;
        return 0xFFFD;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return c;
}

bool is_control(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Marks, embeddings, overrides and isolates: each could turn the rest of a row around.
bool is_direction_format(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool is_path_separator(char c) {
    return c == '\\' || c == '/';
}

char lower_ascii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (lower_ascii(text[i]) != lower_ascii(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::string csv_field(std::string_view text) {
    std::string field(text);
    if (!field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@')) {
        field.insert(field.begin(), '\'');
    }
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

} // namespace

std::string clean_app_text(std::string_view text, size_t max_bytes) {
    std::string cleaned;
    size_t i = 0;
    while (i < text.size()) {
        const char32_t c = next_code_point(text, i);
        if (is_direction_format(c)) {
            continue;
        }
        append_utf8(cleaned, is_control(c) ? U' ' : c);
    }
    const size_t first = cleaned.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    cleaned = cleaned.substr(first, cleaned.find_last_not_of(' ') - first + 1);
    if (cleaned.size() <= max_bytes) {
        return cleaned;
    }
    size_t cut = max_bytes;
    while (cut > 0 && (static_cast<unsigned char>(cleaned[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return cleaned.substr(0, cut) + "\xE2\x80\xA6";
}

std::string file_name_of(std::string_view path) {
    const auto last = std::find_if(path.rbegin(), path.rend(), is_path_separator);
    return std::string(path.substr(static_cast<size_t>(path.rend() - last)));
}

std::string drive_path(std::string_view device_path, const std::vector<DriveDevice>& drives) {
    for (const DriveDevice& d : drives) {
        if (d.device.empty() || d.drive.empty() || !starts_with_ignoring_case(device_path, d.device)) {
            continue;
        }
        const std::string_view rest = device_path.substr(d.device.size());
        if (!rest.empty() && rest[0] == '\\') {
            return d.drive + std::string(rest);
        }
    }
    return {};
}

AppUsage app_from_record(const AppUsageRecord& record) {
    AppUsage app;
    app.id = clean_app_text(record.id, k_max_app_id_bytes);
    app.name = clean_app_text(record.name, k_max_app_name_bytes);
    if (app.name.empty()) {
        app.name = clean_app_text(file_name_of(app.id), k_max_app_name_bytes);
    }
    app.system = app.name.empty();
    app.received = record.received;
    app.sent = record.sent;
    return app;
}

std::string app_with_description(std::string_view file_name, std::string_view description) {
    const std::string cleaned = clean_app_text(description, k_max_app_name_bytes);
    if (cleaned.empty() || cleaned == file_name) {
        return std::string(file_name);
    }
    if (file_name.empty()) {
        return cleaned;
    }
    return cleaned + " (" + std::string(file_name) + ")";
}

void AppUsageTable::add_profile(const std::vector<AppUsageRecord>& records) {
    const size_t n = std::min(records.size(), k_max_apps);
    for (size_t i = 0; i < n; ++i) {
        const AppUsage app = app_from_record(records[i]);
        const auto same = std::find_if(apps_.begin(), apps_.end(), [&](const AppUsage& a) {
            return a.id == app.id && a.name == app.name;
        });
        if (same != apps_.end()) {
            same->received = add_saturating(same->received, app.received);
            same->sent = add_saturating(same->sent, app.sent);
        } else if (apps_.size() < k_max_apps) {
            apps_.push_back(app);
        }
    }
}

uint64_t app_total(const AppUsage& app) {
    return add_saturating(app.received, app.sent);
}

std::vector<AppUsage> AppUsageTable::sorted() const {
    std::vector<AppUsage> rows = apps_;
    std::stable_sort(rows.begin(), rows.end(), [](const AppUsage& a, const AppUsage& b) {
        const uint64_t ta = app_total(a);
        const uint64_t tb = app_total(b);
        if (ta != tb) {
            return ta > tb;
        }
        return std::tie(a.name, a.id) < std::tie(b.name, b.id);
    });
    return rows;
}

double app_bar_fraction(uint64_t total, uint64_t largest) {
    if (largest == 0) {
        return 0.0;
    }
    return std::min(1.0, static_cast<double>(total) / static_cast<double>(largest));
}

std::string apps_csv_text(const std::vector<AppUsage>& apps, std::string_view system_name) {
    std::string text = "app,id,download_bytes,upload_bytes\n";
    for (const AppUsage& app : apps) {
        text += csv_field(app.system ? system_name : std::string_view(app.name));
        text += ',';
        text += csv_field(app.id);
        text += ',' + std::to_string(app.received) + ',' + std::to_string(app.sent) + '\n';
    }
    return text;
}

std::pair<int64_t, int64_t> app_period_span(AppPeriod period, int64_t now, int64_t offset,
                                            int32_t billing_day) {
    const int64_t local = now + offset;
    const int64_t today = local >= 0 ? local / 86400 : -((86399 - local) / 86400); // whole days, rounded down
    int64_t first = today;
    if (period == AppPeriod::last_30_days) {
        first = today - 29;
    } else if (period == AppPeriod::billing) {
        first = billing_period(today, billing_day).first_day;
    }
    return {first * 86400 - offset, now};
}

int64_t windows_time(int64_t unix_seconds) {
    return (unix_seconds + 11'644'473'600) * 10'000'000;
}

std::vector<ProgramConnections>
group_connections(const std::vector<SocketOwner>& sockets,
                  const std::vector<std::pair<uint32_t, std::string>>& images) {
    std::map<uint32_t, std::string> name_of;
    for (const auto& [pid, image] : images) {
        name_of.emplace(pid, clean_app_text(file_name_of(image), k_max_app_name_bytes));
    }
    std::map<std::pair<bool, std::string>, ProgramConnections> groups;
    for (const SocketOwner& s : sockets) {
        const bool system = s.pid == 0 || s.pid == 4;
        std::string name;
        if (!system) {
            const auto found = name_of.find(s.pid);
            name = found != name_of.end() && !found->second.empty() ? found->second
                                                                    : "#" + std::to_string(s.pid);
        }
        ProgramConnections& row = groups[{system, name}];
        if (row.name.empty() && !system) {
            row.name = name;
        }
        row.system = system;
        (s.tcp ? row.tcp : row.udp) += 1;
    }
    std::vector<ProgramConnections> rows;
    rows.reserve(groups.size());
    for (auto& [key, row] : groups) {
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const ProgramConnections& a, const ProgramConnections& b) {
        const uint64_t ta = uint64_t{a.tcp} + a.udp;
        const uint64_t tb = uint64_t{b.tcp} + b.udp;
        if (ta != tb) {
            return ta > tb;
        }
        return a.name < b.name;
    });
    if (rows.size() > k_max_connection_rows) {
        rows.resize(k_max_connection_rows);
    }
    return rows;
}

} // namespace tide
