// What a screen reader reads: each painted window's elements through its provider objects (names and
// values as drawn, places inside the window, mirrored in right-to-left, the keyboard moving the hovered
// element), a provider outliving its window, and the running program read from another process.
#include <windows.h>

#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/messages_win.h"
#include "compact/compact_window_win.h"
#include "persistence/atomic_file_win.h"
#include "presentation/theme.h"
#include "tests/win/palette_win.h"
#include "tests/win/program_win.h"
#include "tests/win/temp_folder_win.h"
#include "tests/win/wait_win.h"
#include "ui/dashboard/main_window_win.h"
#include "ui/usage/usage_window_win.h"
#include "window/automation_win.h"
#include "window/focus_part_win.h"

namespace tide::ui {
namespace {

using namespace std::chrono_literals;
using Microsoft::WRL::ComPtr;
using test::pump_until;
using uia::IRawElementProviderFragment;
using uia::IRawElementProviderFragmentRoot;
using uia::IRawElementProviderSimple;

struct Element {
    std::wstring name;
    std::wstring value;
    RECT rect{};
    int depth = 0;
    bool focused = false;
};

std::wstring text_property(IRawElementProviderSimple* element, int property, HRESULT* result = nullptr) {
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = element->GetPropertyValue(property, &value);
    if (result != nullptr) {
        *result = hr;
    }
    std::wstring text = value.vt == VT_BSTR && value.bstrVal != nullptr ? value.bstrVal : L"";
    VariantClear(&value);
    return text;
}

// Every element under the window's own, depth first, as a client walks them.
void collect(IRawElementProviderFragment* parent, int depth, std::vector<Element>& out) {
    ComPtr<IRawElementProviderFragment> child;
    parent->Navigate(3, child.GetAddressOf()); // first child
    while (child) {
        ComPtr<IRawElementProviderSimple> simple;
        child.As(&simple);
        uia::UiaRect r{};
        child->get_BoundingRectangle(&r);
        VARIANT focus;
        VariantInit(&focus);
        simple->GetPropertyValue(uia::k_has_keyboard_focus_property, &focus);
        out.push_back({text_property(simple.Get(), uia::k_name_property),
                       text_property(simple.Get(), uia::k_value_property),
                       {static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.left + r.width),
                        static_cast<LONG>(r.top + r.height)},
                       depth,
                       focus.vt == VT_BOOL && focus.boolVal == VARIANT_TRUE});
        collect(child.Get(), depth + 1, out);
        ComPtr<IRawElementProviderFragment> next;
        child->Navigate(1, next.GetAddressOf()); // next sibling
        child = next;
    }
}

std::vector<Element> elements_of(const AutomationHost& host) {
    std::vector<Element> out;
    ComPtr<IRawElementProviderFragment> root;
    if (SUCCEEDED(host.root().As(&root))) {
        collect(root.Get(), 0, out);
    }
    return out;
}

RECT client_on_screen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

bool inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom && inner.right > inner.left && inner.bottom > inner.top;
}

// The key pressed on whatever has the keyboard, as the message loop would hand it over.
void press(WPARAM key) {
    SendMessageW(GetFocus(), WM_KEYDOWN, key, 0);
}

std::wstring patterns(const char* key) {
    const std::string k(key);
    if (k == "access.graph") {
        return L"G {0}: {1} {2} / {3} {4}";
    }
    if (k == "access.bar" || k == "access.bar_over_daily") {
        return (k == "access.bar" ? L"B " : L"OVER ") + std::wstring(L"{0}: {1} {2}");
    }
    return std::wstring(k.begin(), k.end());
}

GraphPoint point(int64_t t, double down, double up) {
    return {t, true, down, up};
}

class Readable : public testing::TestWithParam<bool> {};

