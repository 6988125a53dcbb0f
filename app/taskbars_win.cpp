// One read-out on every taskbar: which taskbars get one, the read-outs of the secondary taskbars and
// their places, remembered per monitor.
#include <algorithm>

#include "app/app_win.h"
#include "base/messages_win.h"
#include "compact/displays_win.h"
#include "compact/taskbar_host_win.h"
#include "compact/taskbar_readouts.h"
#include "compact/taskbar_win.h"

namespace tide::app {
namespace {

bool every_taskbar_on(const CompactSettings& c) {
    return c.every_taskbar && c.enabled && c.mode == 0 && c.on_taskbar;
}

} // namespace

// The taskbar section as a secondary taskbar's read-out has it: its monitor and that monitor's place.
CompactSettings App::side_section(const std::string& monitor) const {
    CompactSettings section = settings_.compact;
    section.monitor_id = monitor;
    const MonitorOffset* place = find_monitor_offset(settings_.compact.monitor_offsets, monitor);
    section.offset_x = place != nullptr ? place->x : 0;
    section.offset_y = place != nullptr ? place->y : 0;
    section.monitor_offsets.clear();
    return section;
}

// Only a place the user changed is stored, so that the list keeps the monitors in the order they were used.
void App::take_back_side_places() {
    for (const SideReadout& side : side_displays_) {
        const CompactSettings& placed = side.window->settings();
        const std::string& monitor = side.window->pinned_monitor();
        const MonitorOffset* known = find_monitor_offset(settings_.compact.monitor_offsets, monitor);
        const bool changed = known != nullptr ? known->x != placed.offset_x || known->y != placed.offset_y
                                              : placed.offset_x != 0 || placed.offset_y != 0;
        if (changed) {
            remember_monitor_offset(settings_.compact.monitor_offsets, monitor, placed.offset_x,
                                    placed.offset_y);
        }
    }
}

void App::forget_side_displays() {
    take_back_side_places();
    side_displays_.clear(); // each restores its taskbar's task list as it goes
}

// Every taskbar there is gets exactly one read-out: the taskbar display on the main taskbar, on whichever
// monitor the user docked it (it keeps offset_x and offset_y), one more per other taskbar. A read-out lives
// as long as its taskbar: one that is auto-hidden, or dragged to another monitor, keeps it. Run on every
// settings change, display or DPI change, shell restart and once a second, since the shell announces no
// taskbar that comes or goes.
void App::follow_taskbars(bool reapply) {
    if (!every_taskbar_on(settings_.compact)) {
        KillTimer(controller_window_, k_timer_taskbars);
        forget_side_displays();
        if (!taskbar_display_.pinned_monitor().empty()) {
            taskbar_display_.pin_monitor({});
            if (!taskbar_display_.moving()) {
                taskbar_display_.place();
            }
        }
        return;
    }
    SetTimer(controller_window_, k_timer_taskbars, k_taskbars_check_ms, nullptr);
    seen_taskbars_.clear();
    if (readouts_held_back_) {
        return;
    }
    const std::vector<DisplayInfo> displays = enumerate_displays();
    keep_present_places(settings_.compact.monitor_offsets, displays);
    const std::vector<TaskbarWindowInfo> taskbars = shell_taskbars();
    const std::vector<TaskbarSpot> spots =
        taskbar_spots(displays, taskbars, true, settings_.compact.monitor_id);
    // No taskbar anywhere (the shell is away): the one read-out as without the setting.
    const bool no_taskbar = spots.size() == 1 && spots[0].taskbar == 0;
    std::string main_monitor;
    bool main_on = no_taskbar;
    std::vector<TaskbarSpot> sides;
    for (const TaskbarSpot& spot : spots) {
        if (no_taskbar) {
            break;
        }
        if (spot.main) {
            main_monitor = displays[spot.display].id;
            main_on = true;
        } else {
            sides.push_back(spot);
        }
    }

    if (taskbar_display_.pinned_monitor() != main_monitor) {
        taskbar_display_.pin_monitor(main_monitor);
        if (taskbar_display_.shown() && !taskbar_display_.moving()) {
            taskbar_display_.place();
        }
    }
    if (taskbar_display_.shown() != main_on) {
        taskbar_display_.show(main_on);
    }

    const auto spot_of = [&sides](uintptr_t taskbar) {
        return std::find_if(sides.begin(), sides.end(),
                            [taskbar](const TaskbarSpot& s) { return s.taskbar == taskbar; });
    };
    take_back_side_places(); // a read-out about to go or move may have been moved since the last save
    std::erase_if(side_displays_,
                  [&](const SideReadout& side) { return spot_of(side.taskbar) == sides.end(); });

    const Theme theme = resolve_theme(settings_.compact.theme, settings_.custom_colors, appearance_);
    for (const SideReadout& side : side_displays_) {
        // A taskbar dragged to another monitor takes its read-out along, to that monitor's place.
        const std::string& monitor = displays[spot_of(side.taskbar)->display].id;
        if (reapply || side.window->pinned_monitor() != monitor) {
            side.window->pin_monitor(monitor);
            side.window->apply(side_section(monitor), theme, localizer_.rtl);
        }
    }
    bool complete = true;
    for (const TaskbarSpot& spot : sides) {
        const bool present =
            std::any_of(side_displays_.begin(), side_displays_.end(),
                        [&spot](const SideReadout& side) { return side.taskbar == spot.taskbar; });
        if (present) {
            continue;
        }
        const std::string& monitor = displays[spot.display].id;
        auto side = std::make_unique<ui::CompactWindow>();
        side->pin_monitor(monitor);
        side->share_picture_from(&taskbar_display_);
        side->set_content(taskbar_display_.content()); // kept until the window exists
        if (!side->create(instance_, controller_window_)) {
            complete = false; // tried again at the next check
            continue;
        }
        side->set_taskbar_host(std::make_unique<ui::ShellTaskbarHost>(button_watcher_));
        side->apply(side_section(monitor), theme, localizer_.rtl);
        side->show(true);
        side_displays_.push_back({spot.taskbar, std::move(side)});
    }
    if (complete) {
        seen_taskbars_ = taskbars;
    }
}

// The once-a-second look: listing the shell's taskbar windows is cheap; the rest is done only when they
// changed (shown, hidden, moved, created, destroyed) or the last look left a read-out to make.
void App::check_taskbars() {
    if (!seen_taskbars_.empty() && shell_taskbars() == seen_taskbars_) {
        return;
    }
    follow_taskbars();
}

} // namespace tide::app
