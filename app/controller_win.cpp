// The controller window: the program's hidden switchboard on the main thread.
#include <windows.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>

#include "app/app_win.h"
#include "app/session_end.h"
#include "base/messages_win.h"
#include "base/wide_text_win.h"
#include "persistence/usage_win.h"
#include "presentation/appearance_win.h"

namespace tide::app {

LRESULT App::handle_controller_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (taskbar_created_message_ != 0 && message == taskbar_created_message_) {
        // The shell restarted: the icon comes back with the last tooltip.
        keep_adding_tray_icon(tray_.readd());
        for_each_taskbar_display([](ui::CompactWindow& display) { display.recreate(); });
        follow_taskbars();
        return 0;
    }
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_QUERYENDSESSION:
        return 1; // Windows may log off or shut down
    case WM_ENDSESSION:
        if (wparam != 0) {
            end_session();
        } else {
            on_timer(k_timer_session_goes_on); // the log-off or shut-down was cancelled
        }
        return 0;
    case WM_SETTINGCHANGE: {
        const auto* section = reinterpret_cast<const wchar_t*>(lparam);
        if ((section != nullptr && std::wstring_view(section) == L"ImmersiveColorSet") ||
            wparam == SPI_SETHIGHCONTRAST) {
            on_appearance_change();
        } else if (wparam == SPI_SETWORKAREA || wparam == 0) {
            replace_compact_displays();
        }
        return 0;
    }
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        on_appearance_change();
        return 0;
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
        replace_compact_displays();
        return 0;
    case WM_TIMER:
        on_timer(wparam);
        return 0;
    case WM_POWERBROADCAST:
        if (wparam == PBT_APMRESUMEAUTOMATIC) {
            wake_sampler(sampler_); // measure now rather than after the interval
        }
        return 1;
    case k_msg_sample:
        on_sample();
        return 0;
    case k_msg_tray:
        on_tray_event(LOWORD(lparam));
        return 0;
    case k_msg_activate:
        show_dashboard();
        return 0;
    case k_msg_compact_moved:
    case k_msg_dashboard_moved:
        schedule_settings_save();
        return 0;
    case k_msg_compact_mouse:
        if (wparam == 1) {
            show_dashboard();
        } else {
            show_tray_menu();
        }
        return 0;
    case k_msg_dashboard_closed:
        DestroyWindow(controller_window_);
        return 0;
    case k_msg_graph_range:
        on_graph_range(wparam);
        return 0;
    case k_msg_graph_pause:
        on_graph_pause(wparam);
        return 0;
    case k_msg_clear_history:
        on_clear_history(lparam);
        return 0;
    case k_msg_dashboard_button:
        on_dashboard_button(wparam, lparam);
        return 0;
    case k_msg_file_saved:
        writer_->deliver_outcomes();
        return 0;
    case k_msg_usage_window:
        on_usage_window(wparam, lparam);
        return 0;
    case k_msg_taskbar_buttons:
        for_each_taskbar_display([](ui::CompactWindow& display) {
            if (display.shown() && !display.moving() && !display.dragging()) {
                display.place();
            }
        });
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

// Log-off or shut-down may not come back for a normal exit, and Windows ends a program that shows no
// window 5 s after this message: give the shell its task list back (hiding the read-out does), hand both
// files to the writer first, then measure once more with what is left of the time (and save again if the
// sample comes in time), and return once the files are on disk or the time is up.
void App::end_session() {
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed_ms = [start] {
        return static_cast<int64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count());
    };
    readouts_held_back_ = true;
    for_each_taskbar_display([](ui::CompactWindow& display) { display.show(false); });
    save_usage_now(); // the bytes first: they are what cannot be had again
    save_settings_now();
    const int64_t measure_ms = last_measure_limit(elapsed_ms(), k_last_sample_limit_ms);
    if (measure_ms > 0 && sampler_thread_.measure_now(static_cast<DWORD>(measure_ms))) {
        take_in_sample(false);
        save_usage_now(); // takes the waiting text's place, or follows the one being written
    }
    writer_->flush(std::chrono::milliseconds(session_time_left(elapsed_ms())));
    // A session that ends takes the process with it; one that goes on (an installer closed
    // applications, and this one kept running) gets the read-out back.
    SetTimer(controller_window_, k_timer_session_goes_on, k_session_goes_on_delay_ms, nullptr);
}

void App::on_tray_event(UINT event) {
    switch (event) {
    case WM_CONTEXTMENU:
        show_tray_menu();
        break;
    case NIN_SELECT:
    case NIN_KEYSELECT:
        show_dashboard();
        break;
    default:
        break;
    }
}

