// A writer process saving settings.json and usage.json as fast as it can is killed at random moments;
// every time, both files must still parse and hold exactly one of the versions that were written.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "persistence/atomic_file_win.h"
#include "persistence/settings_store.h"
#include "persistence/settings_store_win.h"
#include "persistence/usage_win.h"
#include "tests/win/crash_writer_win.h"
#include "tests/win/temp_folder_win.h"

namespace tide {
namespace {

using test::TempFolder;

// Version n of each file differs from its neighbours in content and in length.
Settings settings_version(int64_t n) {
    Settings settings = default_settings();
    settings.general.last_update_check = n;
    settings.font_family = "Font " + std::string(static_cast<size_t>(n % 50), 'x');
    settings.monitoring.interval_ms = n % 2 ? 500 : 2000;
    settings.history_mode = 1;
    return settings;
}

UsageStore usage_version(int64_t n, int64_t today) {
    UsageStore store;
    for (int64_t k = 0; k <= n % 20; ++k) {
        store.add(today - k, static_cast<uint64_t>((n + 1) * 1000 + k), static_cast<uint64_t>(n + 1));
    }
    return store;
}

std::wstring settings_path(const std::wstring& folder) {
    return folder + L"\\settings.json";
}
std::wstring usage_path(const std::wstring& folder) {
    return folder + L"\\usage.json";
}

// The version a settings.json holds, or -1 when it is not exactly one of the versions written.
int64_t settings_version_in(const std::optional<std::string>& bytes) {
    if (!bytes) {
        return -1;
    }
    const Settings read = settings_from_file_text(bytes);
    const int64_t n = read.general.last_update_check;
    if (read.load.status != SettingsLoadStatus::loaded || *bytes != settings_file_text(settings_version(n))) {
        return -1;
    }
    return n;
}

int64_t usage_version_in(const std::optional<std::string>& bytes, int64_t today) {
    const std::optional<UsageStore> read = bytes ? usage_from_file_text(*bytes) : std::nullopt;
    if (!read || read->empty()) {
        return -1;
    }
    const auto n = static_cast<int64_t>(read->get(today).upload) - 1;
    return n >= 0 && *bytes == usage_file_text(usage_version(n, today)) ? n : -1;
}

class Process {
public:
    explicit Process(std::wstring command_line) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        started_ = CreateProcessW(module, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info_) != FALSE;
    }
    ~Process() {
        if (started_) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, INFINITE);
            CloseHandle(info_.hThread);
            CloseHandle(info_.hProcess);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return started_; }
    bool running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    void kill() {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, INFINITE);
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

bool wait_for_both_files(const std::wstring& folder, const Process& writer) {
    const ULONGLONG deadline = GetTickCount64() + 60000;
    while (GetTickCount64() < deadline && writer.running()) {
        if (file_exists(settings_path(folder)) && file_exists(usage_path(folder))) {
            return true;
        }
        Sleep(1);
    }
    return false;
}

// 50 kills keep the test well inside its time limit on a busy two-core machine; TIDE_CRASH_KILLS
// asks for more (200 for the full count).
int kill_count() {
    wchar_t text[16] = {};
    const DWORD n = GetEnvironmentVariableW(L"TIDE_CRASH_KILLS", text, 16);
    const int wanted = n > 0 && n < 16 ? _wtoi(text) : 0;
    return wanted > 0 ? wanted : 50;
}

TEST(CrashSafety, FilesSurviveTheWriterBeingKilledAtRandomMoments) {
    const int kills = kill_count();
    TempFolder folder;
    const int64_t today = local_day_number();
    std::mt19937 random(20240101);
    std::uniform_int_distribution<int> delay_ms(0, 40);
    int64_t highest_settings = 0;
    int64_t highest_usage = 0;
    int leftover_temp_files = 0;

    for (int kill = 0; kill < kills; ++kill) {
        DeleteFileW(settings_path(folder.path()).c_str());
        DeleteFileW(usage_path(folder.path()).c_str());
        Process writer(L"tide_win_tests.exe " + std::wstring(test::k_crash_writer_argument) + L" \"" +
                       folder.path() + L"\" " + std::to_wstring(today));
        ASSERT_TRUE(writer.started());
        ASSERT_TRUE(wait_for_both_files(folder.path(), writer)) << "the writer wrote nothing, kill " << kill;
        Sleep(static_cast<DWORD>(delay_ms(random)));
        writer.kill();

        const int64_t settings_n = settings_version_in(read_file_bytes(settings_path(folder.path())));
        const int64_t usage_n = usage_version_in(read_file_bytes(usage_path(folder.path())), today);
        ASSERT_GE(settings_n, 0) << "settings.json is not a version that was written, kill " << kill;
        ASSERT_GE(usage_n, 0) << "usage.json is not a version that was written, kill " << kill;
        highest_settings = std::max(highest_settings, settings_n);
        highest_usage = std::max(highest_usage, usage_n);
        leftover_temp_files += file_exists(settings_path(folder.path()) + L".tmp") ? 1 : 0;
        leftover_temp_files += file_exists(usage_path(folder.path()) + L".tmp") ? 1 : 0;
    }
    std::printf("[ crash    ] %d kills survived; up to version %lld of settings.json and %lld of usage.json "
                "reached; %d temporary files left by a kill\n",
                kills, static_cast<long long>(highest_settings), static_cast<long long>(highest_usage),
                leftover_temp_files);
}

} // namespace

namespace test {

int run_crash_writer(const wchar_t* folder, const wchar_t* today_text) {
    const int64_t today = _wtoi64(today_text);
    UsageHistory history;
    history.path = usage_path(folder);
    history.file_read = true;
    RecentErrors errors;
    for (int64_t n = 0;; ++n) {
        save_settings(settings_version(n), settings_path(folder));
        history.store = usage_version(n, today);
        history.dirty = true;
        save_usage(history, 1, {3650, 1}, errors);
    }
}

} // namespace test
} // namespace tide
