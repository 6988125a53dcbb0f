// The language packs carried as resources of the program file, and the user's locale.
#include "presentation/localization_win.h"

#include <windows.h>

#include <ctime>

#include "base/recent_errors.h"
#include "base/wide_text_win.h"
#include "presentation/localization.h"

namespace tide {
namespace {

HRSRC find_pack(HMODULE module, const std::wstring& name) {
    return FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10)); // RT_RCDATA
}

// Upper-cased with the invariant locale: the codes are ASCII, and a Turkish user locale must not
// turn the "i" of "hi" or "it" into a dotted capital.
std::wstring upper_case(const std::wstring& text) {
    std::wstring out = text;
    const int length = static_cast<int>(text.size());
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(), length, out.data(), length,
                      nullptr, nullptr, 0) != length) {
        return text;
    }
    return out;
}

} // namespace

std::optional<std::string> load_pack(std::string_view code) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const std::wstring name = L"LANG_" + to_wide(code);
    HRSRC resource = find_pack(module, name);
    if (resource == nullptr) {
        resource = find_pack(module, upper_case(name));
    }
    if (resource == nullptr) {
        return std::nullopt;
    }
    const HGLOBAL loaded = LoadResource(module, resource);
    const DWORD size = SizeofResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return std::nullopt;
    }
    return std::string(static_cast<const char*>(bytes), size);
}

std::string system_locale_name() {
    wchar_t buffer[LOCALE_NAME_MAX_LENGTH] = {};
    if (GetUserDefaultLocaleName(buffer, LOCALE_NAME_MAX_LENGTH) <= 0) {
        return {};
    }
    return to_utf8(buffer);
}

void Localizer::initialise(std::string_view language_setting, RecentErrors& errors) {
    // The locale is asked only when it is used.
    const std::string locale = language_setting == "system" ? system_locale_name() : std::string();
    initialise_from(language_setting, locale, load_pack, k_builtin_english, errors,
                    static_cast<int64_t>(std::time(nullptr)));
}

std::wstring Localizer::wide_text(std::string_view key) const {
    return to_wide(text(key));
}

} // namespace tide
