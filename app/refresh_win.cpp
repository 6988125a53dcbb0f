// The sample handler and the refresh of every display.
#include <ctime>
#include <mutex>
#include <optional>
#include <utility>

#include "app/app_win.h"
#include "base/messages_win.h"
#include "base/wide_text_win.h"
#include "persistence/usage_win.h"

namespace tide::app {

void App::on_sample() {
    take_in_sample(true);
    refresh_ui();
}

// The last published sample into the graph and the usage store. The store takes the growth of the
// session totals, so the same sample taken in twice counts once.
void App::take_in_sample(bool look_up_network) {
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
        recent_errors_.add(now, effects.lost_text);
    }
    if (!current_sample_.source_problem.empty()) {
        recent_errors_.add(now, current_sample_.source_problem);
    }
    // The store is fed whatever history_mode says; saving decides what is kept.
    const uint64_t now_ms = GetTickCount64();
    if (look_up_network) {
        follow_network(now_ms);
    }
    count_sample_bytes(now_ms);
}

// Before the usage is saved for the last time (exit, the end of the session): what crossed since the
// last sample, up to an interval's worth, is measured and counted rather than lost. When the wait runs
// out, the latest sample published is still taken in (the store counts each sample's growth once).
void App::count_last_bytes() {
    sampler_thread_.measure_now(k_last_sample_limit_ms);
    take_in_sample(false); // the network of the last moments: no lookup on the way out
}

void App::refresh_ui() {
    const TextLookup text = text_lookup();
    RefreshInputs inputs{
        current_sample_, sampler_.pause_flag.load(), settings_, text, main_format_, compact_format_,
        localizer_.rtl};
    if (const std::optional<NetworkIdentity>& network = network_tracker_.current()) {
        inputs.network_name = network_display_name(usage_.store.networks(), network->id, network_names());
        const KnownNetwork* known = usage_.store.networks().find(network->id);
        inputs.network_metered = known != nullptr && known->is_metered();
    }
    const StatusTexts status = compose_status_texts(inputs);
    const PlanView plan = update_data_plan(text);
    const ui::CompactContent content{to_wide(status.compact_download),
                                     to_wide(status.compact_upload),
                                     to_wide(status.download_label),
                                     to_wide(status.upload_label),
                                     status.active,
                                     plan.used_up,
                                     to_wide(status.readout_name)};
    // The taskbar display first: the other taskbars' read-outs copy its picture.
    for_each_taskbar_display([&content](ui::CompactWindow& display) { display.set_content(content); });
    desktop_display_.set_content(content);
    announce_state({status.active, plan.used_up}, text);
    std::string tooltip = status.tooltip;
    const PlanTextInputs plan_texts{text, main_format_, settings_.main_units.precision, localizer_.rtl};
    if (const std::string line = plan_tip_line(plan, plan_texts); !line.empty()) {
        tooltip += "\n" + line;
    }
    tray_.set_tip(to_wide(tooltip));
    refresh_dashboard(inputs);
    refresh_usage_window();
}

// Said once through whichever read-out is shown; nothing on the first refresh, which changes nothing.
void App::announce_state(const ReadoutState& now, const TextLookup& text) {
    const std::optional<ReadoutState> before = std::exchange(readout_state_, now);
    const std::string said = before ? state_announcement(*before, now, text) : std::string();
    if (said.empty()) {
        return;
    }
    ui::CompactWindow& shown = taskbar_display_.shown() ? taskbar_display_ : desktop_display_;
    if (shown.shown()) {
        shown.announce(to_wide(said));
    }
}

// Today's bar grows with every sample while the window is open.
void App::refresh_usage_window() {
    if (!usage_window_.is_open()) {
        return;
    }
    const int64_t today = local_day_number();
    UsageLimits limits;
    limits.daily = limit_bytes(settings_.daily_warning_mb);
    limits.monthly = limit_bytes(settings_.monthly_warning_mb);
    limits.billing_day = settings_.billing_day;
    const NetworkFilter plan = plan_filter(settings_, usage_.store.networks());
    const NetworkChoices choices = network_choices(
        usage_.store, plan, usage_network_,
        {localizer_.text("usage.network_all"), localizer_.text("usage.network_plan"), network_names()});
    usage_network_ = choices.selected_key(); // a network forgotten leaves "All networks" chosen
    usage_network_keys_.clear();
    ui::UsageView view;
    for (const NetworkChoice& choice : choices.entries) {
        usage_network_keys_.push_back(choice.key);
        view.networks.push_back(to_wide(choice.label));
    }
    view.network_selected = choices.selected;
    // The limits belong to the bars only when they show what the plan counts.
    if (!plan_limits_apply(usage_.store, plan, usage_network_)) {
        limits.daily = 0;
        limits.monthly = 0;
    }
    const UsageStore chosen = chosen_usage(usage_.store, plan, usage_network_);
    // Without the history on disk only this run's days count, whatever the store held before.
    const UsageStore shown = settings_.history_mode == 1 ? chosen : days_since(chosen, run_first_day_);
    view.days = select_days(shown, today, limits);
    view.months = select_months(shown, today, limits);
    const auto plain = [units = settings_.main_units, format = main_format_](uint64_t value) {
        return format_bytes(value, units.base, units.precision, format);
    };
    // Each figure keeps its order inside right-to-left text.
    const auto bytes = [this, &plain](uint64_t value) {
        return isolate_figure(plain(value), localizer_.rtl);
    };
    const std::array<SummaryCell, 4> cells =
        summary_cells(usage_summary(shown, today, limits), limits, text_lookup(), bytes,
                      [this](int64_t n) { return localise_number(std::to_string(n), main_format_, false); });
    for (size_t i = 0; i < cells.size(); ++i) {
        view.summary_labels[i] = to_wide(cells[i].label);
        view.summary_values[i] = to_wide(cells[i].value);
        view.summary_details[i] = to_wide(cells[i].detail);
    }
    if (settings_.history_mode != 1) {
        view.note = localizer_.wide_text("usage.session_only");
    }
    view.limits = limits;
    view.today = today;
    view.every_profile = settings_.monitoring.source == 1;
    view.format_bytes = [plain](uint64_t value) { return to_wide(plain(value)); };
    usage_window_.update(std::move(view));
}

// Selection and statistics run only while someone can see them.
void App::refresh_dashboard(const RefreshInputs& inputs) {
    if (!dashboard_.is_visible()) {
        return;
    }
    select_visible_points(graph_history_, static_cast<int64_t>(std::time(nullptr)),
                          settings_.history_window_s, visible_graph_);
    const DashboardTexts texts =
        compose_dashboard_texts(inputs, usage_.store, local_day_number(), visible_graph_.points);
    DashboardView view;
    view.status_text = to_wide(texts.status_text);
    view.interface_text = to_wide(texts.interface_text);
    view.download_text = to_wide(texts.download_text);
    view.upload_text = to_wide(texts.upload_text);
    view.download_label = to_wide(texts.download_label);
    view.upload_label = to_wide(texts.upload_label);
    view.session_line = to_wide(texts.session_line);
    view.history_line = to_wide(texts.history_line);
    view.stats_line = to_wide(texts.stats_line);
    view.connected = texts.connected;
    view.points = visible_graph_.points;
    view.format_rate = [units = settings_.main_units, format = main_format_](double rate) {
        return to_wide(format_speed(rate, units, format));
    };
    dashboard_.update(std::move(view));
}

} // namespace tide::app
