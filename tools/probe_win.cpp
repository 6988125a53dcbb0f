// tide_probe: a small console helper for the release scripts, run under Wine beside the program.
// It finds the program's windows, posts them messages and reads a process's memory and handle
// counts, so that shell scripts can drive and measure Tidemeter.exe without a test framework.
//
//   tide_probe find CLASS                  "pid hwnd" per top-level window of CLASS; exit 1 when none
//   tide_probe rect CLASS                  "x y width height" per visible window of CLASS (top-level
//                                          or in the taskbar)
//   tide_probe post CLASS MSG WPARAM LPARAM posts to the first window of CLASS; exit 1 when none
//   tide_probe stats PID                   one line of private bytes, working set, handles, GDI, USER
//   tide_probe hold                        keeps the desktop open until the process is ended
//   tide_probe taskbars                    a stand-in taskbar at the bottom of every monitor (the shell's
//                                          classes, 40 pixels high) until the process is ended; prints
//                                          "ready" once they are there
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Found {
    HWND window;
    DWORD pid;
};

void add_children_of_class(HWND parent, const wchar_t* class_name, bool visible_only,
                           std::vector<Found>& found) {
    HWND window = nullptr;
    while ((window = FindWindowExW(parent, window, class_name, nullptr)) != nullptr) {
        if (visible_only && !IsWindowVisible(window)) {
            continue;
        }
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        found.push_back({window, pid});
    }
}

// Top-level windows of the class, then those embedded in the taskbar.
std::vector<Found> windows_of_class(const wchar_t* class_name, bool visible_only) {
    std::vector<Found> found;
    add_children_of_class(nullptr, class_name, visible_only, found);
    if (HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr); taskbar != nullptr) {
        add_children_of_class(taskbar, class_name, visible_only, found);
    }
    return found;
}

unsigned long long number(const wchar_t* text) {
    return std::wcstoull(text, nullptr, 0); // decimal or 0x-prefixed
}

int find(const wchar_t* class_name) {
    const auto found = windows_of_class(class_name, false);
    for (const Found& f : found) {
        std::printf("%lu %p\n", f.pid, static_cast<void*>(f.window));
    }
    return found.empty() ? 1 : 0;
}

int rect(const wchar_t* class_name) {
    const auto found = windows_of_class(class_name, true);
    for (const Found& f : found) {
        RECT r{};
        if (GetWindowRect(f.window, &r)) {
            std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
    }
    return found.empty() ? 1 : 0;
}

int post(const wchar_t* class_name, const wchar_t* message, const wchar_t* wparam, const wchar_t* lparam) {
    HWND window = FindWindowW(class_name, nullptr);
    if (window == nullptr) {
        return 1;
    }
    return PostMessageW(window, static_cast<UINT>(number(message)), static_cast<WPARAM>(number(wparam)),
                        static_cast<LPARAM>(number(lparam)))
               ? 0
               : 1;
}

// The system's process list: Wine fills the handle count and the memory counters of another process
// here even where the per-process queries return zeros.
struct ListedFigures {
    bool found = false;
    unsigned long long private_bytes = 0;
    unsigned long long working_set = 0;
    unsigned long handles = 0;
};

ListedFigures listed_figures(DWORD pid) {
    using QueryFn = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    ListedFigures figures;
    if (query == nullptr) {
        return figures;
    }
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    constexpr int k_process_information = 5;
    constexpr LONG k_length_mismatch = static_cast<LONG>(0xC0000004);
    LONG status = 0;
    while ((status = query(k_process_information, buffer.data(), static_cast<ULONG>(buffer.size()),
                           &needed)) == k_length_mismatch) {
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    }
    if (status < 0) {
        return figures;
    }
    size_t offset = 0;
    for (;;) {
        SYSTEM_PROCESS_INFORMATION entry{};
        std::memcpy(&entry, buffer.data() + offset, sizeof entry);
        if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry.UniqueProcessId)) == pid) {
            figures.found = true;
            figures.private_bytes = entry.PrivatePageCount;
            figures.working_set = entry.VirtualMemoryCounters.WorkingSetSize;
            figures.handles = entry.HandleCount;
            return figures;
        }
        if (entry.NextEntryOffset == 0) {
            return figures;
        }
        offset += entry.NextEntryOffset;
    }
}

