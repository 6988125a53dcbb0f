// One compact read-out window (the taskbar one or the desktop one): creation as a topmost overlay or a
// child of the taskbar, placement on a monitor, dragging, snapping, locking, click-through, keeping on top
// and drawing its per-pixel-alpha box.
#pragma once

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compact/compact_layout.h"
#include "compact/layered_surface_win.h"
#include "compact/placement.h"
#include "compact/taskbar_layout.h"
#include "persistence/settings.h"
#include "presentation/theme.h"
#include "window/automation_win.h"
#include "window/window_procedure_win.h"

namespace tide::ui {

inline constexpr wchar_t k_compact_class[] = L"Tidemeter.Compact";

// What the controller hands over on every refresh.
struct CompactContent {
    std::wstring download_text;
    std::wstring upload_text;
    std::wstring download_label;
    std::wstring upload_label;
    bool active = true;         // false while the connection is unavailable
    bool limit_reached = false; // a data limit is used up: the figures take the theme's warning colour
    std::wstring access_name{}; // both rates in words for a screen reader, or the status

    friend bool operator==(const CompactContent&, const CompactContent&) = default;
};

// One measure: the text layouts that the paint draws and the numbers the box was sized from.
struct CompactMetrics {
    Microsoft::WRL::ComPtr<IDWriteTextLayout> first_value;  // download
    Microsoft::WRL::ComPtr<IDWriteTextLayout> second_value; // upload
    Microsoft::WRL::ComPtr<IDWriteTextLayout> download_label;
    Microsoft::WRL::ComPtr<IDWriteTextLayout> upload_label;
    float line_height = 0;
    float icon_size = 0;
    float column_width = 0;
    BoxSize size;
    int layout = 0;
    BoxInsets insets;
};

class CompactWindow;

// The taskbar side of placement: finding the taskbar of a monitor, the free place on it, shrinking the font
// when nothing fits, narrowing the task list and following the taskbar's buttons. Without one, a read-out
// in taskbar mode sits as an overlay at the taskbar anchor.
class CompactTaskbarHost {
public:
    virtual ~CompactTaskbarHost() = default;
    // The taskbar window of monitor `display` (an index into `displays`) whose taskbar is at the top or
    // bottom; null when there is none.
    virtual HWND find_host(const std::vector<DisplayInfo>& displays, size_t display) = 0;
    // The monitor of the main taskbar, wherever the user docked it; the primary one while there is none.
    virtual const DisplayInfo* main_display(const std::vector<DisplayInfo>& displays) = 0;
    // The screen rectangle on the host's strip for the window's measured size; may shrink the font or take a
    // narrower layout through CompactWindow::fit_font (which re-measures).
    virtual ScreenRect position(CompactWindow& window, const DisplayInfo& display, HWND host,
                                const PlacementParams& params) = 0;
    // After every placement: with a host and the window shown, narrow the task list and watch the host's
    // buttons; otherwise (host null or hidden) restore the task list and watch nothing.
    virtual void after_position(CompactWindow& window, HWND host) = 0;
    // The room kept free at the right end of the strip for `align` 2 when no occupied places are known.
    virtual int notification_reserve(const DisplayInfo& display) = 0;
    // True when the last placement found occupied rectangles on the taskbar.
    virtual bool has_occupied() const = 0;
    // The read-out leaves the taskbar (hidden, another mode, destroyed): give back what was changed.
    virtual void release(CompactWindow& window) = 0;
    // Every second while shown in taskbar mode.
    virtual void check_layout(CompactWindow& window) = 0;
};

class CompactWindow final : public WindowProcedure {
public:
    CompactWindow() = default;
    CompactWindow(const CompactWindow&) = delete;
    CompactWindow& operator=(const CompactWindow&) = delete;
    ~CompactWindow();

    // Registers the class (once) and creates the first window, an overlay, hidden.
    bool create(HINSTANCE instance, HWND controller);
    // Takes a copy of the section, the theme and the direction; re-places a created window.
    void apply(const CompactSettings& settings, const Theme& theme, bool rtl);
    void show(bool on);
    void place();
    // The taskbar was re-created: a fresh overlay, then place.
    void recreate();
    // Stores the content; repaints, or re-places when the measured size changed (once the user's move has
    // ended, when one is going on).
    void set_content(const CompactContent& content);
    void paint();
    void destroy();
    // A change of state a screen reader says once, when one is listening.
    void announce(const std::wstring& text) { automation_.announce(text); }
    // What a screen reader reads, as last published.
    const AutomationHost& automation_host() const { return automation_; }

