// The JSON value and the writer behind settings.json, usage.json and the language packs.
#include "persistence/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace tide {

namespace {

// Bytes that the writer escapes.
bool needs_escape(unsigned char c) {
    return c < 0x20 || c == '"' || c == '\\';
}

// Appends through a cursor into a string kept larger than its content; the string is cut to the
// written length at the end. This keeps every small append down to a bounds check and a copy.
class Writer {
public:
    explicit Writer(int indent) : indent_(indent > 0 ? static_cast<size_t>(indent) : 0) {}

    std::string write(const JsonValue& value) {
        out_.resize(1024);
        cursor_ = out_.data();
        limit_ = cursor_ + out_.size();
        write_value(value, 0);
        if (indent_ > 0) {
            put('\n');
        }
        out_.resize(static_cast<size_t>(cursor_ - out_.data()));
        return std::move(out_);
    }

private:
    void grow(size_t needed) {
        const size_t used = static_cast<size_t>(cursor_ - out_.data());
        out_.resize(std::max(out_.size() * 2, used + needed));
        cursor_ = out_.data() + used;
        limit_ = out_.data() + out_.size();
    }

    char* room(size_t needed) {
        if (static_cast<size_t>(limit_ - cursor_) < needed) {
            grow(needed);
        }
        return cursor_;
    }

    void put(char c) {
        *room(1) = c;
        ++cursor_;
    }

    void put(const char* text, size_t length) {
        std::memcpy(room(length), text, length);
        cursor_ += length;
    }

    void line_break(size_t depth) {
        const size_t spaces = indent_ * depth;
        char* p = room(spaces + 1);
        *p = '\n';
        std::memset(p + 1, ' ', spaces);
        cursor_ += spaces + 1;
    }

    void write_value(const JsonValue& value, size_t depth) {
        switch (value.kind()) {
        case JsonKind::null:
            put("null", 4);
            break;
        case JsonKind::boolean:
            if (value.as_bool()) {
                put("true", 4);
            } else {
                put("false", 5);
            }
            break;
        case JsonKind::number:
            write_number(value.as_number());
            break;
        case JsonKind::string:
            write_string(value.as_string());
            break;
        case JsonKind::array:
            write_array(value.elements(), depth);
            break;
        case JsonKind::object:
            write_object(value.members(), depth);
            break;
        }
    }

    void write_number(double n) {
        // A non-finite number has no JSON form; null keeps the document readable.
        if (!std::isfinite(n)) {
            put("null", 4);
            return;
        }
        constexpr size_t k_longest = 32;  // "%.17g" needs at most 24 bytes
        char* p = room(k_longest);
        // Integral and below 10^15 in magnitude (truncation is exact there, so it tests integrality).
        if (std::fabs(n) < 1e15 && n == static_cast<double>(static_cast<int64_t>(n))) {
            // The same digits as "%.0f"; only negative zero needs its sign spelled out.
            if (n == 0 && std::signbit(n)) {
                put("-0", 2);
                return;
            }
            cursor_ = std::to_chars(p, p + k_longest, static_cast<int64_t>(n)).ptr;
        } else {
            // As "%.17g" in the C locale.
            cursor_ = std::to_chars(p, p + k_longest, n, std::chars_format::general, 17).ptr;
        }
    }

    void write_string(const std::string& text) {
        put('"');
        const char* run = text.data();
        const char* end = run + text.size();
        for (const char* p = run; p != end; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            if (!needs_escape(c)) {
                continue;
            }
            put(run, static_cast<size_t>(p - run));
            run = p + 1;
            switch (c) {
            case '"':
                put("\\\"", 2);
                break;
            case '\\':
                put("\\\\", 2);
                break;
            case '\n':
                put("\\n", 2);
                break;
            case '\r':
                put("\\r", 2);
                break;
            case '\t':
                put("\\t", 2);
                break;
            default: {
                static constexpr char k_hex[] = "0123456789abcdef";
                const char escape[] = {'\\', 'u', '0', '0', k_hex[c >> 4], k_hex[c & 0xF]};
                put(escape, sizeof escape);
                break;
            }
            }
        }
        put(run, static_cast<size_t>(end - run));
        put('"');
    }

    void write_array(const std::vector<JsonValue>& elements, size_t depth) {
        if (elements.empty()) {
            put("[]", 2);
            return;
        }
        put('[');
        bool first = true;
        for (const JsonValue& element : elements) {
            if (!first) {
                put(',');
            }
            first = false;
            if (indent_ > 0) {
                line_break(depth + 1);
            }
            write_value(element, depth + 1);
        }
        if (indent_ > 0) {
            line_break(depth);
        }
        put(']');
    }

    void write_object(const std::vector<JsonMember>& members, size_t depth) {
        if (members.empty()) {
            put("{}", 2);
            return;
        }
        put('{');
        bool first = true;
        for (const JsonMember& member : members) {
            if (!first) {
                put(',');
            }
            first = false;
            if (indent_ > 0) {
                line_break(depth + 1);
            }
            write_string(member.first);
            if (indent_ > 0) {
                put(": ", 2);
            } else {
                put(':');
            }
            write_value(member.second, depth + 1);
        }
        if (indent_ > 0) {
            line_break(depth);
        }
        put('}');
    }