int stats(const wchar_t* pid_text) {
    const DWORD pid = static_cast<DWORD>(number(pid_text));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) {
        process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    }
    if (process == nullptr) {
        std::fprintf(stderr, "process %lu not found\n", pid);
        return 1;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    const bool have_memory =
        GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) !=
        0;
    DWORD handles = 0;
    const bool have_handles = GetProcessHandleCount(process, &handles) != 0;
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    CloseHandle(process);
    const ListedFigures listed = listed_figures(pid);
    long long private_bytes = have_memory ? static_cast<long long>(memory.PrivateUsage) : -1;
    long long working_set = have_memory ? static_cast<long long>(memory.WorkingSetSize) : -1;
    long long handle_count = have_handles ? static_cast<long long>(handles) : -1;
    if (listed.found) {
        private_bytes = std::max(private_bytes, static_cast<long long>(listed.private_bytes));
        working_set = std::max(working_set, static_cast<long long>(listed.working_set));
        handle_count = std::max(handle_count, static_cast<long long>(listed.handles));
    }
    // 0 or -1: the system did not give the figure.
    std::printf("private=%lld working_set=%lld handles=%lld gdi=%lu user=%lu\n", private_bytes, working_set,
                handle_count, gdi, user);
    return 0;
}

// Wine's server closes a desktop a second after the last program on it ended. A test program that
// starts in that second joins a desktop that is going away, and its first window can fail to be
// created. A hidden window makes this process one of the desktop's users for as long as it runs.
int hold() {
    const HWND window = CreateWindowExW(0, L"Static", L"tide_probe hold", WS_POPUP, 0, 0, 1, 1, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        return 1;
    }
    std::puts("ready"); // the desktop exists: what starts now joins it, and never owns it
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

// Stand-ins for the shell's taskbars where Wine shows none (outside its virtual desktop): a main one
// with a task band and a notification area, a secondary one with a task band and a clock, laid out as
// Windows 10 lays them out.
HWND make_window(const wchar_t* class_name, HWND parent, RECT r, COLORREF color) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name;
    wc.hbrBackground = CreateSolidBrush(color);
    RegisterClassExW(&wc); // a second registration of the class fails harmlessly
    const DWORD style = parent != nullptr ? WS_CHILD | WS_VISIBLE : WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
    const DWORD ex_style = parent != nullptr ? 0 : WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    return CreateWindowExW(ex_style, class_name, L"", style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, nullptr, wc.hInstance, nullptr);
}

BOOL CALLBACK add_taskbar(HMONITOR monitor, HDC, LPRECT, LPARAM) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) {
        return TRUE;
    }
    const RECT m = info.rcMonitor;
    const bool primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    const int w = m.right - m.left;
    const HWND bar = make_window(primary ? L"Shell_TrayWnd" : L"Shell_SecondaryTrayWnd", nullptr,
                                 {m.left, m.bottom - 40, m.right, m.bottom}, RGB(32, 32, 32));
    make_window(L"Start", bar, {0, 0, 48, 40}, RGB(0, 90, 158));
    make_window(L"ReBarWindow32", bar, {52, 0, w - 244, 40}, RGB(44, 44, 44));
    make_window(primary ? L"TrayNotifyWnd" : L"ClockButton", bar, {w - (primary ? 240 : 88), 0, w, 40},
                RGB(56, 56, 56));
    return TRUE;
}

int taskbars() {
    EnumDisplayMonitors(nullptr, nullptr, add_taskbar, 0);
    std::puts("ready");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"find" && argc == 3) {
        return find(argv[2]);
    }
    if (command == L"rect" && argc == 3) {
        return rect(argv[2]);
    }
    if (command == L"post" && argc == 6) {
        return post(argv[2], argv[3], argv[4], argv[5]);
    }
    if (command == L"stats" && argc == 3) {
        return stats(argv[2]);
    }
    if (command == L"hold" && argc == 2) {
        return hold();
    }
    if (command == L"taskbars" && argc == 2) {
        return taskbars();
    }
    std::fprintf(
        stderr,
        "usage: tide_probe find|rect CLASS, post CLASS MSG WPARAM LPARAM, stats PID, hold, taskbars\n");
    return 2;
}
