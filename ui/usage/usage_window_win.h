// The usage-history window: a bar per day over the last 30 days, or per month over the last 12, with
// the summary row, the plan's limits and a read-out of the bar under the pointer. It changes nothing
// itself except its own place, and reports by messages posted to the controller window.
#pragma once

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "persistence/settings.h"
#include "presentation/theme.h"
#include "ui/usage/apps_view_win.h"
#include "ui/usage/usage_chart.h"
#include "window/automation_win.h"
#include "window/window_procedure_win.h"

namespace tide::ui {

inline constexpr wchar_t k_usage_class[] = L"Tidemeter.Usage";

// What the controller hands the window on every refresh while it is open.
struct UsageView {
    std::vector<UsageBar> days;   // k_usage_days, oldest first
    std::vector<UsageBar> months; // k_usage_months, oldest first
    std::array<std::wstring, 4> summary_labels;
    std::array<std::wstring, 4> summary_values;
    std::array<std::wstring, 4> summary_details;
    std::wstring note; // shown while the daily history is not kept
    UsageLimits limits;
    int64_t today = 0;
    std::function<std::wstring(uint64_t)> format_bytes; // may be empty: no figures then
    bool every_profile = false;                         // the Apps view counts every connected profile
    // The network choice: "All networks", then the plan's networks and each network, as the controller
    // lists them; the bars and limits above are the selected one's. The user's pick goes to the
    // controller as its index in this list (k_usage_network), never applied here.
    std::vector<std::wstring> networks;
    size_t network_selected = 0;
};

class UsageWindow final : public WindowProcedure {
public:
    using TextProvider = std::function<std::wstring(const char*)>;

    UsageWindow() = default;
    UsageWindow(const UsageWindow&) = delete;
    UsageWindow& operator=(const UsageWindow&) = delete;
    ~UsageWindow();

    // Creates and shows the window at its saved place, or brings an open one to the front. False when
    // it could not be created; nothing else changes then.
    bool open(HINSTANCE instance, HWND app_hwnd, const UsageWindowSettings& place, const Theme& theme,
              bool rtl, std::wstring locale, TextProvider text);
    // A new theme, direction or language while it is open.
    void apply(const Theme& theme, bool rtl, std::wstring locale);
    void update(UsageView view);
    void close();

    HWND hwnd() const { return hwnd_; }
    bool is_open() const { return hwnd_ != nullptr; }
    bool showing_months() const { return months_; }
    bool showing_apps() const { return apps_shown_; }
    // The place as the user left it, taken back by the controller before a settings save; only once the
    // window has been opened in this run (before that it holds nothing of the user's).
    const UsageWindowSettings& placement() const { return place_; }
    bool has_placement() const { return has_placement_; }
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
    void refresh_texts();
    void fill_networks();
    void layout();
    void save_placement();
    void on_command(int id, int code);
    void on_mouse_move(LPARAM lparam);
    void set_months(bool months);
    void set_apps(bool apps);
    AppsContext apps_context() const;
    void set_hovered(int index);
    void on_chart_key(WPARAM key);
    void publish_access();

    // usage_paint_win.cpp
    void paint();
    void draw(ID2D1RenderTarget* target, float width, float height);
    // A laid-out text kept from paint to paint: the labels change at midnight, not with every sample,
    // and laying out text is most of what a paint costs.
    IDWriteTextLayout* layout_of(std::wstring_view text, float size, DWRITE_FONT_WEIGHT weight, float width,
                                 bool centred, const std::function<void(IDWriteTextLayout*)>& prepare = {});
    void draw_text(ID2D1RenderTarget* target, std::wstring_view text, const DipRect& box, float size,
                   DWRITE_FONT_WEIGHT weight, ID2D1Brush* brush, bool centred = false);
    std::wstring bar_label_text(const UsageBar& bar) const;
    std::wstring bar_date_text(const UsageBar& bar) const;

    HWND hwnd_ = nullptr;
    HWND app_hwnd_ = nullptr;
    HINSTANCE instance_ = nullptr;
    UsageWindowSettings place_;
    bool has_placement_ = false;
    Theme theme_;
    bool rtl_ = false;
    std::wstring locale_;
    TextProvider text_;
    int dpi_ = 96;
    bool months_ = false;
    int hovered_ = -1;
    bool chart_focused_ = false; // the chart has the keyboard: it shows a focus mark
    bool tracking_mouse_ = false;
    DipRect plot_rect_; // written by each paint, read by hit-testing
    UsageView view_;
    Font ui_font_;
    Brush background_brush_; // behind the network choice's label, in the theme's colour
    std::map<std::wstring, Microsoft::WRL::ComPtr<IDWriteTextLayout>> layouts_;
    AutomationHost automation_;
    bool apps_shown_ = false;
    AppsView apps_view_;
};

} // namespace tide::ui
