// The stand-in Windows Runtime class behaves as Microsoft documents the interfaces, seen through the
// program's own declarations: the asynchronous operation's states, its handler set once (and called at
// once when it is already done), results only when complete, the vector's bounds, and sent before
// received.
#include <windows.h>

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <atomic>
#include <chrono>
#include <string>

#include "net/winrt_connectivity_win.h"
#include "persistence/atomic_file_win.h"
#include "tests/win/temp_folder_win.h"
#include "tests/win/wait_win.h"

namespace tide {
namespace {

using Microsoft::WRL::ComPtr;
using namespace std::chrono_literals;

constexpr HRESULT k_e_bounds = static_cast<HRESULT>(0x8000000B);
constexpr HRESULT k_e_illegal_method_call = static_cast<HRESULT>(0x8000000E);
constexpr HRESULT k_e_illegal_state_change = static_cast<HRESULT>(0x8000000D);
constexpr HRESULT k_e_illegal_delegate_assignment = static_cast<HRESULT>(0x80000018);

// AsyncOperationCompletedHandler<IVectorView<AttributedNetworkUsage>>, by the documented signature hash.
constexpr GUID k_iid_handler = {0x96af15cc, 0xf060, 0x5667, {0x92, 0x23, 0xe0, 0x54, 0xd1, 0x42, 0x39, 0xec}};

class Handler final : public winrt::IAttributedUsageCompletedHandler {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, k_iid_handler)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(winrt::IAttributedUsageOperation*, AsyncStatus status) override {
        status_ = status;
        ++calls_;
        return S_OK;
    }
    int calls() const { return calls_; }
    AsyncStatus status() const { return status_; }

private:
    std::atomic<ULONG> references_{1};
    std::atomic<int> calls_{0};
    std::atomic<AsyncStatus> status_{Started};
};

ComPtr<Handler> make_handler() {
    ComPtr<Handler> handler;
    handler.Attach(new Handler());
    return handler;
}

// The stand-in loaded as the runtime would load it, its statics asked for through the factory.
class StandIn : public testing::Test {
protected:
    void start(const std::string& mode) {
        ASSERT_TRUE(write_file_atomically(
            folder_ / L"answer.json",
            R"({"mode": ")" + mode + R"(", "delay_ms": 200, "internet": 0, "profiles": [{"level": 3, "apps": [
                {"id": "\\Device\\V\\a.exe", "name": "", "sent": 11, "received": 22},
                {"id": "", "name": "", "sent": 1, "received": 2}]}]})"));
        SetEnvironmentVariableW(L"TIDE_STANDIN_USAGE", (folder_ / L"answer.json").c_str());
        module_ = LoadLibraryW((std::wstring(TIDE_TEST_BINARY_DIR) + L"/tide_winrt_standin.dll").c_str());
        ASSERT_NE(module_, nullptr);
        const HMODULE combase = LoadLibraryW(L"combase.dll");
        create_ = reinterpret_cast<decltype(create_)>(
            reinterpret_cast<void*>(GetProcAddress(combase, "WindowsCreateString")));
        raw_ = reinterpret_cast<decltype(raw_)>(
            reinterpret_cast<void*>(GetProcAddress(combase, "WindowsGetStringRawBuffer")));
        const auto get_factory = reinterpret_cast<HRESULT(WINAPI*)(HSTRING, IInspectable**)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetActivationFactory")));
        ASSERT_TRUE(create_ && raw_ && get_factory);
        HSTRING name = nullptr;
        ASSERT_HRESULT_SUCCEEDED(create_(winrt::k_network_information_class,
                                         static_cast<UINT32>(wcslen(winrt::k_network_information_class)),
                                         &name));
        ComPtr<IInspectable> factory;
        ASSERT_HRESULT_SUCCEEDED(get_factory(name, factory.GetAddressOf()));
        ASSERT_HRESULT_SUCCEEDED(factory->QueryInterface(winrt::k_iid_network_information_statics,
                                                         reinterpret_cast<void**>(statics_.GetAddressOf())));
        ComPtr<winrt::IConnectionProfile> profile;
        ASSERT_HRESULT_SUCCEEDED(statics_->GetInternetConnectionProfile(profile.GetAddressOf()));
        ASSERT_TRUE(profile);
        ASSERT_HRESULT_SUCCEEDED(profile->QueryInterface(winrt::k_iid_connection_profile3,
                                                         reinterpret_cast<void**>(profile3_.GetAddressOf())));
        ASSERT_HRESULT_SUCCEEDED(profile3_->GetAttributedNetworkUsageAsync(
            {0}, {1}, {winrt::do_not_care, winrt::do_not_care}, operation_.GetAddressOf()));
        ASSERT_HRESULT_SUCCEEDED(operation_->QueryInterface(winrt::k_iid_async_info,
                                                            reinterpret_cast<void**>(info_.GetAddressOf())));
    }
    void TearDown() override { SetEnvironmentVariableW(L"TIDE_STANDIN_USAGE", nullptr); }
    AsyncStatus status() const {
        AsyncStatus s = Started;
        info_->get_Status(&s);
        return s;
    }
    std::wstring text(HSTRING s) const {
        UINT32 length = 0;
        const PCWSTR buffer = raw_(s, &length);
        return buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
    }

    test::TempFolder folder_;
    HMODULE module_ = nullptr;
    HRESULT(WINAPI* create_)(LPCWSTR, UINT32, HSTRING*) = nullptr;
    PCWSTR(WINAPI* raw_)(HSTRING, UINT32*) = nullptr;
    ComPtr<winrt::INetworkInformationStatics> statics_;
    ComPtr<winrt::IConnectionProfile3> profile3_;
    ComPtr<winrt::IAttributedUsageOperation> operation_;
    ComPtr<IAsyncInfo> info_;
};

