// Colour themes: the built-in palettes and the rule that turns a theme name from the settings into the
// palette a window paints with.
#pragma once

#include "persistence/colors.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

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

// The colour of a theme named by its key; nullptr when the key is not one of the nine.
Rgba* theme_color(Theme& theme, std::string_view key);

// The built-in palettes in table order; built once and kept for the whole process.
const std::vector<Theme>& palettes();

// Exact, case-sensitive match of a palette name.
const Theme* find_palette(std::string_view name);

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

// What the taskbar's own text looks like, for a read-out that matches it.
struct TaskbarAppearance {
    Rgba text_color{255, 255, 255, 255};
    std::wstring font_family = L"Segoe UI";
    float font_size_dip = 12.0f;
};

// A font height in pixels at a DPI (negative for a character height, as LOGFONT has it) in DIP.
float font_height_to_dip(int32_t height, int dpi);

// The palette for a stored theme name: high contrast overrides everything, "System" follows the app
// mode, "Custom" is Midnight with the valid entries of custom_colors laid over it.
Theme resolve_theme(std::string_view name, const std::map<std::string, std::string>& custom_colors,
                    SystemAppearance appearance);

} // namespace tide