TEST_P(Readable, DashboardElementsFollowTheViewAndTheKeyboard) {
    const bool rtl = GetParam();
    MainWindowSettings settings;
    MainWindow window;
    window.set_text_provider(&patterns);
    ASSERT_TRUE(window.create(GetModuleHandleW(nullptr), nullptr, settings));
    window.apply(settings, test::palette("Midnight"), rtl);
    window.set_graph_state(300, false);
    SetWindowPos(window.hwnd(), nullptr, 40, 30, 800, 600, SWP_NOZORDER);
    window.show(true);
    DashboardView view;
    view.status_text = L"Connected";
    view.download_label = L"Download";
    view.upload_label = L"Upload";
    view.download_text = L"1.2 MB/s";
    view.upload_text = L"30 KB/s";
    view.session_line = L"Session";
    view.points = {point(100, 8e6, 1e3), point(101, 2e6, 3e3), point(102, 5e6, 2e3)};
    view.format_rate = [](double bits) { return std::to_wstring(static_cast<int>(bits / 1e6)) + L"M"; };
    SetCursorPos(0, 0); // a pointer over the graph would hover a point
    window.update(view);
    pump_until([] { return false; }, 200ms);

    const auto figure = [rtl](const wchar_t* f) { return rtl ? L"\u2066" + std::wstring(f) + L"\u2069" : std::wstring(f); };
    const std::wstring download_value = figure(L"1.2 MB/s");
    const std::wstring graph = L"G " + figure(L"5 min") + L": " + figure(L"5M") + L" " + figure(L"8M") + L" / " +
                               figure(L"0M") + L" " + figure(L"0M");
    const std::vector<std::pair<std::wstring, std::wstring>> expected{
        {L"Connected", L""}, {L"Download", download_value}, {L"Upload", figure(L"30 KB/s")}, {L"Session", L""}, {graph, L""}};
    // The pointer has left: nothing is hovered.
    SendMessageW(window.hwnd(), WM_MOUSELEAVE, 0, 0);
    std::vector<Element> seen = elements_of(window.automation_host());
    ASSERT_EQ(seen.size(), expected.size());
    const RECT client = client_on_screen(window.hwnd());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen[i].name, expected[i].first) << i;
        EXPECT_EQ(seen[i].value, expected[i].second) << i;
        EXPECT_TRUE(inside(seen[i].rect, client)) << i;
    }
    // The download card comes first in reading order: at the left, or at the right in right-to-left.
    EXPECT_EQ(seen[1].rect.left < seen[2].rect.left, !rtl);

    // The graph takes the keyboard with Tab from the window; the hovered point reads as the focused element.
    SetForegroundWindow(window.hwnd());
    SetFocus(GetNextDlgTabItem(window.hwnd(), nullptr, FALSE));
    ASSERT_TRUE(pump_until([&] { return elements_of(window.automation_host()).back().focused; }, 5s));
    struct Step {
        WPARAM key;
        int hovered; // -1: none
    };
    const WPARAM older = rtl ? VK_RIGHT : VK_LEFT;
    for (const Step& step : {Step{VK_END, 2}, Step{older, 1}, Step{older, 0}, Step{older, 0}, Step{VK_HOME, 0},
                             Step{VK_END, 2}, Step{VK_ESCAPE, -1}}) {
        press(step.key);
        seen = elements_of(window.automation_host());
        if (step.hovered < 0) {
            EXPECT_EQ(seen.size(), expected.size()) << step.key;
            EXPECT_TRUE(seen.back().focused);
            continue;
        }
        ASSERT_EQ(seen.size(), expected.size() + 1) << step.key;
        EXPECT_EQ(seen.back().depth, 1);
        EXPECT_EQ(seen.back().name, hover_text(view, static_cast<size_t>(step.hovered), rtl)) << step.key;
        EXPECT_TRUE(seen.back().focused) << step.key;
        EXPECT_TRUE(inside(seen.back().rect, seen[expected.size() - 1].rect)) << step.key;
    }

    // A client holding an element after the window closed is told it is gone.
    ComPtr<IRawElementProviderSimple> held = window.automation_host().root();
    window.destroy();
    HRESULT gone = S_OK;
    text_property(held.Get(), uia::k_name_property, &gone);
    EXPECT_EQ(gone, uia::k_element_not_available);
    held->AddRef();
    EXPECT_EQ(held->Release(), 1u) << "the closed window still holds its element";
}