TEST_F(StandIn, CompletesOnceWithResultsOnlyAfterwards) {
    ASSERT_NO_FATAL_FAILURE(start("complete"));
    ComPtr<winrt::IAttributedUsageVector> results;
    EXPECT_EQ(status(), Started);
    EXPECT_EQ(operation_->GetResults(results.GetAddressOf()), k_e_illegal_method_call) << "not done yet";
    EXPECT_EQ(info_->Close(), k_e_illegal_state_change) << "cannot close while started";
    const ComPtr<Handler> handler = make_handler();
    ASSERT_HRESULT_SUCCEEDED(operation_->put_Completed(handler.Get()));
    EXPECT_EQ(operation_->put_Completed(make_handler().Get()), k_e_illegal_delegate_assignment);
    ASSERT_TRUE(test::wait_for([&] { return handler->calls() == 1; }, 10s));
    EXPECT_EQ(handler->status(), Completed);
    EXPECT_EQ(status(), Completed);
    ASSERT_HRESULT_SUCCEEDED(operation_->GetResults(results.GetAddressOf()));
    UINT32 size = 0;
    ASSERT_HRESULT_SUCCEEDED(results->get_Size(&size));
    ASSERT_EQ(size, 2u);
    ComPtr<winrt::IAttributedNetworkUsage> usage;
    EXPECT_EQ(results->GetAt(2, usage.GetAddressOf()), k_e_bounds);
    ASSERT_HRESULT_SUCCEEDED(results->GetAt(0, usage.GetAddressOf()));
    UINT64 sent = 0;
    UINT64 received = 0;
    HSTRING id = nullptr;
    ASSERT_HRESULT_SUCCEEDED(usage->get_BytesSent(&sent));
    ASSERT_HRESULT_SUCCEEDED(usage->get_BytesReceived(&received));
    ASSERT_HRESULT_SUCCEEDED(usage->get_AttributionId(&id));
    EXPECT_EQ(sent, 11u);
    EXPECT_EQ(received, 22u);
    EXPECT_EQ(text(id), L"\\Device\\V\\a.exe");
    EXPECT_HRESULT_SUCCEEDED(info_->Close());
    EXPECT_EQ(operation_->GetResults(results.ReleaseAndGetAddressOf()), k_e_illegal_method_call) << "closed";
}

TEST_F(StandIn, AHandlerSetAfterTheEndIsCalledAtOnce) {
    ASSERT_NO_FATAL_FAILURE(start("complete"));
    ASSERT_TRUE(test::wait_for([&] { return status() == Completed; }, 10s));
    const ComPtr<Handler> handler = make_handler();
    ASSERT_HRESULT_SUCCEEDED(operation_->put_Completed(handler.Get()));
    EXPECT_EQ(handler->calls(), 1);
    EXPECT_EQ(handler->status(), Completed);
}

TEST_F(StandIn, AFailureGivesItsErrorFromResults) {
    ASSERT_NO_FATAL_FAILURE(start("fail"));
    ASSERT_TRUE(test::wait_for([&] { return status() == Error; }, 10s));
    HRESULT code = S_OK;
    ASSERT_HRESULT_SUCCEEDED(info_->get_ErrorCode(&code));
    EXPECT_EQ(code, E_FAIL);
    ComPtr<winrt::IAttributedUsageVector> results;
    EXPECT_EQ(operation_->GetResults(results.GetAddressOf()), E_FAIL);
}

TEST_F(StandIn, ANeverEndingCallEndsOnlyByCancel) {
    ASSERT_NO_FATAL_FAILURE(start("never"));
    const ComPtr<Handler> handler = make_handler();
    ASSERT_HRESULT_SUCCEEDED(operation_->put_Completed(handler.Get()));
    EXPECT_EQ(status(), Started);
    ASSERT_HRESULT_SUCCEEDED(info_->Cancel());
    EXPECT_EQ(status(), Canceled);
    EXPECT_EQ(handler->calls(), 1);
    EXPECT_EQ(handler->status(), Canceled);
    EXPECT_HRESULT_SUCCEEDED(info_->Close());
}

} // namespace
} // namespace tide
