// Any bytes through the settings reader, the repair and the writer: nothing may crash, a repaired
// record needs no second repair, and what is written reads back as the same record.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "persistence/json.h"
#include "persistence/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tide;
    const std::optional<JsonValue> document =
        parse_json(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!document) {
        return 0;
    }
    Settings settings = settings_from_json(*document);
    repair_settings(settings);

    Settings again = settings;
    if (repair_settings(again) != 0 || !(again == settings)) {
        std::abort();
    }

    const std::string text = serialize_json(settings_to_json(settings), 2);
    const std::optional<JsonValue> reread = parse_json(text);
    if (!reread) {
        std::abort();
    }
    const Settings back = settings_from_json(*reread);
    if (!(back == settings) || serialize_json(settings_to_json(back), 2) != text) {
        std::abort();
    }
    return 0;
}
