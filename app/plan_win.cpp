// Data-plan limits: the warnings from the tray icon and warnings.json, which keeps what was given.
#include <ctime>

#include "app/app_win.h"
#include "base/wide_text_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/usage_win.h"

namespace tide::app {
namespace {

int64_t unix_now() {
    return static_cast<int64_t>(std::time(nullptr));
}

} // namespace

// A file that exists but cannot be read (antivirus, backup or sync holding it) is read again with
// every usage save; until then no warning goes out, since one could repeat what was already given.
void App::read_given_warnings() {
    const std::optional<std::string> bytes = read_file_bytes(warnings_path_);
    if (!bytes) {
        if (file_exists(warnings_path_)) {
            if (!warnings_unreadable_reported_) {
                recent_errors_.add(
                    unix_now(),
                    "Data-plan warnings file could not be read; no warnings are given until it can be");
                warnings_unreadable_reported_ = true;
            }
            return;
        }
        warnings_read_ = true;
        return;
    }
    if (const std::optional<GivenWarnings> given = warnings_from_file_text(*bytes)) {
        plan_warner_.load(*given);
    } else if (quarantine_file(warnings_path_)) {
        recent_errors_.add(unix_now(), "Data-plan warnings file was unreadable and has been reset");
    } else {
        return; // neither readable nor movable: writing over it could bring back given warnings
    }
    warnings_read_ = true;
}

// Handed to the writer thread like the other files: a write that fails is kept there and tried again
// with the next save, so the records count as saved once handed over.
void App::save_given_warnings() {
    if (!warnings_read_ || !plan_warner_.changed() || !saves_files(options_.data_mode)) {
        return;
    }
    plan_warner_.saved();
    writer_->save({warnings_path_, warnings_file_text(plan_warner_.records()),
                   [this](bool written, const std::string& error) {
                       if (written) {
                           warnings_save_failed_ = false;
                           return;
                       }
                       if (!warnings_save_failed_) {
                           recent_errors_.add(unix_now(), "Could not save data-plan warnings: " + error);
                       }
                       warnings_save_failed_ = true;
                   }});
}

// A warning is written down as soon as the shell has shown it, so that a crash right after cannot
// bring it back at the next start.
PlanView App::update_data_plan(const TextLookup& text) {
    const PlanView view =
        plan_view(settings_, usage_.store, local_day_number(), usage_.file_read && !usage_.keep_file);
    if (!warnings_read_) {
        return view;
    }
    const uint64_t now_ms = GetTickCount64();
    if (const auto due =
            plan_warner_.check(view, settings_.monthly_warning_mb, settings_.daily_warning_mb, now_ms)) {
        const PlanTextInputs inputs{text, main_format_, settings_.main_units.precision, localizer_.rtl};
        const PlanNotice notice = plan_notice(*due, view, inputs);
        if (tray_.notify(to_wide(notice.title), to_wide(notice.text))) {
            plan_warner_.given(*due);
        } else {
            plan_warner_.refused(now_ms);
        }
    }
    if (!warnings_save_failed_) {
        save_given_warnings();
    }
    return view;
}

} // namespace tide::app
