// Windows' per-app figures through the Windows Runtime, loaded at run time, and the socket tables with
// their owners. Nothing here touches a window except to post an answer.
#include "net/app_usage_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <roapi.h>
#include <winver.h>
#include <wrl/client.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "base/wide_text_win.h"
#include "net/winrt_connectivity_win.h"

using Microsoft::WRL::ComPtr;

namespace tide {
namespace {

// combase's functions: absent before Windows 8 and in trimmed systems, so never imported directly, or
// the program would not start there.
struct Runtime {
    HRESULT(WINAPI* initialize)(RO_INIT_TYPE) = nullptr;
    void(WINAPI* uninitialize)() = nullptr;
    HRESULT(WINAPI* get_factory)(HSTRING, REFIID, void**) = nullptr;
    HRESULT(WINAPI* create_string)(LPCWSTR, UINT32, HSTRING*) = nullptr;
    HRESULT(WINAPI* delete_string)(HSTRING) = nullptr;
    PCWSTR(WINAPI* raw_buffer)(HSTRING, UINT32*) = nullptr;

    bool ready() const {
        return initialize && uninitialize && get_factory && create_string && delete_string && raw_buffer;
    }
};

template <typename F> void load(HMODULE module, F& function, const char* name) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const Runtime& runtime() {
    static Runtime functions;
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (module == nullptr) {
            return;
        }
        load(module, functions.initialize, "RoInitialize");
        load(module, functions.uninitialize, "RoUninitialize");
        load(module, functions.get_factory, "RoGetActivationFactory");
        load(module, functions.create_string, "WindowsCreateString");
        load(module, functions.delete_string, "WindowsDeleteString");
        load(module, functions.raw_buffer, "WindowsGetStringRawBuffer");
    });
    return functions;
}

// An HSTRING that the callee handed over.
class OwnedString {
public:
    explicit OwnedString(const Runtime& rt) : rt_(rt) {}
    OwnedString(const OwnedString&) = delete;
    OwnedString& operator=(const OwnedString&) = delete;
    ~OwnedString() {
        if (value_ != nullptr) {
            rt_.delete_string(value_);
        }
    }
    HSTRING* put() { return &value_; }
    HSTRING get() const { return value_; }

    // UTF-8, at most `max_units` UTF-16 units read; a lone surrogate becomes U+FFFD rather than losing all.
    std::string text(size_t max_units) const {
        UINT32 length = 0;
        const PCWSTR buffer = value_ != nullptr ? rt_.raw_buffer(value_, &length) : nullptr;
        if (buffer == nullptr) {
            return {};
        }
        std::wstring wide(buffer, std::min<size_t>(length, max_units));
        for (size_t i = 0; i < wide.size(); ++i) {
            const wchar_t c = wide[i];
            const bool high = c >= 0xD800 && c <= 0xDBFF;
            const bool low_next = i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
            if (high && low_next) {
                ++i;
            } else if (high || (c >= 0xDC00 && c <= 0xDFFF)) {
                wide[i] = 0xFFFD;
            }
        }
        return to_utf8(wide);
    }

private:
    const Runtime& rt_;
    HSTRING value_ = nullptr;
};

// Raw units read from an id or a name before cleaning: the cleaned text is shorter still.
constexpr size_t k_max_units_read = 4096;

struct Deadline {
    ULONGLONG end;
    bool passed() const { return GetTickCount64() >= end; }
};

