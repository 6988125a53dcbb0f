// The taskbar button watcher thread: UI Automation in its own multithreaded apartment.
#include "compact/taskbar_watcher_win.h"

#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>

#include "base/handles_win.h"

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

// Shared by the owner and the thread, which may outlive the owner by one pass.
struct TaskbarButtonWatcher::State {
    HWND notify = nullptr;
    UINT message = 0;
    ButtonSource source;
    UniqueHandle wake; // auto-reset
    std::atomic<bool> stop{false};
    std::atomic<bool> alive{false};

    mutable std::mutex lock;             // guards everything below
    std::map<const void*, HWND> watched; // by read-out
    std::map<HWND, std::vector<ScreenRect>> results;

    std::vector<HWND> windows() const {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<HWND> found;
        for (const auto& [client, window] : watched) {
            if (window != nullptr && std::find(found.begin(), found.end(), window) == found.end()) {
                found.push_back(window);
            }
        }
        return found;
    }

    // True when the pass differs from the one before.
    bool store(HWND window, std::vector<ScreenRect> rects) {
        std::lock_guard<std::mutex> hold(lock);
        const auto known = results.find(window);
        if (known != results.end() && known->second == rects) {
            return false;
        }
        results[window] = std::move(rects);
        return true;
    }

    // Taskbars that are gone leave nothing behind.
    void forget_gone() {
        std::lock_guard<std::mutex> hold(lock);
        std::erase_if(results, [](const auto& entry) { return !IsWindow(entry.first); });
    }
};

void TaskbarButtonWatcher::run(const std::shared_ptr<State>& state) {
    ComApartment apartment;
    {
        std::optional<Automation> automation;
        if (!state->source) {
            automation.emplace();
        }
        const bool ready = state->source || automation->ready;
        while (!state->stop.load()) {
            const std::vector<HWND> windows = state->windows();
            for (const HWND window : windows) {
                if (!ready || state->stop.load() || !IsWindow(window)) {
                    continue;
                }
                std::optional<std::vector<ScreenRect>> rects =
                    state->source ? state->source(window) : button_rectangles(*automation, window);
                if (rects && state->store(window, std::move(*rects))) {
                    PostMessageW(state->notify, state->message, 0, 0);
                }
            }
            state->forget_gone();
            // Without automation there is nothing to poll: sleep until told to stop or to look again.
            const bool poll = ready && !state->windows().empty();
            WaitForSingleObject(state->wake.get(), poll ? k_pass_period_ms : INFINITE);
        }
    }
    state->alive.store(false);
}

TaskbarButtonWatcher::TaskbarButtonWatcher(HWND notify, UINT message, ButtonSource source) {
    state_ = std::make_shared<State>();
    state_->notify = notify;
    state_->message = message;
    state_->source = std::move(source);
}

void TaskbarButtonWatcher::watch(const void* client, HWND window) {
    HWND previous = nullptr;
    {
        std::lock_guard<std::mutex> hold(state_->lock);
        HWND& slot = state_->watched[client];
        previous = slot;
        slot = window;
        if (window == nullptr) {
            state_->watched.erase(client);
        }
    }
    if (window == nullptr) {
        return; // a running thread finds the change at its next pass
    }
    if (state_->alive.load() && !state_->stop.load()) {
        if (window != previous) {
            SetEvent(state_->wake.get());
        }
        return;
    }
    // A thread told to stop may still be ending its pass: it keeps the old state, this one starts afresh.
    if (state_->stop.load()) {
        auto fresh = std::make_shared<State>();
        fresh->notify = state_->notify;
        fresh->message = state_->message;
        fresh->source = state_->source;
        {
            std::lock_guard<std::mutex> hold(state_->lock);
            fresh->watched = state_->watched;
            fresh->results = state_->results;
        }
        state_ = std::move(fresh);
    }
    state_->wake.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!state_->wake) {
        return;
    }
    state_->alive.store(true);
    try {
        std::thread(&TaskbarButtonWatcher::run, state_).detach();
    } catch (...) {
        state_->alive.store(false);
    }
}

std::vector<ScreenRect> TaskbarButtonWatcher::latest(HWND window) const {
    std::lock_guard<std::mutex> hold(state_->lock);
    const auto found = window != nullptr ? state_->results.find(window) : state_->results.end();
    return found != state_->results.end() ? found->second : std::vector<ScreenRect>{};
}

void TaskbarButtonWatcher::stop() {
    if (!state_->alive.load() || state_->stop.exchange(true)) {
        return;
    }
    SetEvent(state_->wake.get());
}

bool TaskbarButtonWatcher::running() const {
    return state_->alive.load();
}

} // namespace tide
