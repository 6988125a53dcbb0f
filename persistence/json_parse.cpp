// The strict JSON parser: recursive descent over the bytes, failing on anything outside the grammar.
#include "persistence/json.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <system_error>

namespace tide {

namespace {

constexpr int k_max_depth = 64;

// Bytes that end a plain run inside a string: the quote, the backslash and control bytes.
constexpr std::array<bool, 256> make_special_table() {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c) {
        table[c] = true;
    }
    table['"'] = true;
    table['\\'] = true;
    return table;
}
constexpr std::array<bool, 256> k_special = make_special_table();

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Eight bytes at a time, for runs of digits (the method of the fast_float library) and of spaces; only on
// little-endian machines, where the first byte of a loaded word is its lowest.
constexpr bool k_swar = std::endian::native == std::endian::little;

uint64_t load_eight(const char* p) {
    uint64_t chunk = 0;
    std::memcpy(&chunk, p, sizeof chunk);
    return chunk;
}

bool are_eight_digits(uint64_t chunk) {
    return (((chunk + 0x4646464646464646) | (chunk - 0x3030303030303030)) & 0x8080808080808080) == 0;
}

uint64_t eight_digits_value(uint64_t chunk) {
    constexpr uint64_t mask = 0x000000FF000000FF;
    constexpr uint64_t mul1 = 100 + (1000000ull << 32);
    constexpr uint64_t mul2 = 1 + (10000ull << 32);
    chunk -= 0x3030303030303030;
    chunk = chunk * 10 + (chunk >> 8);  // pairs of digits
    return (((chunk & mask) * mul1) + (((chunk >> 16) & mask) * mul2)) >> 32;
}

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        const char bytes[] = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 2);
    } else if (cp < 0x10000) {
        const char bytes[] = {static_cast<char>(0xE0 | (cp >> 12)),
                              static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                              static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 3);
    } else {
        const char bytes[] = {
            static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
        out.append(bytes, 4);
    }
}

