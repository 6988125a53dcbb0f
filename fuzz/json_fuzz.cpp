// Fuzz target for the JSON parser and writer: no input may crash them, and whatever parses must survive
// being written (compact and indented) and parsed again unchanged.
#include "persistence/json.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<tide::JsonValue> value = tide::parse_json(text);
    if (!value) {
        return 0;
    }
    for (int indent : {0, 2}) {
        const std::string written = tide::serialize_json(*value, indent);
        const std::optional<tide::JsonValue> again = tide::parse_json(written);
        if (!again || !(*again == *value) || tide::serialize_json(*again, indent) != written) {
            std::abort();
        }
    }
    return 0;
}
