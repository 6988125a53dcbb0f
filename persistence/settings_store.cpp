// Reading settings.json into the live record and the text written back.
#include "persistence/settings_store.h"

namespace tide {

Settings settings_from_file_text(const std::optional<std::string>& bytes) {
    Settings settings = default_settings();
    settings.load = {};
    settings.load.status = SettingsLoadStatus::no_file;
    if (!bytes) {
        return settings;
    }
    const std::optional<JsonValue> document = parse_json(*bytes);
    if (!document || !document->is_object()) {
        settings.load.status = SettingsLoadStatus::unreadable;
        settings.load.message = k_settings_unreadable_text;
        return settings;
    }

    int32_t version = 0;
    read_int_member(&*document, "schema_version", version);
    settings = settings_from_json(*document);
    settings.load = {};
    if (version <= k_settings_schema_version) {
        settings.load.repairs = repair_settings(settings);
        settings.load.status =
            settings.load.repairs > 0 ? SettingsLoadStatus::repaired : SettingsLoadStatus::loaded;
    } else {
        // A newer program wrote the file: its values are used as far as this version understands
        // them, brought into range, and the file is left for the newer program.
        settings.schema_version = k_settings_schema_version;
        repair_settings(settings);
        settings.load.status = SettingsLoadStatus::newer_version;
        settings.load.message = k_settings_newer_text;
    }
    return settings;
}

std::string settings_file_text(Settings settings) {
    repair_settings(settings);
    return serialize_json(settings_to_json(settings), 2);
}

std::string settings_load_report(const SettingsLoadResult& load) {
    if (!load.message.empty()) {
        return load.message;
    }
    if (load.status == SettingsLoadStatus::repaired) {
        return std::string(k_settings_repaired_text);
    }
    return {};
}

} // namespace tide