TEST_P(Readable, UsageChartIsAListOfNamedBars) {
    const bool rtl = GetParam();
    UsageStore store;
    store.add(19998, 3'000'000'000, 1'000'000'000);
    store.add(19999, 500'000'000, 0);
    UsageView view;
    view.today = 20000;
    view.limits.daily = 1'000'000'000;
    view.limits.monthly = 10'000'000'000;
    view.days = select_days(store, view.today, view.limits);
    view.months = select_months(store, view.today, view.limits);
    view.summary_labels = {L"Today", L"Week", L"Month", L"Average"};
    view.summary_values = {L"0 MB", L"4500 MB", L"4500 MB", L"150 MB"};
    view.format_bytes = [](uint64_t v) { return std::to_wstring(v / 1'000'000) + L" MB"; };
    UsageWindow window;
    UsageWindowSettings place;
    place.x = 60;
    place.y = 40;
    ASSERT_TRUE(window.open(GetModuleHandleW(nullptr), nullptr, place, test::palette("Midnight"), rtl, L"en",
                            &patterns));
    SetCursorPos(0, 0);
    window.update(view);
    pump_until([] { return false; }, 200ms);

    const std::vector<Element> seen = elements_of(window.automation_host());
    // Four cells, the chart, its 30 bars, the limit line.
    ASSERT_EQ(seen.size(), 4u + 1 + k_usage_days + 1);
    EXPECT_EQ(seen[1].name, L"Week");
    EXPECT_EQ(seen[1].value, L"4500 MB");
    EXPECT_EQ(seen[4].name, L"access.days_chart");
    const auto mb = [rtl](const wchar_t* f) { return rtl ? L"\u2066" + std::wstring(f) + L"\u2069" : std::wstring(f); };
    const auto bar = [&seen](size_t i) { return seen[5 + i]; };
    EXPECT_EQ(bar(27).name.rfind(L"OVER ", 0), 0u) << "3 GB passes the daily limit";
    EXPECT_NE(bar(27).name.find(L": " + mb(L"3000 MB") + L" " + mb(L"1000 MB")), std::wstring::npos);
    EXPECT_EQ(bar(27).depth, 1);
    EXPECT_EQ(bar(28).name, L"access.bar_over_share") << "0.5 GB passes its share of 6 GB over 29 days only";
    EXPECT_EQ(bar(28).rect.left > bar(27).rect.left, !rtl) << "newer days to the right, or to the left";
    EXPECT_EQ(seen.back().name, L"usage.daily_limit");
    const RECT client = client_on_screen(window.hwnd());
    for (const Element& e : seen) {
        EXPECT_TRUE(inside(e.rect, client)) << std::string(e.name.begin(), e.name.end());
    }

    // Tab from the view switch reaches the chart; End highlights today's bar, a step back yesterday's.
    SetForegroundWindow(window.hwnd());
    SetFocus(GetDlgItem(window.hwnd(), k_id_usage_months));
    SetFocus(GetNextDlgTabItem(window.hwnd(), GetFocus(), FALSE));
    press(VK_END);
    press(rtl ? VK_RIGHT : VK_LEFT);
    const std::vector<Element> after = elements_of(window.automation_host());
    ASSERT_EQ(after.size(), seen.size());
    EXPECT_TRUE(after[5 + 28].focused);
    EXPECT_FALSE(after[5 + 29].focused);
    window.close();
}