    void set_taskbar_host(std::unique_ptr<CompactTaskbarHost> host);

    // Keeps the read-out on the monitor of this id (a read-out of one taskbar among several): a move keeps
    // it there and leaves monitor_id alone, and while that monitor is gone it is not placed. Empty: the
    // monitor of monitor_id, as the one read-out has it.
    void pin_monitor(const std::string& id);
    const std::string& pinned_monitor() const { return pinned_; }
    // A read-out that shows the same picture: when it has drawn exactly what this one would draw (same
    // figures, look, size and DPI), this one copies its bitmap instead of laying out and drawing again. It
    // also keeps on top and checks its taskbar on the source's timers. Set before `create`.
    void share_picture_from(const CompactWindow* source) { picture_source_ = source; }
    CompactTaskbarHost* taskbar_host() const { return taskbar_.get(); }

    // Font fitting for a crowded taskbar: a font size in points and a layout (none: the configured ones) and
    // the squeezed insets; re-measures and returns the new window size in pixels. The settings keep the
    // user's layout.
    SIZE fit_font(const FitAttempt& attempt);
    // The size the font fitting starts from: the configured points, or the taskbar's font in native style.
    int start_font_points() const;

    HWND hwnd() const { return hwnd_; }
    bool embedded() const { return embedded_; }
    bool shown() const { return shown_; }
    bool moving() const { return moving_; }
    bool dragging() const { return dragging_; }
    int dpi() const { return dpi_; }
    BoxSize size_dip() const { return size_dip_; }
    // The layout drawn now: the user's, or a narrower one while the taskbar has no room for it.
    int layout_in_use() const { return layout_override_.value_or(settings_.layout); }
    SIZE size_px() const;
    bool taskbar_mode() const { return settings_.on_taskbar && settings_.mode == 0; }
    // The live copy of the section: the window changes monitor_id, the offsets and floating_rect in it.
    const CompactSettings& settings() const { return settings_; }
    const CompactContent& content() const { return content_; }

    // The bitmap of the last paint (premultiplied BGRA, top-down).
    const LayeredSurface& surface() const { return surface_; }

    // Moves it to the top of the z-order when something covers it and it should stay on top.
    void keep_on_top();

private:
    void attach(HWND window) override { hwnd_ = window; }
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    void detach() override;
    AutomationHost* automation() override { return &automation_; }
    static void CALLBACK on_foreground(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                       DWORD thread, DWORD time);

    bool create_window(HWND parent);
    void destroy_window();
    LRESULT hit_test() const;
    void begin_drag();
    void drag_to_cursor();
    void finish_move();
    void move_within_parent(const ScreenRect& screen);
    void on_timer(UINT_PTR id);
    void check_layout();
    std::vector<CompactWindow*> followers() const;
    void measure_now();
    ScreenRect window_rect() const;
    const DisplayInfo* my_display(const std::vector<DisplayInfo>& displays) const;
    bool draws_like(const CompactWindow& other) const;
    bool copy_picture();

    // compact_render_win.cpp
    CompactMetrics measure();
    void paint_with(CompactMetrics& metrics);
    void release_drawing();

    HWND hwnd_ = nullptr;
    HWND controller_ = nullptr;
    HWND parent_ = nullptr;
    HINSTANCE instance_ = nullptr;
    bool embedded_ = false;
    bool created_ = false;
    bool dragging_ = false;
    bool moving_ = false;
    POINT drag_cursor_{};
    POINT drag_origin_{};

    CompactSettings settings_;
    Theme theme_;
    bool rtl_ = false;
    bool shown_ = false;
    int dpi_ = 96;

    TaskbarAppearance native_;
    std::wstring native_family_;
    int font_override_pt_ = 0;
    bool font_override_active_ = false;
    std::optional<int> layout_override_;
    bool tight_ = false;
    bool place_after_move_ = false;  // the content changed size during a move
    bool behind_fullscreen_ = false; // stepped behind a full-screen program, to come back when it ends
    BoxSize size_dip_;
    CompactContent content_;

    LayeredSurface surface_;
    bool painted_ = false; // the last paint reached the screen with the current content and settings

    std::string pinned_;
    const CompactWindow* picture_source_ = nullptr;

    std::unique_ptr<CompactTaskbarHost> taskbar_;
    AutomationHost automation_;
};

} // namespace tide::ui
