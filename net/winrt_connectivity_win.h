// The few Windows Runtime interfaces of Windows.Networking.Connectivity that the Apps view asks, declared
// here because mingw-w64 has no header for them. The ids are the documented ones; those of the
// parameterised interfaces come from the documented type-signature hash (checked against published SDK
// headers). The methods stand in the documented order: a slot too few or too many calls the wrong method.
#pragma once

#include <windows.h>

#include <activation.h>
#include <asyncinfo.h>
#include <hstring.h>
#include <inspectable.h>

namespace tide::winrt {

struct DateTime {
    INT64 universal_time; // 100 ns since 1601-01-01 UTC
};

enum TriState : INT32 { do_not_care = 0, no = 1, yes = 2 };

struct NetworkUsageStates {
    TriState roaming;
    TriState shared;
};

enum NetworkConnectivityLevel : INT32 {
    level_none = 0,
    local_access = 1,
    constrained = 2,
    internet_access = 3
};

// {f769b039-eca2-45eb-ade1-b0368b756c49}
MIDL_INTERFACE("f769b039-eca2-45eb-ade1-b0368b756c49")
IAttributedNetworkUsage : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_BytesSent(UINT64 * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BytesReceived(UINT64 * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AttributionId(HSTRING * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AttributionName(HSTRING * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AttributionThumbnail(IInspectable * *value) = 0;
};

// IVectorView<T> for an interface T: the same slots whatever T is.
template <typename T> struct IVectorView : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T** item) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE IndexOf(T* item, UINT32* index, boolean* found) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, T** items, UINT32* actual) = 0;
};

using IAttributedUsageVector = IVectorView<IAttributedNetworkUsage>;

struct IAttributedUsageOperation;

// AsyncOperationCompletedHandler<IVectorView<AttributedNetworkUsage>>
MIDL_INTERFACE("96af15cc-f060-5667-9223-e054d14239ec")
IAttributedUsageCompletedHandler : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(IAttributedUsageOperation * operation, AsyncStatus status) = 0;
};

// IAsyncOperation<IVectorView<AttributedNetworkUsage>>
MIDL_INTERFACE("9d8a4113-e7f3-552d-9a8c-1c25e2137253")
IAttributedUsageOperation : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(IAttributedUsageCompletedHandler * handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(IAttributedUsageCompletedHandler * *handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResults(IAttributedUsageVector * *results) = 0;
};

MIDL_INTERFACE("71ba143c-598e-49d0-84eb-8febaedcc195")
IConnectionProfile : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_ProfileName(HSTRING * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNetworkConnectivityLevel(NetworkConnectivityLevel * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNetworkNames(IInspectable * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectionCost(IInspectable * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataPlanStatus(IInspectable * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NetworkAdapter(IInspectable * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLocalUsage(DateTime start, DateTime end, IInspectable * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetLocalUsagePerRoamingStates(DateTime start, DateTime end,
                                                                    INT32 states, IInspectable * *value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NetworkSecuritySettings(IInspectable * *value) = 0;
};

// Windows 10, version 1607 and later.
MIDL_INTERFACE("578c2528-4cd9-4161-8045-201cfd5b115c")
IConnectionProfile3 : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAttributedNetworkUsageAsync(
        DateTime start, DateTime end, NetworkUsageStates states, IAttributedUsageOperation * *operation) = 0;
};

using IConnectionProfileVector = IVectorView<IConnectionProfile>;

MIDL_INTERFACE("5074f851-950d-4165-9c15-365619481eea")
INetworkInformationStatics : public IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetConnectionProfiles(IConnectionProfileVector * *profiles) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInternetConnectionProfile(IConnectionProfile * *profile) = 0;
    // Further methods (LAN identifiers, host names, proxies, endpoint pairs, the status event) are not used.
};

inline constexpr GUID k_iid_network_information_statics = {
    0x5074f851, 0x950d, 0x4165, {0x9c, 0x15, 0x36, 0x56, 0x19, 0x48, 0x1e, 0xea}};
inline constexpr GUID k_iid_connection_profile3 = {
    0x578c2528, 0x4cd9, 0x4161, {0x80, 0x45, 0x20, 0x1c, 0xfd, 0x5b, 0x11, 0x5c}};
inline constexpr GUID k_iid_async_info = {
    0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline constexpr wchar_t k_network_information_class[] =
    L"Windows.Networking.Connectivity.NetworkInformation";

} // namespace tide::winrt