INSTANTIATE_TEST_SUITE_P(Directions, Readable, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("RightToLeft") : std::string("LeftToRight");
                         });

// The automation core's client side, as a screen reader in another process calls it.
struct Client {
    HMODULE module = LoadLibraryW(L"uiautomationcore.dll");
    using Node = void*;
    HRESULT(WINAPI* from_handle)(HWND, Node*) =
        reinterpret_cast<decltype(from_handle)>(reinterpret_cast<void*>(GetProcAddress(module, "UiaNodeFromHandle")));
    HRESULT(WINAPI* property)(Node, int, VARIANT*) =
        reinterpret_cast<decltype(property)>(reinterpret_cast<void*>(GetProcAddress(module, "UiaGetPropertyValue")));
    BOOL(WINAPI* release)(Node) =
        reinterpret_cast<decltype(release)>(reinterpret_cast<void*>(GetProcAddress(module, "UiaNodeRelease")));

    // On a thread of its own in the multithreaded apartment, left before the thread ends: the core's
    // client side then lets the test process exit. Wine's cross-process channel can lose a reply and
    // leave a call waiting for ever; a call not back within 10 s is left behind and gives the fallback,
    // so the caller asks again. The call sets its answer before its last call, which can be the one
    // that hangs.
    template <typename T, typename Call> static T in_apartment(Call call, T fallback) {
        auto answer = std::make_shared<std::promise<T>>();
        std::future<T> result = answer->get_future();
        std::thread([call, answer, fallback] {
            const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            call(*answer, fallback);
            if (SUCCEEDED(com)) {
                CoUninitialize();
            }
        }).detach();
        return result.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? result.get()
                                                                                      : fallback;
    }

    std::wstring name_of(HWND window) const {
        return in_apartment<std::wstring>(
            [client = *this, window](std::promise<std::wstring>& answer, const std::wstring& none) {
                Node node = nullptr;
                if (window == nullptr || FAILED(client.from_handle(window, &node)) || node == nullptr) {
                    answer.set_value(none);
                    return;
                }
                VARIANT value;
                VariantInit(&value);
                client.property(node, uia::k_name_property, &value);
                answer.set_value(value.vt == VT_BSTR && value.bstrVal != nullptr ? value.bstrVal : none);
                VariantClear(&value);
                client.release(node);
            },
            std::wstring());
    }
};

// A screen reader's registration for focus changes anywhere (UiaAddEvent on the desktop, the focused
// element's name cached with each event). The callback has no context of its own, hence the one list.
std::mutex g_heard_lock;
std::vector<std::wstring> g_heard;

void CALLBACK on_focus(const int* args, SAFEARRAY* cached, BSTR) { // UiaEventArgs: type, event id
    VARIANT* cells = nullptr;
    LONG rows = -1;
    LONG columns = -1;
    if (args[1] != uia::k_focus_changed_event || cached == nullptr || SafeArrayGetDim(cached) != 2 ||
        FAILED(SafeArrayGetUBound(cached, 1, &rows)) || FAILED(SafeArrayGetUBound(cached, 2, &columns)) ||
        FAILED(SafeArrayAccessData(cached, reinterpret_cast<void**>(&cells)))) {
        return;
    }
    std::lock_guard hold(g_heard_lock);
    for (LONG i = 0; i < (rows + 1) * (columns + 1); ++i) {
        if (cells[i].vt == VT_BSTR && cells[i].bstrVal != nullptr) {
            g_heard.emplace_back(cells[i].bstrVal);
        }
    }
    SafeArrayUnaccessData(cached);
}

