// Language packs, the choice of language and text lookup with fallback to English.
#include "presentation/localization.h"

#include "base/recent_errors.h"
#include "persistence/json.h"

namespace tide {
namespace {

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string_view up_to_dash(std::string_view code) {
    return code.substr(0, code.find('-'));
}

} // namespace

const LanguageList& language_list() {
    static const LanguageList list = {
        {"en", "English"}, {"es", "Español"},  {"fr", "Français"},      {"de", "Deutsch"},
        {"hi", "हिंदी"},    {"ar", "العربية"},  {"he", "עברית"},         {"pt-BR", "Português (Brasil)"},
        {"ru", "Русский"}, {"it", "Italiano"}, {"tr", "Türkçe"},        {"id", "Bahasa Indonesia"},
        {"ja", "日本語"},  {"ko", "한국어"},   {"zh-Hans", "简体中文"}, {"zh-Hant", "繁體中文"},
        {"bn", "বাংলা"},   {"ta", "தமிழ்"},     {"te", "తెలుగు"},         {"mr", "मराठी"},
        {"ur", "اردو"},    {"fa", "فارسی"},
    };
    return list;
}

std::string resolve_language_code(std::string_view requested, const LanguageList& list) {
    if (requested.empty()) {
        return "en";
    }
    std::string normalised(requested);
    for (char& c : normalised) {
        if (c == '_') {
            c = '-';
        }
    }
    const std::string lower = ascii_lower(normalised);
    for (const LanguageInfo& entry : list) {
        if (ascii_lower(entry.code) == lower) {
            return std::string(entry.code);
        }
    }

    const std::string primary = ascii_lower(up_to_dash(normalised));
    if (primary != "zh") {
        for (const LanguageInfo& entry : list) {
            if (ascii_lower(up_to_dash(entry.code)) == primary) {
                return std::string(entry.code);
            }
        }
        return "en";
    }

    // Chinese: the script subtag decides, else the regions that write Traditional characters.
    const bool traditional = lower.find("hant") != std::string::npos ||
                             lower.find("-tw") != std::string::npos ||
                             lower.find("-hk") != std::string::npos || lower.find("-mo") != std::string::npos;
    const std::string_view wanted = traditional ? "zh-Hant" : "zh-Hans";
    for (const LanguageInfo& entry : list) {
        if (entry.code == wanted) {
            return std::string(entry.code);
        }
    }
    return "en";
}

bool is_rtl_code(std::string_view code) {
    const size_t end = code.find_first_of("-_");
    const std::string primary = ascii_lower(code.substr(0, end));
    return primary == "ar" || primary == "he" || primary == "fa" || primary == "ur";
}

std::string format_placeholders(std::string_view text, const std::vector<std::string>& arguments) {
    std::string out(text);
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string token(1, '{');
        token += std::to_string(i);
        token += '}';
        const std::string& argument = arguments[i];
        // Searching on after the inserted text keeps an argument from being expanded by its own token.
        size_t pos = out.find(token);
        while (pos != std::string::npos) {
            out.replace(pos, token.size(), argument);
            pos = out.find(token, pos + argument.size());
        }
    }
    return out;
}

std::optional<LanguagePack> parse_language_pack(std::string_view json_text) {
    const std::optional<JsonValue> root = parse_json(json_text);
    if (!root || !root->is_object()) {
        return std::nullopt;
    }
    LanguagePack pack;
    for (const JsonMember& member : root->members()) {
        if (!member.second.is_string()) {
            return std::nullopt;
        }
        pack.insert_or_assign(member.first, member.second.as_string());
    }
    return pack;
}

void Localizer::initialise_from(std::string_view language_setting, std::string_view system_locale,
                                const PackLoader& load, std::string_view builtin_english,
                                RecentErrors& errors, int64_t unix_now) {
    const std::string_view requested = language_setting == "system" ? system_locale : language_setting;
    const std::string code = resolve_language_code(requested, language_list());

    auto load_pack = [&load](std::string_view pack_code) {
        std::optional<std::string> bytes = load ? load(pack_code) : std::nullopt;
        std::optional<LanguagePack> pack = bytes ? parse_language_pack(*bytes) : std::nullopt;
        return pack ? std::move(*pack) : LanguagePack{};
    };

    LanguagePack new_english = load_pack("en");
    if (new_english.empty()) {
        if (std::optional<LanguagePack> builtin = parse_language_pack(builtin_english)) {
            new_english = std::move(*builtin);
        }
        errors.add(unix_now, k_language_resources_unreadable);
    }
    // A chosen pack that cannot be read stays empty and every lookup falls back to English.
    LanguagePack new_selected = code == "en" ? new_english : load_pack(code);

    english = std::move(new_english);
    selected = std::move(new_selected);
    rtl = is_rtl_code(code);
    language_code = code;
}

std::string Localizer::text(std::string_view key) const {
    for (const LanguagePack* pack : {&selected, &english}) {
        const auto found = pack->find(key);
        if (found != pack->end() && !found->second.empty()) {
            return found->second;
        }
    }
    return std::string(key);
}

} // namespace tide
