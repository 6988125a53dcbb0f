// The sample handler and the refresh of every display.
#include <ctime>
#include <mutex>

#include "app/app_win.h"
#include "base/wide_text_win.h"
#include "persistence/usage_win.h"

namespace tide::app {

void App::on_sample() {
    {
        std::lock_guard hold(sampler_.sample_lock);
        current_sample_ = sampler_.shared_sample;
    }
    const auto now = static_cast<int64_t>(std::time(nullptr));
    const SampleEffects effects = take_sample(previous_status_, current_sample_, now);
    if (effects.point) {
        graph_history_.push(*effects.point);
    }
    if (effects.network_lost) {
        recent_errors_.add(now, k_network_unavailable_text);
    }
    // The store is fed whatever history_mode says; saving decides what is kept.
    if (usage_counter_.feed(usage_.store, local_day_number(), current_sample_.session_received,
                            current_sample_.session_sent)) {
        usage_.dirty = true;
    }
    refresh_ui();
}

void App::refresh_ui() {
    const TextLookup text = text_lookup();
    const RefreshInputs inputs{current_sample_, sampler_.pause_flag.load(), settings_, text, main_format_,
                               compact_format_, localizer_.rtl};
    const StatusTexts status = compose_status_texts(inputs);
    // Both compact displays receive status.compact_download/upload, the labels and the active flag
    // here once they exist.
    tray_.set_tip(to_wide(status.tooltip));
    // The dashboard, when visible, receives compose_dashboard_texts() with the visible points chosen
    // by select_visible_points() for settings_.history_window_s.
}

} // namespace tide::app
