// Language packs, the choice of language and text lookup with fallback to English.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

class RecentErrors;

// The built-in copy of the English pack (generated at build time from resources/lang/en.json); used
// only when the English resource cannot be read.
extern const std::string_view k_builtin_english;

// Key -> text, both UTF-8.
using LanguagePack = std::map<std::string, std::string, std::less<>>;

struct LanguageInfo {
    std::string_view code;        // "pt-BR"
    std::string_view native_name; // "Português (Brasil)"
};
using LanguageList = std::vector<LanguageInfo>;

// The 22 languages in the order the settings window offers them (after "system").
const LanguageList& language_list();

// Maps any requested code ("de-AT", "zh_hant", "PT-br", "") to a code of the list; "en" when nothing fits.
std::string resolve_language_code(std::string_view requested, const LanguageList& list);

// Arabic, Hebrew, Persian and Urdu, with or without a region ("ur-PK", "fa_IR").
bool is_rtl_code(std::string_view code);

// Replaces "{0}", "{1}", ... by the arguments, one token number after the other.
std::string format_placeholders(std::string_view text, const std::vector<std::string>& arguments);

// A pack's JSON text as a pack: nothing unless it is an object whose members are all strings. A key
// that occurs twice keeps its later text.
std::optional<LanguagePack> parse_language_pack(std::string_view json_text);

// Bytes of the pack for a language code, or nothing when the program does not carry it.
using PackLoader = std::function<std::optional<std::string>(std::string_view code)>;

constexpr std::string_view k_language_resources_unreadable =
    "Embedded language resources could not be read; built-in English is used";

// The texts of the chosen language. Held by value by the application object.
//
// The number symbols (separators and digits) follow language_code: the application object rebuilds
// its two NumberFormat values from it whenever it initialises the language or applies settings.
class Localizer {
public:
    LanguagePack english;  // fallback for every lookup
    LanguagePack selected; // the resolved language (a copy of english for "en")
    bool rtl = false;
    std::string language_code; // resolved: always one of language_list(), once initialised

    // Chooses and loads the language for the `language` setting ("system" means system_locale).
    // Replaces all four fields; may record one problem in errors.
    void initialise_from(std::string_view language_setting, std::string_view system_locale,
                         const PackLoader& load, std::string_view builtin_english, RecentErrors& errors,
                         int64_t unix_now);

    // The text in the chosen language, else in English, else the key itself.
    std::string text(std::string_view key) const;

    // Windows only (localization_win.cpp): initialise_from with the program's own resources, the
    // user's locale and the clock; and text() as UTF-16.
    void initialise(std::string_view language_setting, RecentErrors& errors);
    std::wstring wide_text(std::string_view key) const;
};

} // namespace tide
