// UI Automation for the painted windows: the provider interfaces (declared here in their documented
// vtable order, as mingw's headers do not compile as C++), the automation core's functions loaded at run
// time (uiautomationcore has no x64 import library here, and a system may lack some of them), and the host
// a window keeps: it answers WM_GETOBJECT with a provider that reads the window's last published elements.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <memory>
#include <optional>
#include <string>

#include "window/access_tree.h"

namespace tide::uia {

inline constexpr long k_root_object_id = -25;                     // UiaRootObjectId
inline constexpr HRESULT k_element_not_available = static_cast<HRESULT>(0x80040201); // UIA_E_ELEMENTNOTAVAILABLE
inline constexpr int k_name_property = 30005;                     // UIA_NamePropertyId
inline constexpr int k_control_type_property_id = 30003;          // UIA_ControlTypePropertyId
inline constexpr int k_has_keyboard_focus_property = 30008;       // UIA_HasKeyboardFocusPropertyId
inline constexpr int k_is_keyboard_focusable_property = 30009;    // UIA_IsKeyboardFocusablePropertyId
inline constexpr int k_value_property = 30045;                    // UIA_ValueValuePropertyId
inline constexpr int k_value_pattern = 10002;                     // UIA_ValuePatternId
inline constexpr int k_focus_changed_event = 20005;               // UIA_AutomationFocusChangedEventId

struct UiaRect {
    double left;
    double top;
    double width;
    double height;
};

MIDL_INTERFACE("d6dd68d1-86fd-4332-8666-9abedea2d24c") IRawElementProviderSimple : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_ProviderOptions(int* options) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPatternProvider(int pattern, IUnknown** provider) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyValue(int property, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) = 0;
};

struct IRawElementProviderFragmentRoot;

MIDL_INTERFACE("f7063da8-8359-439c-9297-bbc5299a7d87") IRawElementProviderFragment : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Navigate(int direction, IRawElementProviderFragment** found) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* rect) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** roots) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFocus() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** root) = 0;
};

MIDL_INTERFACE("620ce2a5-ab8f-40a9-86cb-de3c75599b58") IRawElementProviderFragmentRoot : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y,
                                                               IRawElementProviderFragment** found) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** found) = 0;
};

MIDL_INTERFACE("c7935180-6fb3-4201-b174-7df73adbf64a") IValueProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(BSTR * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL * read_only) = 0;
};

} // namespace tide::uia

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(tide::uia::IRawElementProviderSimple, 0xd6dd68d1, 0x86fd, 0x4332, 0x86, 0x66, 0x9a, 0xbe, 0xde,
                0xa2, 0xd2, 0x4c)
__CRT_UUID_DECL(tide::uia::IRawElementProviderFragment, 0xf7063da8, 0x8359, 0x439c, 0x92, 0x97, 0xbb, 0xc5,
                0x29, 0x9a, 0x7d, 0x87)
__CRT_UUID_DECL(tide::uia::IRawElementProviderFragmentRoot, 0x620ce2a5, 0xab8f, 0x40a9, 0x86, 0xcb, 0xde, 0x3c,
                0x75, 0x59, 0x9b, 0x58)
__CRT_UUID_DECL(tide::uia::IValueProvider, 0xc7935180, 0x6fb3, 0x4201, 0xb1, 0x74, 0x7d, 0xf7, 0x3a, 0xdb, 0xf6,
                0x4a)
#endif

namespace tide::ui {

struct AutomationState;

// One per window object; window thread only, except what the providers read under the state's lock.
class AutomationHost {
public:
    AutomationHost();
    AutomationHost(const AutomationHost&) = delete;
    AutomationHost& operator=(const AutomationHost&) = delete;
    ~AutomationHost();

    // The elements a client reads from now on: a copy, so a provider called on another thread never
    // touches the window's own state.
    void publish(HWND window, AccessTree tree);
    // The keyboard moved to element i of the published tree (-1: the window): tells listening clients.
    void raise_focus(int element);
    // Says a change of state once ("No connection"), where the system can.
    void announce(const std::wstring& text);

    // WM_GETOBJECT: the provider for a UI Automation client, nothing for any other request.
    std::optional<LRESULT> answer(HWND window, WPARAM wparam, LPARAM lparam);
    // WM_GETOBJECT sent to one of the window's focus parts: the element the part stands for (the first
    // focusable one of the window's own, with the keyboard inside it), nothing for any other request.
    std::optional<LRESULT> answer_part(HWND part, WPARAM wparam, LPARAM lparam);
    // The part goes: the automation core lets go of what it answered.
    void forget_part(HWND part);
    // The window goes: clients holding its elements get UIA_E_ELEMENTNOTAVAILABLE from now on.
    void disconnect(HWND window);

    // The window's own element, as a client in this process would call it.
    Microsoft::WRL::ComPtr<uia::IRawElementProviderSimple> root() const { return root_; }
    const AccessTree& published() const { return tree_; }

private:
    std::shared_ptr<AutomationState> state_;
    Microsoft::WRL::ComPtr<uia::IRawElementProviderSimple> root_;
    AccessTree tree_; // the window thread's copy of what was published last
};

} // namespace tide::ui
