// Plays the shell's notification area for the tests of this process. Shell_NotifyIconW hands every
// request to the first "Shell_TrayWnd" window it finds, as WM_COPYDATA; a topmost one created after
// the real shell's comes first, so the tests see exactly what the shell is told, and can refuse it.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace tide::test {

class ShellDouble {
public:
    // The first refused_adds NIM_ADD requests are refused, as a shell still starting up does.
    explicit ShellDouble(int refused_adds = 0) : refusals_left_(refused_adds) {
        thread_ = std::thread([this] { run(); });
        std::unique_lock hold(lock_);
        started_.wait(hold, [this] { return start_done_; });
    }
    ~ShellDouble() {
        if (window_ != nullptr) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        thread_.join();
    }
    ShellDouble(const ShellDouble&) = delete;
    ShellDouble& operator=(const ShellDouble&) = delete;

    bool ready() const { return window_ != nullptr && FindWindowW(L"Shell_TrayWnd", nullptr) == window_; }

    // Requests of one kind (NIM_ADD, NIM_MODIFY, NIM_DELETE), refused ones included.
    int requests(DWORD kind) const {
        std::lock_guard hold(lock_);
        int n = 0;
        for (const Request& request : requests_) {
            n += request.kind == kind ? 1 : 0;
        }
        return n;
    }

    // An accepted NIM_ADD with no NIM_DELETE after it.
    bool icon_shown() const {
        std::lock_guard hold(lock_);
        bool shown = false;
        for (const Request& request : requests_) {
            if (request.kind == NIM_ADD && request.accepted) {
                shown = true;
            } else if (request.kind == NIM_DELETE) {
                shown = false;
            }
        }
        return shown;
    }

    // True when the last accepted add or change carries the text (its tooltip, as the shell shows it).
    bool tip_shows(std::wstring_view text) const {
        std::lock_guard hold(lock_);
        for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
            if (it->accepted && (it->kind == NIM_ADD || it->kind == NIM_MODIFY)) {
                return contains(it->payload, text);
            }
        }
        return false;
    }

    // Accepted requests that carry the text (a notification's text travels only with NIF_INFO).
    int requests_with(std::wstring_view text) const {
        std::lock_guard hold(lock_);
        int n = 0;
        for (const Request& request : requests_) {
            n += request.accepted && contains(request.payload, text) ? 1 : 0;
        }
        return n;
    }

    // How many requests the shell has been sent so far: a mark for `fell_to`.
    size_t mark() const {
        std::lock_guard hold(lock_);
        return requests_.size();
    }

    // True when, after the mark, a tooltip carried `busy` without `idle` and a later one carried `idle`:
    // a rate went up and came back down, so every byte before that was measured.
    bool fell_to(size_t mark, std::wstring_view busy, std::wstring_view idle) const {
        std::lock_guard hold(lock_);
        bool was_busy = false;
        for (size_t i = mark; i < requests_.size(); ++i) {
            const Request& request = requests_[i];
            if (!request.accepted || request.kind != NIM_MODIFY) {
                continue;
            }
            if (contains(request.payload, idle)) {
                if (was_busy) {
                    return true;
                }
            } else if (contains(request.payload, busy)) {
                was_busy = true;
            }
        }
        return false;
    }

private:
    struct Request {
        DWORD kind = 0;
        bool accepted = false;
        std::vector<BYTE> payload;
    };

    // Windows wraps the request in a record that starts with a signature and the message; Wine
    // passes the message as the copy's number. The tooltip is searched for rather than read at an
    // offset, which differs between the two and between versions.
    static constexpr DWORD k_windows_signature = 0x34753423;

    static bool contains(const std::vector<BYTE>& payload, std::wstring_view text) {
        const size_t bytes = text.size() * sizeof(wchar_t);
        for (size_t at = 0; at + bytes <= payload.size(); at += sizeof(wchar_t)) {
            if (std::memcmp(payload.data() + at, text.data(), bytes) == 0) {
                return true;
            }
        }
        return false;
    }

    void run() {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &ShellDouble::proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"Shell_TrayWnd";
        RegisterClassExW(&window_class);
        const HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Shell_TrayWnd", L"", WS_POPUP,
                                            0, 0, 1, 1, nullptr, nullptr, window_class.hInstance, this);
        {
            std::lock_guard hold(lock_);
            window_ = window;
            start_done_ = true;
        }
        started_.notify_all();
        MSG message;
        while (window != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
            DispatchMessageW(&message);
        }
        UnregisterClassW(L"Shell_TrayWnd", window_class.hInstance);
    }

    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<ShellDouble*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self != nullptr) {
            return self->record(*reinterpret_cast<const COPYDATASTRUCT*>(lparam));
        }
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }

    BOOL record(const COPYDATASTRUCT& data) {
        Request request;
        const auto* bytes = static_cast<const BYTE*>(data.lpData);
        request.payload.assign(bytes, bytes + data.cbData);
        request.kind = static_cast<DWORD>(data.dwData);
        DWORD first = 0;
        if (data.cbData >= 8 && (std::memcpy(&first, bytes, 4), first == k_windows_signature)) {
            std::memcpy(&request.kind, bytes + 4, 4);
        }
        std::lock_guard hold(lock_);
        request.accepted = !(request.kind == NIM_ADD && refusals_left_ > 0);
        if (!request.accepted) {
            --refusals_left_;
        }
        requests_.push_back(std::move(request));
        return requests_.back().accepted;
    }

    mutable std::mutex lock_;
    std::condition_variable started_;
    bool start_done_ = false;
    int refusals_left_ = 0;
    std::vector<Request> requests_; // under lock_
    HWND window_ = nullptr;
    std::thread thread_;
};

} // namespace tide::test