    size_t indent_;
    std::string out_;
    char* cursor_ = nullptr;
    char* limit_ = nullptr;
};

}  // namespace

JsonValue::JsonValue(bool b) : kind_(JsonKind::boolean), bool_(b) {}

JsonValue::JsonValue(double n) : kind_(JsonKind::number), number_(n) {}

JsonValue::JsonValue(std::string s) : kind_(JsonKind::string), string_(std::move(s)) {}

JsonValue::JsonValue(const JsonValue& other) : kind_(other.kind_) {
    switch (kind_) {
    case JsonKind::null:
    case JsonKind::boolean:
        bool_ = other.bool_;
        break;
    case JsonKind::number:
        number_ = other.number_;
        break;
    case JsonKind::string:
        std::construct_at(&string_, other.string_);
        break;
    case JsonKind::array:
        std::construct_at(&elements_, other.elements_);
        break;
    case JsonKind::object:
        std::construct_at(&members_, other.members_);
        break;
    }
}

JsonValue& JsonValue::operator=(const JsonValue& other) {
    if (this != &other) {
        JsonValue copy(other);
        destroy();
        take(std::move(copy));
    }
    return *this;
}

JsonValue& JsonValue::operator=(JsonValue&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    if (kind_ == JsonKind::array || kind_ == JsonKind::object) {
        // other may live inside this tree: take it out before the tree goes.
        JsonValue moved(std::move(other));
        destroy();
        take(std::move(moved));
    } else {
        destroy();
        take(std::move(other));
    }
    return *this;
}

void JsonValue::destroy() noexcept {
    switch (kind_) {
    case JsonKind::string:
        std::destroy_at(&string_);
        break;
    case JsonKind::array:
        std::destroy_at(&elements_);
        break;
    case JsonKind::object:
        std::destroy_at(&members_);
        break;
    default:
        break;
    }
    kind_ = JsonKind::null;
    bool_ = false;
}

bool JsonValue::as_bool() const {
    return kind_ == JsonKind::boolean && bool_;
}

double JsonValue::as_number() const {
    return kind_ == JsonKind::number ? number_ : 0.0;
}

const std::string& JsonValue::as_string() const {
    static const std::string none;
    return kind_ == JsonKind::string ? string_ : none;
}

const std::vector<JsonValue>& JsonValue::elements() const {
    static const std::vector<JsonValue> none;
    return kind_ == JsonKind::array ? elements_ : none;
}

const std::vector<JsonMember>& JsonValue::members() const {
    static const std::vector<JsonMember> none;
    return kind_ == JsonKind::object ? members_ : none;
}

void JsonValue::append(JsonValue element) {
    if (kind_ == JsonKind::array) {
        elements_.push_back(std::move(element));
    }
}

void JsonValue::append(std::string key, JsonValue value) {
    if (kind_ == JsonKind::object) {
        members_.emplace_back(std::move(key), std::move(value));
    }
}

bool operator==(const JsonValue& a, const JsonValue& b) {
    if (a.kind_ != b.kind_) {
        return false;
    }
    switch (a.kind_) {
    case JsonKind::null:
        return true;
    case JsonKind::boolean:
        return a.bool_ == b.bool_;
    case JsonKind::number:
        return a.number_ == b.number_;
    case JsonKind::string:
        return a.string_ == b.string_;
    case JsonKind::array:
        return a.elements_ == b.elements_;
    case JsonKind::object:
        return a.members_ == b.members_;
    }
    return false;
}

std::string serialize_json(const JsonValue& value, int indent) {
    return Writer(indent).write(value);
}

int hex_digit_value(char c) {
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

const JsonValue* find_member(const JsonValue* object, std::string_view key) {
    if (object == nullptr) {
        return nullptr;
    }
    for (const JsonMember& member : object->members()) {
        if (member.first == key) {
            return &member.second;
        }
    }
    return nullptr;
}

const JsonValue* find_member(const JsonValue& object, std::string_view key) {
    return find_member(&object, key);
}

void read_int_member(const JsonValue* object, std::string_view key, int32_t& target) {
    const JsonValue* member = find_member(object, key);
    if (member == nullptr || !member->is_number()) {
        return;
    }
    const double n = member->as_number();
    // Truncation toward zero; a number past either end saturates there, so that a typo in a hand-edited
    // file lands on the near end of the key's range (not the far one) when it is repaired.
    if (n >= 2147483648.0) {
        target = std::numeric_limits<int32_t>::max();
    } else if (n > -2147483649.0) {
        target = static_cast<int32_t>(n);
    } else {
        target = std::numeric_limits<int32_t>::min(); // also NaN
    }
}

void read_bool_member(const JsonValue* object, std::string_view key, bool& target) {
    const JsonValue* member = find_member(object, key);
    if (member != nullptr && member->is_bool()) {
        target = member->as_bool();
    }
}

void read_string_member(const JsonValue* object, std::string_view key, std::string& target) {
    const JsonValue* member = find_member(object, key);
    if (member != nullptr && member->is_string()) {
        target = member->as_string();
    }
}

}  // namespace tide
