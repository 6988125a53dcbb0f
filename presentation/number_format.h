// Rates and byte counts as localised text: unit choice, decimals, separators and native digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "persistence/settings.h"

namespace tide {

// Speed unit codes as stored in settings.json; codes 1..5 are bits, 6..10 bytes per second.
enum class SpeedUnit : int32_t {
    automatic = 0,
    bits = 1,
    kilobits = 2,
    megabits = 3,
    gigabits = 4,
    terabits = 5,
    bytes = 6,
    kilobytes = 7,
    megabytes = 8,
    gigabytes = 9,
    terabytes = 10,
};

// The digit family the ten ASCII digits are mapped to.
enum class DigitSet : int32_t {
    ascii = 0,                 // U+0030
    arabic_indic = 1,          // U+0660 (ar)
    extended_arabic_indic = 2, // U+06F0 (fa, ur)
    devanagari = 3,            // U+0966 (hi, mr)
    bengali = 4,               // U+09E6 (bn)
    tamil = 5,                 // U+0BE6 (ta)
    telugu = 6,                // U+0C66 (te)
};

struct NumberFormat {
    std::string decimal_separator = ".";
    std::string group_separator = ","; // byte totals only
    DigitSet digit_set = DigitSet::ascii;

    friend bool operator==(const NumberFormat&, const NumberFormat&) = default;
};

// The code up to its first "-" or "_", ASCII lower-cased: "pt-BR" gives "pt".
std::string primary_language(std::string_view code);

// The language's own digits (ar, fa, ur, hi, mr, bn, ta, te), otherwise ASCII.
DigitSet native_digit_set(std::string_view code);

// decimal_mode is the top-level decimal_sep setting: 0 by language, 1 forces "1.5", 2 forces "1,5".
NumberFormat make_number_format(std::string_view code, bool native_digits, int decimal_mode);

// Localises printf-style ASCII ("-", digits, ".", digits): separators, optional grouping, digits.
std::string localise_number(std::string_view ascii, const NumberFormat& format, bool grouping);

// A rate in bits per second as number, space and unit ("12.3 Mbit/s"); never grouped.
std::string format_speed(double bits_per_second, const UnitSettings& units, const NumberFormat& format);

// A byte count as number, space and unit ("1,023 B", "1.5 KiB"); base 1 means multiples of 1024.
std::string format_bytes(uint64_t bytes, int base, int precision, const NumberFormat& format);

// In right-to-left text a number and its unit would otherwise be torn apart by the bidi algorithm:
// U+2066 (left-to-right isolate) ... U+2069 (pop directional isolate) keeps them one unit. Left-to-right
// text is returned as it is.
std::string isolate_figure(std::string text, bool rtl);

} // namespace tide
