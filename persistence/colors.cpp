// The colour text syntax and the built-in palette table.
#include "persistence/colors.h"

#include "persistence/json.h"

#include <algorithm>

namespace tide {
namespace {

// All opaque; written in the same syntax as the settings so that one parser reads both.
constexpr PaletteText k_palette_table[] = {
    {"Midnight",
     {"#0B1426", "#121E36", "#E8ECF4", "#9AA7BD", "#34D399", "#60A5FA", "#FBBF24", "#F87171", "#1F2A44"}},
    {"Ocean Blue",
     {"#0A2540", "#103557", "#F0F6FC", "#A9BDD3", "#5EEAD4", "#7DD3FC", "#FCD34D", "#FCA5A5", "#1D4A73"}},
    {"Emerald",
     {"#06281F", "#0B3A2D", "#ECFDF5", "#9FC9B8", "#6EE7B7", "#93C5FD", "#FCD34D", "#FCA5A5", "#14573F"}},
    {"Arctic",
     {"#F3F8FC", "#FFFFFF", "#0F1B2D", "#4B5A70", "#047857", "#1D4ED8", "#92400E", "#B91C1C", "#C9D6E4"}},
    {"Sunset",
     {"#2A1220", "#3A1A2D", "#FFF1E6", "#D3AFA3", "#FDBA74", "#F9A8D4", "#FDE047", "#FCA5A5", "#55263F"}},
    {"Graphite",
     {"#1E2127", "#292D35", "#ECEFF4", "#A3ABB8", "#86EFAC", "#93C5FD", "#FCD34D", "#FCA5A5", "#3A404B"}},
    {"Minimal White",
     {"#FFFFFF", "#F5F6F8", "#111827", "#4B5563", "#15803D", "#1D4ED8", "#92400E", "#B91C1C", "#D5D9E0"}},
    {"High Contrast",
     {"#000000", "#000000", "#FFFFFF", "#D0D0D0", "#00FFFF", "#FFFF00", "#FFA500", "#FF8080", "#FFFFFF"}},
    {"Classic Green",
     {"#000000", "#0A140A", "#C8FFC8", "#7FBF7F", "#00FF66", "#66CCFF", "#FFCC00", "#FF6666", "#1E3A1E"}},
};

} // namespace

std::optional<Rgba> parse_color(std::string_view text) {
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') {
        return std::nullopt;
    }
    uint8_t channels[4] = {0, 0, 0, 255};
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = hex_digit_value(text[i + 1]);
        const int low = hex_digit_value(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        channels[i / 2] = static_cast<uint8_t>(high * 16 + low);
    }
    return Rgba{channels[0], channels[1], channels[2], channels[3]};
}

bool is_color_key(std::string_view key) {
    return std::find(k_color_keys.begin(), k_color_keys.end(), key) != k_color_keys.end();
}

std::span<const PaletteText> palette_texts() {
    return k_palette_table;
}

bool is_valid_theme_name(std::string_view name) {
    if (name == k_custom_theme || name == k_system_theme) {
        return true;
    }
    return std::any_of(std::begin(k_palette_table), std::end(k_palette_table),
                       [&](const PaletteText& entry) { return entry.name == name; });
}

} // namespace tide
