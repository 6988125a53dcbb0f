// The provider objects and the automation core loaded at run time.
#include "window/automation_win.h"

#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace tide::ui {

struct AutomationState {
    std::mutex lock; // held by the window thread while publishing and by providers while reading
    HWND window = nullptr; // null: disconnected
    AccessTree tree;
};

namespace {

using namespace tide::uia;

// The providers live in the program itself, so they are server-side: a client-side provider's events reach
// only listeners in its own process, and a screen reader never heard them. No UseComThreading: every
// provider reads under the state's lock and may be called on any thread.
constexpr int k_server_side_provider = 2; // ProviderOptions_ServerSideProvider
constexpr int k_append_runtime_id = 3;    // UiaAppendRuntimeId
constexpr int k_notification_other = 4;   // NotificationKind_Other
constexpr int k_important_most_recent = 1; // NotificationProcessing_ImportantMostRecent

// The automation core's functions; each may be missing (Wine 8 lacks UiaRaiseNotificationEvent).
struct Core {
    LRESULT(WINAPI* return_provider)(HWND, WPARAM, LPARAM, IRawElementProviderSimple*) = nullptr;
    HRESULT(WINAPI* host_from_hwnd)(HWND, IRawElementProviderSimple**) = nullptr;
    HRESULT(WINAPI* raise_event)(IRawElementProviderSimple*, int) = nullptr;
    HRESULT(WINAPI* raise_notification)(IRawElementProviderSimple*, int, int, BSTR, BSTR) = nullptr;
    HRESULT(WINAPI* disconnect)(IRawElementProviderSimple*) = nullptr;
};

std::atomic<bool> g_core_loaded{false};

template <typename F>
void load(HMODULE module, F& function, const char* name) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loaded when a client first asks for an element: until then nobody listens and the program does not
// carry the library.
const Core& core(bool load_now) {
    static Core functions;
    static std::once_flag once;
    if (load_now) {
        std::call_once(once, [] {
            // The core answers clients from the multithreaded apartment. Kept for the rest of the run, it
            // is not torn down after each client let go, and built again for the next: a reply still on
            // its way when an apartment went could leave the client waiting for ever.
            CO_MTA_USAGE_COOKIE cookie = nullptr;
            CoIncrementMTAUsage(&cookie);
            if (const HMODULE module = LoadLibraryW(L"uiautomationcore.dll"); module != nullptr) {
                load(module, functions.return_provider, "UiaReturnRawElementProvider");
                load(module, functions.host_from_hwnd, "UiaHostProviderFromHwnd");
                load(module, functions.raise_event, "UiaRaiseAutomationEvent");
                load(module, functions.raise_notification, "UiaRaiseNotificationEvent");
                load(module, functions.disconnect, "UiaDisconnectProvider");
            }
            g_core_loaded = true;
        });
    }
    static const Core none;
    return g_core_loaded ? functions : none;
}

int control_type(AccessRole role) {
    switch (role) {
    case AccessRole::text: return 50020;      // UIA_TextControlTypeId
    case AccessRole::image: return 50006;     // UIA_ImageControlTypeId
    case AccessRole::list: return 50008;      // UIA_ListControlTypeId
    case AccessRole::list_item: return 50007; // UIA_ListItemControlTypeId
    case AccessRole::group: return 50026;     // UIA_GroupControlTypeId
    case AccessRole::custom: return 50025;    // UIA_CustomControlTypeId
    }
    return 50025;
}

void set_text(VARIANT* value, const std::wstring& text) {
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void set_bool(VARIANT* value, bool on) {
    value->vt = VT_BOOL;
    value->boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
}

// The element a focus part stands for: the first focusable one among the window's own (the graph, the
// chart); -1 for none.
int part_element(const AccessTree& tree) {
    for (size_t i = 0; i < tree.elements.size(); ++i) {
        if (tree.elements[i].parent < 0 && tree.elements[i].focusable) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// One element of a window: the window itself (index -1) or one of its published elements. The element
// of a focus part is the root of the part's own window; it follows the published tree, where the element
// it stands for may move as lines come and go.
class ElementProvider final : public IRawElementProviderSimple,
                              public IRawElementProviderFragment,
                              public IRawElementProviderFragmentRoot,
                              public IValueProvider {
public:
    ElementProvider(std::shared_ptr<AutomationState> state, int index, HWND part = nullptr)
        : state_(std::move(state)), part_(part), index_(index) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IRawElementProviderSimple)) {
            *object = static_cast<IRawElementProviderSimple*>(this);
        } else if (iid == __uuidof(IRawElementProviderFragment)) {
            *object = static_cast<IRawElementProviderFragment*>(this);
        } else if (iid == __uuidof(IRawElementProviderFragmentRoot) && (part_ != nullptr || index_ < 0)) {
            *object = static_cast<IRawElementProviderFragmentRoot*>(this);
        } else if (iid == __uuidof(IValueProvider) && has_value()) {
            *object = static_cast<IValueProvider*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    // IRawElementProviderSimple
    HRESULT STDMETHODCALLTYPE get_ProviderOptions(int* options) override {
        if (options == nullptr) {
            return E_POINTER;
        }
        *options = k_server_side_provider;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPatternProvider(int pattern, IUnknown** provider) override {
        if (provider == nullptr) {
            return E_POINTER;
        }
        *provider = nullptr;
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        if (pattern == k_value_pattern && index_ >= 0 && !element().value.empty()) {
            *provider = static_cast<IValueProvider*>(this);
            AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(int property, VARIANT* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        VariantInit(value);
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        const AccessTree& tree = state_->tree;
        switch (property) {
        case k_name_property:
            set_text(value, index_ < 0 ? tree.name : element().name);
            break;
        case k_control_type_property_id:
            value->vt = VT_I4;
            value->lVal = index_ >= 0            ? control_type(element().role)
                          : tree.elements.empty() ? control_type(AccessRole::text)
                                                  : 50033; // UIA_PaneControlTypeId
            break;
        case k_value_property:
            if (index_ >= 0 && !element().value.empty()) {
                set_text(value, element().value);
            }
            break;
        case k_is_keyboard_focusable_property:
            if (index_ >= 0) {
                set_bool(value, element().focusable);
            }
            break;
        case k_has_keyboard_focus_property:
            if (index_ >= 0) {
                set_bool(value, tree.focused == index_);
            }
            break;
        default:
            break; // VT_EMPTY: the host or the defaults answer
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** host) override {
        if (host == nullptr) {
            return E_POINTER;
        }
        *host = nullptr;
        HWND window = nullptr;
        {
            std::lock_guard hold(state_->lock);
            if (const HRESULT gone = check(); FAILED(gone)) {
                return gone;
            }
            window = state_->window;
        }
        const Core& functions = core(false);
        if ((part_ != nullptr || index_ < 0) && functions.host_from_hwnd != nullptr) {
            functions.host_from_hwnd(part_ != nullptr ? part_ : window, host);
        }
        return S_OK;
    }

    // IRawElementProviderFragment
    HRESULT STDMETHODCALLTYPE Navigate(int direction, IRawElementProviderFragment** found) override {
        if (found == nullptr) {
            return E_POINTER;
        }
        *found = nullptr;
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        // NavigateDirection: Parent, NextSibling, PreviousSibling, FirstChild, LastChild.
        if (direction < 0 || direction > 4) {
            return E_INVALIDARG;
        }
        const auto step = static_cast<AccessStep>(direction);
        if (part_ != nullptr && step != AccessStep::first_child && step != AccessStep::last_child) {
            return S_OK; // the part's window has its place among the windows
        }
        const int to = access_step(state_->tree, index_, step);
        if (to >= -1) {
            *found = new ElementProvider(state_, to);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** id) override {
        if (id == nullptr) {
            return E_POINTER;
        }
        *id = nullptr;
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        if (part_ != nullptr || index_ < 0) {
            return S_OK; // the host's window handle identifies the window
        }
        SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
        if (array == nullptr) {
            return E_OUTOFMEMORY;
        }
        LONG parts[2] = {k_append_runtime_id, index_ + 1};
        for (LONG i = 0; i < 2; ++i) {
            SafeArrayPutElement(array, &i, &parts[i]);
        }
        *id = array;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* rect) override {
        if (rect == nullptr) {
            return E_POINTER;
        }
        *rect = {};
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        RECT r{};
        if (index_ < 0) {
            GetWindowRect(state_->window, &r);
        } else {
            const AccessRect& a = element().rect;
            POINT corners[2] = {{a.left, a.top}, {a.right, a.bottom}};
            // Mapping both corners at once also mirrors them in a right-to-left window.
            MapWindowPoints(state_->window, nullptr, corners, 2);
            r = {std::min(corners[0].x, corners[1].x), std::min(corners[0].y, corners[1].y),
                 std::max(corners[0].x, corners[1].x), std::max(corners[0].y, corners[1].y)};
        }
        *rect = {static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.right - r.left),
                 static_cast<double>(r.bottom - r.top)};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** roots) override {
        if (roots == nullptr) {
            return E_POINTER;
        }
        *roots = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFocus() override {
        std::lock_guard hold(state_->lock);
        return check();
    }
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** root) override {
        if (root == nullptr) {
            return E_POINTER;
        }
        *root = nullptr;
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        if (part_ != nullptr) {
            AddRef();
            *root = this;
        } else {
            *root = new ElementProvider(state_, -1);
        }
        return S_OK;
    }

    // IRawElementProviderFragmentRoot
    HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y,
                                                       IRawElementProviderFragment** found) override {
        if (found == nullptr) {
            return E_POINTER;
        }
        *found = nullptr;
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        POINT point{static_cast<LONG>(x), static_cast<LONG>(y)};
        ScreenToClient(state_->window, &point);
        const int at = access_element_at(state_->tree, point.x, point.y);
        if (part_ != nullptr && (at < 0 || state_->tree.elements[static_cast<size_t>(at)].parent != index_)) {
            AddRef();
            *found = this;
        } else {
            *found = new ElementProvider(state_, at);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** found) override {
        if (found == nullptr) {
            return E_POINTER;
        }
        *found = nullptr;
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        // A part's element hands on the focus only to its own children (the hovered point).
        const int focused = state_->tree.focused;
        const bool inside =
            part_ == nullptr || (focused >= 0 && focused != index_ &&
                                 state_->tree.elements[static_cast<size_t>(focused)].parent == index_);
        if (focused >= 0 && inside) {
            *found = new ElementProvider(state_, focused);
        }
        return S_OK;
    }

    // IValueProvider: the figures are read, never written.
    HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR) override { return E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) override {
        if (value == nullptr) {
            return E_POINTER;
        }
        *value = nullptr;
        std::lock_guard hold(state_->lock);
        if (const HRESULT gone = check(); FAILED(gone)) {
            return gone;
        }
        const std::wstring& text = element().value;
        *value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* read_only) override {
        if (read_only == nullptr) {
            return E_POINTER;
        }
        *read_only = TRUE;
        return S_OK;
    }

private:
    ~ElementProvider() = default;

    // Under the lock: the window is gone, or the element is no longer published.
    HRESULT check() const {
        if (part_ != nullptr) {
            index_ = part_element(state_->tree);
        }
        if (state_->window == nullptr || index_ >= static_cast<int>(state_->tree.elements.size()) ||
            (part_ != nullptr && index_ < 0)) {
            return k_element_not_available;
        }
        return S_OK;
    }
    const AccessElement& element() const { return state_->tree.elements[static_cast<size_t>(index_)]; }
    bool has_value() const {
        std::lock_guard hold(state_->lock);
        return check() == S_OK && index_ >= 0 && !element().value.empty();
    }

    std::shared_ptr<AutomationState> state_;
    const HWND part_;   // the focus part's window whose root this is; null for the window's elements
    mutable int index_; // changes under the state's lock, and only for a part's element
    std::atomic<ULONG> references_{1};
};

ComPtr<IRawElementProviderSimple> provider_of(const std::shared_ptr<AutomationState>& state, int index,
                                              HWND part = nullptr) {
    // The new object's one reference goes to the pointer as it is: mingw's ComPtr::Attach adds a
    // reference of its own, where Microsoft's does not, and every provider made that way was never freed.
    ComPtr<IRawElementProviderSimple> provider;
    *provider.GetAddressOf() =
        static_cast<IRawElementProviderSimple*>(new ElementProvider(state, index, part));
    return provider;
}

} // namespace

AutomationHost::AutomationHost()
    : state_(std::make_shared<AutomationState>()), root_(provider_of(state_, -1)) {}

AutomationHost::~AutomationHost() {
    std::lock_guard hold(state_->lock);
    state_->window = nullptr;
}

void AutomationHost::publish(HWND window, AccessTree tree) {
    tree_ = std::move(tree);
    std::lock_guard hold(state_->lock);
    state_->window = window;
    state_->tree = tree_;
}

void AutomationHost::raise_focus(int element) {
    const Core& functions = core(false);
    if (functions.raise_event == nullptr || element >= static_cast<int>(tree_.elements.size())) {
        return;
    }
    functions.raise_event(provider_of(state_, element).Get(), k_focus_changed_event);
}

void AutomationHost::announce(const std::wstring& text) {
    const Core& functions = core(false);
    if (functions.raise_notification == nullptr || text.empty()) {
        return;
    }
    BSTR display = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    BSTR activity = SysAllocString(L"Tidemeter.State");
    functions.raise_notification(root_.Get(), k_notification_other, k_important_most_recent, display, activity);
    SysFreeString(display);
    SysFreeString(activity);
}

std::optional<LRESULT> AutomationHost::answer(HWND window, WPARAM wparam, LPARAM lparam) {
    if (static_cast<long>(lparam) != k_root_object_id) {
        return std::nullopt;
    }
    const Core& functions = core(true);
    if (functions.return_provider == nullptr) {
        return std::nullopt;
    }
    {
        std::lock_guard hold(state_->lock);
        state_->window = window;
    }
    return functions.return_provider(window, wparam, lparam, root_.Get());
}

std::optional<LRESULT> AutomationHost::answer_part(HWND part, WPARAM wparam, LPARAM lparam) {
    if (static_cast<long>(lparam) != k_root_object_id) {
        return std::nullopt;
    }
    const Core& functions = core(true);
    if (functions.return_provider == nullptr) {
        return std::nullopt;
    }
    return functions.return_provider(part, wparam, lparam, provider_of(state_, -1, part).Get());
}

void AutomationHost::forget_part(HWND part) {
    if (const Core& functions = core(false); functions.return_provider != nullptr) {
        functions.return_provider(part, 0, 0, nullptr);
    }
}

void AutomationHost::disconnect(HWND window) {
    {
        std::lock_guard hold(state_->lock);
        state_->window = nullptr;
    }
    const Core& functions = core(false);
    if (functions.return_provider != nullptr) {
        functions.return_provider(window, 0, 0, nullptr);
    }
    if (functions.disconnect != nullptr) {
        functions.disconnect(root_.Get());
    }
    // A window created later by the same object starts with providers of its own: whoever still holds
    // the old ones keeps getting "not available".
    state_ = std::make_shared<AutomationState>();
    root_ = provider_of(state_, -1);
    tree_ = {};
}

} // namespace tide::ui
