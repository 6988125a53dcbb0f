// The usage window's Apps view in the running program, with the stand-in Windows Runtime class of
// tests/wine (Wine has no Windows.Networking.Connectivity): the apps in order with their figures, what
// the view says without the class and when Windows fails or never answers, and the programs holding
// connections. The program is a process of its own; its lists are read across the process boundary.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "app/app_win.h"
#include "base/messages_win.h"
#include "persistence/atomic_file_win.h"
#include "tests/win/lab_win.h"
#include "tests/win/program_win.h"
#include "tests/win/wait_win.h"
#include "ui/usage/apps_view_win.h"
#include "presentation/theme.h"
#include "ui/usage/usage_window_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;
using test::wait_for;

constexpr wchar_t k_class_key[] = L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\Windows."
                                  L"Networking.Connectivity.NetworkInformation";

// Registers the stand-in class as Windows registers an activatable class: its DLL's path under the
// class's key, which Wine's RoGetActivationFactory reads too. Taken away again at the end.
class StandInClass {
public:
    StandInClass() {
        std::wstring path = L"Z:" + std::wstring(TIDE_TEST_BINARY_DIR) + L"/tide_winrt_standin.dll";
        for (wchar_t& c : path) {
            c = c == L'/' ? L'\\' : c;
        }
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, k_class_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            registered_ =
                RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                               static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    ~StandInClass() { remove(); }
    static void remove() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, k_class_key); }
    bool registered() const { return registered_; }

private:
    bool registered_ = false;
};

// The stand-in's answer: two profiles (the second is not the internet one), four apps, one of them in
// both, one without an id, one with a long name; one more only in the second.
const char k_answer[] = R"({"mode": "MODE", "delay_ms": 300, "internet": 0, "profiles": [
 {"level": 3, "apps": [
  {"id": "\\Device\\HarddiskVolume3\\Program Files\\Mozilla Firefox\\firefox.exe", "name": "", "sent": 52000000, "received": 1480000000},
  {"id": "", "name": "", "sent": 3000000, "received": 210000000},
  {"id": "Microsoft.WindowsStore_8wekyb3d8bbwe", "name": "Microsoft Store", "sent": 1000000, "received": 640000000},
  {"id": "\\Device\\HarddiskVolume3\\Tools\\LONG.exe", "name": "", "sent": 2000, "received": 90000}]},
 {"level": 3, "apps": [
  {"id": "\\Device\\HarddiskVolume3\\Program Files\\Mozilla Firefox\\firefox.exe", "name": "", "sent": 48000000, "received": 0},
  {"id": "\\Device\\HarddiskVolume3\\Tools\\backup.exe", "name": "", "sent": 0, "received": 5000000}]}]})";

std::string answer_text(const std::string& mode) {
    std::string text = k_answer;
    text.replace(text.find("MODE"), 4, mode);
    text.replace(text.find("LONG"), 4, std::string(300, 'n'));
    return text;
}

