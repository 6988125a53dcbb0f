// The compact read-out window: creation, placement, user moves, keeping on top and its messages.
#include "compact/compact_window_win.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/messages_win.h"
#include "compact/displays_win.h"
#include "compact/dpi.h"
#include "compact/drawing_resources_win.h"
#include "compact/fullscreen_win.h"
#include "presentation/appearance_win.h"

namespace tide::ui {

namespace {

constexpr UINT_PTR k_timer_keep_on_top = 1;
constexpr UINT_PTR k_timer_after_foreground = 2;
constexpr UINT_PTR k_timer_layout_check = 3;
constexpr UINT k_keep_on_top_ms = 250;
constexpr UINT k_after_foreground_ms = 80;
constexpr UINT k_layout_check_ms = 1000;
constexpr wchar_t k_title[] = L"Tidemeter";
constexpr wchar_t k_native_family[] = L"Segoe UI Variable Text";

// Every live read-out and the one foreground hook they share; main thread only.
std::vector<CompactWindow*>& live_windows() {
    static std::vector<CompactWindow*> windows;
    return windows;
}

HWINEVENTHOOK& foreground_hook() {
    static HWINEVENTHOOK hook = nullptr;
    return hook;
}

ScreenRect from_rect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

bool register_class(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, k_compact_class, &existing)) {
        return true;
    }
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_DBLCLKS;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = k_compact_class;
    return RegisterClassExW(&window_class) != 0;
}

// The top-left corner of a screen rectangle in the client coordinates of `parent`. A rectangle, not a point:
// in a mirrored (right-to-left) parent a child's client x is where its right edge is on the screen.
POINT origin_in(HWND parent, const ScreenRect& r) {
    RECT mapped{r.left, r.top, r.right, r.bottom};
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&mapped), 2);
    return {mapped.left, mapped.top};
}

// The room left for the notification area when nothing on the taskbar is known to be occupied.
int default_reserve(const DisplayInfo& display) {
    return scale_to_dpi(display.primary ? 260 : 170, display.dpi);
}

} // namespace

CompactWindow::~CompactWindow() {
    destroy();
}

bool CompactWindow::create(HINSTANCE instance, HWND controller) {
    instance_ = instance;
    controller_ = controller;
    if (!register_class(instance, &WindowProcedure::procedure) || !create_window(nullptr)) {
        return false;
    }
    if (!created_) {
        created_ = true;
        live_windows().push_back(this);
        if (foreground_hook() == nullptr) {
            foreground_hook() = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                                &CompactWindow::on_foreground, 0, 0, WINEVENT_OUTOFCONTEXT);
        }
    }
    return true;
}

bool CompactWindow::create_window(HWND parent) {
    DWORD ex_style = WS_EX_NOACTIVATE | WS_EX_LAYERED;
    DWORD style = 0;
    if (parent != nullptr) {
        style = WS_CHILD | WS_CLIPSIBLINGS;
    } else {
        ex_style |= WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
        style = WS_POPUP;
    }
    if (settings_.click_through) {
        ex_style |= WS_EX_TRANSPARENT;
    }
    const HWND window = CreateWindowExW(ex_style, k_compact_class, k_title, style, 0, 0, 10, 10, parent,
                                        nullptr, instance_, static_cast<WindowProcedure*>(this));
    if (window == nullptr) {
        return false;
    }
    hwnd_ = window;
    embedded_ = parent != nullptr;
    parent_ = parent;
    // A read-out that shows another one's picture rides on that one's timers: every timer wakes the
    // thread, and on a desk of several taskbars the wake-ups, not the drawing, would be most of the cost.
    if (picture_source_ == nullptr) {
        SetTimer(hwnd_, k_timer_keep_on_top, k_keep_on_top_ms, nullptr);
        SetTimer(hwnd_, k_timer_layout_check, k_layout_check_ms, nullptr);
    }
    return true;
}

void CompactWindow::destroy_window() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_); // WM_DESTROY drops the drawing objects, WM_NCDESTROY the handle
    }
}

void CompactWindow::apply(const CompactSettings& settings, const Theme& theme, bool rtl) {
    painted_ = false;
    settings_ = settings;
    theme_ = theme;
    rtl_ = rtl;
    if (!created_) {
        return;
    }
    if (hwnd_ != nullptr) {
        const LONG_PTR ex_style = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
        const LONG_PTR wanted =
            settings_.click_through ? (ex_style | WS_EX_TRANSPARENT) : (ex_style & ~WS_EX_TRANSPARENT);
        if (wanted != ex_style) {
            SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, wanted);
        }
    }
    place();
}

void CompactWindow::show(bool on) {
    shown_ = on;
    if (!on) {
        if (taskbar_) {
            taskbar_->release(*this);
        }
        if (hwnd_ != nullptr) {
            ShowWindow(hwnd_, SW_HIDE);
        }
        return;
    }
    place();
    if (hwnd_ != nullptr) {
        ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    }
    keep_on_top();
}

