// Choosing the language, placeholders, pack parsing and lookup with fallback.
#include "presentation/localization.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/recent_errors.h"

namespace tide {
namespace {

struct ResolveCase {
    const char* requested;
    const char* expected;
};

class ResolveLanguageCode : public testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveLanguageCode, PicksAnEntryOfTheList) {
    EXPECT_EQ(resolve_language_code(GetParam().requested, language_list()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveLanguageCode,
    testing::Values(
        // Exact matches, whatever the case and separator.
        ResolveCase{"en", "en"}, ResolveCase{"fa", "fa"}, ResolveCase{"pt-BR", "pt-BR"},
        ResolveCase{"PT-br", "pt-BR"}, ResolveCase{"PT_br", "pt-BR"}, ResolveCase{"zh_hant", "zh-Hant"},
        ResolveCase{"ZH-HANS", "zh-Hans"},
        // By the primary subtag, first entry of the list.
        ResolveCase{"de-AT", "de"}, ResolveCase{"pt-PT", "pt-BR"}, ResolveCase{"pt", "pt-BR"},
        ResolveCase{"pt-AO", "pt-BR"}, ResolveCase{"en-GB", "en"}, ResolveCase{"fr-CA", "fr"},
        ResolveCase{"ur-PK", "ur"}, ResolveCase{"fa_IR", "fa"}, ResolveCase{"he-IL", "he"},
        ResolveCase{"HI", "hi"}, ResolveCase{"sr-Latn-RS", "en"}, ResolveCase{"sv-SE", "en"},
        // Chinese by script, then by region.
        ResolveCase{"zh-TW", "zh-Hant"}, ResolveCase{"zh-HK", "zh-Hant"}, ResolveCase{"zh-MO", "zh-Hant"},
        ResolveCase{"zh-Hant-TW", "zh-Hant"}, ResolveCase{"zh-Hans-HK", "zh-Hant"},
        ResolveCase{"zh_tw", "zh-Hant"}, ResolveCase{"zh-CN", "zh-Hans"}, ResolveCase{"zh-SG", "zh-Hans"},
        ResolveCase{"zh", "zh-Hans"}, ResolveCase{"zh-", "zh-Hans"}, ResolveCase{"ZH-Hans-CN", "zh-Hans"},
        // Nothing fits.
        ResolveCase{"", "en"}, ResolveCase{"System", "en"}, ResolveCase{"system", "en"},
        ResolveCase{"-", "en"}, ResolveCase{"_de", "en"}, ResolveCase{"english", "en"}));

TEST(ResolveLanguageCodeList, ChineseFallsBackToEnglishWithoutItsEntries) {
    const LanguageList list = {{"de", "Deutsch"}, {"zh-Hant", "繁體中文"}};
    EXPECT_EQ(resolve_language_code("zh-TW", list), "zh-Hant");
    EXPECT_EQ(resolve_language_code("zh-CN", list), "en");
    EXPECT_EQ(resolve_language_code("fr", list), "en");
    EXPECT_EQ(resolve_language_code("DE", list), "de");
}

TEST(LanguageList, HasTheTwentyTwoLanguagesInMenuOrder) {
    std::vector<std::string_view> codes;
    for (const LanguageInfo& entry : language_list()) {
        codes.push_back(entry.code);
        EXPECT_FALSE(entry.native_name.empty()) << entry.code;
    }
    const std::vector<std::string_view> expected = {"en", "es", "fr", "de", "hi", "ar", "he",      "pt-BR",
                                                    "ru", "it", "tr", "id", "ja", "ko", "zh-Hans", "zh-Hant",
                                                    "bn", "ta", "te", "mr", "ur", "fa"};
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(language_list()[7].native_name, "Português (Brasil)");
    EXPECT_EQ(&language_list(), &language_list());
}

TEST(IsRtlCode, ArabicHebrewPersianAndUrdu) {
    for (const char* code : {"ar", "he", "fa", "ur", "ur-PK", "fa_IR", "AR", "He-il"}) {
        EXPECT_TRUE(is_rtl_code(code)) << code;
    }
    for (const char* code : {"en", "", "arn", "hi", "zh-Hant", "-ar", "pt-BR", "far"}) {
        EXPECT_FALSE(is_rtl_code(code)) << code;
    }
    int rtl_count = 0;
    for (const LanguageInfo& entry : language_list()) {
        rtl_count += is_rtl_code(entry.code) ? 1 : 0;
    }
    EXPECT_EQ(rtl_count, 4);
}

struct PlaceholderCase {
    const char* text;
    std::vector<std::string> arguments;
    const char* expected;
};

class FormatPlaceholders : public testing::TestWithParam<PlaceholderCase> {};

TEST_P(FormatPlaceholders, SubstitutesTokenByToken) {
    EXPECT_EQ(format_placeholders(GetParam().text, GetParam().arguments), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatPlaceholders,
    testing::Values(
        PlaceholderCase{"Download {0}, Upload {1}",
                        {"1.5 Mbit/s", "200.0 Kbit/s"},
                        "Download 1.5 Mbit/s, Upload 200.0 Kbit/s"},
        PlaceholderCase{"{1} / {0}", {"a", "b"}, "b / a"}, PlaceholderCase{"{0}{0}{0}", {"x"}, "xxx"},
        PlaceholderCase{"no tokens", {"x"}, "no tokens"}, PlaceholderCase{"", {"x"}, ""},
        PlaceholderCase{"{0} and {1}", {}, "{0} and {1}"}, PlaceholderCase{"{0} and {1}", {"a"}, "a and {1}"},
        // An argument is not expanded by its own token...
        PlaceholderCase{"{0}|{0}", {"<{0}>"}, "<{0}>|<{0}>"},
        // ...but later passes see what earlier ones inserted.
        PlaceholderCase{"{0}", {"[{1}]", "one"}, "[one]"}, PlaceholderCase{"{1}", {"zero", "{0}"}, "{0}"},
        PlaceholderCase{"{0}", {""}, ""}, PlaceholderCase{"{{0}}", {"x"}, "{x}"},
        PlaceholderCase{"{ 0}{0 }", {"x"}, "{ 0}{0 }"},
        PlaceholderCase{"{10}{1}", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "K"}, "Kb"}));

struct PackCase {
    const char* json;
    bool accepted;
};

class ParseLanguagePack : public testing::TestWithParam<PackCase> {};

TEST_P(ParseLanguagePack, AcceptsOnlyObjectsOfStrings) {
    EXPECT_EQ(parse_language_pack(GetParam().json).has_value(), GetParam().accepted) << GetParam().json;
}

INSTANTIATE_TEST_SUITE_P(Table, ParseLanguagePack,
                         testing::Values(PackCase{R"({"a": "x", "b.c": ""})", true}, PackCase{"{}", true},
                                         PackCase{R"({"a": "x", "b": 1})", false},
                                         PackCase{R"({"a": null})", false},
                                         PackCase{R"({"a": ["x"]})", false}, PackCase{R"(["a"])", false},
                                         PackCase{R"("a")", false}, PackCase{"", false},
                                         PackCase{R"({"a": "x")", false}, PackCase{"\xEF\xBB\xBF{}", false}));

TEST(ParseLanguagePackDuplicates, TheLaterTextWins) {
    const auto pack = parse_language_pack(R"({"k": "first", "other": "o", "k": "second"})");
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(pack->size(), 2u);
    EXPECT_EQ(pack->at("k"), "second");
}

// Packs by code, as the program's resources would deliver them; records what was asked for.
class FakePacks {
public:
    std::map<std::string, std::string, std::less<>> bytes = {
        {"en", R"({"menu.exit": "Exit", "menu.open": "Open Tidemeter", "label.upload": "Upload"})"},
        {"de", R"({"menu.exit": "Beenden", "menu.open": "", "extra.key": "Extra"})"},
        {"ar", R"({"menu.exit": "خروج"})"},
        {"zh-Hant", R"({"menu.exit": "結束"})"},
        {"fr", R"({"menu.exit": 3})"},
    };
    std::vector<std::string> requests;

    PackLoader loader() {
        return [this](std::string_view code) -> std::optional<std::string> {
            requests.emplace_back(code);
            const auto found = bytes.find(code);
            if (found == bytes.end()) {
                return std::nullopt;
            }
            return found->second;
        };
    }
};

constexpr std::string_view k_builtin = R"({"menu.exit": "Built-in exit"})";
constexpr int64_t k_now = 1700000000;

TEST(Localizer, SystemSettingUsesTheLocale) {
    FakePacks packs;
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("system", "de-AT", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.language_code, "de");
    EXPECT_FALSE(localizer.rtl);
    EXPECT_EQ(localizer.text("menu.exit"), "Beenden");
    EXPECT_EQ(packs.requests, (std::vector<std::string>{"en", "de"}));
    EXPECT_TRUE(errors.entries().empty());
}

TEST(Localizer, TheKeywordIsCaseSensitive) {
    FakePacks packs;
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("System", "de-AT", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.language_code, "en");
    EXPECT_EQ(localizer.text("menu.exit"), "Exit");
    // English is read once and copied as the selected pack.
    EXPECT_EQ(packs.requests, (std::vector<std::string>{"en"}));
    EXPECT_EQ(localizer.selected, localizer.english);
}

TEST(Localizer, LookupFallsBackToEnglishThenToTheKey) {
    FakePacks packs;
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("de", "", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.text("menu.exit"), "Beenden");
    EXPECT_EQ(localizer.text("menu.open"), "Open Tidemeter"); // empty in the selected pack
    EXPECT_EQ(localizer.text("label.upload"), "Upload");      // missing in the selected pack
    EXPECT_EQ(localizer.text("extra.key"), "Extra");
    EXPECT_EQ(localizer.text("graph.range"), "graph.range"); // missing everywhere
    EXPECT_EQ(localizer.text(""), "");
}

TEST(Localizer, RightToLeftFollowsTheResolvedLanguage) {
    FakePacks packs;
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("system", "ar-EG", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.language_code, "ar");
    EXPECT_TRUE(localizer.rtl);
    EXPECT_EQ(localizer.text("menu.exit"), "خروج");

    localizer.initialise_from("zh_TW", "ar-EG", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.language_code, "zh-Hant");
    EXPECT_FALSE(localizer.rtl);
    EXPECT_EQ(localizer.text("menu.exit"), "結束");

    localizer.initialise_from("ur-PK", "", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.language_code, "ur");
    EXPECT_TRUE(localizer.rtl);
    EXPECT_TRUE(localizer.selected.empty()); // no such pack: everything in English
    EXPECT_EQ(localizer.text("menu.exit"), "Exit");
    EXPECT_TRUE(errors.entries().empty());
}

TEST(Localizer, AnUnusableChosenPackIsSilentlyEmpty) {
    FakePacks packs;
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("fr-CA", "", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.language_code, "fr");
    EXPECT_TRUE(localizer.selected.empty());
    EXPECT_EQ(localizer.text("menu.exit"), "Exit");
    EXPECT_TRUE(errors.entries().empty());
}

class UnusableEnglish : public testing::TestWithParam<std::optional<std::string>> {};

TEST_P(UnusableEnglish, UsesTheBuiltInEnglishAndSaysSo) {
    FakePacks packs;
    if (GetParam()) {
        packs.bytes["en"] = *GetParam();
    } else {
        packs.bytes.erase("en");
    }
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("de", "", packs.loader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.language_code, "de");
    EXPECT_EQ(localizer.text("label.upload"), "label.upload");
    EXPECT_EQ(localizer.english.at("menu.exit"), "Built-in exit");
    EXPECT_EQ(localizer.text("menu.open"), "menu.open");
    ASSERT_EQ(errors.entries().size(), 1u);
    EXPECT_EQ(errors.entries()[0].time, k_now);
    EXPECT_EQ(errors.entries()[0].text,
              "Embedded language resources could not be read; built-in English is used");
}

INSTANTIATE_TEST_SUITE_P(Table, UnusableEnglish,
                         testing::Values(std::nullopt, std::string(), std::string("not json"),
                                         std::string("[]"), std::string("{}"),
                                         std::string(R"({"menu.exit": "Exit", "n": 1})")));

TEST(Localizer, WithoutAnyEnglishEveryLookupIsItsKey) {
    FakePacks packs;
    packs.bytes.erase("en");
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("en", "", packs.loader(), "broken", errors, k_now);
    EXPECT_EQ(localizer.language_code, "en");
    EXPECT_TRUE(localizer.english.empty());
    EXPECT_TRUE(localizer.selected.empty());
    EXPECT_EQ(localizer.text("menu.exit"), "menu.exit");
    EXPECT_EQ(errors.entries().size(), 1u);
}

TEST(Localizer, AnEmptyLoaderMeansNoResources) {
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise_from("en", "", PackLoader(), k_builtin, errors, k_now);
    EXPECT_EQ(localizer.text("menu.exit"), "Built-in exit");
    EXPECT_EQ(errors.entries().size(), 1u);
}

} // namespace
} // namespace tide
