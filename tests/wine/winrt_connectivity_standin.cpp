// A stand-in Windows.Networking.Connectivity.NetworkInformation for Wine, which has none: a Windows Runtime
// class DLL (DllGetActivationFactory) registered in the test prefix under
// HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId\<class> with its DllPath. It implements the
// interfaces the way Microsoft's documentation describes them, declared here on their own (not taken from
// the program) so that a slot out of order in the program's declarations shows:
//   NetworkInformation statics: GetConnectionProfiles, GetInternetConnectionProfile, ...
//   IConnectionProfile: ProfileName, GetNetworkConnectivityLevel, ...; IConnectionProfile3:
//   GetAttributedNetworkUsageAsync(DateTime, DateTime, NetworkUsageStates, IAsyncOperation**)
//   IAttributedNetworkUsage: BytesSent, BytesReceived, AttributionId, AttributionName, AttributionThumbnail
//   IAsyncOperation<T>: put_Completed (once; at once when already done), get_Completed, GetResults (only
//   when Completed; the error code when Error); IAsyncInfo: Id, Status, ErrorCode, Cancel, Close
//   (E_ILLEGAL_STATE_CHANGE while Started); IVectorView<T>: GetAt (E_BOUNDS past the end), Size, IndexOf,
//   GetMany.
// Its data comes from the JSON file named by TIDE_STANDIN_USAGE:
//   {"mode": "complete" | "never" | "fail" | "old", "delay_ms": 200, "internet": 0,
//    "profiles": [{"level": 3, "apps": [{"id": "...", "name": "...", "sent": 1, "received": 2}]}]}
// "never" leaves the operation started for ever, "fail" ends it in Error (E_FAIL), "old" offers no
// IConnectionProfile3 (Windows before 1607); "internet" is the index of the internet profile, -1 none.
// Bytes may be numbers or decimal strings (for values past 2^53).
#include <windows.h>

#include <hstring.h>
#include <inspectable.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "persistence/json.h"

