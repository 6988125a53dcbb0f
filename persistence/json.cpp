// The JSON value and the writer behind settings.json, usage.json and the language packs.
#include "persistence/json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

namespace tide {

namespace {

// Bytes that the writer escapes.
bool needs_escape(unsigned char c) {
    return c < 0x20 || c == '"' || c == '\\';
}

class Writer {
public:
    explicit Writer(int indent) : indent_(indent > 0 ? static_cast<size_t>(indent) : 0) {}

    std::string write(const JsonValue& value) {
        out_.reserve(256);
        write_value(value, 0);
        if (indent_ > 0) {
            out_.push_back('\n');
        }
        return std::move(out_);
    }

private:
    void line_break(size_t depth) {
        out_.push_back('\n');
        out_.append(indent_ * depth, ' ');
    }

    void write_value(const JsonValue& value, size_t depth) {
        switch (value.kind()) {
        case JsonKind::null:
            out_.append("null", 4);
            break;
        case JsonKind::boolean:
            if (value.as_bool()) {
                out_.append("true", 4);
            } else {
                out_.append("false", 5);
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
            out_.append("null", 4);
            return;
        }
        char buffer[32];
        std::to_chars_result result{};
        if (n == std::floor(n) && std::fabs(n) < 1e15) {
            // The same digits as "%.0f"; only negative zero needs its sign spelled out.
            if (n == 0 && std::signbit(n)) {
                out_.append("-0", 2);
                return;
            }
            result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(n));
        } else {
            // As "%.17g" in the C locale.
            result = std::to_chars(buffer, buffer + sizeof buffer, n, std::chars_format::general, 17);
        }
        out_.append(buffer, result.ptr);
    }

    void write_string(const std::string& text) {
        out_.push_back('"');
        const char* run = text.data();
        const char* end = run + text.size();
        for (const char* p = run; p != end; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            if (!needs_escape(c)) {
                continue;
            }
            out_.append(run, p);
            run = p + 1;
            switch (c) {
            case '"':
                out_.append("\\\"", 2);
                break;
            case '\\':
                out_.append("\\\\", 2);
                break;
            case '\n':
                out_.append("\\n", 2);
                break;
            case '\r':
                out_.append("\\r", 2);
                break;
            case '\t':
                out_.append("\\t", 2);
                break;
            default: {
                static constexpr char k_hex[] = "0123456789abcdef";
                const char escape[] = {'\\', 'u', '0', '0', k_hex[c >> 4], k_hex[c & 0xF]};
                out_.append(escape, sizeof escape);
                break;
            }
            }
        }
        out_.append(run, end);
        out_.push_back('"');
    }

    void write_array(const std::vector<JsonValue>& elements, size_t depth) {
        if (elements.empty()) {
            out_.append("[]", 2);
            return;
        }
        out_.push_back('[');
        bool first = true;
        for (const JsonValue& element : elements) {
            if (!first) {
                out_.push_back(',');
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
        out_.push_back(']');
    }

    void write_object(const std::vector<JsonMember>& members, size_t depth) {
        if (members.empty()) {
            out_.append("{}", 2);
            return;
        }
        out_.push_back('{');
        bool first = true;
        for (const JsonMember& member : members) {
            if (!first) {
                out_.push_back(',');
            }
            first = false;
            if (indent_ > 0) {
                line_break(depth + 1);
            }
            write_string(member.first);
            if (indent_ > 0) {
                out_.append(": ", 2);
            } else {
                out_.push_back(':');
            }
            write_value(member.second, depth + 1);
        }
        if (indent_ > 0) {
            line_break(depth);
        }
        out_.push_back('}');
    }

    size_t indent_;
    std::string out_;
};

}  // namespace

JsonValue::JsonValue(bool b) : kind_(JsonKind::boolean), bool_(b) {}

JsonValue::JsonValue(double n) : kind_(JsonKind::number), number_(n) {}

JsonValue::JsonValue(std::string s) : kind_(JsonKind::string), string_(std::move(s)) {}

JsonValue JsonValue::array(std::vector<JsonValue> elements) {
    JsonValue value;
    std::construct_at(&value.elements_, std::move(elements));
    value.kind_ = JsonKind::array;
    return value;
}

JsonValue JsonValue::object(std::vector<JsonMember> members) {
    JsonValue value;
    std::construct_at(&value.members_, std::move(members));
    value.kind_ = JsonKind::object;
    return value;
}

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

JsonValue::JsonValue(JsonValue&& other) noexcept {
    take(std::move(other));
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

JsonValue::~JsonValue() {
    destroy();
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

void JsonValue::take(JsonValue&& other) noexcept {
    switch (other.kind_) {
    case JsonKind::null:
    case JsonKind::boolean:
        bool_ = other.bool_;
        other.bool_ = false;
        break;
    case JsonKind::number:
        number_ = other.number_;
        other.number_ = 0;
        break;
    case JsonKind::string:
        std::construct_at(&string_, std::move(other.string_));
        other.string_.clear();
        break;
    case JsonKind::array:
        std::construct_at(&elements_, std::move(other.elements_));  // leaves other's vector empty
        break;
    case JsonKind::object:
        std::construct_at(&members_, std::move(other.members_));
        break;
    }
    kind_ = other.kind_;
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
    // Truncation toward zero; anything whose truncation does not fit (or NaN) gives the lowest value.
    target =
        n > -2147483649.0 && n < 2147483648.0 ? static_cast<int32_t>(n) : std::numeric_limits<int32_t>::min();
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
