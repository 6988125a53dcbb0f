// Tidemeter.exe started by a test, with its files in a temporary folder of the test's own, so that
// the program never reads or writes the settings and history of the user who runs the tests.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/handles_win.h"
#include "persistence/settings_store_win.h"
#include "tests/win/temp_folder_win.h"

namespace tide::test {

struct Program {
    std::unique_ptr<TempFolder> data = std::make_unique<TempFolder>(); // outlives the process
    UniqueHandle process;
    DWORD id = 0;
};

// Starts the program built beside the tests; process is empty when it could not be started. A data
// folder handed in (seeded, or kept from an earlier run) is used instead of a fresh one.
inline Program start_program(const std::wstring& arguments, std::unique_ptr<TempFolder> data = nullptr) {
    Program program;
    if (data) {
        program.data = std::move(data);
    }
    std::wstring command = L"\"" + std::wstring(TIDE_TEST_BINARY_DIR) + L"/Tidemeter.exe\"";
    if (!arguments.empty()) {
        command += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // The child inherits this process's environment; the variable is taken away again right after.
    SetEnvironmentVariableW(k_data_folder_variable, program.data->path().c_str());
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &info);
    SetEnvironmentVariableW(k_data_folder_variable, nullptr);
    if (started) {
        CloseHandle(info.hThread);
        program.process.reset(info.hProcess);
        program.id = info.dwProcessId;
    }
    return program;
}

inline bool has_ended(const Program& program) {
    return WaitForSingleObject(program.process.get(), 0) == WAIT_OBJECT_0;
}

// The process's first top-level window of the class; null when it has none.
inline HWND window_of(DWORD process, const wchar_t* window_class) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, window_class, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process) {
            return window;
        }
    }
    return nullptr;
}

// Ends the program if a test left it running.
struct ProgramGuard {
    Program& program;
    ~ProgramGuard() {
        if (program.process && !has_ended(program)) {
            TerminateProcess(program.process.get(), 99);
            WaitForSingleObject(program.process.get(), 10'000);
        }
    }
};

} // namespace tide::test
