// Rates and byte counts as localised text.
#include "presentation/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace tide {
namespace {

constexpr std::array<std::string_view, 5> k_bit_rate_units = {"bit/s", "Kbit/s", "Mbit/s", "Gbit/s",
                                                              "Tbit/s"};
constexpr std::array<std::string_view, 5> k_decimal_rate_units = {"B/s", "KB/s", "MB/s", "GB/s", "TB/s"};
constexpr std::array<std::string_view, 5> k_binary_rate_units = {"B/s", "KiB/s", "MiB/s", "GiB/s", "TiB/s"};
constexpr std::array<std::string_view, 5> k_decimal_byte_units = {"B", "KB", "MB", "GB", "TB"};
constexpr std::array<std::string_view, 5> k_binary_byte_units = {"B", "KiB", "MiB", "GiB", "TiB"};

constexpr char32_t k_digit_zero[] = {U'0', U'\u0660', U'\u06F0', U'\u0966', U'\u09E6', U'\u0BE6', U'\u0C66'};

constexpr std::string_view k_narrow_no_break_space = "\u202F";
constexpr std::string_view k_no_break_space = "\u00A0";
constexpr std::string_view k_arabic_decimal = "\u066B";
constexpr std::string_view k_arabic_thousands = "\u066C";

// Whole new strings rather than assignment into the old ones, which also keeps GCC 12's
// -Wrestrict false positive on small string literals quiet.
void set_separators(NumberFormat& format, std::string_view decimal, std::string_view group) {
    format.decimal_separator = std::string(decimal);
    format.group_separator = std::string(group);
}

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int clamp_precision(int precision) {
    return precision < 0 ? 0 : (precision > 2 ? 2 : precision);
}

// Codes outside 1..10 count as exponent 0; 6 and above are bytes.
int unit_exponent(int32_t code) {
    if (code >= 1 && code <= 5) {
        return code - 1;
    }
    if (code >= 6 && code <= 10) {
        return code - 6;
    }
    return 0;
}

double power(double base, int exponent) {
    double result = 1;
    for (int i = 0; i < exponent; ++i) {
        result *= base;
    }
    return result;
}

void append_digit(std::string& out, int digit, DigitSet set) {
    const auto index = static_cast<size_t>(set);
    if (set == DigitSet::ascii || index >= std::size(k_digit_zero)) {
        out.push_back(static_cast<char>('0' + digit));
        return;
    }
    // Every native zero lies between U+0080 and U+FFFF: two or three bytes of UTF-8.
    const auto cp = static_cast<uint32_t>(k_digit_zero[index]) + static_cast<uint32_t>(digit);
    if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
}

// Fixed-point text with the given decimals, as "%.*f" prints it in the C locale (and independent of
// whatever locale the process has set). Values too long for the usual buffer still print whole.
std::string fixed_text(double value, int decimals) {
    char buffer[64];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (error == std::errc()) {
        return std::string(buffer, end);
    }
    std::string large(400, '\0'); // the largest double has 309 integer digits
    auto result =
        std::to_chars(large.data(), large.data() + large.size(), value, std::chars_format::fixed, decimals);
    large.resize(result.ec == std::errc() ? static_cast<size_t>(result.ptr - large.data()) : 0);
    return large;
}

} // namespace

std::string primary_language(std::string_view code) {
    std::string out;
    for (char c : code) {
        if (c == '-' || c == '_') {
            break;
        }
        out.push_back(ascii_lower(c));
    }
    return out;
}

DigitSet native_digit_set(std::string_view code) {
    const std::string primary = primary_language(code);
    if (primary == "ar") {
        return DigitSet::arabic_indic;
    }
    if (primary == "fa" || primary == "ur") {
        return DigitSet::extended_arabic_indic;
    }
    if (primary == "hi" || primary == "mr") {
        return DigitSet::devanagari;
    }
    if (primary == "bn") {
        return DigitSet::bengali;
    }
    if (primary == "ta") {
        return DigitSet::tamil;
    }
    if (primary == "te") {
        return DigitSet::telugu;
    }
    return DigitSet::ascii;
}

