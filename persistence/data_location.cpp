// Which folder a run keeps its files in.
#include "persistence/data_location.h"

namespace tide {

DataLocation choose_data_location(const DataLocationFacts& facts) {
    if (!facts.chosen_folder.empty()) {
        return {facts.chosen_folder, DataMode::chosen};
    }
    if (facts.marker_present && !facts.program_folder.empty()) {
        std::wstring folder = facts.program_folder;
        if (folder.back() != L'\\' && folder.back() != L'/') {
            folder += L'\\';
        }
        folder += k_portable_data_folder;
        return {folder, DataMode::portable};
    }
    return {facts.roaming_folder, DataMode::installed};
}

DataLocation after_write_probe(DataLocation location, bool writable) {
    if (location.mode == DataMode::portable && !writable) {
        location.mode = DataMode::portable_read_only;
    }
    return location;
}

bool offers_installed_files(const CopyOfferFacts& facts) {
    return facts.mode == DataMode::portable && !facts.data_has_files && facts.installed_has_files;
}

bool saves_files(DataMode mode) {
    return mode != DataMode::portable_read_only;
}

std::string_view data_mode_text(DataMode mode) {
    switch (mode) {
    case DataMode::portable:
        return "portable (the Data folder beside the program)";
    case DataMode::portable_read_only:
        return "portable, read-only (the Data folder beside the program cannot be written; nothing is saved)";
    case DataMode::chosen:
        return "set by TIDEMETER_DATA_FOLDER";
    case DataMode::installed:
        break;
    }
    return "installed (%APPDATA%\\Tidemeter)";
}

} // namespace tide
