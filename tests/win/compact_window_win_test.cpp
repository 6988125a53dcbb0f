// The compact read-out on the screen: where it appears, its pixels, real mouse drags, snapping, locking,
// click-through, memory over many updates, and the saved place of the running program.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_win.h"
#include "tests/win/palette_win.h"
#include "tests/win/temp_folder_win.h"
#include "base/messages_win.h"
#include "compact/compact_window_win.h"
#include "compact/displays_win.h"
#include "compact/dpi.h"
#include "compact/drawing_resources_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/json.h"
#include "persistence/settings_store_win.h"
#include "presentation/localization.h"
#include "tests/win/private_memory_win.h"
#include "tests/win/screen_pixels_win.h"
#include "tests/win/wait_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;
using test::count_near;
using test::pump_until;
using Clock = std::chrono::steady_clock;

// Stands in for the controller: keeps what the read-out posts.
class Recorder {
public:
    Recorder() {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &Recorder::proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"TidemeterTest.Recorder";
        RegisterClassExW(&window_class);
        window_ = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  window_class.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Recorder() { DestroyWindow(window_); }
    HWND window() const { return window_; }
    int count(UINT message, WPARAM wparam) const {
        int n = 0;
        for (const auto& [m, w] : posted_) {
            n += m == message && w == wparam ? 1 : 0;
        }
        return n;
    }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            self != nullptr && message >= WM_APP) {
            self->posted_.emplace_back(message, wparam);
            return 0;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }
    HWND window_ = nullptr;
    std::vector<std::pair<UINT, WPARAM>> posted_;
};

// Real input, from another thread: the system's move loop runs inside the window's own thread.
void send_mouse(int x, int y, DWORD buttons) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65535, width - 1);
    input.mi.dy = MulDiv(y, 65535, height - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    SendInput(1, &input, sizeof(input));
}