class Parser {
public:
    explicit Parser(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {
        values_.reserve(64);
        members_.reserve(32);
    }

    bool parse_document(JsonValue& out) {
        skip_blanks();
        if (!parse_value(1)) {
            return false;
        }
        skip_blanks();
        if (p_ != end_) {
            return false;
        }
        out = std::move(values_.back());
        return true;
    }

private:
    void skip_blanks() {
        const char* p = p_;
        while (p != end_ && static_cast<unsigned char>(*p) <= ' ' &&
               (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t')) {
            ++p;
            // Indented files are mostly runs of spaces: take them eight at a time.
            if constexpr (k_swar) {
                while (end_ - p >= 8) {
                    const uint64_t not_spaces = load_eight(p) ^ 0x2020202020202020;
                    if (not_spaces != 0) {
                        p += std::countr_zero(not_spaces) / 8;
                        break;
                    }
                    p += 8;
                }
            }
        }
        p_ = p;
    }

    bool at(char c) const { return p_ != end_ && *p_ == c; }

    // The byte after the word is left to the caller: "nullx" fails at the next structural check.
    bool literal(std::string_view word) {
        if (static_cast<size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word) {
            return false;
        }
        p_ += word.size();
        return true;
    }

    // On success exactly one value has been pushed onto values_.
    bool parse_value(int level) {
        if (level > k_max_depth || p_ == end_) {
            return false;
        }
        switch (*p_) {
        case '{':
            return parse_object(level);
        case '[':
            return parse_array(level);
        case '"': {
            std::string text;
            if (!parse_string(text)) {
                return false;
            }
            values_.emplace_back(std::move(text));
            return true;
        }
        case 't':
            return literal("true") && push(true);
        case 'f':
            return literal("false") && push(false);
        case 'n':
            return literal("null") && push(nullptr);
        default:
            return parse_number();
        }
    }

    template <typename T> bool push(T&& value) {
        values_.emplace_back(std::forward<T>(value));
        return true;
    }

    bool parse_object(int level) {
        ++p_;
        skip_blanks();
        if (at('}')) {
            ++p_;
            return push(JsonValue::object());
        }
        const size_t first = members_.size();
        for (;;) {
            skip_blanks();
            if (!at('"')) {
                return false;
            }
            // By index: nested objects may grow members_ and move it.
            members_.emplace_back();
            const size_t index = members_.size() - 1;
            if (!parse_string(members_[index].first)) {
                return false;
            }
            skip_blanks();
            if (!at(':')) {
                return false;
            }
            ++p_;
            skip_blanks();
            if (!parse_value(level + 1)) {
                return false;
            }
            members_[index].second = std::move(values_.back());
            values_.pop_back();
            skip_blanks();
            if (!at(',')) {
                break;
            }
            ++p_;
        }
        if (!at('}')) {
            return false;
        }
        ++p_;
        const auto begin = members_.begin() + static_cast<std::ptrdiff_t>(first);
        JsonValue object = JsonValue::object(
            std::vector<JsonMember>(std::make_move_iterator(begin), std::make_move_iterator(members_.end())));
        members_.erase(begin, members_.end());
        return push(std::move(object));
    }

    bool parse_array(int level) {
        ++p_;
        skip_blanks();
        if (at(']')) {
            ++p_;
            return push(JsonValue::array());
        }
        const size_t first = values_.size();
        for (;;) {
            skip_blanks();
            if (!parse_value(level + 1)) {
                return false;
            }
            skip_blanks();
            if (at(',')) {
                ++p_;
            } else if (at(']')) {
                ++p_;
                break;
            } else {
                return false;
            }
        }
        // Elements gather on one shared stack so that each array is allocated once, at its final size.
        const auto begin = values_.begin() + static_cast<std::ptrdiff_t>(first);
        JsonValue array = JsonValue::array(
            std::vector<JsonValue>(std::make_move_iterator(begin), std::make_move_iterator(values_.end())));
        values_.erase(begin, values_.end());
        return push(std::move(array));
    }

    void skip_plain_run() {
        const char* p = p_;
        while (p != end_ && !k_special[static_cast<unsigned char>(*p)]) {
            ++p;
        }
        p_ = p;
    }

    bool parse_string(std::string& out) {
        ++p_;
        const char* run = p_;
        skip_plain_run();
        out.assign(run, p_);
        for (;;) {
            if (p_ == end_) {
                return false;
            }
            const char c = *p_++;
            if (c == '"') {
                return true;
            }
            if (c != '\\' || p_ == end_) {
                return false;  // a raw control byte, or the input ends inside an escape
            }
            switch (*p_++) {
            case '"':
                out.push_back('"');
                break;
            case '/':
                out.push_back('/');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u':
                if (!parse_unicode_escape(out)) {
                    return false;
                }
                break;
            default:
                return false;
            }
            run = p_;
            skip_plain_run();
            out.append(run, p_);
        }
    }

    bool read_hex4(uint32_t& cp) {
        if (end_ - p_ < 4) {
            return false;
        }
        cp = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hex_digit_value(*p_++);
            if (digit < 0) {
                return false;
            }
            cp = cp * 16 + static_cast<uint32_t>(digit);
        }
        return true;
    }

    bool parse_unicode_escape(std::string& out) {
        uint32_t cp = 0;
        if (!read_hex4(cp)) {
            return false;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t low = 0;
            if (end_ - p_ < 2 || p_[0] != '\\' || p_[1] != 'u') {
                return false;
            }
            p_ += 2;
            if (!read_hex4(low) || low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        append_utf8(out, cp);
        return true;
    }

    const char* skip_digits(const char* p) const {
        while (p != end_ && is_digit(*p)) {
            ++p;
        }
        return p;
    }

    bool parse_number() {
        const char* start = p_;
        const char* p = p_;
        const bool negative = p != end_ && *p == '-';
        if (negative) {
            ++p;
        }
        const char* int_begin = p;
        uint64_t integer = 0;  // wraps beyond 19 digits, and is then not used
        if constexpr (k_swar) {
            while (end_ - p >= 8 && are_eight_digits(load_eight(p))) {
                integer = integer * 100000000 + eight_digits_value(load_eight(p));
                p += 8;
            }
        }
        while (p != end_ && is_digit(*p)) {
            integer = integer * 10 + static_cast<uint64_t>(*p - '0');
            ++p;
        }
        const char* int_end = p;
        // After a leading zero the number ends; the digit that follows can never continue a document.
        if (int_end == int_begin || (*int_begin == '0' && int_end - int_begin > 1)) {
            return false;
        }
        const char* frac_begin = p;
        if (p != end_ && *p == '.') {
            frac_begin = ++p;
            if (p == end_ || !is_digit(*p)) {
                return false;
            }
            p = skip_digits(p);
        }
        const char* frac_end = p;
        const char* exp_begin = p;
        if (p != end_ && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p != end_ && (*p == '+' || *p == '-')) {
                ++p;
            }
            exp_begin = p;
            if (p == end_ || !is_digit(*p)) {
                return false;
            }
            p = skip_digits(p);
        }
        p_ = p;
        // Up to 19 digits without fraction or exponent fit in 64 bits, and the conversion of that integer
        // to double rounds to nearest just as the decimal conversion would.
        if (p == int_end && int_end - int_begin <= 19) {
            const double magnitude = static_cast<double>(integer);
            return push(negative ? -magnitude : magnitude);
        }
        // from_chars converts like strtod in the C locale, whatever the process locale is.
        double value = 0;
        const auto [ptr, ec] = std::from_chars(start, p_, value);
        if (ec == std::errc::result_out_of_range) {
            if (overflows(int_begin, int_end, frac_begin, frac_end, exp_begin)) {
                return false;
            }
            value = negative ? -0.0 : 0.0;  // underflow is accepted as zero
        } else if (ec != std::errc() || ptr != p_ || !std::isfinite(value)) {
            return false;
        }
        return push(value);
    }

    // Only for a number from_chars found out of range: the decimal exponent of its first significant
    // digit tells overflow (at least 308) from underflow (at most -324).
    bool overflows(const char* int_begin, const char* int_end, const char* frac_begin, const char* frac_end,
                   const char* exp_begin) const {
        int64_t exponent = 0;
        if (exp_begin != frac_end) {
            for (const char* d = exp_begin; d != p_ && exponent < 1'000'000'000'000'000; ++d) {
                exponent = exponent * 10 + (*d - '0');
            }
            if (exp_begin[-1] == '-') {
                exponent = -exponent;
            }
        }
        if (*int_begin != '0') {
            return exponent + (int_end - int_begin) - 1 > 0;
        }
        const char* d = frac_begin;
        while (d != frac_end && *d == '0') {
            ++d;
        }
        return d != frac_end && exponent - (d - frac_begin) - 1 > 0;
    }

    const char* p_;
    const char* end_;
    std::vector<JsonValue> values_;   // values parsed but not yet placed in their array, innermost last
    std::vector<JsonMember> members_;  // members of the objects still open, innermost last
};

}  // namespace

std::optional<JsonValue> parse_json(std::string_view text) {
    JsonValue value;
    if (!Parser(text).parse_document(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace tide
