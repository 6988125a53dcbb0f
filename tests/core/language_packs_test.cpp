// The 22 pack files in resources/lang: the same keys as English, translated, in the pack format.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "persistence/json.h"
#include "presentation/localization.h"

namespace tide {
namespace {

std::filesystem::path pack_folder() {
    return std::filesystem::path(TIDE_SOURCE_DIR) / "resources" / "lang";
}

std::string read_pack_file(std::string_view code) {
    std::ifstream in(pack_folder() / (std::string(code) + ".json"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> keys_of(const JsonValue& root) {
    std::vector<std::string> keys;
    for (const JsonMember& member : root.members()) {
        keys.push_back(member.first);
    }
    return keys;
}

std::multiset<std::string> placeholders_of(const std::string& text) {
    static const std::regex token(R"(\{[0-9]+\})");
    std::multiset<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), token); it != std::sregex_iterator();
         ++it) {
        found.insert(it->str());
    }
    return found;
}

// Texts that are rightly the same as the English ones: loan words, "OK", "Minimum", "Desktop".
const std::map<std::string_view, std::set<std::string_view>>& same_as_english() {
    static const std::map<std::string_view, std::set<std::string_view>> allowed = {
        {"es", {"group.general", "usage.total", "settings.metered_no"}},
        {"fr", {"button.ok", "stats.min", "stats.max", "usage.total"}},
        {"de",
         {"label.download", "label.upload", "tip.speed", "button.ok", "stats.min", "stats.max",
          "group.desktop", "group.dashboard", "settings.network_name"}},
        {"hi", {}},
        {"ar", {}},
        {"he", {}},
        {"pt-BR", {"label.download", "label.upload", "button.ok", "usage.total"}},
        {"ru", {}},
        {"it", {"label.download", "label.upload", "button.ok", "group.desktop", "settings.metered_no"}},
        {"tr", {}},
        {"id", {"button.ok", "stats.min", "group.desktop", "usage.total"}},
        {"ja", {"button.ok"}},
        {"ko", {}},
        {"zh-Hans", {}},
        {"zh-Hant", {}},
        {"bn", {}},
        {"ta", {}},
        {"te", {}},
        {"mr", {}},
        {"ur", {}},
        {"fa", {}},
    };
    return allowed;
}

class LanguagePackFile : public testing::TestWithParam<std::string_view> {
protected:
    void SetUp() override {
        english_text_ = read_pack_file("en");
        std::optional<JsonValue> english = parse_json(english_text_);
        ASSERT_TRUE(english && english->is_object());
        english_ = *english;
        text_ = read_pack_file(GetParam());
        ASSERT_FALSE(text_.empty()) << "missing or empty: " << GetParam() << ".json";
        std::optional<JsonValue> root = parse_json(text_);
        ASSERT_TRUE(root.has_value()) << GetParam() << ".json is not JSON";
        root_ = *root;
        std::optional<LanguagePack> pack = parse_language_pack(text_);
        ASSERT_TRUE(pack.has_value()) << GetParam() << ".json is not an object of strings";
        pack_ = *pack;
    }

    std::string english_text_;
    JsonValue english_;
    std::string text_;
    JsonValue root_;
    LanguagePack pack_;
};

TEST_P(LanguagePackFile, HasTheEnglishKeysInTheEnglishOrder) {
    EXPECT_EQ(keys_of(root_), keys_of(english_));
}

TEST_P(LanguagePackFile, EveryTextIsFilledAndKeepsThePlaceholders) {
    for (const JsonMember& member : english_.members()) {
        const auto found = pack_.find(member.first);
        if (found == pack_.end()) {
            continue; // reported by the key test
        }
        EXPECT_FALSE(found->second.empty()) << member.first;
        EXPECT_EQ(placeholders_of(found->second), placeholders_of(member.second.as_string())) << member.first;
    }
}

TEST_P(LanguagePackFile, NamesTheProductWhereEnglishDoes) {
    for (const char* key : {"menu.open", "menu.about"}) {
        const auto found = pack_.find(key);
        ASSERT_NE(found, pack_.end()) << key;
        EXPECT_NE(found->second.find("Tidemeter"), std::string::npos) << key << ": " << found->second;
    }
}

class TranslatedPackFile : public LanguagePackFile {};

TEST_P(TranslatedPackFile, IsTranslated) {
    const auto allowed = same_as_english().find(GetParam());
    ASSERT_NE(allowed, same_as_english().end());
    for (const JsonMember& member : english_.members()) {
        const auto found = pack_.find(member.first);
        if (found != pack_.end() && found->second == member.second.as_string()) {
            EXPECT_TRUE(allowed->second.contains(member.first))
                << member.first << " is still English: " << found->second;
        }
    }
}

// Two spaces in, one member per line, plain UTF-8, a final line feed: what the writer produces.
TEST_P(LanguagePackFile, IsWrittenInThePackFormat) {
    EXPECT_EQ(serialize_json(root_, 2), text_);
    EXPECT_FALSE(text_.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(text_.find('\0'), std::string::npos);
    EXPECT_EQ(text_.find('\r'), std::string::npos);
}

std::vector<std::string_view> all_codes() {
    std::vector<std::string_view> codes;
    for (const LanguageInfo& entry : language_list()) {
        codes.push_back(entry.code);
    }
    return codes;
}

std::vector<std::string_view> translated_codes() {
    std::vector<std::string_view> codes = all_codes();
    std::erase(codes, "en");
    return codes;
}

std::string test_name(const testing::TestParamInfo<std::string_view>& info) {
    std::string name(info.param);
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguagePackFile, testing::ValuesIn(all_codes()), test_name);
INSTANTIATE_TEST_SUITE_P(Languages, TranslatedPackFile, testing::ValuesIn(translated_codes()), test_name);

// Every .json file in the folder becomes a resource: there must be exactly one per language.
TEST(LanguagePackFolder, HoldsOneFilePerLanguage) {
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(pack_folder())) {
        files.insert(entry.path().filename().string());
    }
    std::set<std::string> expected;
    for (std::string_view code : all_codes()) {
        expected.insert(std::string(code) + ".json");
    }
    EXPECT_EQ(files, expected);
}

TEST(LanguagePackFolder, BuiltInEnglishIsTheEnglishFile) {
    EXPECT_EQ(k_builtin_english, read_pack_file("en"));
}

} // namespace
} // namespace tide