// Tidemeter.exe in English with its Apps view open; the stand-in's data named by the variable it reads.
class AppsProgram {
public:
    AppsProgram(const std::string& mode, const std::string& settings = R"({"language": "en"})") {
        auto folder = std::make_unique<test::TempFolder>();
        write_file_atomically(folder->path() + L"\\settings.json", settings);
        const std::wstring answer = folder->path() + L"\\answer.json";
        write_file_atomically(answer, answer_text(mode));
        SetEnvironmentVariableW(L"TIDE_STANDIN_USAGE", answer.c_str());
        program_ = test::start_program(L"", std::move(folder));
        SetEnvironmentVariableW(L"TIDE_STANDIN_USAGE", nullptr);
        wait_for(
            [this] { return (controller_ = test::window_of(program_.id, k_controller_class)) != nullptr; },
            30s);
        PostMessageW(controller_, k_msg_dashboard_button, k_button_usage, 0);
        wait_for([this] { return (usage_ = test::window_of(program_.id, ui::k_usage_class)) != nullptr; },
                 30s);
        PostMessageW(usage_, WM_COMMAND, MAKEWPARAM(ui::k_id_usage_apps, BN_CLICKED), 0);
        wait_for(
            [this] {
                return (view_ = FindWindowExW(usage_, nullptr, ui::k_usage_apps_class, nullptr)) != nullptr &&
                       IsWindowVisible(view_);
            },
            30s);
    }
    ~AppsProgram() {
        if (program_.process && !test::has_ended(program_)) {
            TerminateProcess(program_.process.get(), 99);
            WaitForSingleObject(program_.process.get(), 10'000);
        }
    }

    bool ready() const { return view_ != nullptr; }

    // Exit as the user does (the program saves its files), then every file of its data folder as one text.
    std::string exit_and_read_files() {
        PostMessageW(controller_, k_msg_dashboard_button, k_button_exit, 0);
        WaitForSingleObject(program_.process.get(), 30'000);
        std::string all;
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((program_.data->path() + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return all;
        }
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                std::wstring(found.cFileName) != L"answer.json") {
                all += read_file_bytes(program_.data->path() + L"\\" + found.cFileName).value_or("");
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return all;
    }
    bool alive() const { return !test::has_ended(program_); }
    HWND usage() const { return usage_; }
    HWND control(int id) const { return GetDlgItem(view_, id); }
    std::wstring note() const {
        wchar_t text[512] = {};
        GetWindowTextW(control(ui::k_id_apps_note), text, 512);
        return text;
    }
    int rows(int list) const { return static_cast<int>(SendMessageW(control(list), LVM_GETITEMCOUNT, 0, 0)); }

    // A cell of a list in the program's process: the item record and its text buffer live there.
    std::wstring cell(int list, int row, int column) const {
        const HANDLE process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, program_.id);
        if (process == nullptr) {
            return L"<no access>";
        }
        std::wstring text;
        constexpr size_t k_chars = 1024;
        if (auto* remote = static_cast<BYTE*>(VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + k_chars * 2,
                                                             MEM_COMMIT, PAGE_READWRITE))) {
            LVITEMW item{};
            item.iSubItem = column;
            item.cchTextMax = k_chars;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
            DWORD_PTR length = 0;
            std::vector<wchar_t> buffer(k_chars, L'\0');
            if (WriteProcessMemory(process, remote, &item, sizeof(item), nullptr) &&
                SendMessageTimeoutW(control(list), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                    reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &length) &&
                ReadProcessMemory(process, item.pszText, buffer.data(), k_chars * 2, nullptr)) {
                text.assign(buffer.data(), std::min<size_t>(length, k_chars));
            }
            VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        }
        CloseHandle(process);
        return text;
    }

    // Whether the program's window thread answers within a second.
    bool responsive() const {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutW(usage_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
    }

    // The connections list as one line, for a failure's message.
    std::string programs() const {
        std::string line;
        for (int row = 0; row < rows(ui::k_id_apps_connections); ++row) {
            for (int column = 0; column < 3; ++column) {
                const std::wstring text = cell(ui::k_id_apps_connections, row, column);
                line += std::string(text.begin(), text.end()) + (column < 2 ? "/" : "; ");
            }
        }
        return line;
    }

    int tcp_total() const {
        int total = 0;
        for (int row = 0; row < rows(ui::k_id_apps_connections); ++row) {
            total += _wtoi(cell(ui::k_id_apps_connections, row, 1).c_str());
        }
        return total;
    }

private:
    test::Program program_;
    HWND controller_ = nullptr;
    HWND usage_ = nullptr;
    HWND view_ = nullptr;
};

// A TCP connection this test process holds to a listener of its own on the loopback.
class HeldConnection {
public:
    explicit HeldConnection(const std::string& server = {}) {
        WSADATA wsa{};
        WSAStartup(MAKEWORD(2, 2), &wsa);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        if (server.empty()) {
            listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            int size = sizeof(to);
            if (bind(listener_, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0 ||
                listen(listener_, 1) != 0 ||
                getsockname(listener_, reinterpret_cast<sockaddr*>(&to), &size) != 0) {
                return;
            }
        } else {
            const size_t colon = server.find(':');
            to.sin_port = htons(static_cast<u_short>(std::atoi(server.c_str() + colon + 1)));
            inet_pton(AF_INET, server.substr(0, colon).c_str(), &to.sin_addr);
        }
        client_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        connected_ = connect(client_, reinterpret_cast<const sockaddr*>(&to), sizeof(to)) == 0;
    }
    ~HeldConnection() {
        closesocket(client_);
        if (listener_ != INVALID_SOCKET) {
            closesocket(listener_);
        }
        WSACleanup();
    }
    bool connected() const { return connected_; }

private:
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    bool connected_ = false;
};

TEST(AppsView, ListsTheStandInsAppsLargestFirstWithTheirFigures) {
    const StandInClass stand_in;
    ASSERT_TRUE(stand_in.registered());
    AppsProgram program("complete");
    ASSERT_TRUE(program.ready());
    ASSERT_TRUE(wait_for([&] { return program.rows(ui::k_id_apps_list) == 4; }, 60s))
        << program.rows(ui::k_id_apps_list);
    // Only the internet profile counts with the interface source: nothing of the second one shows.
    const std::vector<std::vector<std::wstring>> expected{
        {L"firefox.exe", L"1.5 GB", L"52.0 MB"},
        {L"Microsoft Store", L"640.0 MB", L"1.0 MB"},
        {L"Windows and system services", L"210.0 MB", L"3.0 MB"},
        {std::wstring(160, L'n') + L"\u2026", L"90.0 KB", L"2.0 KB"}};
    for (size_t row = 0; row < expected.size(); ++row) {
        for (size_t column = 0; column < 3; ++column) {
            EXPECT_EQ(program.cell(ui::k_id_apps_list, static_cast<int>(row), static_cast<int>(column)),
                      expected[row][column])
                << row << " " << column;
        }
    }
    EXPECT_EQ(program.note(), L"as Windows counted it, up to an hour ago");
    // No app figure reaches the program's files: only the user's export writes them.
    const std::string files = program.exit_and_read_files();
    EXPECT_NE(files.find("schema_version"), std::string::npos) << "the settings were saved";
    EXPECT_EQ(files.find("firefox"), std::string::npos);
    EXPECT_EQ(files.find("Microsoft Store"), std::string::npos);
}

TEST(AppsView, EveryAdapterSumsEveryConnectedProfile) {
    const StandInClass stand_in;
    const AppsProgram program("complete", R"({"language": "en", "monitoring": {"source": 1}})");
    ASSERT_TRUE(program.ready());
    ASSERT_TRUE(wait_for([&] { return program.rows(ui::k_id_apps_list) == 5; }, 60s));
    EXPECT_EQ(program.cell(ui::k_id_apps_list, 0, 0), L"firefox.exe");
    EXPECT_EQ(program.cell(ui::k_id_apps_list, 0, 2), L"100.0 MB") << "sent in both profiles";
    EXPECT_EQ(program.cell(ui::k_id_apps_list, 3, 0), L"backup.exe");
}

TEST(AppsView, WithoutTheClassSaysWindowsKeepsNoFiguresAndTheConnectionsStillShow) {
    StandInClass::remove();
    const HeldConnection held;
    ASSERT_TRUE(held.connected());
    const AppsProgram program("complete");
    ASSERT_TRUE(program.ready());
    EXPECT_TRUE(wait_for([&] { return program.note() == L"Windows keeps no per-app figures here."; }, 60s))
        << std::string(program.note().begin(), program.note().end());
    EXPECT_EQ(program.rows(ui::k_id_apps_list), 0);
    // Wine gives a connection on the loopback no owner (process 0): the held one shows, under the system.
    // The lab's test below names its owner.
    EXPECT_TRUE(wait_for([&] { return program.rows(ui::k_id_apps_connections) > 0; }, 30s));
    EXPECT_TRUE(program.alive());
}

struct TroubleCase {
    const char* mode;
    const wchar_t* note;
    std::chrono::seconds within;
};

class AppsViewTrouble : public testing::TestWithParam<TroubleCase> {};

TEST_P(AppsViewTrouble, LeavesTheWindowResponsiveAndSaysSo) {
    const StandInClass stand_in;
    const AppsProgram program(GetParam().mode);
    ASSERT_TRUE(program.ready());
    // While Windows is asked, the window goes on answering.
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(program.responsive()) << i;
    }
    EXPECT_TRUE(wait_for([&] { return program.note() == GetParam().note; }, GetParam().within))
        << std::string(program.note().begin(), program.note().end());
    EXPECT_TRUE(program.responsive());
    EXPECT_EQ(program.rows(ui::k_id_apps_list), 0);
    EXPECT_TRUE(program.alive());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AppsViewTrouble,
    testing::Values(TroubleCase{"never",
                                L"Windows did not answer in time. It will be asked again in a few minutes.",
                                60s},
                    TroubleCase{"fail", L"Windows could not give the per-app figures.", 60s},
                    TroubleCase{"old", L"Windows keeps no per-app figures here.", 60s}),
    [](const testing::TestParamInfo<TroubleCase>& info) { return std::string(info.param.mode); });

// In the network lab: a TCP connection this test process opens to the lab's server while the view is shown
// joins the list within its refreshes. Wine 8 gives such a connection no owner (process 0, measured here in
// the lab and on the loopback), so it is counted under the system; on Windows it is the test program's row.
// Naming by process is checked below with this process's own id.
TEST(LabAppsView, CountsAConnectionOpenedWhileShown) {
    const std::string server = test::lab_variable("TIDE_LAB_SERVER");
    ASSERT_FALSE(server.empty()) << "runs in scripts/netlab.sh";
    StandInClass::remove();
    const AppsProgram program("complete");
    ASSERT_TRUE(program.ready());
    const int before = program.tcp_total();
    const HeldConnection held(server);
    ASSERT_TRUE(held.connected());
    EXPECT_TRUE(wait_for([&] { return program.tcp_total() == before + 1; }, 30s))
        << before << " " << program.programs();
}

// A process's sockets are named by its image: this test program's own.
TEST(AppsConnections, NamesAProcessByItsImage) {
    const std::vector<ProgramConnections> rows =
        name_connections({{GetCurrentProcessId(), true}, {GetCurrentProcessId(), false}, {0, true}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (ProgramConnections{"tide_win_tests.exe", false, 1, 1}));
    EXPECT_EQ(rows[1], (ProgramConnections{"", true, 1, 0}));
}

// The view in this process: Tab reaches the list, the arrows walk it, the lists carry their names for a
// screen reader, and right to left mirrors the view and puts the switch's Apps half at the far (left) end.
TEST(AppsViewWindow, TabReachesTheListArrowsWalkItAndRightToLeftMirrors) {
    const StandInClass stand_in;
    test::TempFolder folder;
    const std::wstring answer = folder / L"answer.json";
    ASSERT_TRUE(write_file_atomically(answer, answer_text("complete")));
    SetEnvironmentVariableW(L"TIDE_STANDIN_USAGE", answer.c_str());
    ui::UsageWindow window;
    UsageWindowSettings place;
    place.x = 40;
    place.y = 30;
    for (const bool rtl : {false, true}) {
        ASSERT_TRUE(window.open(GetModuleHandleW(nullptr), nullptr, place, *find_palette("Midnight"), rtl,
                                L"en", nullptr));
        ui::UsageView view;
        view.format_bytes = [](uint64_t v) { return std::to_wstring(v); };
        window.update(std::move(view));
        SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(ui::k_id_usage_apps, BN_CLICKED), 0);
        ASSERT_TRUE(window.showing_apps());
        EXPECT_TRUE(window.automation_host().published().elements.empty()) << "no chart behind the view";
        const HWND apps_view = FindWindowExW(window.hwnd(), nullptr, ui::k_usage_apps_class, nullptr);
        ASSERT_NE(apps_view, nullptr);
        const HWND list = GetDlgItem(apps_view, ui::k_id_apps_list);
        ASSERT_TRUE(test::pump_until([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 4; }, 60s));

        // Names: the caption before each list, and the list's own text; each row by its app.
        wchar_t text[128] = {};
        GetWindowTextW(GetWindow(list, GW_HWNDPREV), text, 128);
        EXPECT_STREQ(text, L"apps.list");
        GetWindowTextW(list, text, 128);
        EXPECT_STREQ(text, L"apps.list");
        const HWND connections = GetDlgItem(apps_view, ui::k_id_apps_connections);
        GetWindowTextW(GetWindow(connections, GW_HWNDPREV), text, 128);
        EXPECT_STREQ(text, L"apps.connected_now");
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = 128;
        SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, L"Microsoft Store");

        // Tab from the span switch lands on the list; Home and Down walk its rows.
        SetForegroundWindow(window.hwnd());
        SetFocus(GetDlgItem(apps_view, ui::k_id_apps_today));
        MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
        EXPECT_TRUE(IsDialogMessageW(window.hwnd(), &tab));
        EXPECT_EQ(GetFocus(), list);
        SendMessageW(list, WM_KEYDOWN, VK_HOME, 0);
        EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
        SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 1);

        EXPECT_EQ((GetWindowLongW(apps_view, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, rtl);
        // Another theme colours the lists at once.
        const Theme& light = *find_palette("Minimal White");
        window.apply(light, rtl, L"en");
        EXPECT_EQ(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)),
                  RGB(light.surface.r, light.surface.g, light.surface.b));
        RECT days{};
        RECT apps{};
        GetWindowRect(GetDlgItem(window.hwnd(), k_id_usage_days), &days);
        GetWindowRect(GetDlgItem(window.hwnd(), ui::k_id_usage_apps), &apps);
        EXPECT_EQ(apps.left < days.left, rtl) << "Apps at the far end of the switch";
        window.close();
    }
    SetEnvironmentVariableW(L"TIDE_STANDIN_USAGE", nullptr);
}

