// What the user changed in the settings window, and how that change meets the live settings: only the
// settings whose controls the user changed (or that Reset changed) are written, into the live record as
// it is when the user presses OK or Apply.
#pragma once

#include "persistence/settings.h"
#include "ui/settings/network_edits.h"
#include "ui/settings/settings_form.h"

namespace tide::ui {

struct SettingsEdit {
    Settings opened;  // the record the window was opened with, or as it stood after the last Apply
    Settings loaded;  // what the controls were last loaded from: `opened`, or the defaults after Reset
    FormValues shown; // what the controls showed then
    FormValues now;   // what they show now
    PlanNetworksChange plan_networks; // the networks the user ticked or cleared for a plan of chosen ones
    NetworkEdits networks;            // names, metered choices, networks forgotten: for the usage history
};

// `live` with the edit written in. A control whose value is what it showed is no edit, even when it
// was touched on the way; everything else in `live` stays as it is, including values no list can show.
// `plan_networks` takes only the ids whose checks the user changed. The network edits are not settings:
// the caller hands them to the usage history.
Settings apply_edit(const SettingsEdit& edit, Settings live);

// The window's memory of where its controls started from, between opening, Reset and Apply.
class EditTracker {
public:
    EditTracker() : EditTracker(Settings{}) {}
    explicit EditTracker(const Settings& opened);

    const FormValues& shown() const { return shown_; }
    SettingsEdit edit(const FormValues& now) const { return {opened_, loaded_, shown_, now, {}, {}}; }

    // Loads the defaults; every setting they change counts as edited until the next Apply.
    void reset_to_defaults();
    // After OK or Apply: the edit becomes the new starting point.
    void applied(const SettingsEdit& edit);

private:
    Settings opened_;
    Settings loaded_;
    FormValues shown_;
};

} // namespace tide::ui
