// The language packs as resources of the executable, and the Windows side of the Localizer.
#include "presentation/localization_win.h"

#include <gtest/gtest.h>

#include "base/recent_errors.h"
#include "presentation/localization.h"

namespace tide {
namespace {

TEST(LoadPack, FindsEveryLanguageOfTheList) {
    for (const LanguageInfo& entry : language_list()) {
        const std::optional<std::string> bytes = load_pack(entry.code);
        ASSERT_TRUE(bytes.has_value()) << entry.code;
        EXPECT_TRUE(parse_language_pack(*bytes).has_value()) << entry.code;
    }
}

TEST(LoadPack, EnglishResourceIsTheBuiltInEnglish) {
    const std::optional<std::string> bytes = load_pack("en");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, k_builtin_english);
}

TEST(LoadPack, NameCaseDoesNotMatterAndUnknownCodesAreMissing) {
    EXPECT_EQ(load_pack("PT-br"), load_pack("pt-BR"));
    EXPECT_TRUE(load_pack("zh-hant").has_value());
    EXPECT_FALSE(load_pack("xx").has_value());
    EXPECT_FALSE(load_pack("").has_value());
}

TEST(Localizer, InitialisesFromTheResources) {
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise("he", errors);
    EXPECT_EQ(localizer.language_code, "he");
    EXPECT_TRUE(localizer.rtl);
    EXPECT_EQ(localizer.english.size(), 159u);
    EXPECT_EQ(localizer.selected.size(), 159u);
    EXPECT_NE(localizer.text("menu.exit"), "Exit");
    EXPECT_NE(localizer.wide_text("menu.open").find(L"Tidemeter"), std::wstring::npos);
    EXPECT_TRUE(errors.entries().empty());

    localizer.initialise("en", errors);
    EXPECT_EQ(localizer.wide_text("menu.exit"), L"Exit");
    EXPECT_EQ(localizer.wide_text("status.measuring"), L"Measuring\u2026");
    EXPECT_EQ(localizer.wide_text("no.such.key"), L"no.such.key");
    EXPECT_FALSE(localizer.rtl);
}

TEST(Localizer, SystemSettingResolvesTheUserLocale) {
    RecentErrors errors;
    Localizer localizer;
    localizer.initialise("system", errors);
    EXPECT_EQ(localizer.language_code, resolve_language_code(system_locale_name(), language_list()));
    EXPECT_TRUE(errors.entries().empty());
}

} // namespace
} // namespace tide
