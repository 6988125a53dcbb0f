// Process entry point of Tidemeter.exe: the one-instance rule, then the application object.
#include <windows.h>

#include <objbase.h>

#include <memory>
#include <string_view>
#include <utility>

#include "app/app_win.h"
#include "base/handles_win.h"
#include "base/messages_win.h"
#include "persistence/settings_store_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
    const tide::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\Tidemeter.SingleInstance"));
    // A failed creation counts as another instance running.
    const bool first_instance = mutex && GetLastError() != ERROR_ALREADY_EXISTS;
    if (!first_instance) {
        if (const HWND first = FindWindowW(tide::k_controller_class, nullptr); first != nullptr) {
            // This process was just started by the user and may give the foreground away; without
            // that, Windows refuses the running instance's SetForegroundWindow and the dashboard only
            // flashes on the taskbar behind the window the user is in.
            DWORD first_process = 0;
            if (GetWindowThreadProcessId(first, &first_process) != 0 && first_process != 0) {
                AllowSetForegroundWindow(first_process);
            }
            PostMessageW(first, tide::k_msg_activate, 0, 0);
        }
        return 0;
    }
    // A plain, case-sensitive substring test: the Run key passes the word on its own, but it counts
    // anywhere on the command line.
    const bool start_minimized =
        command_line != nullptr &&
        std::wstring_view(command_line).find(L"--minimized") != std::wstring_view::npos;
    // The shell calls (opening a web page or the report) and the save dialog may load shell
    // extensions, which expect the thread to be in a single-threaded COM apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exit_code = 1;
    try {
        const tide::DataLocation location = tide::data_location_of_run();
        tide::app::AppOptions options{location.folder, {}};
        options.data_mode = location.mode;
        options.installed_folder = location.installed_folder;
        const auto app = std::make_unique<tide::app::App>(std::move(options));
        exit_code = app->run(instance, start_minimized);
    } catch (...) {
        exit_code = 1;
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return exit_code;
}
