// Scrubbing of free text (error messages, report fields) before it is kept or shown to anyone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tide {

// The length every report field and every recent-error text is cut to.
inline constexpr size_t k_sanitize_max_bytes = 300;

// Cleans UTF-8 text so that it can be shared: control bytes become blanks, the user name in a
// "X:\Users\name" profile path becomes "<user>", e-mail addresses become "<email>", the digits of a
// device's unique name ("uuid:" and at least 8 hexadecimal digits or dashes) become "<id>", and a text longer
// than max_bytes is cut on a character boundary and ends in "..." (at most max_bytes + 3 bytes).
// Invisible control characters removed as well (see remove_invisible_controls).
std::string sanitize_text(std::string_view text, size_t max_bytes);

// Text from another machine made safe to show: the bidirectional controls (U+200E, U+200F, U+061C,
// U+202A to U+202E, U+2066 to U+2069) and the C1 controls (U+0080 to U+009F) are removed, so that a
// name cannot reverse or hide the line it is shown in; the line and paragraph separators (U+2028,
// U+2029) become blanks. Everything else, also invalid UTF-8, passes unchanged.
std::string remove_invisible_controls(std::string_view text);

} // namespace tide
