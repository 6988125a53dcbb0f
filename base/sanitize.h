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
std::string sanitize_text(std::string_view text, size_t max_bytes);

} // namespace tide