// One profile's answer. The operation is polled: a completion handler would arrive on a thread of the
// runtime's choosing, and polling lets a call that never completes be abandoned at the deadline.
AppUsageStatus ask_profile(const Runtime& rt, winrt::IConnectionProfile* profile,
                           const AppUsageRequest& request, const Deadline& deadline, AppUsageTable& table) {
    ComPtr<winrt::IConnectionProfile3> profile3;
    if (FAILED(profile->QueryInterface(winrt::k_iid_connection_profile3,
                                       reinterpret_cast<void**>(profile3.GetAddressOf())))) {
        return AppUsageStatus::unavailable; // before Windows 10, version 1607
    }
    const auto [start, end] =
        app_period_span(request.period, request.now, request.utc_offset, request.billing_day);
    ComPtr<winrt::IAttributedUsageOperation> operation;
    const winrt::NetworkUsageStates any{winrt::do_not_care, winrt::do_not_care};
    if (FAILED(profile3->GetAttributedNetworkUsageAsync({windows_time(start)}, {windows_time(end)}, any,
                                                        operation.GetAddressOf())) ||
        !operation) {
        return AppUsageStatus::failed;
    }
    ComPtr<IAsyncInfo> info;
    if (FAILED(operation->QueryInterface(winrt::k_iid_async_info,
                                         reinterpret_cast<void**>(info.GetAddressOf())))) {
        return AppUsageStatus::failed;
    }
    AsyncStatus status = Started;
    while (SUCCEEDED(info->get_Status(&status)) && status == Started) {
        if (deadline.passed()) {
            info->Cancel();
            info->Close();
            return AppUsageStatus::timed_out;
        }
        Sleep(25);
    }
    if (status != Completed) {
        info->Close();
        return AppUsageStatus::failed;
    }
    ComPtr<winrt::IAttributedUsageVector> results;
    const HRESULT got = operation->GetResults(results.GetAddressOf());
    info->Close();
    if (FAILED(got)) {
        return AppUsageStatus::failed;
    }
    UINT32 size = 0;
    if (!results || FAILED(results->get_Size(&size))) {
        return results ? AppUsageStatus::failed : AppUsageStatus::ok;
    }
    std::vector<AppUsageRecord> records;
    const UINT32 n = std::min<UINT32>(size, static_cast<UINT32>(k_max_apps));
    records.reserve(n);
    for (UINT32 i = 0; i < n && !deadline.passed(); ++i) {
        ComPtr<winrt::IAttributedNetworkUsage> usage;
        if (FAILED(results->GetAt(i, usage.GetAddressOf())) || !usage) {
            continue;
        }
        AppUsageRecord record;
        OwnedString id(rt);
        OwnedString name(rt);
        if (FAILED(usage->get_BytesReceived(&record.received))) {
            record.received = 0;
        }
        if (FAILED(usage->get_BytesSent(&record.sent))) {
            record.sent = 0;
        }
        if (SUCCEEDED(usage->get_AttributionId(id.put()))) {
            record.id = id.text(k_max_units_read);
        }
        if (SUCCEEDED(usage->get_AttributionName(name.put()))) {
            record.name = name.text(k_max_units_read);
        }
        records.push_back(std::move(record));
    }
    table.add_profile(records);
    return deadline.passed() ? AppUsageStatus::timed_out : AppUsageStatus::ok;
}

std::vector<ComPtr<winrt::IConnectionProfile>> profiles_to_ask(winrt::INetworkInformationStatics* statics,
                                                               bool every_profile) {
    std::vector<ComPtr<winrt::IConnectionProfile>> profiles;
    if (!every_profile) {
        ComPtr<winrt::IConnectionProfile> internet;
        if (SUCCEEDED(statics->GetInternetConnectionProfile(internet.GetAddressOf())) && internet) {
            profiles.push_back(internet);
        }
        return profiles;
    }
    ComPtr<winrt::IConnectionProfileVector> all;
    UINT32 size = 0;
    if (FAILED(statics->GetConnectionProfiles(all.GetAddressOf())) || !all || FAILED(all->get_Size(&size))) {
        return profiles;
    }
    for (UINT32 i = 0; i < std::min<UINT32>(size, 64); ++i) {
        ComPtr<winrt::IConnectionProfile> profile;
        winrt::NetworkConnectivityLevel level = winrt::level_none;
        if (SUCCEEDED(all->GetAt(i, profile.GetAddressOf())) && profile &&
            SUCCEEDED(profile->GetNetworkConnectivityLevel(&level)) && level != winrt::level_none) {
            profiles.push_back(profile);
        }
    }
    return profiles;
}

