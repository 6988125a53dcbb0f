// The built-in palettes as colours and theme resolution.
#include "presentation/theme.h"

#include <algorithm>

namespace tide {
namespace {

const Theme& palette_named(std::string_view name) {
    const Theme* found = find_palette(name);
    return found ? *found : palettes().front();
}

} // namespace

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
        for (const PaletteText& entry : palette_texts()) {
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

float font_height_to_dip(int32_t height, int dpi) {
    const int64_t magnitude = height < 0 ? -int64_t{height} : int64_t{height};
    return static_cast<float>(static_cast<double>(magnitude) * 96.0 / (dpi > 0 ? dpi : 96));
}

} // namespace tide
