// tide_memory_owners: what each piece of the program adds to the process's private memory, measured.
// The pieces are created one after the other, in the order the program creates them, with the
// program's own code; after each the messages are pumped for a while and the private bytes (under
// Wine: the anonymous resident pages) read again. One line per piece: its name and what it added.
//
//   tide_memory_owners [SETTLE_MS [wait]]   (default 1500) the pause after each piece; with "wait" it
//                                           also waits for a line on its input after each line it
//                                           prints, so that a script can read the process's memory
//                                           from outside at that point (scripts/memory.sh owners)
//
// Run it a few times: the heap grows in steps and the machine is shared.
#include <windows.h>

#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <memory>
#include <thread>

#include "base/recent_errors.h"
#include "compact/compact_window_win.h"
#include "compact/drawing_resources_win.h"
#include "compact/taskbar_host_win.h"
#include "compact/taskbar_watcher_win.h"
#include "net/sampler_win.h"
#include "persistence/file_writer.h"
#include "persistence/settings.h"
#include "presentation/localization.h"
#include "presentation/theme.h"
#include "ui/dashboard/graph_model.h"
#include "ui/dashboard/main_window_win.h"
#include "ui/settings/settings_dialog_win.h"
#include "ui/usage/usage_window_win.h"

using namespace tide;

namespace {

// The process's private bytes: on Windows the private usage; Wine leaves that at 0 and counts in the
// page-file usage what it allocates itself (not what Direct2D's renderer and the X and font libraries
// below it take: scripts/memory.sh reads the process's anonymous memory from Linux for those).
double private_kb() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return static_cast<double>(std::max(counters.PrivateUsage, counters.PagefileUsage)) / 1024.0;
}

void pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

LRESULT CALLBACK quiet_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const DWORD settle = argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : 1500;
    const bool wait = argc > 2 && std::wcscmp(argv[2], L"wait") == 0;
    const auto reported = [wait] {
        std::fflush(stdout);
        char line[16];
        if (wait && std::fgets(line, sizeof line, stdin) == nullptr) {
            std::exit(1);
        }
    };
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW quiet{};
    quiet.lpfnWndProc = &quiet_proc;
    quiet.hInstance = instance;
    quiet.lpszClassName = L"TideMemoryOwners";
    RegisterClassW(&quiet);
    // Stands in for the controller window: takes the samples and reports and does nothing with them.
    const HWND controller =
        CreateWindowExW(0, L"TideMemoryOwners", L"", 0, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);

    pump(settle);
    double last = private_kb();
    std::printf("%-52s %9.0f kB\n", "at start (the libraries loaded)", last);
    reported();
    const auto step = [&](const char* name, const std::function<void()>& make) {
        make();
        pump(settle);
        const double now = private_kb();
        std::printf("%-52s %+9.0f kB\n", name, now - last);
        reported();
        last = now;
    };

    RecentErrors errors;
    Localizer localizer;
    Settings settings;
    SamplerShared sampler;
    SamplerThread sampler_thread;
    std::unique_ptr<GraphHistory> history;
    std::unique_ptr<FileWriter> writer;
    std::thread idle;
    HANDLE idle_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ui::CompactWindow taskbar;
    ui::CompactWindow desktop;
    ui::MainWindow dashboard;
    ui::SettingsDialog settings_window;
    ui::UsageWindow usage_window;
    const Theme theme = *find_palette("Midnight");

    step("settings record (defaults)", [&] { settings = Settings{}; });
    step("language packs: English", [&] { localizer.initialise("en", errors); });
    step("language packs: German beside English", [&] { localizer.initialise("de", errors); });
    step("language packs: back to English", [&] { localizer.initialise("en", errors); });
    step("graph history, 14,400 points", [&] {
        history = std::make_unique<GraphHistory>();
        for (int64_t t = 0; t < 14'400; ++t) {
            history->push({t, true, 1e6, 2e5});
        }
    });
    step("one idle std::thread (its stack)",
         [&] { idle = std::thread([idle_stop] { WaitForSingleObject(idle_stop, INFINITE); }); });
    HANDLE small = nullptr;
    step("one idle thread, 64 kB stack reserved", [&] {
        small = CreateThread(
            nullptr, 64 * 1024, [](void* stop) -> DWORD { return WaitForSingleObject(stop, INFINITE); },
            idle_stop, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    });
    step("sampler thread and its first samples", [&] {
        sampler.wake_event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        sampler.controller_window = controller;
        sampler_thread.start(sampler);
    });
    step("writer thread (one save)", [&] {
        writer = std::make_unique<FileWriter>(
            [](const std::wstring&, std::string_view, std::string*) { return true; }, [] {});
        writer->save({L"memory-owners.json", "{}", {}});
    });
    step("Direct2D and DirectWrite factories, system fonts", [&] { drawing_resources(); });
    step("default font family", [&] { set_default_family(L"Segoe UI"); });
    const auto readout = [&](ui::CompactWindow& window, const CompactSettings& section) {
        window.create(instance, controller);
        window.apply(section, theme, false);
        window.set_content({L"12.5 Mbps", L"640 kbps", L"Download", L"Upload", true});
        window.show(true);
    };
    step("taskbar read-out, shown and painted", [&] {
        CompactSettings section;
        section.embed_in_taskbar = false;
        section.layout = 1;
        readout(taskbar, section);
    });
    step("desktop read-out, shown and painted", [&] {
        CompactSettings section = CompactSettings::desktop_defaults();
        section.enabled = true;
        readout(desktop, section);
    });
    step("a second paint of both read-outs", [&] {
        taskbar.set_content({L"13.5 Mbps", L"740 kbps", L"Download", L"Upload", true});
        desktop.set_content({L"13.5 Mbps", L"740 kbps", L"Download", L"Upload", true});
    });
    step("dashboard window, created hidden", [&] {
        dashboard.set_text_provider([&](const char* key) { return localizer.wide_text(key); });
        dashboard.create(instance, controller, settings.main_window);
        dashboard.apply(settings.main_window, theme, false);
    });
    step("dashboard shown and painted (300 points)", [&] {
        DashboardView view;
        view.format_rate = [](double v) { return std::to_wstring(static_cast<long long>(v)); };
        for (int64_t t = 0; t < 300; ++t) {
            view.points.push_back({t, true, 1e6 * static_cast<double>(t % 7), 2e5});
        }
        dashboard.show(true);
        dashboard.update(std::move(view));
    });
    step("dashboard hidden", [&] { dashboard.show(false); });
    step("settings window opened", [&] {
        settings_window.open(
            instance, controller, settings, [&](const char* key) { return localizer.wide_text(key); }, false,
            [](const ui::SettingsEdit&) {});
    });
    step("settings window closed", [&] { settings_window.close(); });
    step("usage window opened", [&] {
        usage_window.open(instance, controller, UsageWindowSettings{}, theme, false, L"en",
                          [&](const char* key) { return localizer.wide_text(key); });
    });
    step("usage window closed", [&] { usage_window.close(); });
    step("automation client of the taskbar watcher", [&] {
        // The watcher's own thread with its automation objects, watching the shell's taskbar.
        static TaskbarButtonWatcher watcher(controller, WM_NULL);
        watcher.watch(&watcher, FindWindowW(L"Shell_TrayWnd", nullptr));
    });
    std::printf("%-52s %9.0f kB\n", "at the end", last);

    SetEvent(idle_stop);
    idle.join();
    if (small != nullptr) {
        WaitForSingleObject(small, INFINITE);
        CloseHandle(small);
    }
    sampler_thread.stop_and_join();
    writer.reset();
    return 0;
}
