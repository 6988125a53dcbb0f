// The controller window's class, private messages, timers and dashboard button codes.
#pragma once

#include <windows.h>

namespace tide {

inline constexpr wchar_t k_controller_class[] = L"Tidemeter.Controller";
inline constexpr wchar_t k_controller_title[] = L"Tidemeter";

// None of these carries a pointer: any program may post them (a second instance posts k_msg_activate,
// the tests end the program with k_msg_dashboard_button), and each only does what a click of the user's
// does. Parameters are numbers, checked where they are read. One click has no undo: clearing the
// history follows a question the dashboard asks, so that message is taken only with a number chosen
// at random for each run and known to the dashboard alone. The focus parts' messages, whose lParam may
// be a pointer, are in window/focus_part_win.h and are taken only from the part itself.
inline constexpr UINT k_msg_sample = WM_APP + 1;            // the sampler published a sample
inline constexpr UINT k_msg_tray = WM_APP + 2;              // tray icon event (low word of lParam)
inline constexpr UINT k_msg_activate = WM_APP + 3;          // a second instance asks for the dashboard
inline constexpr UINT k_msg_compact_moved = WM_APP + 4;     // a compact display was dragged
inline constexpr UINT k_msg_compact_mouse = WM_APP + 5;     // 1: double click, 0: right button released
inline constexpr UINT k_msg_dashboard_moved = WM_APP + 6;   // the dashboard moved or was resized
inline constexpr UINT k_msg_dashboard_closed = WM_APP + 7;  // closed without close-to-tray
inline constexpr UINT k_msg_graph_range = WM_APP + 9;       // wParam: range in seconds
inline constexpr UINT k_msg_graph_pause = WM_APP + 10;      // wParam 1 freezes, anything else resumes
inline constexpr UINT k_msg_clear_history = WM_APP + 11;    // lParam: the run's clear token (see below)
inline constexpr UINT k_msg_dashboard_button = WM_APP + 12; // wParam: one of the button codes below
inline constexpr UINT k_msg_taskbar_buttons = WM_APP + 13;  // the taskbar's buttons moved
inline constexpr UINT k_msg_file_saved = WM_APP + 14;       // the writer thread finished a file
inline constexpr UINT k_msg_usage_window = WM_APP + 16;     // wParam: one of the usage codes below

// wParam of k_msg_dashboard_button.
inline constexpr WPARAM k_button_settings = 1;
inline constexpr WPARAM k_button_taskbar_display = 2; // lParam nonzero: on
inline constexpr WPARAM k_button_exit = 3;
inline constexpr WPARAM k_button_usage = 4;

// wParam of k_msg_usage_window.
inline constexpr WPARAM k_usage_placed = 1; // its place was saved (a settings save is due)
inline constexpr WPARAM k_usage_export = 2; // "Export CSV…"
// The network choice: lParam the index of the chosen entry in the list the window was last given.
inline constexpr WPARAM k_usage_network = 4;

inline constexpr UINT_PTR k_timer_settings_save = 1;   // one-second debounce
inline constexpr UINT_PTR k_timer_usage_save = 2;      // periodic
inline constexpr UINT_PTR k_timer_tray_retry = 3;      // while the shell has not taken the tray icon
inline constexpr UINT_PTR k_timer_file_retry = 4;      // while settings.json could not be read
inline constexpr UINT_PTR k_timer_session_goes_on = 5; // the session did not end after all
inline constexpr UINT k_settings_save_delay_ms = 1000;
inline constexpr UINT k_usage_save_period_ms = 60000;
inline constexpr UINT k_tray_retry_period_ms = 2000;
inline constexpr UINT k_file_retry_period_ms = 3000;
inline constexpr UINT k_session_goes_on_delay_ms = 15000;
// How long exit and the end of the session wait for the sampler's last measurement.
inline constexpr DWORD k_last_sample_limit_ms = 2000;

} // namespace tide
