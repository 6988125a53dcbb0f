// Placement of the taskbar read-out on the shell's taskbar.
#include "compact/taskbar_host_win.h"

#include <optional>

#include "compact/displays_win.h"
#include "compact/dpi.h"
#include "compact/taskbar_layout.h"

namespace tide::ui {
namespace {

constexpr int k_gap_dip = 4;
constexpr int k_task_list_min_dip = 120;

} // namespace

ShellTaskbarHost::~ShellTaskbarHost() {
    task_list_.restore_task_list();
    watcher_->watch(this, nullptr);
}

HWND ShellTaskbarHost::find_host(const std::vector<DisplayInfo>& displays, size_t display) {
    host_ = taskbar_window(displays, display);
    use_automation_ = has_content_bridge(host_);
    if (host_ == nullptr) {
        occupied_.clear();
    }
    return host_;
}

const DisplayInfo* ShellTaskbarHost::main_display(const std::vector<DisplayInfo>& displays) {
    return main_taskbar_display(displays, shell_taskbars());
}

std::vector<ScreenRect> ShellTaskbarHost::current_occupied(HWND own) const {
    return occupied_rectangles(host_, own,
                               use_automation_ ? watcher_->latest(host_) : std::vector<ScreenRect>{});
}

ScreenRect ShellTaskbarHost::position(CompactWindow& window, const DisplayInfo& display, HWND host,
                                      const PlacementParams& params) {
    host_ = host;
    occupied_ = current_occupied(window.hwnd());
    const ScreenRect strip = taskbar_strip(display);
    const int gap = scale_to_dpi(k_gap_dip, display.dpi);
    // The occupied rectangles stand in for the notification area only when it is a window among them:
    // a shell that paints its tray icons itself (Wine's) still needs the room kept free for them, and so
    // does the clock of a secondary taskbar whose contents are drawn rather than windows (Windows 11's).
    const bool main_bar = is_main_taskbar(host);
    keep_reserve_ = occupied_.empty() || (!has_notification_area(host) && (main_bar || use_automation_));
    const int reserve = keep_reserve_ ? tide::notification_reserve(main_bar, display.dpi) : 0;

    SIZE size = window.size_px();
    const auto anchor = [&] { return taskbar_anchor(display, size.cx, size.cy, params, reserve); };
    const FitOutcome outcome =
        fit_taskbar(window.start_font_points(), window.settings().layout, [&](const FitAttempt& attempt) {
            // The first try keeps what `place` measured; the later ones shrink or narrow and measure again.
            if (attempt != FitAttempt{}) {
                size = window.fit_font(attempt);
            }
            if (height_of(strip) < size.cy) {
                return std::optional<ScreenRect>{};
            }
            return find_free_place(anchor(), strip, occupied_, gap);
        });
    if (outcome.place) {
        return *outcome.place;
    }
    // Nothing fits even at the smallest size of any layout: overlap at the anchor rather than leave the
    // taskbar, with the smallest box that covers least of it.
    std::vector<FitAttempt> smallest;
    std::vector<BoxSize> sizes;
    for (const int32_t layout : layout_fallbacks(window.settings().layout)) {
        smallest.push_back(
            {true, k_min_taskbar_font_pt,
             layout == window.settings().layout ? std::nullopt : std::optional<int32_t>(layout)});
        const SIZE s = window.fit_font(smallest.back());
        sizes.push_back({s.cx, s.cy});
    }
    size = window.fit_font(smallest[overlap_choice(sizes, height_of(strip))]);
    return anchor();
}

void ShellTaskbarHost::adjust(CompactWindow& window) {
    RECT own{};
    if (use_automation_ || window.hwnd() == nullptr || !GetWindowRect(window.hwnd(), &own)) {
        task_list_.restore_task_list();
        return;
    }
    task_list_.adjust_task_list(host_, own, scale_to_dpi(k_gap_dip, window.dpi()),
                                scale_to_dpi(k_task_list_min_dip, window.dpi()),
                                window.embedded() ? window.hwnd() : nullptr);
}

void ShellTaskbarHost::after_position(CompactWindow& window, HWND host) {
    host_ = host;
    if (host == nullptr) {
        use_automation_ = false;
        keep_reserve_ = true;
        occupied_.clear();
    }
    if (host != nullptr && window.shown()) {
        adjust(window);
    } else {
        task_list_.restore_task_list();
    }
    watcher_->watch(this, host != nullptr && window.shown() && use_automation_ ? host : nullptr);
}

int ShellTaskbarHost::notification_reserve(const DisplayInfo& display) {
    // The notification area is on the main taskbar, wherever the user docked it.
    bool main_bar = display.primary;
    if (host_ != nullptr) {
        main_bar = is_main_taskbar(host_);
    } else if (const DisplayInfo* main = main_display(enumerate_displays())) {
        main_bar = main->id == display.id;
    }
    return tide::notification_reserve(main_bar, display.dpi);
}

void ShellTaskbarHost::release(CompactWindow&) {
    task_list_.restore_task_list();
    watcher_->watch(this, nullptr);
}

void ShellTaskbarHost::check_layout(CompactWindow& window) {
    if (host_ == nullptr) {
        return;
    }
    if (!IsWindow(host_)) {
        window.place();
        return;
    }
    if (current_occupied(window.hwnd()) != occupied_) {
        window.place();
        return;
    }
    // The shell widens its task list again when buttons come and go.
    adjust(window);
}

} // namespace tide::ui
