// The built-in palettes, colour parsing and theme resolution.
#include "presentation/theme.h"

#include "persistence/json.h"

#include <algorithm>

namespace tide {
namespace {

struct PaletteText {
    std::string_view name;
    std::array<std::string_view, 9> colors; // in the order of k_color_keys
};

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

const Theme& palette_named(std::string_view name) {
    const Theme* found = find_palette(name);
    return found ? *found : palettes().front();
}

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

Rgba* theme_color(Theme& theme, std::string_view key) {
    Rgba* const slots[] = {&theme.bg,     &theme.surface, &theme.text,  &theme.text_muted, &theme.download,
                           &theme.upload, &theme.warning, &theme.error, &theme.border};
    for (size_t i = 0; i < k_color_keys.size(); ++i) {
        if (k_color_keys[i] == key) {
            return slots[i];
        }
    }
    return nullptr;
}

const std::vector<Theme>& palettes() {
    static const std::vector<Theme> table = [] {
        std::vector<Theme> built;
        for (const PaletteText& entry : k_palette_table) {
            Theme theme;
            theme.name = std::string(entry.name);
            for (size_t i = 0; i < k_color_keys.size(); ++i) {
                *theme_color(theme, k_color_keys[i]) = parse_color(entry.colors[i]).value_or(Rgba{});
            }
            built.push_back(std::move(theme));
        }
        return built;
    }();
    return table;
}

const Theme* find_palette(std::string_view name) {
    for (const Theme& theme : palettes()) {
        if (theme.name == name) {
            return &theme;
        }
    }
    return nullptr;
}

bool is_valid_theme_name(std::string_view name) {
    return name == k_custom_theme || name == k_system_theme || find_palette(name) != nullptr;
}

const std::vector<std::string>& theme_choices() {
    static const std::vector<std::string> choices = [] {
        std::vector<std::string> list;
        for (const Theme& theme : palettes()) {
            list.push_back(theme.name);
        }
        list.emplace_back(k_system_theme);
        list.emplace_back(k_custom_theme);
        return list;
    }();
    return choices;
}

int theme_choice_index(std::string_view name) {
    const auto& choices = theme_choices();
    const auto it = std::find(choices.begin(), choices.end(), name);
    return it == choices.end() ? 0 : static_cast<int>(it - choices.begin());
}

const std::string& theme_choice_name(int index) {
    const auto& choices = theme_choices();
    if (index < 0 || static_cast<size_t>(index) >= choices.size()) {
        return palettes().front().name;
    }
    return choices[static_cast<size_t>(index)];
}

Theme resolve_theme(std::string_view name, const std::map<std::string, std::string>& custom_colors,
                    SystemAppearance appearance) {
    if (appearance.high_contrast) {
        return palette_named("High Contrast");
    }
    if (name == k_system_theme) {
        return palette_named(appearance.apps_dark ? "Midnight" : "Minimal White");
    }
    if (const Theme* palette = find_palette(name)) {
        return *palette;
    }
    Theme theme = palette_named(k_default_theme);
    if (name == k_custom_theme) {
        theme.name = std::string(k_custom_theme);
        for (const auto& [key, value] : custom_colors) {
            const std::optional<Rgba> color = parse_color(value);
            Rgba* slot = theme_color(theme, key);
            if (color && slot) {
                *slot = *color;
            }
        }
    }
    return theme;
}

} // namespace tide