void CompactWindow::place() {
    if (!created_) {
        return;
    }
    const std::vector<DisplayInfo> displays = enumerate_displays();
    const DisplayInfo* display = my_display(displays);
    if (display == nullptr) {
        if (taskbar_) {
            taskbar_->release(*this);
        }
        return;
    }
    const TaskbarEdge edge = taskbar_edge(*display);
    HWND host = nullptr;
    if (taskbar_ && taskbar_mode() && (edge == TaskbarEdge::top || edge == TaskbarEdge::bottom)) {
        host = taskbar_->find_host(displays, static_cast<size_t>(display - displays.data()));
    }
    const bool want_embedded = host != nullptr && settings_.embed_in_taskbar;
    const HWND want_parent = want_embedded ? host : nullptr;
    if (hwnd_ == nullptr || embedded_ != want_embedded || parent_ != want_parent) {
        destroy_window();
        if (!(want_embedded && create_window(host)) && !create_window(nullptr)) {
            if (taskbar_) {
                taskbar_->release(*this);
            }
            return;
        }
    }

    dpi_ = display->dpi;
    font_override_active_ = false;
    layout_override_.reset();
    tight_ = false;
    place_after_move_ = false;
    if (settings_.native_style) {
        native_ = read_taskbar_appearance(dpi_);
        native_family_ =
            has_font_family(k_native_family) ? std::wstring(k_native_family) : native_.font_family;
    }
    measure_now();
    SIZE px = size_px();
    const PlacementParams params{settings_.align, scale_to_dpi(settings_.offset_x, dpi_),
                                 scale_to_dpi(settings_.offset_y, dpi_),
                                 scale_to_dpi(settings_.margin, dpi_)};
    ScreenRect rect;
    const auto& saved = settings_.floating_rect;
    if (host != nullptr) {
        rect = taskbar_->position(*this, *display, host, params);
        px = size_px(); // the font fitting may have shrunk it
    } else if (settings_.mode == 1 && saved && saved->right > saved->left && saved->bottom > saved->top) {
        rect = keep_on_screen({saved->left, saved->top, saved->left + px.cx, saved->top + px.cy}, displays);
    } else if (taskbar_mode()) {
        const int reserve = taskbar_ ? taskbar_->notification_reserve(*display) : default_reserve(*display);
        rect = taskbar_anchor(*display, px.cx, px.cy, params, reserve);
    } else {
        rect = work_area_anchor(*display, px.cx, px.cy, params);
    }

    const UINT flags = SWP_NOACTIVATE | (shown_ ? SWP_SHOWWINDOW : 0);
    if (embedded_) {
        const POINT origin = origin_in(parent_, rect);
        SetWindowPos(hwnd_, HWND_TOP, origin.x, origin.y, px.cx, px.cy, flags);
    } else {
        HWND order = taskbar_mode() || settings_.always_on_top ? HWND_TOPMOST : HWND_NOTOPMOST;
        const HWND fullscreen = fullscreen_window_over(rect, displays);
        behind_fullscreen_ = fullscreen != nullptr;
        if (fullscreen != nullptr) {
            order = fullscreen; // right behind it, which also drops the topmost style
        }
        SetWindowPos(hwnd_, order, rect.left, rect.top, px.cx, px.cy, flags);
    }
    if (taskbar_) {
        taskbar_->after_position(*this, host);
    }
    automation_.publish(hwnd_, AccessTree{content_.access_name, {}, -1});
    paint();
}

SIZE CompactWindow::fit_font(const FitAttempt& attempt) {
    font_override_active_ = attempt.font_pt.has_value();
    font_override_pt_ = attempt.font_pt.value_or(0);
    layout_override_ = attempt.layout;
    tight_ = attempt.tight;
    measure_now();
    return size_px();
}

int CompactWindow::start_font_points() const {
    if (!settings_.native_style) {
        return settings_.font_size_pt;
    }
    return std::max(7, static_cast<int>(std::lround(native_.font_size_dip * 72.0f / 96.0f)));
}

void CompactWindow::recreate() {
    if (!created_) {
        return;
    }
    if (taskbar_) {
        taskbar_->release(*this);
    }
    destroy_window();
    if (create_window(nullptr)) {
        place();
    }
}

void CompactWindow::destroy() {
    if (taskbar_) {
        taskbar_->release(*this);
    }
    destroy_window();
    auto& windows = live_windows();
    const auto found = std::find(windows.begin(), windows.end(), this);
    if (found != windows.end()) {
        windows.erase(found);
        if (windows.empty() && foreground_hook() != nullptr) {
            UnhookWinEvent(foreground_hook());
            foreground_hook() = nullptr;
        }
    }
    created_ = false;
}

