// The sampler thread: publishes at once, wakes on the event, stops promptly during a long wait, counts
// the chosen source and keeps a router source only while the router is chosen.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "base/messages_win.h"
#include "net/sampler_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;

// A message-only window that counts the sampler's notifications.
class SampleReceiver {
public:
    SampleReceiver() {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &SampleReceiver::proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"Tidemeter.Test.SampleReceiver";
        RegisterClassExW(&window_class);
        window_ = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  window_class.hInstance, this);
    }
    ~SampleReceiver() { DestroyWindow(window_); }

    HWND window() const { return window_; }
    int count() const { return count_; }

    // Pumps messages until at least `target` notifications arrived or the timeout passed.
    bool wait_for(int target, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (count_ < target) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= 0ms) {
                return false;
            }
            const auto wait_ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait_ms), QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
        }
        return true;
    }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        } else if (message == k_msg_sample) {
            ++reinterpret_cast<SampleReceiver*>(GetWindowLongPtrW(window, GWLP_USERDATA))->count_;
            return 0;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }

    HWND window_ = nullptr;
    int count_ = 0;
};

struct SamplerFixture : testing::Test {
    void start(uint32_t interval_ms) {
        ASSERT_NE(receiver.window(), nullptr);
        shared.interval_ms = interval_ms;
        shared.wake_event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        shared.controller_window = receiver.window();
        ASSERT_TRUE(thread.start(shared));
    }
    RateSample published() {
        std::lock_guard hold(shared.sample_lock);
        return shared.shared_sample;
    }

    void choose(MonitorSource source) {
        {
            std::lock_guard hold(shared.sample_lock);
            shared.sampler_selection.source = source;
        }
        wake_sampler(shared);
    }
    // Waits for a published sample that satisfies `wanted`.
    bool wait_for_sample(const std::function<bool(const RateSample&)>& wanted) {
        const int first = receiver.count() + 1;
        for (int target = first; target < first + 200; ++target) {
            if (!receiver.wait_for(target, 60s)) {
                return false;
            }
            if (wanted(published())) {
                return true;
            }
        }
        return false;
    }

    SampleReceiver receiver;
    SamplerShared shared;
    SamplerThread thread; // after shared: joins before the shared state goes
};

// A router that counts a kilobyte more at each question.
std::atomic<int> g_routers_made{0};
std::atomic<int> g_routers_alive{0};

class FakeRouter : public ReadingSource {
public:
    FakeRouter() {
        ++g_routers_made;
        ++g_routers_alive;
    }
    ~FakeRouter() override { --g_routers_alive; }
    SourceReading read() override {
        SourceReading reading;
        reading.valid = true;
        reading.identity = 77;
        received_ += 1000;
        reading.received = received_;
        reading.timestamp = static_cast<int64_t>(GetTickCount64()) * 1'000'000;
        reading.name = "Fake router";
        return reading;
    }

private:
    uint64_t received_ = 0;
};

TEST_F(SamplerFixture, StopsPromptlyDuringATenSecondWait) {
    start(10'000);
    ASSERT_TRUE(receiver.wait_for(1, 60s));
    EXPECT_EQ(published().result, RateResult::first_sample);

    const auto begin = std::chrono::steady_clock::now();
    thread.stop_and_join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
    EXPECT_FALSE(thread.running());
}

TEST_F(SamplerFixture, WakeEventCutsTheWaitShort) {
    start(600'000); // a second sample within the test's time can only come from the wake-up
    ASSERT_TRUE(receiver.wait_for(1, 60s));
    wake_sampler(shared);
    EXPECT_TRUE(receiver.wait_for(2, 60s));
}

TEST_F(SamplerFixture, SecondSampleCarriesRates) {
    start(200);
    ASSERT_TRUE(receiver.wait_for(1, 60s));
    if (published().status == MonitorStatus::unavailable) {
        GTEST_SKIP() << "no usable interface on this machine";
    }
    // A loaded machine may stretch one interval; some later sample must be valid.
    for (int target = 2; target < 40; ++target) {
        ASSERT_TRUE(receiver.wait_for(target, 60s));
        const RateSample sample = published();
        if (sample.result == RateResult::ok) {
            EXPECT_EQ(sample.status, MonitorStatus::connected);
            EXPECT_TRUE(sample.interface_luid.has_value());
            EXPECT_GE(sample.download, 0.0);
            return;
        }
    }
    FAIL() << "no valid rate in 40 samples";
}

TEST_F(SamplerFixture, AsksARouterSourceOnlyWhileTheRouterIsChosen) {
    shared.sampler_selection.source = MonitorSource::router;
    start(200); // without a router source first
    ASSERT_TRUE(
        wait_for_sample([](const RateSample& s) { return s.source_status == SourceStatus::no_router; }));
    thread.stop_and_join();

    shared.stop_flag = false;
    shared.make_router_source = [](const std::atomic<bool>&) {
        return std::unique_ptr<ReadingSource>(new FakeRouter);
    };
    ASSERT_TRUE(thread.start(shared));
    ASSERT_TRUE(wait_for_sample([](const RateSample& s) { return s.result == RateResult::ok; }));
    EXPECT_EQ(published().source_name, "Fake router");
    EXPECT_GT(published().download, 0.0);
    EXPECT_EQ(g_routers_alive, 1);

    choose(MonitorSource::adapters);
    ASSERT_TRUE(wait_for_sample([](const RateSample& s) { return s.source == MonitorSource::adapters; }));
    EXPECT_EQ(g_routers_alive, 0) << "another source asks the router nothing";
    EXPECT_EQ(g_routers_made, 1);
}

} // namespace
} // namespace tide