// True once the window under `point` holds the mouse capture: the system's move loop and the
// embedded read-out's own drag both take it when the button goes down.
bool wait_for_capture(POINT point, std::chrono::milliseconds timeout) {
    const HWND target = WindowFromPoint(point);
    const DWORD thread = GetWindowThreadProcessId(target, nullptr);
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        if (GetGUIThreadInfo(thread, &info) && info.hwndCapture == target) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Drags from one point to another while the calling thread keeps pumping its messages; true when the
// condition held afterwards. The moves start only once the window took the capture: before that a
// busy machine would route them, and the button's release, to whatever lies under the cursor, and
// the move loop would never see its end. A locked window never takes it (`expect_capture` false).
bool drag_until(POINT from, POINT to, const std::function<bool()>& condition,
                std::chrono::milliseconds timeout = 15s, bool expect_capture = true) {
    std::atomic<bool> done{false};
    std::thread input([from, to, expect_capture, &done] {
        send_mouse(from.x, from.y, 0);
        std::this_thread::sleep_for(100ms); // input pacing, not a wait for a result
        send_mouse(from.x, from.y, MOUSEEVENTF_LEFTDOWN);
        if (!expect_capture || !wait_for_capture(from, 20s)) {
            std::this_thread::sleep_for(150ms);
        }
        for (int step = 1; step <= 5; ++step) {
            std::this_thread::sleep_for(60ms);
            send_mouse(from.x + (to.x - from.x) * step / 5, from.y + (to.y - from.y) * step / 5, 0);
        }
        std::this_thread::sleep_for(100ms);
        send_mouse(to.x, to.y, MOUSEEVENTF_LEFTUP);
        done = true;
    });
    const bool held = pump_until([&] { return done.load() && condition(); }, timeout);
    pump_until([&] { return done.load(); }, 10s);
    input.join();
    return held;
}

RECT rect_of(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

COLORREF screen_pixel(int x, int y) {
    const HDC screen = GetDC(nullptr);
    const COLORREF color = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return color;
}

bool close_to(COLORREF color, Rgba expected, int tolerance = 10) {
    return std::abs(GetRValue(color) - expected.r) <= tolerance &&
           std::abs(GetGValue(color) - expected.g) <= tolerance &&
           std::abs(GetBValue(color) - expected.b) <= tolerance;
}

ui::CompactContent sample_content(bool active = true) {
    return {L"12.5 Mbps", L"640 kbps", L"Download", L"Upload", active};
}

// A desktop read-out at a saved place, fully opaque so that its colours read back exactly.
CompactSettings desktop_at(int left, int top) {
    CompactSettings s = CompactSettings::desktop_defaults();
    s.enabled = true;
    s.opacity_pct = 100;
    s.layout = 1; // one_line: arrows big enough to find by colour
    s.floating_rect = ScreenRect{left, top, left + 100, top + 30};
    return s;
}

class CompactScreen : public testing::Test {
protected:
    void SetUp() override { set_default_family(L"Segoe UI"); }
    void show(const CompactSettings& settings, const Theme& theme, const ui::CompactContent& content) {
        ASSERT_TRUE(window_.create(GetModuleHandleW(nullptr), recorder_.window()));
        window_.apply(settings, theme, false);
        window_.set_content(content);
        window_.show(true);
        ASSERT_TRUE(pump_until([&] { return IsWindowVisible(window_.hwnd()) != FALSE; }));
    }
    // Settles the screen: the pixel under the box's left edge shows what was painted last.
    bool wait_for_pixel(int x, int y, Rgba color) {
        return pump_until([&] { return close_to(screen_pixel(x, y), color); }, 10s);
    }

    Recorder recorder_;
    ui::CompactWindow window_;
};

class CompactThemes : public CompactScreen, public testing::WithParamInterface<const char*> {};

TEST_P(CompactThemes, BackgroundInsideBorderOnTheEdgeErrorColourWhenUnavailable) {
    const Theme theme = test::palette(GetParam());
    show(desktop_at(200, 200), theme, sample_content());
    const RECT r = rect_of(window_.hwnd());
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 200);
    const int middle = (r.top + r.bottom) / 2;
    EXPECT_TRUE(wait_for_pixel(r.left + 3, middle, theme.bg)) << std::hex << screen_pixel(r.left + 3, middle);
    EXPECT_TRUE(close_to(screen_pixel(r.left, middle), theme.border))
        << std::hex << screen_pixel(r.left, middle);
    EXPECT_GT(count_near(r, theme.download), 10);
    EXPECT_EQ(count_near(r, theme.error), 0);

    window_.set_content(sample_content(false));
    EXPECT_TRUE(pump_until([&] { return count_near(r, theme.error) > 10; }, 10s));
    EXPECT_EQ(count_near(r, theme.download), 0);
    EXPECT_EQ(count_near(r, theme.upload), 0);
}

INSTANTIATE_TEST_SUITE_P(DarkAndLight, CompactThemes, testing::Values("Midnight", "Arctic"));

// Wine blends nearly transparent pixels against black instead of the desktop, so the box is checked in
// the bitmap the window pushes: almost no alpha, yet not none, so that it still takes clicks.
TEST_F(CompactScreen, NativeStyleDrawsNoBox) {
    CompactSettings settings = desktop_at(300, 300);
    settings.native_style = true;
    show(settings, test::palette("Midnight"), sample_content());
    const RECT r = rect_of(window_.hwnd());
    ASSERT_EQ(r.left, 300);
    // The taskbar's text colour (white without a light taskbar) shows once the paint reached the screen.
    EXPECT_TRUE(pump_until([&] { return count_near(r, Rgba{255, 255, 255, 255}) > 5; }, 10s));
    EXPECT_EQ(count_near(r, find_palette("Midnight")->bg), 0);
    EXPECT_EQ(count_near(r, find_palette("Midnight")->border), 0);
    const LayeredSurface& surface = window_.surface();
    ASSERT_GT(surface.width(), 2);
    const auto* pixels = static_cast<const uint8_t*>(surface.bits());
    for (const int x : {0, 1, surface.width() - 1}) {
        const uint8_t alpha = pixels[(surface.width() + x) * 4 + 3]; // second row
        EXPECT_GT(alpha, 0) << x;
        EXPECT_LE(alpha, 4) << x;
    }
}

TEST_F(CompactScreen, DragMovesSnapsAndALockedOneStays) {
    show(desktop_at(400, 300), test::palette("Midnight"), sample_content());
    const RECT start = rect_of(window_.hwnd());
    const POINT grab{start.left + 4, start.top + 4}; // on the box, beside the text
    ASSERT_TRUE(drag_until(grab, {grab.x + 60, grab.y + 40},
                           [&] { return recorder_.count(k_msg_compact_moved, 0) == 1; }));
    // A busy machine may lose a few pixels of the way before the move loop starts; the place is what counts.
    const RECT moved = rect_of(window_.hwnd());
    EXPECT_NEAR(moved.left, start.left + 60, 6);
    EXPECT_NEAR(moved.top, start.top + 40, 6);
    ASSERT_TRUE(window_.settings().floating_rect.has_value());
    EXPECT_EQ(window_.settings().floating_rect->left, moved.left);
    EXPECT_EQ(window_.settings().floating_rect->top, moved.top);

    // Dropped 5 pixels short of the work area's left edge: it lands flush.
    const DisplayInfo display = enumerate_displays().front();
    const POINT from{moved.left + 4, moved.top + 4};
    ASSERT_TRUE(drag_until(from, {from.x - (moved.left - display.work.left) + 5, from.y},
                           [&] { return recorder_.count(k_msg_compact_moved, 0) == 2; }));
    EXPECT_EQ(rect_of(window_.hwnd()).left, display.work.left);

    CompactSettings locked = window_.settings();
    locked.locked = true;
    window_.apply(locked, test::palette("Midnight"), false);
    const RECT before = rect_of(window_.hwnd());
    const POINT lock_grab{before.left + 4, before.top + 4};
    // A click on it still reaches it (the arrow cursor, no move loop): nothing was posted afterwards.
    drag_until(lock_grab, {lock_grab.x + 80, lock_grab.y + 50}, [] { return true; }, 15s, false);
    EXPECT_EQ(recorder_.count(k_msg_compact_moved, 0), 2);
    EXPECT_EQ(rect_of(window_.hwnd()).left, before.left);
    EXPECT_EQ(rect_of(window_.hwnd()).top, before.top);

    // Locked or not, a double click asks for the dashboard and a right click for the tray menu.
    std::atomic<bool> clicked{false};
    std::thread input([&] {
        for (const DWORD buttons : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN,
                                    MOUSEEVENTF_LEFTUP, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}) {
            send_mouse(lock_grab.x, lock_grab.y, buttons);
        }
        clicked = true;
    });
    EXPECT_TRUE(pump_until([&] {
        return clicked.load() && recorder_.count(k_msg_compact_mouse, 1) == 1 &&
               recorder_.count(k_msg_compact_mouse, 0) == 1;
    }));
    input.join();
}

