// The strict JSON parser: recursive descent over the bytes, failing on anything outside the grammar.
#include "persistence/json.h"

#include <array>
#include <charconv>
#include <cmath>
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

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
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
    explicit Parser(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    bool parse_document(JsonValue& out) {
        skip_blanks();
        if (!parse_value(out, 1)) {
            return false;
        }
        skip_blanks();
        return p_ == end_;
    }

private:
    void skip_blanks() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) {
            ++p_;
        }
    }

    bool at(char c) const { return p_ != end_ && *p_ == c; }

    // The byte after the word is left to the caller: "nullx" fails at the next structural check.
    bool literal(std::string_view word, JsonValue value, JsonValue& out) {
        if (static_cast<size_t>(end_ - p_) < word.size() || std::string_view(p_, word.size()) != word) {
            return false;
        }
        p_ += word.size();
        out = std::move(value);
        return true;
    }

    bool parse_value(JsonValue& out, int level) {
        if (level > k_max_depth || p_ == end_) {
            return false;
        }
        switch (*p_) {
        case '{':
            return parse_object(out, level);
        case '[':
            return parse_array(out, level);
        case '"': {
            std::string text;
            if (!parse_string(text)) {
                return false;
            }
            out = JsonValue(std::move(text));
            return true;
        }
        case 't':
            return literal("true", JsonValue(true), out);
        case 'f':
            return literal("false", JsonValue(false), out);
        case 'n':
            return literal("null", JsonValue(), out);
        default:
            return parse_number(out);
        }
    }

    bool parse_object(JsonValue& out, int level) {
        ++p_;
        skip_blanks();
        if (at('}')) {
            ++p_;
            out = JsonValue::object();
            return true;
        }
        const size_t first = members_.size();
        for (;;) {
            skip_blanks();
            if (!at('"')) {
                return false;
            }
            // The key is read straight into the pending member; the value goes through a local
            // because nested objects may grow members_ and move it.
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
            JsonValue value;
            if (!parse_value(value, level + 1)) {
                return false;
            }
            members_[index].second = std::move(value);
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
        out = JsonValue::object(
            std::vector<JsonMember>(std::make_move_iterator(begin), std::make_move_iterator(members_.end())));
        members_.erase(begin, members_.end());
        return true;
    }

    bool parse_array(JsonValue& out, int level) {
        ++p_;
        skip_blanks();
        if (at(']')) {
            ++p_;
            out = JsonValue::array();
            return true;
        }
        const size_t first = elements_.size();
        for (;;) {
            skip_blanks();
            JsonValue element;
            if (!parse_value(element, level + 1)) {
                return false;
            }
            elements_.push_back(std::move(element));
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
        const auto begin = elements_.begin() + static_cast<std::ptrdiff_t>(first);
        out = JsonValue::array(
            std::vector<JsonValue>(std::make_move_iterator(begin), std::make_move_iterator(elements_.end())));
        elements_.erase(begin, elements_.end());
        return true;
    }

    void skip_plain_run() {
        while (p_ != end_ && !k_special[static_cast<unsigned char>(*p_)]) {
            ++p_;
        }
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
            const int digit = hex_value(*p_++);
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

    void skip_digits() {
        while (p_ != end_ && is_digit(*p_)) {
            ++p_;
        }
    }

    bool parse_number(JsonValue& out) {
        const char* start = p_;
        const bool negative = at('-');
        if (negative) {
            ++p_;
        }
        const char* int_begin = p_;
        if (at('0')) {
            ++p_;
        } else if (p_ != end_ && is_digit(*p_)) {
            skip_digits();
        } else {
            return false;
        }
        const char* int_end = p_;
        const char* frac_begin = p_;
        if (at('.')) {
            ++p_;
            frac_begin = p_;
            if (p_ == end_ || !is_digit(*p_)) {
                return false;
            }
            skip_digits();
        }
        const char* frac_end = p_;
        const char* exp_begin = p_;
        if (at('e') || at('E')) {
            ++p_;
            if (at('+') || at('-')) {
                ++p_;
            }
            exp_begin = p_;
            if (p_ == end_ || !is_digit(*p_)) {
                return false;
            }
            skip_digits();
        }
        // Up to 19 digits without fraction or exponent fit in 64 bits, and the conversion of that integer
        // to double rounds to nearest just as the decimal conversion would.
        if (frac_end == int_end && p_ == int_end && int_end - int_begin <= 19) {
            uint64_t n = 0;
            for (const char* d = int_begin; d != int_end; ++d) {
                n = n * 10 + static_cast<uint64_t>(*d - '0');
            }
            const double magnitude = static_cast<double>(n);
            out = JsonValue(negative ? -magnitude : magnitude);
            return true;
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
        out = JsonValue(value);
        return true;
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
    std::vector<JsonValue> elements_;  // elements of the arrays still open, innermost last
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