HRESULT listen_for_focus(void** event) {
    struct CacheRequest {
        const int* view; // ConditionType_True
        int scope;
        int* properties;
        int property_count;
        int* patterns;
        int pattern_count;
        int mode;
    };
    const HMODULE module = LoadLibraryW(L"uiautomationcore.dll");
    // The desktop's node from its handle: Wine 8 has UiaGetRootNode as a stub that ends the process.
    const auto from_handle = reinterpret_cast<HRESULT(WINAPI*)(HWND, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "UiaNodeFromHandle")));
    const auto add = reinterpret_cast<HRESULT(WINAPI*)(void*, int, decltype(&on_focus), int, int*, int,
                                                       CacheRequest*, void**)>(
        reinterpret_cast<void*>(GetProcAddress(module, "UiaAddEvent")));
    void* desktop = nullptr;
    if (from_handle == nullptr || add == nullptr || FAILED(from_handle(GetDesktopWindow(), &desktop))) {
        return E_NOTIMPL;
    }
    static const int everything = 0;
    int name = uia::k_name_property;
    CacheRequest request{&everything, 1 /* TreeScope_Element */, &name, 1, nullptr, 0, 1 /* full */};
    return add(desktop, uia::k_focus_changed_event, &on_focus, 7 /* TreeScope_Subtree */, nullptr, 0,
               &request, event);
}

} // namespace

// Wine's automation core (8.0) has UiaAddEvent only as a stub, so no event crosses processes there. What
// decides whether one would is the options the provider reports; its own core hands them to another
// process through the node a window answers WM_GETOBJECT with (LresultFromObject of this interface), and
// they are read the same way here. Outside the anonymous namespace: the compiler takes a local interface
// with no implementation in sight for one never called, and drops the calls.
struct WineUiaProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_prop_val(const void* info, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_prov_opts(int* options) = 0;
};
struct WineUiaNode : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_provider(int index, WineUiaProvider** provider) = 0;
};
constexpr IID k_wine_uia_node = {
    0xbccb6799, 0xd831, 0x4057, {0xbd, 0x50, 0x64, 0x25, 0x82, 0x3f, 0xf1, 0xa3}};