const DisplayInfo* CompactWindow::my_display(const std::vector<DisplayInfo>& displays) const {
    if (pinned_.empty()) {
        // The taskbar read-out goes with the main taskbar, unless the user dragged it to a monitor
        // that is there.
        const bool named = std::any_of(displays.begin(), displays.end(), [this](const DisplayInfo& d) {
            return !settings_.monitor_id.empty() && d.id == settings_.monitor_id;
        });
        if (!named && taskbar_ && taskbar_mode()) {
            return taskbar_->main_display(displays);
        }
        return choose_display(displays, settings_.monitor_id);
    }
    const auto found = std::find_if(displays.begin(), displays.end(),
                                    [this](const DisplayInfo& d) { return d.id == pinned_; });
    return found != displays.end() ? &*found : nullptr;
}

void CompactWindow::pin_monitor(const std::string& id) {
    pinned_ = id;
}

void CompactWindow::set_taskbar_host(std::unique_ptr<CompactTaskbarHost> host) {
    if (taskbar_) {
        taskbar_->release(*this);
    }
    taskbar_ = std::move(host);
}

void CompactWindow::keep_on_top() {
    if (hwnd_ == nullptr || !shown_ || moving_ || !(settings_.always_on_top || taskbar_mode())) {
        return;
    }
    if (!embedded_) {
        // A video, a game or a presentation filling this monitor: stay behind it until it ends. (The shell
        // lowers its own taskbar then, and an embedded read-out with it.)
        // Four times a second for every read-out: the monitors are asked for only while the shell says a
        // full-screen program runs somewhere.
        const HWND fullscreen = shell_reports_fullscreen()
                                    ? fullscreen_window_over(window_rect(), enumerate_displays())
                                    : nullptr;
        if (fullscreen != nullptr) {
            behind_fullscreen_ = true;
            if (!is_below(hwnd_, fullscreen)) {
                SetWindowPos(hwnd_, fullscreen, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            }
            return;
        }
        if (behind_fullscreen_) {
            // Back on top even of the program's own windows, which were above it while it stood back.
            behind_fullscreen_ = false;
            SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            return;
        }
    }
    const HWND above = GetWindow(hwnd_, GW_HWNDPREV);
    if (above == nullptr) {
        return; // nothing above it
    }
    // The program's own windows above it (the tray menu it opened, the other read-out) stay there: going over
    // them would hide the menu and make two topmost read-outs trade places four times a second.
    DWORD process = 0;
    GetWindowThreadProcessId(above, &process);
    if (process == GetCurrentProcessId()) {
        return;
    }
    SetWindowPos(hwnd_, embedded_ ? HWND_TOP : HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

ScreenRect CompactWindow::window_rect() const {
    RECT r{};
    if (hwnd_ == nullptr || !GetWindowRect(hwnd_, &r)) {
        return {};
    }
    return from_rect(r);
}

void CompactWindow::finish_move() {
    moving_ = false;
    ScreenRect rect = window_rect();
    const std::vector<DisplayInfo> displays = enumerate_displays();
    // A read-out of one taskbar among several stays with its monitor wherever it was dropped.
    const DisplayInfo* display = pinned_.empty() ? display_at_center(displays, rect) : my_display(displays);
    if (display != nullptr && hwnd_ != nullptr) {
        if (settings_.snap_to_edges && !taskbar_mode()) {
            const ScreenRect snapped =
                snap_to_work_area(rect, display->work, scale_to_dpi(settings_.snap_threshold, display->dpi));
            if (snapped != rect) {
                move_within_parent(snapped);
                rect = snapped;
            }
        }
        if (pinned_.empty()) {
            settings_.monitor_id = display->id;
        }
        dpi_ = display->dpi;
        if (settings_.mode == 1) {
            settings_.floating_rect = rect;
        } else {
            const PlacementParams params{settings_.align, 0, 0, scale_to_dpi(settings_.margin, dpi_)};
            ScreenRect anchor;
            if (taskbar_mode()) {
                const bool known = taskbar_ && taskbar_->has_occupied();
                const int reserve = known      ? 0
                                    : taskbar_ ? taskbar_->notification_reserve(*display)
                                               : default_reserve(*display);
                anchor = taskbar_anchor(*display, width_of(rect), height_of(rect), params, reserve);
            } else {
                anchor = work_area_anchor(*display, width_of(rect), height_of(rect), params);
            }
            const DipOffset offset = offset_from_anchor(rect, anchor, dpi_);
            settings_.offset_x = offset.x;
            settings_.offset_y = offset.y;
        }
        PostMessageW(controller_, k_msg_compact_moved, 0, 0);
    }
    place();
}

LRESULT CompactWindow::hit_test() const {
    if (settings_.click_through) {
        return HTTRANSPARENT;
    }
    if (embedded_ || settings_.locked) {
        return HTCLIENT;
    }
    return HTCAPTION; // the system's move loop drags it
}

void CompactWindow::begin_drag() {
    if (!embedded_ || settings_.locked) {
        return;
    }
    RECT r{};
    if (!GetCursorPos(&drag_cursor_) || !GetWindowRect(hwnd_, &r)) {
        return;
    }
    drag_origin_ = {r.left, r.top};
    dragging_ = true;
    SetCapture(hwnd_);
}

void CompactWindow::drag_to_cursor() {
    POINT cursor{};
    RECT own{};
    RECT parent{};
    if (!GetCursorPos(&cursor) || !GetWindowRect(hwnd_, &own) || !GetWindowRect(parent_, &parent)) {
        return;
    }
    moving_ = true;
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int left =
        std::max(parent.left, std::min(parent.right - width, drag_origin_.x + cursor.x - drag_cursor_.x));
    const int top =
        std::max(parent.top, std::min(parent.bottom - height, drag_origin_.y + cursor.y - drag_cursor_.y));
    move_within_parent({left, top, left + width, top + height});
}

// Moves the window to a screen rectangle of its own size, in its parent's coordinates when embedded.
void CompactWindow::move_within_parent(const ScreenRect& screen) {
    const POINT origin = embedded_ ? origin_in(parent_, screen) : POINT{screen.left, screen.top};
    SetWindowPos(hwnd_, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CompactWindow::on_timer(UINT_PTR id) {
    switch (id) {
    case k_timer_keep_on_top:
        keep_on_top();
        for (CompactWindow* follower : followers()) {
            follower->keep_on_top();
        }
        break;
    case k_timer_after_foreground:
        KillTimer(hwnd_, k_timer_after_foreground);
        keep_on_top();
        break;
    case k_timer_layout_check:
        check_layout();
        for (CompactWindow* follower : followers()) {
            follower->check_layout();
        }
        break;
    default:
        break;
    }
}

void CompactWindow::check_layout() {
    if (taskbar_ && shown_ && !moving_ && !dragging_ && taskbar_mode()) {
        taskbar_->check_layout(*this);
    }
}

// A copy: a layout check may place a read-out, and a window procedure run meanwhile might change the list.
std::vector<CompactWindow*> CompactWindow::followers() const {
    std::vector<CompactWindow*> found;
    for (CompactWindow* window : live_windows()) {
        if (window->picture_source_ == this) {
            found.push_back(window);
        }
    }
    return found;
}

void CALLBACK CompactWindow::on_foreground(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {
    // A copy: keeping on top never changes the list, but a window procedure run meanwhile might.
    const std::vector<CompactWindow*> windows = live_windows();
    for (CompactWindow* window : windows) {
        window->keep_on_top();
        if (window->hwnd_ != nullptr) {
            SetTimer(window->hwnd_, k_timer_after_foreground, k_after_foreground_ms, nullptr);
        }
    }
}

void CompactWindow::detach() {
    hwnd_ = nullptr;
    embedded_ = false;
    parent_ = nullptr;
    dragging_ = false;
}

LRESULT CompactWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCHITTEST:
        return hit_test();
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        BeginPaint(hwnd_, &ps);
        EndPaint(hwnd_, &ps);
        paint();
        return 0;
    }
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDBLCLK:
        PostMessageW(controller_, k_msg_compact_mouse, 1, 0);
        return 0;
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
        PostMessageW(controller_, k_msg_compact_mouse, 0, 0);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_CONTEXTMENU:
        return 0; // never the system menu
    case WM_LBUTTONDOWN:
        begin_drag();
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_) {
            drag_to_cursor();
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragging_) {
            dragging_ = false;
            ReleaseCapture();
            finish_move();
        }
        return 0;
    case WM_CAPTURECHANGED:
        // A drag cut short is not a move; clearing `moving` too keeps placement from staying blocked.
        if (dragging_) {
            dragging_ = false;
            moving_ = false;
            if (place_after_move_) {
                place();
            }
        }
        return 0;
    case WM_ENTERSIZEMOVE:
        moving_ = true;
        return 0;
    case WM_EXITSIZEMOVE:
        finish_move();
        return 0;
    case WM_SETTINGCHANGE:
        if (!moving_ && (wparam == SPI_SETWORKAREA || wparam == 0)) {
            place();
        }
        return 0;
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
        if (!moving_) {
            place();
        }
        return 0;
    case WM_TIMER:
        on_timer(wparam);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd_, k_timer_keep_on_top);
        KillTimer(hwnd_, k_timer_after_foreground);
        KillTimer(hwnd_, k_timer_layout_check);
        release_drawing();
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    }
}

} // namespace tide::ui
