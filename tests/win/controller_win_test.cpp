// The application running in this process: tray tooltip, settings-save debounce, graph range
// messages and what exit writes. Each test starts from an empty data folder.
#include <windows.h>
#include <winsock2.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "app/app_win.h"
#include "base/messages_win.h"
#include "base/wide_text_win.h"
#include "net/inventory_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/json.h"
#include "persistence/settings_store_win.h"
#include "presentation/localization.h"
#include "presentation/localization_win.h"

namespace tide {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool wait_for(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::wstring settings_path() { return data_file_path(data_folder(), L"settings.json"); }
std::wstring usage_path() { return data_file_path(data_folder(), L"usage.json"); }

std::optional<JsonValue> read_json(const std::wstring& path) {
    const auto bytes = read_file_bytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    return parse_json(*bytes);
}

uint64_t loopback_luid() {
    for (const InterfaceInfo& info : take_inventory().interfaces) {
        if (info.kind == InterfaceKind::loopback) {
            return info.luid;
        }
    }
    return 0;
}

// Settings that measure the loopback interface, so the test can make traffic itself.
void write_loopback_settings(int history_mode, const std::string& language = "en") {
    const std::string text = "{\n  \"schema_version\": 1,\n  \"language\": \"" + language +
                             "\",\n  \"history_mode\": " + std::to_string(history_mode) +
                             ",\n  \"monitoring\": {\"manual_adapter\": \"" + std::to_string(loopback_luid()) +
                             "\", \"fallback_to_auto\": false}\n}\n";
    ASSERT_TRUE(write_file_atomically(settings_path(), text));
}

class RunningApp {
public:
    RunningApp() {
        thread_ = std::thread([this] { exit_code_ = app_.run(GetModuleHandleW(nullptr), true); });
        wait_for([this] { return (window_ = FindWindowW(k_controller_class, nullptr)) != nullptr; }, 30s);
    }
    ~RunningApp() { stop(); }

    HWND window() const { return window_; }
    app::App& app() { return app_; }
    int stop() {
        if (thread_.joinable()) {
            if (window_ != nullptr) {
                PostMessageW(window_, k_msg_dashboard_button, k_button_exit, 0);
            }
            thread_.join();
        }
        return exit_code_;
    }

private:
    app::App app_;
    std::thread thread_;
    HWND window_ = nullptr;
    int exit_code_ = -1;
};

class Controller : public testing::Test {
protected:
    void SetUp() override {
        DeleteFileW(settings_path().c_str());
        DeleteFileW(usage_path().c_str());
    }
    void TearDown() override { SetUp(); }
};

TEST_F(Controller, TrayIconCarriesTheRatesInItsTooltip) {
    write_loopback_settings(0);
    RunningApp running;
    ASSERT_NE(running.window(), nullptr);
    EXPECT_TRUE(wait_for([&] { return running.app().tray_icon_added(); }, 30s));
    // The first sample measures; the second, one interval later, has rates.
    EXPECT_TRUE(wait_for([&] { return running.app().tooltip().starts_with(L"Download "); }, 30s))
        << to_utf8(running.app().tooltip());
    EXPECT_NE(running.app().tooltip().find(L", Upload "), std::wstring::npos);
    EXPECT_EQ(running.stop(), 0);
}

// The tooltip speaks the chosen language: the words between the two speeds come from its pack.
class ControllerLanguage : public Controller, public testing::WithParamInterface<const char*> {};

TEST_P(ControllerLanguage, TooltipComesFromTheChosenPack) {
    const std::string code = GetParam();
    const auto bytes = load_pack(code);
    ASSERT_TRUE(bytes.has_value());
    const auto pack = parse_language_pack(*bytes);
    ASSERT_TRUE(pack.has_value());
    const std::string tip = pack->at("tip.speed");
    const size_t first = tip.find("{0}");
    const size_t second = tip.find("{1}");
    ASSERT_LT(first, second);
    const std::wstring between = to_wide(tip.substr(first + 3, second - first - 3));

    write_loopback_settings(0, code);
    RunningApp running;
    ASSERT_NE(running.window(), nullptr);
    EXPECT_TRUE(wait_for([&] { return running.app().tooltip().find(between) != std::wstring::npos; }, 30s))
        << to_utf8(running.app().tooltip()) << " lacks " << to_utf8(between);
}

INSTANTIATE_TEST_SUITE_P(Packs, ControllerLanguage, testing::Values("fr", "ar", "ja", "zh-Hant", "hi"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

TEST_F(Controller, SeveralChangesWithinASecondAreWrittenOnceAfterTheLast) {
    RunningApp running;
    ASSERT_NE(running.window(), nullptr);
    PostMessageW(running.window(), k_msg_graph_range, 60, 0);
    std::this_thread::sleep_for(100ms);
    PostMessageW(running.window(), k_msg_graph_range, 900, 0);
    std::this_thread::sleep_for(100ms);
    const auto last_change = Clock::now();
    PostMessageW(running.window(), k_msg_graph_range, 30, 0);
    ASSERT_TRUE(wait_for([] { return file_exists(settings_path()); }, 20s));
    EXPECT_GE(Clock::now() - last_change, 800ms) << "written before the debounce second had passed";
    const auto written = read_json(settings_path());
    ASSERT_TRUE(written.has_value());
    const JsonValue* range = find_member(*written, "history_window_s");
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->as_number(), 30);

    // Nothing further is pending: removing the file leaves it removed.
    DeleteFileW(settings_path().c_str());
    EXPECT_FALSE(wait_for([] { return file_exists(settings_path()); }, 2500ms));
}

TEST_F(Controller, GraphRangeOutsideTheChoicesIsIgnored) {
    RunningApp running;
    ASSERT_NE(running.window(), nullptr);
    PostMessageW(running.window(), k_msg_graph_range, 120, 0);
    EXPECT_FALSE(wait_for([] { return file_exists(settings_path()); }, 2500ms));
    PostMessageW(running.window(), k_msg_graph_range, 900, 0);
    ASSERT_TRUE(wait_for([] { return file_exists(settings_path()); }, 20s));
    const auto written = read_json(settings_path());
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(find_member(*written, "history_window_s")->as_number(), 900);
}

TEST_F(Controller, ExitSavesSettingsAndUsage) {
    write_loopback_settings(1);
    DeleteFileW(usage_path().c_str());
    RunningApp running;
    ASSERT_NE(running.window(), nullptr);

    WSADATA wsa{};
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    const SOCKET sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9); // nothing listens: the bytes still cross the loopback interface
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string payload(1200, 'x');
    // Traffic until a sample shows a download rate above zero: the usage store then has today's bytes.
    const bool measured = wait_for(
        [&] {
            for (int i = 0; i < 20; ++i) {
                sendto(sock, payload.data(), static_cast<int>(payload.size()), 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof(to));
            }
            // A download rate with a nonzero digit: "Download 12.3 KB/s, ..." but not "Download 0.0 B/s".
            const std::wstring tip = running.app().tooltip();
            const size_t comma = tip.find(L',');
            return tip.starts_with(L"Download ") && comma != std::wstring::npos &&
                   tip.substr(9, comma - 9).find_first_of(L"123456789") != std::wstring::npos;
        },
        60s);
    closesocket(sock);
    WSACleanup();
    ASSERT_TRUE(measured) << to_utf8(running.app().tooltip());

    EXPECT_EQ(running.stop(), 0);
    EXPECT_TRUE(file_exists(settings_path()));
    const auto usage = read_json(usage_path());
    ASSERT_TRUE(usage.has_value());
    const JsonValue* days = find_member(*usage, "days");
    ASSERT_NE(days, nullptr);
    ASSERT_FALSE(days->elements().empty());
    EXPECT_GT(days->elements().back().elements().at(1).as_number(), 0);
}

} // namespace
} // namespace tide
