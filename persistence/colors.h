// The colour values and theme names a settings file may hold: the colour text syntax, the nine colour
// keys and the built-in palettes as text. Colours are resolved into palettes one layer up.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

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

// One built-in palette as written in the table: its name and its nine colours in k_color_keys order.
struct PaletteText {
    std::string_view name;
    std::array<std::string_view, 9> colors;
};

// The built-in palettes in table order.
std::span<const PaletteText> palette_texts();

// A name that a stored theme setting may hold: a palette name, "System" or "Custom".
bool is_valid_theme_name(std::string_view name);

} // namespace tide