// The controller writes what the Apps view's export hands it (the only way an app figure reaches a file),
// through its writer, and frees it.
TEST(AppsExport, TheControllerWritesTheViewsCsv) {
    test::TempFolder folder;
    ASSERT_TRUE(write_file_atomically(
        folder / L"settings.json",
        R"({"language": "en", "compact": {"enabled": false}, "desktop": {"enabled": false}})"));
    app::App app(
        app::AppOptions{folder.path(), RunValue{HKEY_CURRENT_USER, L"Software\\Tidemeter.Tests\\Run"}});
    std::atomic<DWORD> thread_id{0};
    std::atomic<bool> done{false};
    std::thread thread([&] {
        thread_id = GetCurrentThreadId();
        app.run(GetModuleHandleW(nullptr), true);
        done = true;
    });
    HWND controller = nullptr;
    wait_for(
        [&] {
            HWND window = nullptr;
            while ((window = FindWindowExW(nullptr, window, k_controller_class, nullptr)) != nullptr) {
                if (thread_id != 0 && GetWindowThreadProcessId(window, nullptr) == thread_id) {
                    controller = window;
                    return true;
                }
            }
            return done.load();
        },
        30s);
    ASSERT_NE(controller, nullptr);
    const std::wstring path = folder / L"apps.csv";
    const std::string text = "app,id,download_bytes,upload_bytes\nfirefox.exe,,1536,512\n";
    auto job = std::make_unique<ui::AppsExport>(ui::AppsExport{path, text});
    ASSERT_TRUE(PostMessageW(controller, k_msg_usage_window, ui::k_usage_export_apps,
                             reinterpret_cast<LPARAM>(job.get())));
    job.release(); // the controller's now
    EXPECT_TRUE(wait_for([&] { return read_file_bytes(path) == text; }, 30s));
    while (!done) {
        PostMessageW(controller, k_msg_dashboard_button, k_button_exit, 0);
        wait_for([&] { return done.load(); }, 2s);
    }
    thread.join();
}

} // namespace
} // namespace tide