// Shows the dashboard, then refreshes it so it opens with current figures.
void App::show_dashboard() {
    dashboard_.show(true);
    refresh_ui();
}

void App::on_appearance_change() {
    appearance_ = read_system_appearance();
    take_back_window_settings();
    apply_settings();
    refresh_ui();
}

void App::replace_compact_displays() {
    for_each_taskbar_display([](ui::CompactWindow& display) {
        if (!display.moving()) {
            display.place();
        }
    });
    if (!desktop_display_.moving()) {
        desktop_display_.place();
    }
    follow_taskbars(); // a monitor may have come or gone
}

void App::on_timer(UINT_PTR id) {
    switch (id) {
    case k_timer_settings_save:
        save_settings_now();
        break;
    case k_timer_usage_save:
        save_usage_now();
        break;
    case k_timer_tray_retry:
        keep_adding_tray_icon(tray_.readd());
        break;
    case k_timer_file_retry:
        retry_settings_file();
        break;
    case k_timer_session_goes_on:
        KillTimer(controller_window_, id);
        readouts_held_back_ = false;
        taskbar_display_.show(settings_.compact.enabled && settings_.compact.mode == 0);
        for (const SideReadout& side : side_displays_) {
            side.window->show(true);
        }
        follow_taskbars();
        break;
    case k_timer_taskbars:
        check_taskbars();
        break;
    case k_timer_cannot_save_notice:
        tell_cannot_save();
        break;
    default:
        break;
    }
}

void App::on_graph_range(WPARAM seconds) {
    if (!is_graph_range(static_cast<int64_t>(seconds))) {
        return;
    }
    settings_.history_window_s = static_cast<int32_t>(seconds);
    dashboard_.set_graph_state(settings_.history_window_s, visible_graph_.frozen);
    visible_graph_.rebuild = true;
    schedule_settings_save();
    refresh_ui();
}

void App::on_graph_pause(WPARAM value) {
    if (value == 1) {
        visible_graph_.pause();
    } else {
        visible_graph_.resume();
    }
    dashboard_.set_graph_state(settings_.history_window_s, visible_graph_.frozen);
    refresh_ui();
}

void App::on_clear_history(LPARAM token) {
    if (clear_token_ == 0 || token != clear_token_) {
        return; // not the dashboard's question: another program posted it
    }
    graph_history_.clear();
    visible_graph_.points.clear();
    clear_usage(usage_);
    save_usage_now();
    visible_graph_.rebuild = true;
    refresh_ui();
}

void App::on_dashboard_button(WPARAM code, LPARAM value) {
    switch (code) {
    case k_button_settings:
        open_settings();
        break;
    case k_button_taskbar_display:
        set_taskbar_display(value != 0);
        break;
    case k_button_exit:
        DestroyWindow(controller_window_);
        break;
    case k_button_usage:
        open_usage_window();
        break;
    default:
        break;
    }
}

void App::on_usage_window(WPARAM code, LPARAM lparam) {
    if (code == k_usage_placed) {
        schedule_settings_save();
    } else if (code == k_usage_export) {
        export_usage();
    } else if (code == k_usage_network) {
        // The index in the list the window was last given; any other number (another program's message
        // too) changes nothing.
        if (lparam >= 0 && static_cast<uint64_t>(lparam) < usage_network_keys_.size()) {
            usage_network_ = usage_network_keys_[static_cast<size_t>(lparam)];
            refresh_usage_window();
        }
    } else if (code == ui::k_usage_export_apps) {
        // The Apps view's figures reach a file only here, where the user asked for it.
        const auto job = std::unique_ptr<ui::AppsExport>(reinterpret_cast<ui::AppsExport*>(lparam));
        if (job) {
            writer_->save({job->path, std::move(job->text),
                           [this](bool written, const std::string&) {
                               if (!written) {
                                   recent_errors_.add(static_cast<int64_t>(std::time(nullptr)),
                                                      "Could not write the apps CSV");
                               }
                           },
                           false});
        }
    }
}

// One window: a second command brings the open one forward. A window that cannot be created changes
// nothing.
void App::open_usage_window() {
    if (!usage_window_.is_open()) {
        take_back_window_settings(); // the window starts from the live place
    }
    const bool opened = usage_window_.open(
        instance_, controller_window_, settings_.usage_window,
        resolve_theme(settings_.main_window.theme, settings_.custom_colors, appearance_), localizer_.rtl,
        to_wide(localizer_.language_code), [this](const char* key) { return localizer_.wide_text(key); });
    if (opened) {
        refresh_usage_window();
    }
}

} // namespace tide::app
