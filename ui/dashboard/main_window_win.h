// The dashboard: the program's main window with the painted rates, totals and graph above a row of
// controls. It changes nothing itself except its own placement and graph range; every command leaves it
// as a message posted to the controller window.
#pragma once

#include <windows.h>

#include <d2d1.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "persistence/settings.h"
#include "presentation/theme.h"
#include "window/automation_win.h"
#include "window/window_procedure_win.h"
#include "ui/dashboard/dashboard_layout.h"
#include "ui/dashboard/dashboard_view.h"

namespace tide::ui {

inline constexpr wchar_t k_main_class[] = L"Tidemeter.Main";

// A language-pack key to the text shown.
using TextProvider = std::function<std::wstring(const char*)>;

class MainWindow final : public WindowProcedure {
public:
    MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
    ~MainWindow();

    // Creates the window hidden, at the saved size and (kept on screen) position; false on failure.
    bool create(HINSTANCE instance, HWND app_hwnd, const MainWindowSettings& settings);
    void apply(const MainWindowSettings& settings, const Theme& theme, bool rtl);
    void set_graph_state(int64_t range_s, bool frozen);
    void set_taskbar_on(bool on);
    // Takes the view and repaints while the window can be seen.
    void update(DashboardView view);
    // false hides; true restores or shows and brings the window to the front.
    void show(bool visible);
    void set_text_provider(TextProvider provider);
    // The number the clearing of the history is posted with. Any program can post the controller's
    // messages, so the one that deletes the user's history is taken only with this run's number.
    void set_clear_token(LPARAM token) { clear_token_ = token; }
    void destroy();

    HWND hwnd() const { return hwnd_; }
    // Shown and not minimised: only then is a view worth composing.
    bool is_visible() const;
    // The settings block with the placement as the user left it.
    const MainWindowSettings& placement() const { return placement_; }
    // What a screen reader reads, as last published.
    const AutomationHost& automation_host() const { return automation_; }

private:
    struct GdiDeleter {
        void operator()(HGDIOBJ object) const { DeleteObject(object); }
    };
    using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;
    using Brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;

    void attach(HWND window) override { hwnd_ = window; }
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    void detach() override;
    AutomationHost* automation() override { return &automation_; }

    void build_controls();
    void destroy_controls();
    CaptionWidths caption_widths() const;
    void layout();
    void refresh_texts();
    void save_placement();
    void hide();
    void on_command(int id, int code);
    void on_mouse_move(LPARAM lparam);
    void set_hovered(int index);
    void on_graph_key(WPARAM key);
    void publish_access();
    void post(UINT message, WPARAM wparam, LPARAM lparam) const;
    LPARAM clear_token_ = 0;

    // The two graph lines as Direct2D paths, kept while the points, the plot and the scale stay.
    struct GraphPaths {
        Microsoft::WRL::ComPtr<ID2D1PathGeometry> download;
        Microsoft::WRL::ComPtr<ID2D1PathGeometry> upload;
        DipRect bounds; // what their strokes can cover
        bool built = false;
        uint64_t points_version = 0;
        DipRect plot;
        double max = 0.0;
        bool rtl = false;
        size_t columns = 0;
    };

    // dashboard_paint_win.cpp
    void paint();
    void draw(ID2D1RenderTarget* target, const DashboardGeometry& g, const DipRect& area);
    DashboardGeometry geometry() const;
    const GraphPaths& graph_paths(const DashboardGeometry& g, double max);
    // Marks what differs on screen between the view just replaced and the current one.
    void invalidate_changes(const DashboardView& old);
    void invalidate(const DipRect& area);

    HWND hwnd_ = nullptr;
    HWND app_hwnd_ = nullptr;
    HINSTANCE instance_ = nullptr;
    MainWindowSettings placement_;
    Theme theme_;
    bool rtl_ = false;
    int dpi_ = 96;
    TextProvider text_provider_;
    int64_t graph_range_ = 300;
    bool graph_frozen_ = false;
    bool taskbar_on_ = false;
    int hovered_point_ = -1;
    bool graph_focused_ = false; // the graph has the keyboard: it shows a focus mark
    bool tracking_mouse_ = false;
    DipRect plot_rect_;                    // written by each paint, read by hit-testing
    std::array<DipRect, 2> hover_parts_{}; // the hover marker and box as last drawn
    DashboardView view_;
    Font ui_font_;
    Brush background_brush_;
    Microsoft::WRL::ComPtr<ID2D1StrokeStyle> dashed_;
    GraphPaths paths_;
    uint64_t points_version_ = 0; // counts the changes of view_.points
    bool paint_whole_ = false;    // a paint failed: the next one covers the whole client area
    AutomationHost automation_;
};

} // namespace tide::ui
