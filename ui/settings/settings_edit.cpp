// The rule that hands over only what the user changed in the settings window.
#include "ui/settings/settings_edit.h"

#include <utility>

#include "persistence/json.h"

namespace tide::ui {
namespace {

bool same_keys(const JsonValue& a, const JsonValue& b) {
    if (a.members().size() != b.members().size()) {
        return false;
    }
    for (size_t i = 0; i < a.members().size(); ++i) {
        if (a.members()[i].first != b.members()[i].first) {
            return false;
        }
    }
    return true;
}

// Member by member, what `changed` holds differently from `before`, written over `live`. The file's keys
// are the record's fields, so a setting added to the file needs nothing here. An object whose keys
// differ (the custom colours Reset empties) is taken whole.
JsonValue merge_changes(const JsonValue& before, const JsonValue& changed, const JsonValue& live) {
    if (changed == before) {
        return live;
    }
    if (!before.is_object() || !changed.is_object() || !live.is_object() || !same_keys(before, changed) ||
        !same_keys(before, live)) {
        return changed;
    }
    JsonValue merged = JsonValue::object();
    for (size_t i = 0; i < changed.members().size(); ++i) {
        merged.append(
            changed.members()[i].first,
            merge_changes(before.members()[i].second, changed.members()[i].second, live.members()[i].second));
    }
    return merged;
}

} // namespace

Settings apply_edit(const SettingsEdit& edit, Settings live) {
    if (edit.loaded != edit.opened) {
        const SettingsLoadResult load = live.load;
        live = settings_from_json(merge_changes(settings_to_json(edit.opened), settings_to_json(edit.loaded),
                                                settings_to_json(live)));
        live.load = load;
    }
    for (const FormField& field : form_fields()) {
        if (edit.now[field.id] != edit.shown[field.id]) {
            field.store(edit.now[field.id], live);
        }
    }
    if (!edit.plan_networks.empty()) {
        live.plan_networks =
            changed_plan_networks(std::move(live.plan_networks), edit.plan_networks, k_max_plan_networks);
    }
    return live;
}

EditTracker::EditTracker(const Settings& opened)
    : opened_(opened), loaded_(opened), shown_(load_form(opened)) {}

void EditTracker::reset_to_defaults() {
    loaded_ = default_settings();
    loaded_.custom_colors.clear();
    shown_ = load_form(loaded_);
}

void EditTracker::applied(const SettingsEdit& edit) {
    opened_ = apply_edit(edit, opened_);
    loaded_ = opened_;
    shown_ = edit.now;
}

} // namespace tide::ui
