// UTF-8 <-> UTF-16 conversion at the Windows boundary.
#pragma once

#include <string>
#include <string_view>

namespace tide {

// Both return an empty string when the input is empty or does not convert.
std::wstring to_wide(std::string_view utf8);
std::string to_utf8(std::wstring_view utf16);

}  // namespace tide
