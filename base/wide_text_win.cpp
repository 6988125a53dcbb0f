// UTF-8 <-> UTF-16 conversion at the Windows boundary.
#include "base/wide_text_win.h"

#include <windows.h>

namespace tide {

std::wstring to_wide(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > 0x7fffffff) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring out(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), needed);
    return out;
}

std::string to_utf8(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > 0x7fffffff) {
        return {};
    }
    const int length = static_cast<int>(utf16.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, out.data(), needed, nullptr, nullptr);
    return out;
}

}  // namespace tide