std::vector<DriveDevice> drive_devices() {
    std::vector<DriveDevice> drives;
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((mask & (1u << i)) == 0) {
            continue;
        }
        const wchar_t drive[3] = {static_cast<wchar_t>(L'A' + i), L':', 0};
        wchar_t device[MAX_PATH] = {};
        if (QueryDosDeviceW(drive, device, MAX_PATH) != 0) {
            drives.push_back({to_utf8(drive), to_utf8(device)}); // the first of the device's names
        }
    }
    return drives;
}

// The program's own description from its version resource, in the first language it lists.
std::string file_description(const std::string& path) {
    const std::wstring wide = to_wide(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0 || size > 4 * 1024 * 1024) {
        return {};
    }
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, block.data())) {
        return {};
    }
    struct Translation {
        WORD language;
        WORD code_page;
    };
    Translation* translations = nullptr;
    UINT translations_size = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &translations_size) ||
        translations_size < sizeof(Translation)) {
        return {};
    }
    wchar_t query[64] = {};
    wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\FileDescription", translations[0].language,
              translations[0].code_page);
    wchar_t* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&text), &length) || text == nullptr) {
        return {};
    }
    return to_utf8(std::wstring_view(text, std::min<size_t>(wcsnlen(text, length), k_max_units_read)));
}

// A program named after its file gets its description, when the path is on a drive; as many as the
// deadline leaves time for (each is a file read).
void describe_programs(std::vector<AppUsage>& apps, const Deadline& deadline) {
    const std::vector<DriveDevice> drives = drive_devices();
    for (AppUsage& app : apps) {
        if (deadline.passed()) {
            return;
        }
        if (app.system || app.name != clean_app_text(file_name_of(app.id), k_max_app_name_bytes)) {
            continue;
        }
        const std::string path = drive_path(app.id, drives);
        if (!path.empty()) {
            app.name = app_with_description(app.name, file_description(path));
        }
    }
}

AppUsageStatus worse(AppUsageStatus a, AppUsageStatus b) {
    return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

template <typename Table> bool read_table(std::vector<BYTE>& buffer, Table get) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD result = get(buffer.empty() ? nullptr : buffer.data(), &size);
        if (result == NO_ERROR) {
            return true;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER || size > 64 * 1024 * 1024) {
            return false;
        }
        buffer.resize(size + 4096); // the table may grow between the calls
    }
    return false;
}

// A connection, not a listener nor one already closed and lingering (TIME_WAIT has no owner anyway).
bool open_connection(DWORD state) {
    return state != MIB_TCP_STATE_LISTEN && state != MIB_TCP_STATE_CLOSED &&
           state != MIB_TCP_STATE_TIME_WAIT && state != MIB_TCP_STATE_DELETE_TCB;
}

std::string image_of(DWORD pid) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) {
        return {};
    }
    wchar_t path[MAX_PATH * 2] = {};
    DWORD length = static_cast<DWORD>(std::size(path));
    const bool got = QueryFullProcessImageNameW(process, 0, path, &length) != FALSE;
    CloseHandle(process);
    return got ? to_utf8(std::wstring_view(path, length)) : std::string();
}

} // namespace

