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

std::wstring App::tooltip() const {
    std::lock_guard hold(tooltip_lock_);
    return tooltip_;
}

void App::refresh_ui() {
    const TextLookup text = text_lookup();
    const RefreshInputs inputs{current_sample_, sampler_.pause_flag.load(), settings_, text, main_format_,
                               compact_format_, localizer_.rtl};
    const StatusTexts status = compose_status_texts(inputs);
    const ui::CompactContent content{to_wide(status.compact_download), to_wide(status.compact_upload),
                                     to_wide(status.download_label), to_wide(status.upload_label), status.active};
    taskbar_display_.set_content(content);
    desktop_display_.set_content(content);
    std::wstring tip = to_wide(status.tooltip);
    tray_.set_tip(tip);
    {
        std::lock_guard hold(tooltip_lock_);
        tooltip_ = std::move(tip);
    }
    tray_added_ = tray_.added();
    // The dashboard, when visible, receives compose_dashboard_texts() with the visible points chosen
    // by select_visible_points() for settings_.history_window_s.
}

} // namespace tide::app