namespace {

// -1: the core offers no such node (the Windows core has its own).
int options_across(HWND window) {
    return Client::in_apartment<int>(
        [window](std::promise<int>& answer, int none) {
            const auto from_lresult = reinterpret_cast<HRESULT(WINAPI*)(LRESULT, REFIID, WPARAM, void**)>(
                reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleacc.dll"), "ObjectFromLresult")));
            DWORD_PTR result = 0;
            ComPtr<WineUiaNode> node;
            ComPtr<WineUiaProvider> provider;
            int options = none;
            if (from_lresult != nullptr &&
                SendMessageTimeoutW(window, WM_GETOBJECT, 0, uia::k_root_object_id, SMTO_ABORTIFHUNG, 5000,
                                    &result) &&
                result != 0 &&
                SUCCEEDED(from_lresult(static_cast<LRESULT>(result), k_wine_uia_node, 0, &node)) &&
                SUCCEEDED(node->get_provider(0, &provider)) && SUCCEEDED(provider->get_prov_opts(&options))) {
                answer.set_value(options);
            } else {
                answer.set_value(none);
            }
        },
        -1);
}

HWND focus_of(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

constexpr char k_settings[] = R"({"defaults_rev": 3, "language": "en", "monitoring": {"interval_ms": 1000},
    "compact": {"enabled": false}, "desktop": {"enabled": true, "floating_rect": {"l": 400, "t": 300, "r": 560, "b": 330}}})";

TEST(ReadableProgram, AnotherProcessReadsTheRatesAndEachWindowsName) {
    const Client client;
    ASSERT_TRUE(client.from_handle != nullptr && client.property != nullptr && client.release != nullptr);
    auto data = std::make_unique<test::TempFolder>();
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", k_settings));
    test::Program program = test::start_program(L"", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};

    std::wstring name;
    ASSERT_TRUE(test::wait_for(
        [&] {
            name = client.name_of(test::window_of(program.id, k_compact_class));
            return name.rfind(L"Download ", 0) == 0;
        },
        90s))
        << std::string(name.begin(), name.end());
    // "Download 1.2 kb/s, upload 0 b/s": both rates with their units.
    const size_t upload = name.find(L", upload ");
    ASSERT_NE(upload, std::wstring::npos);
    EXPECT_GT(upload, 9u);
    EXPECT_GT(name.size(), upload + 9);
    EXPECT_TRUE(test::wait_for([&] { return client.name_of(test::window_of(program.id, k_main_class)) == L"Tidemeter"; }, 30s));

    const HWND controller = test::window_of(program.id, k_controller_class);
    PostMessageW(controller, k_msg_dashboard_button, k_button_usage, 0);
    EXPECT_TRUE(test::wait_for([&] { return client.name_of(test::window_of(program.id, k_usage_class)) == L"Usage history"; }, 30s));
    PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
    EXPECT_TRUE(test::wait_for([&] { return test::has_ended(program); }, 60s));
}

// Tab in the running program gives the graph the keyboard: a screen reader elsewhere is told (or, where the
// core delivers no events across processes, the provider says it is the program's own), and the focused
// window's element is the graph, named with its summary.
TEST(ReadableProgram, AnotherProcessHearsTheGraphTakeTheKeyboard) {
    const Client client;
    auto data = std::make_unique<test::TempFolder>();
    ASSERT_TRUE(write_file_atomically(*data / L"settings.json", k_settings));
    test::Program program = test::start_program(L"", std::move(data));
    ASSERT_TRUE(program.process);
    test::ProgramGuard guard{program};
    HWND dashboard = nullptr;
    ASSERT_TRUE(test::wait_for(
        [&] {
            dashboard = test::window_of(program.id, k_main_class);
            return client.name_of(dashboard) == L"Tidemeter";
        },
        90s));

    CO_MTA_USAGE_COOKIE mta = nullptr;
    CoIncrementMTAUsage(&mta);
    void* event = nullptr;
    const HRESULT listening = listen_for_focus(&event);
    SetForegroundWindow(dashboard);
    HWND focused = nullptr;
    for (int tabs = 0; tabs < 10 && focused == nullptr; ++tabs) { // one round of the Tab stops at most
        const HWND before = focus_of(dashboard);
        if (before != nullptr && GetParent(before) == dashboard && GetDlgCtrlID(before) == 3010) {
            focused = before;
        } else {
            PostMessageW(dashboard, WM_KEYDOWN, VK_TAB, 0); // as the keyboard would, through the loop
            test::wait_for([&] { return focus_of(dashboard) != before; }, 10s);
        }
    }
    ASSERT_NE(focused, nullptr) << "Tab never reached the graph";
    std::wstring name;
    EXPECT_TRUE(test::wait_for(
        [&] {
            name = client.name_of(focused);
            return name.rfind(L"Graph of the last ", 0) == 0;
        },
        30s))
        << "the focused window reads \"" << std::string(name.begin(), name.end()) << "\"";

    if (SUCCEEDED(listening)) {
        EXPECT_TRUE(test::wait_for(
            [] {
                std::lock_guard hold(g_heard_lock);
                return std::any_of(g_heard.begin(), g_heard.end(), [](const std::wstring& n) {
                    return n.rfind(L"Graph of the last ", 0) == 0;
                });
            },
            30s));
    } else {
        // ProviderOptions_ServerSideProvider (2), not ClientSideProvider (1), for the window and its part.
        for (const HWND window : {dashboard, focused}) {
            int options = -1;
            test::wait_for([&] { return (options = options_across(window)) >= 0; }, 30s);
            EXPECT_EQ(options, 2) << "UiaAddEvent: " << std::hex << listening;
        }
    }
    PostMessageW(test::window_of(program.id, k_controller_class), k_msg_dashboard_button, k_button_exit, 0);
    EXPECT_TRUE(test::wait_for([&] { return test::has_ended(program); }, 60s));
}

} // namespace
} // namespace tide::ui
