// The taskbar button watcher thread: UI Automation in its own multithreaded apartment.
#include "compact/taskbar_watcher_win.h"

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

#include "compact/uia_client_win.h"

namespace tide {
namespace {

using Microsoft::WRL::ComPtr;

constexpr DWORD k_pass_period_ms = 2000;
constexpr DWORD k_automation_timeout_ms = 1500;

// Uninitialises COM on the thread that initialised it, only if that succeeded.
class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (ok_) {
            CoUninitialize();
        }
    }

private:
    bool ok_;
};

class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    VARIANT* get() { return &value_; }

private:
    VARIANT value_;
};

// The automation objects of one thread; `ready` only when all of them could be made.
struct Automation {
    ComPtr<uia::IUIAutomation> automation;
    ComPtr<uia::IUIAutomationCondition> is_button;
    ComPtr<uia::IUIAutomationCacheRequest> bounds;
    bool ready = false;

    Automation() {
        HRESULT hr = CoCreateInstance(uia::k_clsid_cuiautomation8, nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(uia::IUIAutomation), &automation);
        if (FAILED(hr)) {
            hr = CoCreateInstance(uia::k_clsid_cuiautomation, nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(uia::IUIAutomation), &automation);
        }
        if (FAILED(hr) || !automation) {
            return;
        }
        // A hung shell must not hold a pass for longer than this.
        ComPtr<uia::IUIAutomation2> automation2;
        if (SUCCEEDED(automation.As(&automation2))) {
            automation2->put_ConnectionTimeout(k_automation_timeout_ms);
            automation2->put_TransactionTimeout(k_automation_timeout_ms);
        }
        VARIANT button;
        VariantInit(&button);
        button.vt = VT_I4;
        button.lVal = uia::k_button_control_type;
        if (FAILED(automation->CreatePropertyCondition(uia::k_control_type_property, button, &is_button)) ||
            !is_button) {
            return;
        }
        if (FAILED(automation->CreateCacheRequest(&bounds)) || !bounds ||
            FAILED(bounds->AddProperty(uia::k_bounding_rectangle_property))) {
            return;
        }
        ready = true;
    }
};

// The cached bounding rectangle (left, top, width, height as doubles) of one element.
std::optional<ScreenRect> cached_bounds(uia::IUIAutomationElement* element) {
    Variant value;
    if (FAILED(element->GetCachedPropertyValue(uia::k_bounding_rectangle_property, value.get()))) {
        return std::nullopt;
    }
    VARIANT* v = value.get();
    if (v->vt != (VT_ARRAY | VT_R8) || v->parray == nullptr || SafeArrayGetDim(v->parray) != 1) {
        return std::nullopt;
    }
    LONG low = 0;
    LONG high = -1;
    SafeArrayGetLBound(v->parray, 1, &low);
    SafeArrayGetUBound(v->parray, 1, &high);
    if (high - low + 1 < 4) {
        return std::nullopt;
    }
    double d[4] = {};
    for (LONG i = 0; i < 4; ++i) {
        LONG index = low + i;
        if (FAILED(SafeArrayGetElement(v->parray, &index, &d[i]))) {
            return std::nullopt;
        }
    }
    const auto px = [](double x) { return static_cast<int32_t>(std::lround(x)); };
    ScreenRect r{px(d[0]), px(d[1]), px(d[0] + d[2]), px(d[1] + d[3])};
    if (r.right <= r.left || r.bottom <= r.top) {
        return std::nullopt;
    }
    return r;
}

// None when the pass failed: a busy shell answers with a timeout, which says nothing about its buttons.
std::optional<std::vector<ScreenRect>> button_rectangles(const Automation& a, HWND window) {
    std::vector<ScreenRect> rects;
    ComPtr<uia::IUIAutomationElement> root;
    if (FAILED(a.automation->ElementFromHandle(window, &root)) || !root) {
        return std::nullopt;
    }
    ComPtr<uia::IUIAutomationElementArray> found;
    if (FAILED(root->FindAllBuildCache(uia::k_tree_scope_descendants, a.is_button.Get(), a.bounds.Get(),
                                       &found)) ||
        !found) {
        return std::nullopt;
    }
    int count = 0;
    if (FAILED(found->get_Length(&count))) {
        return std::nullopt;
    }
    for (int i = 0; i < count; ++i) {
        ComPtr<uia::IUIAutomationElement> element;
        if (SUCCEEDED(found->GetElement(i, &element)) && element) {
            if (auto r = cached_bounds(element.Get())) {
                rects.push_back(*r);
            }
        }
    }
    std::sort(rects.begin(), rects.end(), [](const ScreenRect& x, const ScreenRect& y) {
        return std::tie(x.left, x.top, x.right, x.bottom) < std::tie(y.left, y.top, y.right, y.bottom);
    });
    return rects;
}

} // namespace

void TaskbarButtonWatcher::watch(HWND window, HWND notify, UINT message) {
    notify_.store(notify);
    message_.store(message);
    const HWND previous = watched_.exchange(window);
    if (window == nullptr) {
        return;
    }
    if (thread_.joinable()) {
        if (window != previous) {
            SetEvent(wake_.get());
        }
        return;
    }
    stop_.store(false);
    wake_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!wake_) {
        return;
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        wake_.reset();
    }
}

std::vector<ScreenRect> TaskbarButtonWatcher::latest(HWND window) const {
    std::lock_guard<std::mutex> lock(results_lock_);
    if (window == nullptr || results_window_ != window) {
        return {};
    }
    return results_;
}

void TaskbarButtonWatcher::stop() {
    if (!thread_.joinable()) {
        return;
    }
    stop_.store(true);
    SetEvent(wake_.get());
    thread_.join();
    wake_.reset();
}

bool TaskbarButtonWatcher::store(HWND window, std::vector<ScreenRect> rects) {
    std::lock_guard<std::mutex> lock(results_lock_);
    const bool changed = results_window_ != window || results_ != rects;
    results_ = std::move(rects);
    results_window_ = window;
    return changed;
}

void TaskbarButtonWatcher::run() {
    ComApartment apartment;
    {
        std::optional<Automation> automation;
        if (!source_) {
            automation.emplace();
        }
        const bool ready = source_ || automation->ready;
        while (!stop_.load()) {
            const HWND window = watched_.load();
            if (ready && window != nullptr && IsWindow(window)) {
                std::optional<std::vector<ScreenRect>> rects =
                    source_ ? source_(window) : button_rectangles(*automation, window);
                if (rects && store(window, std::move(*rects))) {
                    PostMessageW(notify_.load(), message_.load(), 0, 0);
                }
            }
            // Without automation there is nothing to poll: sleep until told to stop or to look again.
            const bool poll = ready && watched_.load() != nullptr;
            WaitForSingleObject(wake_.get(), poll ? k_pass_period_ms : INFINITE);
        }
    }
}

} // namespace tide