// Without a taskbar host the taskbar read-out is an overlay at the taskbar anchor: centred in the strip,
// the notification area's room kept free at the right end.
TEST_F(CompactScreen, TaskbarReadOutSitsAtTheTaskbarAnchor) {
    const DisplayInfo display{"TEST", {0, 0, 1280, 800}, {0, 0, 1280, 740}, 96, true};
    set_display_source([display] { return std::vector<DisplayInfo>{display}; });
    CompactSettings settings; // the taskbar section's defaults
    settings.native_style = false;
    show(settings, test::palette("Midnight"), sample_content());
    const RECT r = rect_of(window_.hwnd());
    const ScreenRect expected =
        taskbar_anchor(display, r.right - r.left, r.bottom - r.top, {2, 0, 0, 8}, scale_to_dpi(260, 96));
    EXPECT_EQ((ScreenRect{r.left, r.top, r.right, r.bottom}), expected);
    EXPECT_EQ(expected.right, 1280 - 260 - 8);
    EXPECT_NE(GetWindowLongPtrW(window_.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_FALSE(window_.embedded());
    set_display_source({});
}

// A plain window that counts the clicks it receives.
LRESULT CALLBACK counting_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_LBUTTONDOWN) {
        SetWindowLongPtrW(window, GWLP_USERDATA, GetWindowLongPtrW(window, GWLP_USERDATA) + 1);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(CompactScreen, ClickThroughLetsTheClickReachTheWindowBelow) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &counting_proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = L"TidemeterTest.Below";
    RegisterClassExW(&window_class);
    const HWND below = CreateWindowExW(0, window_class.lpszClassName, L"below", WS_POPUP | WS_VISIBLE, 480,
                                       380, 300, 200, nullptr, nullptr, window_class.hInstance, nullptr);
    ASSERT_NE(below, nullptr);
    CompactSettings settings = desktop_at(500, 400);
    settings.click_through = true;
    show(settings, test::palette("Midnight"), sample_content());
    const RECT r = rect_of(window_.hwnd());
    ASSERT_EQ(r.left, 500);
    std::thread([&] {
        send_mouse(r.left + 4, r.top + 4, 0);
        std::this_thread::sleep_for(100ms);
        send_mouse(r.left + 4, r.top + 4, MOUSEEVENTF_LEFTDOWN);
        send_mouse(r.left + 4, r.top + 4, MOUSEEVENTF_LEFTUP);
    }).join();
    EXPECT_TRUE(pump_until([&] { return GetWindowLongPtrW(below, GWLP_USERDATA) > 0; }));
    EXPECT_EQ(recorder_.count(k_msg_compact_moved, 0), 0);
    DestroyWindow(below);
}

TEST_F(CompactScreen, ThousandsOfUpdatesKeepMemoryFlat) {
    show(desktop_at(600, 100), test::palette("Graphite"), sample_content());
    auto update = [&](int i) {
        const std::wstring value = std::to_wstring(100 + i % 900) + L"." + std::to_wstring(i % 10) + L" Mbps";
        window_.set_content({value, value, L"Download", L"Upload", i % 50 != 0});
    };
    for (int i = 0; i < 150; ++i) {
        update(i);
    }
    const size_t warm = test::private_bytes();
    for (int i = 0; i < 1350; ++i) {
        update(i);
    }
    const size_t after = test::private_bytes();
    EXPECT_LT(after, warm + 4 * 1024 * 1024) << warm << " -> " << after;
}

// The running program: a dragged desktop read-out is in settings.json about a second later.
TEST(CompactProgram, MovedDesktopReadOutIsSaved) {
    const test::TempFolder folder;
    const std::wstring path = folder / L"settings.json";
    ASSERT_TRUE(write_file_atomically(path, "{\"schema_version\": 1, \"language\": \"en\", \"compact\": "
                                            "{\"enabled\": false}, \"desktop\": {\"enabled\": true, "
                                            "\"floating_rect\": {\"l\": 320, \"t\": 240, \"r\": 420, \"b\": 270}}}"));
    app::App app(app::AppOptions{folder.path(), RunValue{HKEY_CURRENT_USER, L"Software\\Tidemeter.Tests\\Run"}});
    std::thread runner([&] { app.run(GetModuleHandleW(nullptr), true); });
    HWND readout = nullptr;
    const bool found = pump_until(
        [&] {
            readout = FindWindowW(ui::k_compact_class, nullptr);
            while (readout != nullptr && !(IsWindowVisible(readout) && rect_of(readout).left == 320)) {
                readout = FindWindowExW(nullptr, readout, ui::k_compact_class, nullptr);
            }
            return readout != nullptr;
        },
        30s);
    EXPECT_TRUE(found);
    if (found) {
        const RECT start = rect_of(readout);
        EXPECT_EQ(start.top, 240);
        const bool saved = drag_until(
            {start.left + 4, start.top + 4}, {start.left + 104, start.top + 54},
            [&] {
                const auto bytes = read_file_bytes(path);
                const auto json = bytes ? parse_json(*bytes) : std::nullopt;
                const JsonValue* desktop = json ? find_member(*json, "desktop") : nullptr;
                const JsonValue* rect = find_member(desktop, "floating_rect");
                const JsonValue* left = find_member(rect, "l");
                const JsonValue* top = find_member(rect, "t");
                const RECT now = rect_of(readout);
                return now.left > 380 && now.top > 260 && left && top && left->is_number() &&
                       top->is_number() && left->as_number() == now.left && top->as_number() == now.top;
            },
            20s);
        const auto bytes = read_file_bytes(path);
        EXPECT_TRUE(saved) << (bytes ? *bytes : std::string("no file")) << " window at "
                           << rect_of(readout).left << "," << rect_of(readout).top;
    }
    PostMessageW(FindWindowW(k_controller_class, nullptr), k_msg_dashboard_button, k_button_exit, 0);
    runner.join();
}

} // namespace
} // namespace tide