// A named namespace, not an anonymous one: the compiler may assume that nothing outside this file
// implements an interface of an anonymous namespace, and the client's completion handler does.
namespace tide_standin {

using namespace tide;

constexpr HRESULT k_e_bounds = static_cast<HRESULT>(0x8000000B);
constexpr HRESULT k_e_illegal_method_call = static_cast<HRESULT>(0x8000000E);
constexpr HRESULT k_e_illegal_state_change = static_cast<HRESULT>(0x8000000D);
constexpr HRESULT k_e_illegal_delegate_assignment = static_cast<HRESULT>(0x80000018);

constexpr GUID k_iid_unknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID k_iid_inspectable = {
    0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
constexpr GUID k_iid_activation_factory = {0x00000035, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID k_iid_async_info = {0x00000036, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID k_iid_statics = {0x5074f851, 0x950d, 0x4165, {0x9c, 0x15, 0x36, 0x56, 0x19, 0x48, 0x1e, 0xea}};
constexpr GUID k_iid_profile = {0x71ba143c, 0x598e, 0x49d0, {0x84, 0xeb, 0x8f, 0xeb, 0xae, 0xdc, 0xc1, 0x95}};
constexpr GUID k_iid_profile3 = {
    0x578c2528, 0x4cd9, 0x4161, {0x80, 0x45, 0x20, 0x1c, 0xfd, 0x5b, 0x11, 0x5c}};
constexpr GUID k_iid_usage = {0xf769b039, 0xeca2, 0x45eb, {0xad, 0xe1, 0xb0, 0x36, 0x8b, 0x75, 0x6c, 0x49}};
// IVectorView<AttributedNetworkUsage>, IAsyncOperation<that>, its completed handler, and
// IVectorView<ConnectionProfile>: the documented type-signature hash of each.
constexpr GUID k_iid_usage_vector = {
    0x6e7c44ad, 0x7753, 0x5437, {0x9f, 0x79, 0x97, 0x0d, 0x39, 0x1f, 0xf7, 0xc4}};
constexpr GUID k_iid_operation = {
    0x9d8a4113, 0xe7f3, 0x552d, {0x9a, 0x8c, 0x1c, 0x25, 0xe2, 0x13, 0x72, 0x53}};
constexpr GUID k_iid_profile_vector = {
    0x6db1b492, 0x3852, 0x5df8, {0xa2, 0x9d, 0x69, 0x44, 0x00, 0x2f, 0x58, 0xd4}};

enum class Status : INT32 { started = 0, completed = 1, canceled = 2, error = 3 };

struct DateTime {
    INT64 universal_time;
};
struct UsageStates {
    INT32 roaming;
    INT32 shared;
};

// combase's string functions, looked up as the program does.
struct Strings {
    HRESULT(WINAPI* create)(LPCWSTR, UINT32, HSTRING*) = nullptr;
    PCWSTR(WINAPI* raw)(HSTRING, UINT32*) = nullptr;
};

const Strings& strings() {
    static Strings s = [] {
        Strings found;
        if (const HMODULE combase = LoadLibraryW(L"combase.dll"); combase != nullptr) {
            found.create = reinterpret_cast<decltype(found.create)>(
                reinterpret_cast<void*>(GetProcAddress(combase, "WindowsCreateString")));
            found.raw = reinterpret_cast<decltype(found.raw)>(
                reinterpret_cast<void*>(GetProcAddress(combase, "WindowsGetStringRawBuffer")));
        }
        return found;
    }();
    return s;
}

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

HRESULT make_string(const std::wstring& text, HSTRING* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (text.empty()) {
        return S_OK; // the empty HSTRING is null
    }
    return strings().create ? strings().create(text.c_str(), static_cast<UINT32>(text.size()), out) : E_FAIL;
}

// The base of every object here: reference counting and the IInspectable part.
template <typename Interface> class Object : public Interface {
public:
    virtual ~Object() = default;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        if (count == nullptr || iids == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        *iids = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        return make_string(class_name(), name);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        if (level == nullptr) {
            return E_POINTER;
        }
        *level = BaseTrust;
        return S_OK;
    }

protected:
    virtual std::wstring class_name() const = 0;
    HRESULT answer(REFIID asked, const GUID& own, void** out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(asked, k_iid_unknown) || IsEqualGUID(asked, k_iid_inspectable) ||
            IsEqualGUID(asked, own)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<ULONG> references_{1};
};

// --- IAttributedNetworkUsage: BytesSent comes before BytesReceived.
struct IUsage : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_BytesSent(UINT64* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BytesReceived(UINT64* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AttributionId(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AttributionName(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AttributionThumbnail(IInspectable** value) = 0;
};

struct AppData {
    std::wstring id;
    std::wstring name;
    UINT64 sent = 0;
    UINT64 received = 0;
};

class Usage final : public Object<IUsage> {
public:
    explicit Usage(AppData data) : data_(std::move(data)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return answer(iid, k_iid_usage, out);
    }
    HRESULT STDMETHODCALLTYPE get_BytesSent(UINT64* value) override { return put(value, data_.sent); }
    HRESULT STDMETHODCALLTYPE get_BytesReceived(UINT64* value) override { return put(value, data_.received); }
    HRESULT STDMETHODCALLTYPE get_AttributionId(HSTRING* value) override {
        return make_string(data_.id, value);
    }
    HRESULT STDMETHODCALLTYPE get_AttributionName(HSTRING* value) override {
        return make_string(data_.name, value);
    }
    HRESULT STDMETHODCALLTYPE get_AttributionThumbnail(IInspectable** value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = nullptr; // a desktop program has none
        return S_OK;
    }

private:
    static HRESULT put(UINT64* value, UINT64 v) {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = v;
        return S_OK;
    }
    std::wstring class_name() const override {
        return L"Windows.Networking.Connectivity.AttributedNetworkUsage";
    }
    AppData data_;
};

// --- IVectorView<T> over interface pointers.
template <typename T> struct IView : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE IndexOf(T* item, UINT32* index, boolean* found) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, T** items, UINT32* actual) = 0;
};

template <typename T> class View final : public Object<IView<T>> {
public:
    View(std::vector<T*> items, const GUID& iid, std::wstring name)
        : items_(std::move(items)), iid_(iid), name_(std::move(name)) {}
    ~View() override {
        for (T* item : items_) {
            item->Release();
        }
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return this->answer(iid, iid_, out);
    }
    HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T** item) override {
        if (item == nullptr) {
            return E_POINTER;
        }
        *item = nullptr;
        if (index >= items_.size()) {
            return k_e_bounds;
        }
        *item = items_[index];
        (*item)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
        if (size == nullptr) {
            return E_POINTER;
        }
        *size = static_cast<UINT32>(items_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IndexOf(T* item, UINT32* index, boolean* found) override {
        if (index == nullptr || found == nullptr) {
            return E_POINTER;
        }
        *index = 0;
        *found = FALSE;
        for (UINT32 i = 0; i < items_.size(); ++i) {
            if (items_[i] == item) {
                *index = i;
                *found = TRUE;
                break;
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, T** items, UINT32* actual) override {
        if (actual == nullptr || (items == nullptr && capacity > 0)) {
            return E_POINTER;
        }
        *actual = 0;
        if (start > items_.size()) {
            return k_e_bounds;
        }
        for (UINT32 i = start; i < items_.size() && *actual < capacity; ++i) {
            items[(*actual)++] = items_[i];
            items_[i]->AddRef();
        }
        return S_OK;
    }

private:
    std::wstring class_name() const override { return name_; }
    std::vector<T*> items_;
    GUID iid_;
    std::wstring name_;
};

// --- IAsyncOperation<IVectorView<AttributedNetworkUsage>> with IAsyncInfo.
struct IOperation;
struct IHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IOperation* operation, Status status) = 0;
};
struct IOperation : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IHandler** handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResults(IView<IUsage>** results) = 0;
};
struct IInfo : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(Status* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

class Operation final : public Object<IOperation>, public IInfo {
public:
    explicit Operation(std::vector<AppData> apps) : apps_(std::move(apps)) {}

    ULONG STDMETHODCALLTYPE AddRef() override { return Object<IOperation>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object<IOperation>::Release(); }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        return Object<IOperation>::GetIids(count, iids);
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        return Object<IOperation>::GetRuntimeClassName(name);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        return Object<IOperation>::GetTrustLevel(level);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out != nullptr && IsEqualGUID(iid, k_iid_async_info)) {
            *out = static_cast<IInfo*>(this);
            AddRef();
            return S_OK;
        }
        return answer(iid, k_iid_operation, out);
    }

    // Ends the operation (from its worker thread, or from Cancel) and calls the handler outside the lock.
    void finish(Status status, HRESULT error) {
        IHandler* handler = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (status_ != Status::started) {
                return;
            }
            status_ = status;
            error_ = error;
            handler = handler_;
            if (handler != nullptr) {
                handler->AddRef();
            }
        }
        if (handler != nullptr) {
            handler->Invoke(this, status);
            handler->Release();
        }
    }

    HRESULT STDMETHODCALLTYPE put_Completed(IHandler* handler) override {
        Status now;
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (closed_) {
                return k_e_illegal_method_call;
            }
            if (handler_set_) {
                return k_e_illegal_delegate_assignment; // once only
            }
            handler_set_ = true;
            handler_ = handler;
            if (handler_ != nullptr) {
                handler_->AddRef();
            }
            now = status_;
        }
        if (handler != nullptr && now != Status::started) {
            handler->Invoke(this, now); // already done: at once
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Completed(IHandler** handler) override {
        if (handler == nullptr) {
            return E_POINTER;
        }
        std::lock_guard<std::mutex> hold(lock_);
        *handler = handler_;
        if (handler_ != nullptr) {
            handler_->AddRef();
        }
        return closed_ ? k_e_illegal_method_call : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResults(IView<IUsage>** results) override {
        if (results == nullptr) {
            return E_POINTER;
        }
        *results = nullptr;
        std::lock_guard<std::mutex> hold(lock_);
        if (closed_) {
            return k_e_illegal_method_call;
        }
        if (status_ == Status::error) {
            return error_;
        }
        if (status_ != Status::completed) {
            return k_e_illegal_method_call;
        }
        std::vector<IUsage*> items;
        for (const AppData& app : apps_) {
            items.push_back(new Usage(app));
        }
        *results = new View<IUsage>(std::move(items), k_iid_usage_vector,
                                    L"Windows.Foundation.Collections.IVectorView`1<"
                                    L"Windows.Networking.Connectivity.AttributedNetworkUsage>");
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
        if (id == nullptr) {
            return E_POINTER;
        }
        *id = 1;
        return closed_ ? k_e_illegal_method_call : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Status(Status* status) override {
        if (status == nullptr) {
            return E_POINTER;
        }
        std::lock_guard<std::mutex> hold(lock_);
        *status = status_;
        return closed_ ? k_e_illegal_method_call : S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
        if (code == nullptr) {
            return E_POINTER;
        }
        std::lock_guard<std::mutex> hold(lock_);
        *code = status_ == Status::error ? error_ : S_OK;
        return closed_ ? k_e_illegal_method_call : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Cancel() override {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (closed_) {
                return k_e_illegal_method_call;
            }
        }
        finish(Status::canceled, S_OK);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        std::lock_guard<std::mutex> hold(lock_);
        if (status_ == Status::started) {
            return k_e_illegal_state_change;
        }
        closed_ = true;
        return S_OK;
    }

    ~Operation() override {
        if (handler_ != nullptr) {
            handler_->Release();
        }
    }

private:
    std::wstring class_name() const override {
        return L"Windows.Foundation.IAsyncOperation`1<Windows.Foundation.Collections.IVectorView`1<"
               L"Windows.Networking.Connectivity.AttributedNetworkUsage>>";
    }
    std::mutex lock_;
    Status status_ = Status::started;
    HRESULT error_ = S_OK;
    IHandler* handler_ = nullptr;
    bool handler_set_ = false;
    bool closed_ = false;
    std::vector<AppData> apps_;
};

// --- The test's data.
struct ProfileData {
    INT32 level = 3;
    std::vector<AppData> apps;
};

struct Data {
    std::string mode = "complete";
    int delay_ms = 200;
    int internet = 0;
    std::vector<ProfileData> profiles;
};

UINT64 bytes_of(const JsonValue* value) {
    if (value == nullptr) {
        return 0;
    }
    if (value->is_string()) {
        return std::strtoull(value->as_string().c_str(), nullptr, 10);
    }
    return value->is_number() && value->as_number() >= 0 ? static_cast<UINT64>(value->as_number()) : 0;
}

Data read_data() {
    Data data;
    wchar_t path[1024] = {};
    if (GetEnvironmentVariableW(L"TIDE_STANDIN_USAGE", path, 1024) == 0) {
        return data;
    }
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return data;
    }
    std::string text;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    CloseHandle(file);
    const std::optional<JsonValue> document = parse_json(text);
    if (!document || !document->is_object()) {
        return data;
    }
    read_string_member(&*document, "mode", data.mode);
    read_int_member(&*document, "delay_ms", data.delay_ms);
    read_int_member(&*document, "internet", data.internet);
    if (const JsonValue* profiles = find_member(*document, "profiles"); profiles && profiles->is_array()) {
        for (const JsonValue& p : profiles->elements()) {
            ProfileData profile;
            read_int_member(&p, "level", profile.level);
            if (const JsonValue* apps = find_member(p, "apps"); apps && apps->is_array()) {
                for (const JsonValue& a : apps->elements()) {
                    AppData app;
                    std::string id;
                    std::string name;
                    read_string_member(&a, "id", id);
                    read_string_member(&a, "name", name);
                    app.id = wide(id);
                    app.name = wide(name);
                    app.sent = bytes_of(find_member(a, "sent"));
                    app.received = bytes_of(find_member(a, "received"));
                    profile.apps.push_back(std::move(app));
                }
            }
            data.profiles.push_back(std::move(profile));
        }
    }
    return data;
}

// --- IConnectionProfile and IConnectionProfile3.
struct IProfile : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_ProfileName(HSTRING* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNetworkConnectivityLevel(INT32* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNetworkNames(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectionCost(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataPlanStatus(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NetworkAdapter(IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLocalUsage(DateTime start, DateTime end, IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLocalUsagePerRoamingStates(DateTime start, DateTime end,
                                                                    INT32 states, IInspectable** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NetworkSecuritySettings(IInspectable** value) = 0;
};
struct IProfile3 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAttributedNetworkUsageAsync(DateTime start, DateTime end,
                                                                     UsageStates states,
                                                                     IOperation** operation) = 0;
};

class Profile final : public Object<IProfile>, public IProfile3 {
public:
    Profile(ProfileData data, std::string mode, int delay_ms, int index)
        : data_(std::move(data)), mode_(std::move(mode)), delay_ms_(delay_ms), index_(index) {}

    ULONG STDMETHODCALLTYPE AddRef() override { return Object<IProfile>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object<IProfile>::Release(); }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        return Object<IProfile>::GetIids(count, iids);
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        return Object<IProfile>::GetRuntimeClassName(name);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        return Object<IProfile>::GetTrustLevel(level);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out != nullptr && IsEqualGUID(iid, k_iid_profile3) && mode_ != "old") {
            *out = static_cast<IProfile3*>(this);
            AddRef();
            return S_OK;
        }
        return answer(iid, k_iid_profile, out);
    }

    HRESULT STDMETHODCALLTYPE get_ProfileName(HSTRING* value) override {
        return make_string(L"Stand-in profile " + std::to_wstring(index_), value);
    }
    HRESULT STDMETHODCALLTYPE GetNetworkConnectivityLevel(INT32* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = data_.level;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNetworkNames(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionCost(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDataPlanStatus(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NetworkAdapter(IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLocalUsage(DateTime, DateTime, IInspectable**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLocalUsagePerRoamingStates(DateTime, DateTime, INT32,
                                                            IInspectable**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_NetworkSecuritySettings(IInspectable**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetAttributedNetworkUsageAsync(DateTime start, DateTime end, UsageStates,
                                                             IOperation** operation) override {
        if (operation == nullptr) {
            return E_POINTER;
        }
        *operation = nullptr;
        if (end.universal_time < start.universal_time) {
            return E_INVALIDARG;
        }
        auto* made = new Operation(data_.apps);
        if (mode_ != "never") {
            made->AddRef(); // held by the thread that ends it
            std::thread([made, delay = delay_ms_, fail = mode_ == "fail"] {
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
                made->finish(fail ? Status::error : Status::completed, fail ? E_FAIL : S_OK);
                made->Release();
            }).detach();
        }
        *operation = made;
        return S_OK;
    }

private:
    std::wstring class_name() const override { return L"Windows.Networking.Connectivity.ConnectionProfile"; }
    ProfileData data_;
    std::string mode_;
    int delay_ms_;
    int index_;
};

// --- The class's factory, which is also its statics.
struct IStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetConnectionProfiles(IView<IProfile>** value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInternetConnectionProfile(IProfile** value) = 0;
};
struct IFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) = 0;
};

class Factory final : public Object<IFactory>, public IStatics {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return Object<IFactory>::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Object<IFactory>::Release(); }
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {
        return Object<IFactory>::GetIids(count, iids);
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {
        return Object<IFactory>::GetRuntimeClassName(name);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
        return Object<IFactory>::GetTrustLevel(level);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out != nullptr && IsEqualGUID(iid, k_iid_statics)) {
            *out = static_cast<IStatics*>(this);
            AddRef();
            return S_OK;
        }
        return answer(iid, k_iid_activation_factory, out);
    }
    // A static class cannot be made.
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        if (instance != nullptr) {
            *instance = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionProfiles(IView<IProfile>** value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        const Data data = read_data();
        std::vector<IProfile*> items;
        for (size_t i = 0; i < data.profiles.size(); ++i) {
            items.push_back(new Profile(data.profiles[i], data.mode, data.delay_ms, static_cast<int>(i)));
        }
        *value = new View<IProfile>(std::move(items), k_iid_profile_vector,
                                    L"Windows.Foundation.Collections.IVectorView`1<Windows.Networking."
                                    L"Connectivity.ConnectionProfile>");
        return S_OK;
    }
    // No internet: S_OK with no profile, as documented.
    HRESULT STDMETHODCALLTYPE GetInternetConnectionProfile(IProfile** value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = nullptr;
        const Data data = read_data();
        if (data.internet >= 0 && static_cast<size_t>(data.internet) < data.profiles.size()) {
            *value = new Profile(data.profiles[static_cast<size_t>(data.internet)], data.mode, data.delay_ms,
                                 data.internet);
        }
        return S_OK;
    }

private:
    std::wstring class_name() const override { return L"Windows.Networking.Connectivity.NetworkInformation"; }
};

} // namespace tide_standin

using namespace tide_standin;

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetActivationFactory(HSTRING class_id, IInspectable** factory) {
    if (factory == nullptr) {
        return E_POINTER;
    }
    *factory = nullptr;
    UINT32 length = 0;
    const PCWSTR name = strings().raw ? strings().raw(class_id, &length) : nullptr;
    if (name == nullptr ||
        std::wstring(name, length) != L"Windows.Networking.Connectivity.NetworkInformation") {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    *factory = static_cast<IFactory*>(new Factory());
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    return S_FALSE;
}
