// Colour themes: the built-in palettes, the colour text syntax of the settings, and the rule that turns
// a theme name from the settings into the palette a window paints with.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

struct Rgba {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 255;

    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// The form GDI takes: red | green << 8 | blue << 16, alpha dropped.
constexpr uint32_t gdi_color(Rgba c) {
    return static_cast<uint32_t>(c.r) | static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b) << 16;
}

struct Theme {
    std::string name;
    Rgba bg;
    Rgba surface;
    Rgba text;
    Rgba text_muted;
    Rgba download;
    Rgba upload;
    Rgba warning;
    Rgba error;
    Rgba border;

    friend bool operator==(const Theme&, const Theme&) = default;
};

// The nine colour keys of the settings, in palette order.
inline constexpr std::array<std::string_view, 9> k_color_keys = {
    "bg", "surface", "text", "text_muted", "download", "upload", "warning", "error", "border"};

// The theme names with a meaning beyond the palette table.
inline constexpr std::string_view k_default_theme = "Midnight";
inline constexpr std::string_view k_system_theme = "System";
inline constexpr std::string_view k_custom_theme = "Custom";

// "#RRGGBB" or "#RRGGBBAA" (hex digits in either case); alpha defaults to 255. Nothing is trimmed.
std::optional<Rgba> parse_color(std::string_view text);

bool is_color_key(std::string_view key);

// The colour of a theme named by its key; nullptr when the key is not one of the nine.
Rgba* theme_color(Theme& theme, std::string_view key);

// The built-in palettes in table order; built once and kept for the whole process.
const std::vector<Theme>& palettes();

// Exact, case-sensitive match of a palette name.
const Theme* find_palette(std::string_view name);

// A name that a stored theme setting may hold: a palette name, "System" or "Custom".
bool is_valid_theme_name(std::string_view name);

// The choice list of the settings window: the palette names, then "System", then "Custom".
const std::vector<std::string>& theme_choices();
int theme_choice_index(std::string_view name);   // 0 when the name is not in the list
const std::string& theme_choice_name(int index); // "Midnight" when the index is out of range

// The system's colour state, read from Windows by the controller.
struct SystemAppearance {
    bool apps_dark = false;
    bool high_contrast = false;

    friend bool operator==(const SystemAppearance&, const SystemAppearance&) = default;
};

// The palette for a stored theme name: high contrast overrides everything, "System" follows the app
// mode, "Custom" is Midnight with the valid entries of custom_colors laid over it.
Theme resolve_theme(std::string_view name, const std::map<std::string, std::string>& custom_colors,
                    SystemAppearance appearance);

} // namespace tide
