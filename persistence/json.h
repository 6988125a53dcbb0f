// The JSON value used for every file the program reads or writes, with a strict parser and the writer.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tide {

enum class JsonKind { null, boolean, number, string, array, object };

class JsonValue;
using JsonMember = std::pair<std::string, JsonValue>;

// A tagged value. Objects keep their members in insertion order, duplicates included.
class JsonValue {
public:
    JsonValue() {}                         // null
    JsonValue(std::nullptr_t) {}           // null
    JsonValue(bool b);
    JsonValue(double n);
    JsonValue(int n) : JsonValue(static_cast<double>(n)) {}
    JsonValue(std::string s);
    JsonValue(const char* s) : JsonValue(std::string(s)) {}

    static JsonValue array(std::vector<JsonValue> elements = {});
    static JsonValue object(std::vector<JsonMember> members = {});

    JsonValue(const JsonValue&);
    JsonValue& operator=(const JsonValue&);
    JsonValue(JsonValue&&) noexcept;  // leaves the source an empty value of the same kind
    JsonValue& operator=(JsonValue&&) noexcept;
    ~JsonValue();

    JsonKind kind() const { return kind_; }
    bool is_null() const { return kind_ == JsonKind::null; }
    bool is_bool() const { return kind_ == JsonKind::boolean; }
    bool is_number() const { return kind_ == JsonKind::number; }
    bool is_string() const { return kind_ == JsonKind::string; }
    bool is_array() const { return kind_ == JsonKind::array; }
    bool is_object() const { return kind_ == JsonKind::object; }

    // Payload access; each is meaningful only for its own kind (others give false, 0 or empty).
    bool as_bool() const;
    double as_number() const;
    const std::string& as_string() const;
    const std::vector<JsonValue>& elements() const;  // array elements
    const std::vector<JsonMember>& members() const;  // object members

    void append(JsonValue element);                  // arrays only
    void append(std::string key, JsonValue value);   // objects only

    friend bool operator==(const JsonValue& a, const JsonValue& b);

private:
    void destroy() noexcept;
    void take(JsonValue&& other) noexcept;  // moves other's payload into this value, which holds none

    JsonKind kind_ = JsonKind::null;
    // One payload at a time, chosen by kind_ (null and boolean use bool_), so a value stays small.
    union {
        bool bool_ = false;
        double number_;
        std::string string_;
        std::vector<JsonValue> elements_;
        std::vector<JsonMember> members_;
    };
};

// Building, moving and dropping values are inline: the parser does them for every value it reads.

inline JsonValue JsonValue::array(std::vector<JsonValue> elements) {
    JsonValue value;
    new (&value.elements_) std::vector<JsonValue>(std::move(elements));
    value.kind_ = JsonKind::array;
    return value;
}

inline JsonValue JsonValue::object(std::vector<JsonMember> members) {
    JsonValue value;
    new (&value.members_) std::vector<JsonMember>(std::move(members));
    value.kind_ = JsonKind::object;
    return value;
}

inline JsonValue::JsonValue(JsonValue&& other) noexcept { take(std::move(other)); }

inline JsonValue::~JsonValue() {
    if (kind_ >= JsonKind::string) {  // only strings, arrays and objects own memory
        destroy();
    }
}

inline void JsonValue::take(JsonValue&& other) noexcept {
    switch (other.kind_) {
    case JsonKind::null:
    case JsonKind::boolean:
        bool_ = std::exchange(other.bool_, false);
        break;
    case JsonKind::number:
        number_ = std::exchange(other.number_, 0.0);
        break;
    case JsonKind::string:
        new (&string_) std::string(std::move(other.string_));
        other.string_.clear();
        break;
    case JsonKind::array:
        new (&elements_) std::vector<JsonValue>(std::move(other.elements_));  // leaves the source empty
        break;
    case JsonKind::object:
        new (&members_) std::vector<JsonMember>(std::move(other.members_));
        break;
    }
    kind_ = other.kind_;
}

// Strict parse of a whole document; nothing on any syntax error, a byte-order mark, trailing bytes
// or nesting deeper than 64 levels.
std::optional<JsonValue> parse_json(std::string_view text);

// Writes the value; with indent > 0 one member or element per line and a final line feed.
std::string serialize_json(const JsonValue& value, int indent);

// 0..15 for a hexadecimal digit of either case, -1 for any other byte (escapes and colour texts).
int hex_digit_value(char c);

// First member with exactly this key, or nullptr (also for a null object or a non-object).
const JsonValue* find_member(const JsonValue* object, std::string_view key);
const JsonValue* find_member(const JsonValue& object, std::string_view key);

// Each changes the target only when the member exists and has the expected kind. Numbers are truncated
// toward zero; one outside the 32-bit range reads as its nearer end.
void read_int_member(const JsonValue* object, std::string_view key, int32_t& target);
void read_bool_member(const JsonValue* object, std::string_view key, bool& target);
void read_string_member(const JsonValue* object, std::string_view key, std::string& target);

}  // namespace tide