AppUsageAnswer ask_app_usage(const AppUsageRequest& request) {
    AppUsageAnswer answer;
    const Runtime& rt = runtime();
    if (!rt.ready()) {
        return answer;
    }
    const Deadline deadline{GetTickCount64() + static_cast<ULONGLONG>(request.deadline.count())};
    // This thread's own apartment: the answer never depends on a window's message loop.
    const HRESULT initialized = rt.initialize(RO_INIT_MULTITHREADED);
    {
        HSTRING name = nullptr;
        ComPtr<winrt::INetworkInformationStatics> statics;
        if (SUCCEEDED(rt.create_string(winrt::k_network_information_class,
                                       static_cast<UINT32>(wcslen(winrt::k_network_information_class)),
                                       &name))) {
            if (FAILED(rt.get_factory(name, winrt::k_iid_network_information_statics,
                                      reinterpret_cast<void**>(statics.GetAddressOf())))) {
                statics.Reset();
            }
            rt.delete_string(name);
        }
        if (statics) {
            AppUsageTable table;
            answer.status = AppUsageStatus::ok;
            for (const auto& profile : profiles_to_ask(statics.Get(), request.every_profile)) {
                answer.status =
                    worse(answer.status, ask_profile(rt, profile.Get(), request, deadline, table));
                if (answer.status != AppUsageStatus::ok) {
                    break;
                }
            }
            if (answer.status == AppUsageStatus::ok) {
                answer.apps = table.sorted();
                describe_programs(answer.apps, deadline);
            }
        }
    }
    if (SUCCEEDED(initialized)) {
        rt.uninitialize();
    }
    return answer;
}

std::vector<ProgramConnections> read_connections() {
    std::vector<SocketOwner> sockets;
    std::vector<BYTE> buffer;
    for (const ULONG family : {AF_INET, AF_INET6}) {
        if (read_table(buffer, [family](void* table, DWORD* size) {
                return GetExtendedTcpTable(table, size, FALSE, family, TCP_TABLE_OWNER_PID_ALL, 0);
            })) {
            // Both row layouts end in the state and the owner at the same places of their own rows.
            if (family == AF_INET) {
                const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
                for (DWORD i = 0; i < table->dwNumEntries; ++i) {
                    if (open_connection(table->table[i].dwState)) {
                        sockets.push_back({table->table[i].dwOwningPid, true});
                    }
                }
            } else {
                const auto* table = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(buffer.data());
                for (DWORD i = 0; i < table->dwNumEntries; ++i) {
                    if (open_connection(table->table[i].dwState)) {
                        sockets.push_back({table->table[i].dwOwningPid, true});
                    }
                }
            }
        }
        if (read_table(buffer, [family](void* table, DWORD* size) {
                return GetExtendedUdpTable(table, size, FALSE, family, UDP_TABLE_OWNER_PID, 0);
            })) {
            if (family == AF_INET) {
                const auto* table = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(buffer.data());
                for (DWORD i = 0; i < table->dwNumEntries; ++i) {
                    sockets.push_back({table->table[i].dwOwningPid, false});
                }
            } else {
                const auto* table = reinterpret_cast<const MIB_UDP6TABLE_OWNER_PID*>(buffer.data());
                for (DWORD i = 0; i < table->dwNumEntries; ++i) {
                    sockets.push_back({table->table[i].dwOwningPid, false});
                }
            }
        }
    }
    return name_connections(sockets);
}

std::vector<ProgramConnections> name_connections(const std::vector<SocketOwner>& sockets) {
    std::set<uint32_t> pids;
    for (const SocketOwner& s : sockets) {
        if (s.pid != 0 && s.pid != 4) {
            pids.insert(s.pid);
        }
    }
    std::vector<std::pair<uint32_t, std::string>> images;
    for (const uint32_t pid : pids) {
        images.emplace_back(pid, image_of(pid));
    }
    return group_connections(sockets, images);
}

template <typename T> void ask_in_background(HWND window, UINT message, WPARAM tag, std::function<T()> work) {
    try {
        std::thread([window, message, tag, work = std::move(work)] {
            try {
                auto result = std::make_unique<T>(work());
                if (PostMessageW(window, message, tag, reinterpret_cast<LPARAM>(result.get()))) {
                    result.release(); // the window owns it now
                }
            } catch (...) {
                // Out of memory: no answer; the window's own deadline says so.
            }
        }).detach();
    } catch (...) {
        // No thread: the same.
    }
}

template void ask_in_background<AppUsageAnswer>(HWND, UINT, WPARAM, std::function<AppUsageAnswer()>);
template void
    ask_in_background<std::vector<ProgramConnections>>(HWND, UINT, WPARAM,
                                                       std::function<std::vector<ProgramConnections>()>);

} // namespace tide