namespace tide {
namespace {

// Not a check: every layout in a dark and a light theme and in native style, held on the screen for a
// screenshot until the file C:\tidemeter-showcase-done appears (at most a minute).
// TIDE_SHOWCASE=ar shows them right to left with the Arabic labels.
TEST(CompactShowcase, DISABLED_AllLayouts) {
    set_default_family(L"Segoe UI");
    wchar_t language[8] = {};
    GetEnvironmentVariableW(L"TIDE_SHOWCASE", language, 8);
    const bool rtl = std::wstring(language) == L"ar";
    const ui::CompactContent content{L"12.5 Mbps", L"640 kbps",
                                     rtl ? L"\u062A\u0646\u0632\u064A\u0644" : L"Download",
                                     rtl ? L"\u062A\u062D\u0645\u064A\u0644" : L"Upload", true};
    Recorder recorder;
    std::vector<std::unique_ptr<ui::CompactWindow>> windows;
    const char* themes[] = {"Midnight", "Minimal White", nullptr};
    for (int row = 0; row < 3; ++row) {
        for (int layout = 0; layout < 6; ++layout) {
            CompactSettings s = CompactSettings::desktop_defaults();
            s.enabled = true;
            s.layout = layout;
            s.opacity_pct = 100;
            s.native_style = themes[row] == nullptr;
            s.theme = themes[row] != nullptr ? themes[row] : "Midnight";
            const int left = 20 + row * 420;
            const int top = 20 + layout * 110;
            s.floating_rect = ScreenRect{left, top, left + 100, top + 30};
            auto window = std::make_unique<ui::CompactWindow>();
            window->create(GetModuleHandleW(nullptr), recorder.window());
            window->apply(s, test::palette(s.theme), rtl);
            window->set_content(layout == 5 && row == 1
                                    ? ui::CompactContent{L"\u2014", L"\u2014", L"", L"", false}
                                    : content);
            window->show(true);
            windows.push_back(std::move(window));
        }
    }
    pump_until([] { return GetFileAttributesW(L"C:\\tidemeter-showcase-done") != INVALID_FILE_ATTRIBUTES; },
               60s);
    DeleteFileW(L"C:\\tidemeter-showcase-done");
}

} // namespace
} // namespace tide
