// Times the JSON parser and writer on a ten-year usage.json and a full settings.json, beside RapidJSON on
// the same bytes, and prints the ratios (ours / RapidJSON; below 1 means ours is faster).
#include "persistence/json.h"
#include "persistence/settings.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// The usage file as the program writes it: 3650 days of [day, download, upload].
std::string make_usage_text() {
    tide::JsonValue days = tide::JsonValue::array();
    uint64_t seed = 88172645463325252ull;
    for (int day = 0; day < 3650; ++day) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        const double download = static_cast<double>(seed % 40'000'000'000ull);
        const double upload = static_cast<double>((seed >> 20) % 4'000'000'000ull);
        days.append(tide::JsonValue::array({16073 + day, download, upload}));
    }
    return tide::serialize_json(tide::JsonValue::object({{"schema_version", 1}, {"days", std::move(days)}}),
                                2);
}

// A settings.json with every key, as the program writes it, with the optional values filled in.
std::string make_settings_text() {
    tide::Settings settings = tide::default_settings();
    settings.monitoring.manual_adapter = 1688849860263936;
    settings.desktop.enabled = true;
    settings.desktop.floating_rect = tide::ScreenRect{1200, 40, 1420, 96};
    settings.main_window.x = 120;
    settings.main_window.y = -8;
    settings.custom_colors = {{"bg", "#101820"}, {"download", "#34D399"}, {"upload", "#60A5FA"}};
    return tide::serialize_json(tide::settings_to_json(settings), 2);
}

// Nanoseconds per call of ours and of theirs: the best of several rounds of about 50 ms each, the two
// taking turns so that both meet the same load on the machine.
template <typename Ours, typename Theirs>
std::pair<double, double> best_ns_per_call(Ours&& ours, Theirs&& theirs) {
    const auto round = [](auto& work) {
        long calls = 0;
        const Clock::time_point start = Clock::now();
        Clock::duration elapsed{};
        do {
            work();
            ++calls;
            elapsed = Clock::now() - start;
        } while (elapsed < std::chrono::milliseconds(50));
        return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(calls);
    };
    std::pair<double, double> best{1e300, 1e300};
    for (int i = 0; i < 20; ++i) {
        best.first = std::min(best.first, round(ours));
        best.second = std::min(best.second, round(theirs));
    }
    return best;
}

size_t g_sink = 0;  // keeps the optimiser from dropping the work

bool compare(const char* name, const std::string& text) {
    const std::optional<tide::JsonValue> ours = tide::parse_json(text);
    rapidjson::Document theirs;
    theirs.Parse(text.data(), text.size());
    if (!ours || theirs.HasParseError()) {
        std::printf("%s: does not parse\n", name);
        return false;
    }

    const auto [parse_ours, parse_theirs] =
        best_ns_per_call([&] { g_sink += tide::parse_json(text)->members().size(); },
                         [&] {
                             rapidjson::Document doc;
                             doc.Parse(text.data(), text.size());
                             g_sink += doc.MemberCount();
                         });
    const auto [write_ours, write_theirs] =
        best_ns_per_call([&] { g_sink += tide::serialize_json(*ours, 2).size(); },
                         [&] {
                             rapidjson::StringBuffer buffer;
                             rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
                             writer.SetIndent(' ', 2);
                             theirs.Accept(writer);
                             g_sink += buffer.GetSize();
                         });

    std::printf("%s (%zu bytes)\n", name, text.size());
    std::printf("  parse: ours %9.1f us, RapidJSON %9.1f us, ratio %.2f\n", parse_ours / 1000,
                parse_theirs / 1000, parse_ours / parse_theirs);
    std::printf("  write: ours %9.1f us, RapidJSON %9.1f us, ratio %.2f\n", write_ours / 1000,
                write_theirs / 1000, write_ours / write_theirs);
    return true;
}

}  // namespace

int main() {
    const bool usage = compare("usage.json, 3650 days", make_usage_text());
    const bool settings = compare("settings.json, every key", make_settings_text());
    std::printf("(checksum %zu)\n", g_sink);
    return usage && settings ? 0 : 1;
}