NumberFormat make_number_format(std::string_view code, bool native_digits, int decimal_mode) {
    NumberFormat format;
    const std::string primary = primary_language(code);
    if (primary == "es" || primary == "de" || primary == "pt" || primary == "it" || primary == "tr" ||
        primary == "id") {
        set_separators(format, ",", ".");
    } else if (primary == "fr") {
        set_separators(format, ",", k_narrow_no_break_space);
    } else if (primary == "ru") {
        set_separators(format, ",", k_no_break_space);
    }
    if (native_digits) {
        format.digit_set = native_digit_set(code);
        if (format.digit_set == DigitSet::arabic_indic ||
            format.digit_set == DigitSet::extended_arabic_indic) {
            set_separators(format, k_arabic_decimal, k_arabic_thousands);
        }
    }
    // The user's explicit choice wins over the language, Arabic separators included.
    if (decimal_mode == 1) {
        set_separators(format, ".", ",");
    } else if (decimal_mode == 2) {
        set_separators(format, ",", ".");
    }
    return format;
}

std::string localise_number(std::string_view ascii, const NumberFormat& format, bool grouping) {
    std::string out;
    out.reserve(ascii.size() * 3);
    size_t pos = 0;
    if (pos < ascii.size() && ascii[pos] == '-') {
        out.push_back('-');
        ++pos;
    }
    size_t integer_digits = 0;
    while (pos + integer_digits < ascii.size() && is_digit(ascii[pos + integer_digits])) {
        ++integer_digits;
    }
    for (size_t k = 0; k < integer_digits; ++k) {
        if (grouping && k > 0 && (integer_digits - k) % 3 == 0) {
            out += format.group_separator;
        }
        append_digit(out, ascii[pos + k] - '0', format.digit_set);
    }
    pos += integer_digits;
    if (pos < ascii.size() && ascii[pos] == '.') {
        out += format.decimal_separator;
        ++pos;
    }
    for (; pos < ascii.size(); ++pos) {
        if (is_digit(ascii[pos])) {
            append_digit(out, ascii[pos] - '0', format.digit_set);
        } else {
            out.push_back(ascii[pos]);
        }
    }
    return out;
}

std::string format_speed(double bits_per_second, const UnitSettings& units, const NumberFormat& format) {
    const double rate = (bits_per_second > 0 && std::isfinite(bits_per_second)) ? bits_per_second : 0.0;
    const double byte_step = units.base == 1 ? 1024.0 : 1000.0;

    int32_t code = units.unit;
    if (code == static_cast<int32_t>(SpeedUnit::automatic)) {
        // The unit is picked on the unrounded value: 999.96 Kbit/s stays in Kbit/s even when it
        // prints as 1000.0.
        const bool bytes = units.bytes_when_auto;
        const double step = bytes ? byte_step : 1000.0;
        double quantity = bytes ? rate / 8 : rate;
        int k = 0;
        while (quantity >= step && k < 4) {
            quantity /= step;
            ++k;
        }
        code = (bytes ? 6 : 1) + k;
    }

    const bool byte_unit = code >= 6;
    const int exponent = unit_exponent(code);
    const double value = byte_unit ? (rate / 8) / power(byte_step, exponent) : rate / power(1000.0, exponent);

    std::string text = localise_number(fixed_text(value, clamp_precision(units.precision)), format, false);
    text.push_back(' ');
    const auto& table = !byte_unit        ? k_bit_rate_units
                        : units.base == 1 ? k_binary_rate_units
                                          : k_decimal_rate_units;
    text += table[static_cast<size_t>(exponent)];
    return text;
}

std::string format_bytes(uint64_t bytes, int base, int precision, const NumberFormat& format) {
    const double step = base == 1 ? 1024.0 : 1000.0;
    double value = static_cast<double>(bytes);
    int k = 0;
    while (value >= step && k < 4) {
        value /= step;
        ++k;
    }
    // Below one step the count is whole bytes: "999 B", never "999.0 B".
    const int decimals = k == 0 ? 0 : clamp_precision(precision);
    std::string text = localise_number(fixed_text(value, decimals), format, true);
    text.push_back(' ');
    text += (base == 1 ? k_binary_byte_units : k_decimal_byte_units)[static_cast<size_t>(k)];
    return text;
}

std::string isolate_figure(std::string text, bool rtl) {
    return rtl ? "\xE2\x81\xA6" + text + "\xE2\x81\xA9" : text;
}

} // namespace tide
