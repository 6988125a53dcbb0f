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

// Every program a test starts goes into this job, whose only handle the test process holds and never
// closes: when the test ends in any way (a failed assertion, a crash, killed for taking too long) the
// system closes the handle and ends the programs with it, so a hung one cannot spoil the tests after it.
inline HANDLE programs_job() {
    static const HANDLE job = [] {
        const HANDLE created = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (created != nullptr &&
            !SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
            CloseHandle(created);
            return HANDLE{nullptr};
        }
        return created;
    }();
    return job;
}

// Starts the program built beside the tests; process is empty when it could not be started. A data
// folder handed in (seeded, or kept from an earlier run) is used instead of a fresh one. The program
// joins the job before it runs a single instruction, so nothing it starts escapes it either.
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
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                        nullptr, nullptr, &startup, &info);
    SetEnvironmentVariableW(k_data_folder_variable, nullptr);
    if (started) {
        // Without the job the program still runs; only the clean-up after a killed test is lost.
        if (const HANDLE job = programs_job(); job != nullptr) {
            AssignProcessToJobObject(job, info.hProcess);
        }
        ResumeThread(info.hThread);
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
