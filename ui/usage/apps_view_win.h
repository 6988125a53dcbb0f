// The usage window's Apps view: which programs used the data in a span, as Windows counted it, and which
// programs hold connections now. A child window of its own over the chart's place; it asks Windows only
// while it is shown (when shown, every 5 minutes, connections every 2 s), always on worker threads, and
// keeps the figures in memory only: nothing of them reaches a file but the user's own export.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "net/app_usage.h"
#include "net/app_usage_win.h"
#include "presentation/theme.h"
#include "window/window_procedure_win.h"

namespace tide::ui {

inline constexpr wchar_t k_usage_apps_class[] = L"Tidemeter.UsageApps";

// The switch's third half in the usage window, and the view's own controls.
inline constexpr int k_id_usage_apps = 4105;
inline constexpr int k_id_apps_today = 4121;
inline constexpr int k_id_apps_period = 4122;
inline constexpr int k_id_apps_30_days = 4123;
inline constexpr int k_id_apps_caption = 4124;
inline constexpr int k_id_apps_list = 4125;
inline constexpr int k_id_apps_note = 4126;
inline constexpr int k_id_apps_connections_caption = 4127;
inline constexpr int k_id_apps_connections = 4128;

// Answers of the worker threads, to the view's window.
inline constexpr UINT k_msg_apps_answer = WM_APP + 60; // wParam the request's number, lParam AppUsageAnswer*
inline constexpr UINT k_msg_apps_connections =
    WM_APP + 61; // wParam the reading's number, lParam std::vector<ProgramConnections>*

// wParam of the controller's k_msg_usage_window for an export of the Apps view; lParam an AppsExport*
// that the controller takes over.
inline constexpr WPARAM k_usage_export_apps = 3;
struct AppsExport {
    std::wstring path;
    std::string text;
};

struct AppsContext {
    std::function<std::wstring(const char*)> text;
    std::function<std::wstring(uint64_t)> format_bytes; // may be empty: raw numbers then
    Theme theme;
    bool rtl = false;
    bool every_profile = false; // the every-adapter source: every connected profile counts
    int32_t billing_day = 1;
};

class AppsView final : public WindowProcedure {
public:
    // How long the view waits for a worker before it says the call was abandoned: Windows' own deadline
    // is 10 s; a call that does not even return is caught here.
    static constexpr UINT k_watchdog_ms = 12'000;

    AppsView() = default;
    AppsView(const AppsView&) = delete;
    AppsView& operator=(const AppsView&) = delete;
    ~AppsView();

    bool create(HINSTANCE instance, HWND parent, int dpi, AppsContext context);
    // New theme, language, direction or source; rebuilt when the direction changed.
    void apply(AppsContext context, int dpi);
    void place(const RECT& area);
    // Shown: asks now and keeps asking; hidden: stops.
    void show(bool shown);
    bool shown() const { return shown_; }
    HWND hwnd() const { return hwnd_; }
    // Asks where to save and hands the CSV to the controller (app_hwnd), which writes it.
    void export_csv(HWND owner, HWND app_hwnd) const;

private:
    struct GdiDeleter {
        void operator()(HGDIOBJ object) const { DeleteObject(object); }
    };
    using Gdi = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;
    enum class Phase { asking, shown, empty, unavailable, failed, timed_out };

    void attach(HWND window) override { hwnd_ = window; }
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    void detach() override;
    void build_controls();
    void destroy_controls();
    void refresh_texts();
    void apply_colours();
    void layout();
    void ask_apps();
    void ask_connections();
    void on_apps(WPARAM serial, std::unique_ptr<AppUsageAnswer> answer);
    void on_connections(WPARAM serial, std::unique_ptr<std::vector<ProgramConnections>> rows);
    void fill_apps();
    void fill_connections();
    void show_note();
    LRESULT on_custom_draw(NMLVCUSTOMDRAW* draw);
    std::wstring app_name(const AppUsage& app) const;
    std::wstring bytes(uint64_t value) const;

    HWND hwnd_ = nullptr;
    HINSTANCE instance_ = nullptr;
    int dpi_ = 96;
    AppsContext context_;
    AppPeriod period_ = AppPeriod::today;
    bool shown_ = false;
    bool built_ = false; // the controls exist: from the first showing on
    Phase phase_ = Phase::asking;
    WPARAM serial_ = 0;                // the request whose answer counts
    bool asking_ = false;              // an answer to serial_ is awaited
    bool reading_connections_ = false; // a reading of the socket tables is on its way
    WPARAM connections_serial_ = 0;    // the latest reading asked for
    WPARAM connections_shown_ = 0;     // the reading whose rows the list shows
    ULONGLONG connections_asked_at_ = 0;
    std::vector<AppUsage> apps_;
    std::vector<ProgramConnections> connections_;
    Gdi font_;
    Gdi background_;
};

// The switch's Apps half, after Months in the same group of push-like radio buttons.
HWND create_apps_switch(HWND usage_window, HINSTANCE instance, DWORD ex_style, HFONT font);

// Places the switch's Apps half at the far end of the usage window's switch, moving Days and Months
// inwards by its width. Called after the usage window laid out its own controls.
void place_apps_switch(HWND usage_window, int dpi, bool rtl);

} // namespace tide::ui
