// The few UI Automation client interfaces the taskbar button watcher calls. The mingw headers carry
// only the identifier constants, so the interfaces are declared here in their documented vtable order;
// slots this program never calls are placeholders that only keep the later slots in place.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

namespace tide::uia {

// {ff48dba4-60ef-4201-aa87-54103eef594e}
inline constexpr CLSID k_clsid_cuiautomation = {
    0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
// {e22ad333-b25f-460c-83d0-0581107395c9}
inline constexpr CLSID k_clsid_cuiautomation8 = {
    0xe22ad333, 0xb25f, 0x460c, {0x83, 0xd0, 0x05, 0x81, 0x10, 0x73, 0x95, 0xc9}};

inline constexpr int k_bounding_rectangle_property = 30001; // UIA_BoundingRectanglePropertyId
inline constexpr int k_control_type_property = 30003;       // UIA_ControlTypePropertyId
inline constexpr int k_button_control_type = 50000;         // UIA_ButtonControlTypeId
inline constexpr int k_tree_scope_descendants = 4;          // TreeScope_Descendants

#define TIDE_UIA_UNUSED(n) virtual HRESULT STDMETHODCALLTYPE unused_##n() = 0

MIDL_INTERFACE("352ffba8-0973-437c-a61f-f64cafd81df9") IUIAutomationCondition : public IUnknown{};

MIDL_INTERFACE("b32a92b5-bc25-4078-9c08-d7ee95c48e03") IUIAutomationCacheRequest : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddProperty(int property_id) = 0;
};

struct IUIAutomationElementArray;

MIDL_INTERFACE("d22108aa-8ac5-49a5-837b-37bbb3d7591e") IUIAutomationElement : public IUnknown {
    TIDE_UIA_UNUSED(1); // SetFocus
    TIDE_UIA_UNUSED(2); // GetRuntimeId
    TIDE_UIA_UNUSED(3); // FindFirst
    TIDE_UIA_UNUSED(4); // FindAll
    TIDE_UIA_UNUSED(5); // FindFirstBuildCache
    virtual HRESULT STDMETHODCALLTYPE FindAllBuildCache(int scope, IUIAutomationCondition* condition,
                                                        IUIAutomationCacheRequest* cache_request,
                                                        IUIAutomationElementArray** found) = 0;
    TIDE_UIA_UNUSED(7); // BuildUpdatedCache
    TIDE_UIA_UNUSED(8); // GetCurrentPropertyValue
    TIDE_UIA_UNUSED(9); // GetCurrentPropertyValueEx
    virtual HRESULT STDMETHODCALLTYPE GetCachedPropertyValue(int property_id, VARIANT* value) = 0;
};

MIDL_INTERFACE("14314595-b4bc-4055-95f2-58f2e42c9855") IUIAutomationElementArray : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Length(int* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetElement(int index, IUIAutomationElement** element) = 0;
};

// All 55 methods are declared (most as placeholders) because IUIAutomation2 continues the vtable.
MIDL_INTERFACE("30cbe57d-d9d0-452a-ab13-7ac5ac4825ee") IUIAutomation : public IUnknown {
    TIDE_UIA_UNUSED(1); // CompareElements
    TIDE_UIA_UNUSED(2); // CompareRuntimeIds
    TIDE_UIA_UNUSED(3); // GetRootElement
    virtual HRESULT STDMETHODCALLTYPE ElementFromHandle(HWND hwnd, IUIAutomationElement * *element) = 0;
    TIDE_UIA_UNUSED(5);  // ElementFromPoint
    TIDE_UIA_UNUSED(6);  // GetFocusedElement
    TIDE_UIA_UNUSED(7);  // GetRootElementBuildCache
    TIDE_UIA_UNUSED(8);  // ElementFromHandleBuildCache
    TIDE_UIA_UNUSED(9);  // ElementFromPointBuildCache
    TIDE_UIA_UNUSED(10); // GetFocusedElementBuildCache
    TIDE_UIA_UNUSED(11); // CreateTreeWalker
    TIDE_UIA_UNUSED(12); // get_ControlViewWalker
    TIDE_UIA_UNUSED(13); // get_ContentViewWalker
    TIDE_UIA_UNUSED(14); // get_RawViewWalker
    TIDE_UIA_UNUSED(15); // get_RawViewCondition
    TIDE_UIA_UNUSED(16); // get_ControlViewCondition
    TIDE_UIA_UNUSED(17); // get_ContentViewCondition
    virtual HRESULT STDMETHODCALLTYPE CreateCacheRequest(IUIAutomationCacheRequest * *request) = 0;
    TIDE_UIA_UNUSED(19); // CreateTrueCondition
    TIDE_UIA_UNUSED(20); // CreateFalseCondition
    virtual HRESULT STDMETHODCALLTYPE CreatePropertyCondition(int property_id, VARIANT value,
                                                              IUIAutomationCondition** condition) = 0;
    TIDE_UIA_UNUSED(22); // CreatePropertyConditionEx
    TIDE_UIA_UNUSED(23); // CreateAndCondition
    TIDE_UIA_UNUSED(24); // CreateAndConditionFromArray
    TIDE_UIA_UNUSED(25); // CreateAndConditionFromNativeArray
    TIDE_UIA_UNUSED(26); // CreateOrCondition
    TIDE_UIA_UNUSED(27); // CreateOrConditionFromArray
    TIDE_UIA_UNUSED(28); // CreateOrConditionFromNativeArray
    TIDE_UIA_UNUSED(29); // CreateNotCondition
    TIDE_UIA_UNUSED(30); // AddAutomationEventHandler
    TIDE_UIA_UNUSED(31); // RemoveAutomationEventHandler
    TIDE_UIA_UNUSED(32); // AddPropertyChangedEventHandlerNativeArray
    TIDE_UIA_UNUSED(33); // AddPropertyChangedEventHandler
    TIDE_UIA_UNUSED(34); // RemovePropertyChangedEventHandler
    TIDE_UIA_UNUSED(35); // AddStructureChangedEventHandler
    TIDE_UIA_UNUSED(36); // RemoveStructureChangedEventHandler
    TIDE_UIA_UNUSED(37); // AddFocusChangedEventHandler
    TIDE_UIA_UNUSED(38); // RemoveFocusChangedEventHandler
    TIDE_UIA_UNUSED(39); // RemoveAllEventHandlers
    TIDE_UIA_UNUSED(40); // IntNativeArrayToSafeArray
    TIDE_UIA_UNUSED(41); // IntSafeArrayToNativeArray
    TIDE_UIA_UNUSED(42); // RectToVariant
    TIDE_UIA_UNUSED(43); // VariantToRect
    TIDE_UIA_UNUSED(44); // SafeArrayToRectNativeArray
    TIDE_UIA_UNUSED(45); // CreateProxyFactoryEntry
    TIDE_UIA_UNUSED(46); // get_ProxyFactoryMapping
    TIDE_UIA_UNUSED(47); // GetPropertyProgrammaticName
    TIDE_UIA_UNUSED(48); // GetPatternProgrammaticName
    TIDE_UIA_UNUSED(49); // PollForPotentialSupportedPatterns
    TIDE_UIA_UNUSED(50); // PollForPotentialSupportedProperties
    TIDE_UIA_UNUSED(51); // CheckNotSupported
    TIDE_UIA_UNUSED(52); // get_ReservedNotSupportedValue
    TIDE_UIA_UNUSED(53); // get_ReservedMixedAttributeValue
    TIDE_UIA_UNUSED(54); // ElementFromIAccessible
    TIDE_UIA_UNUSED(55); // ElementFromIAccessibleBuildCache
};

MIDL_INTERFACE("34723aff-0c9d-49d0-9896-7ab52df8cd8a") IUIAutomation2 : public IUIAutomation {
    TIDE_UIA_UNUSED(56); // get_AutoSetFocus
    TIDE_UIA_UNUSED(57); // put_AutoSetFocus
    TIDE_UIA_UNUSED(58); // get_ConnectionTimeout
    virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(DWORD timeout_ms) = 0;
    TIDE_UIA_UNUSED(60); // get_TransactionTimeout
    virtual HRESULT STDMETHODCALLTYPE put_TransactionTimeout(DWORD timeout_ms) = 0;
};

#undef TIDE_UIA_UNUSED

} // namespace tide::uia

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(tide::uia::IUIAutomationCondition, 0x352ffba8, 0x0973, 0x437c, 0xa6, 0x1f, 0xf6, 0x4c, 0xaf,
                0xd8, 0x1d, 0xf9)
__CRT_UUID_DECL(tide::uia::IUIAutomationCacheRequest, 0xb32a92b5, 0xbc25, 0x4078, 0x9c, 0x08, 0xd7, 0xee,
                0x95, 0xc4, 0x8e, 0x03)
__CRT_UUID_DECL(tide::uia::IUIAutomationElement, 0xd22108aa, 0x8ac5, 0x49a5, 0x83, 0x7b, 0x37, 0xbb, 0xb3,
                0xd7, 0x59, 0x1e)
__CRT_UUID_DECL(tide::uia::IUIAutomationElementArray, 0x14314595, 0xb4bc, 0x4055, 0x95, 0xf2, 0x58, 0xf2,
                0xe4, 0x2c, 0x98, 0x55)
__CRT_UUID_DECL(tide::uia::IUIAutomation, 0x30cbe57d, 0xd9d0, 0x452a, 0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48,
                0x25, 0xee)
__CRT_UUID_DECL(tide::uia::IUIAutomation2, 0x34723aff, 0x0c9d, 0x49d0, 0x98, 0x96, 0x7a, 0xb5, 0x2d, 0xf8,
                0xcd, 0x8a)
#endif
