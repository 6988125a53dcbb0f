#include "presentation/theme.h"

#include <gtest/gtest.h>

#include <set>

namespace tide {
namespace {

struct ColorCase {
    std::string_view text;
    std::optional<Rgba> expected;
};

void PrintTo(const ColorCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ParseColor : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ParseColor, AcceptsOnlyHashAndSixOrEightHexDigits) {
    EXPECT_EQ(parse_color(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseColor,
    ::testing::Values(
        ColorCase{"#ff0000", Rgba{255, 0, 0, 255}}, ColorCase{"#FF0000FF", Rgba{255, 0, 0, 255}},
        ColorCase{"#FF000080", Rgba{255, 0, 0, 128}}, ColorCase{"#0a0B0c", Rgba{10, 11, 12, 255}},
        ColorCase{"#00000000", Rgba{0, 0, 0, 0}}, ColorCase{"#abc", std::nullopt},
        ColorCase{"FF0000", std::nullopt}, ColorCase{"#GG0000", std::nullopt},
        ColorCase{"#FF0000 ", std::nullopt}, ColorCase{" #FF0000", std::nullopt},
        ColorCase{"#FF00000", std::nullopt}, ColorCase{"#FF0000F", std::nullopt},
        ColorCase{"#FF0000FFF", std::nullopt}, ColorCase{"", std::nullopt}, ColorCase{"#", std::nullopt},
        ColorCase{"##00000", std::nullopt}, ColorCase{"#+10000", std::nullopt},
        ColorCase{"#0x1234", std::nullopt}, ColorCase{std::string_view("#00\0" "000", 7), std::nullopt},
        ColorCase{"red", std::nullopt}));

TEST(ColorKeys, ExactlyTheNineKeys) {
    for (std::string_view key : k_color_keys) {
        EXPECT_TRUE(is_color_key(key)) << key;
    }
    for (std::string_view key : {"", "Text", "bg ", "textmuted", "text-muted", "foo", "background"}) {
        EXPECT_FALSE(is_color_key(key)) << key;
    }
}

TEST(ColorKeys, NameTheirOwnThemeField) {
    Theme theme;
    std::set<Rgba*> slots;
    for (std::string_view key : k_color_keys) {
        slots.insert(theme_color(theme, key));
    }
    EXPECT_EQ(slots.size(), 9u);
    EXPECT_EQ(theme_color(theme, "error"), &theme.error);
    EXPECT_EQ(theme_color(theme, "text_muted"), &theme.text_muted);
    EXPECT_EQ(theme_color(theme, "nope"), nullptr);
}

TEST(Palettes, NineOpaquePalettesInTableOrder) {
    const std::vector<std::string> names = {"Midnight",      "Ocean Blue",    "Emerald",
                                            "Arctic",        "Sunset",        "Graphite",
                                            "Minimal White", "High Contrast", "Classic Green"};
    ASSERT_EQ(palettes().size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const Theme& theme = palettes()[i];
        EXPECT_EQ(theme.name, names[i]);
        for (std::string_view key : k_color_keys) {
            const Rgba* color = theme_color(const_cast<Theme&>(theme), key);
            ASSERT_NE(color, nullptr) << key;
            EXPECT_EQ(color->a, 255) << theme.name << " " << key;
        }
        EXPECT_EQ(find_palette(names[i]), &theme);
    }
}

TEST(Palettes, SpotColoursMatchTheTable) {
    const Theme& midnight = palettes()[0];
    EXPECT_EQ(midnight.bg, (Rgba{0x0B, 0x14, 0x26, 255}));
    EXPECT_EQ(midnight.border, (Rgba{0x1F, 0x2A, 0x44, 255}));
    const Theme* arctic = find_palette("Arctic");
    ASSERT_NE(arctic, nullptr);
    EXPECT_EQ(arctic->surface, (Rgba{0xFF, 0xFF, 0xFF, 255}));
    EXPECT_EQ(arctic->warning, (Rgba{0x92, 0x40, 0x0E, 255}));
    const Theme* green = find_palette("Classic Green");
    ASSERT_NE(green, nullptr);
    EXPECT_EQ(green->upload, (Rgba{0x66, 0xCC, 0xFF, 255}));
    EXPECT_EQ(gdi_color(Rgba{0x11, 0x22, 0x33, 0x44}), 0x332211u);
}

TEST(Palettes, LookupIsExactAndCaseSensitive) {
    for (std::string_view name :
         {"midnight", "Midnight ", " Midnight", "", "OceanBlue", "Custom", "System"}) {
        EXPECT_EQ(find_palette(name), nullptr) << name;
    }
}

TEST(ThemeRule, KeepsPaletteNamesSystemAndCustomOnly) {
    for (const std::string& name : theme_choices()) {
        EXPECT_TRUE(is_valid_theme_name(name)) << name;
    }
    for (std::string_view name : {"midnight", "system", "custom", "", "Midnight\n", "Dark"}) {
        EXPECT_FALSE(is_valid_theme_name(name)) << name;
    }
}

TEST(ThemeChoices, PalettesThenSystemThenCustom) {
    const auto& choices = theme_choices();
    ASSERT_EQ(choices.size(), 11u);
    EXPECT_EQ(choices[0], "Midnight");
    EXPECT_EQ(choices[8], "Classic Green");
    EXPECT_EQ(theme_choice_index("Custom"), 10);
    EXPECT_EQ(theme_choice_index("System"), 9);
    EXPECT_EQ(theme_choice_index("Arctic"), 3);
    EXPECT_EQ(theme_choice_index("arctic"), 0);
    EXPECT_EQ(theme_choice_name(10), "Custom");
    EXPECT_EQ(theme_choice_name(3), "Arctic");
    EXPECT_EQ(theme_choice_name(11), "Midnight");
    EXPECT_EQ(theme_choice_name(-1), "Midnight");
}

struct ResolveCase {
    std::string_view name;
    SystemAppearance appearance;
    std::string_view palette; // the palette whose colours are expected
    std::string_view result_name;
};

void PrintTo(const ResolveCase& c, std::ostream* os) {
    *os << '"' << c.name << "\" dark " << c.appearance.apps_dark << " hc " << c.appearance.high_contrast;
}

class ResolveTheme : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTheme, PicksThePalette) {
    const ResolveCase& c = GetParam();
    const std::map<std::string, std::string> colors = {{"bg", "#010203"}};
    ASSERT_NE(find_palette(c.palette), nullptr) << c.palette;
    Theme expected = *find_palette(c.palette);
    expected.name = std::string(c.result_name);
    EXPECT_EQ(resolve_theme(c.name, colors, c.appearance), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ResolveTheme,
    ::testing::Values(ResolveCase{"System", {false, false}, "Minimal White", "Minimal White"},
                      ResolveCase{"System", {true, false}, "Midnight", "Midnight"},
                      ResolveCase{"Custom", {true, true}, "High Contrast", "High Contrast"},
                      ResolveCase{"Arctic", {false, true}, "High Contrast", "High Contrast"},
                      ResolveCase{"Arctic", {true, false}, "Arctic", "Arctic"},
                      ResolveCase{"midnight", {false, false}, "Midnight", "Midnight"},
                      ResolveCase{"", {false, false}, "Midnight", "Midnight"}));

TEST(ResolveTheme, CustomLaysValidColoursOverMidnight) {
    const std::map<std::string, std::string> colors = {
        {"upload", "#FF000080"}, {"foo", "#123456"}, {"text", "red"}};
    ASSERT_NE(find_palette("Midnight"), nullptr);
    Theme expected = *find_palette("Midnight");
    expected.name = "Custom";
    expected.upload = Rgba{255, 0, 0, 128};
    EXPECT_EQ(resolve_theme("Custom", colors, {}), expected);
    expected.upload = find_palette("Midnight")->upload;
    EXPECT_EQ(resolve_theme("Custom", {}, {}), expected);
}

} // namespace
} // namespace tide

namespace tide {
namespace {

TEST(FontHeightToDip, MessageFontOfTheTaskbar) {
    EXPECT_NEAR(font_height_to_dip(-16, 144), 10.667f, 0.001f);
    EXPECT_FLOAT_EQ(font_height_to_dip(16, 96), 16.0f);
    EXPECT_FLOAT_EQ(font_height_to_dip(-12, 0), 12.0f);
}

} // namespace
} // namespace tide
