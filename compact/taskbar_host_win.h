// The taskbar read-out's share of the shell's taskbar: the host window of its monitor, the free place
// on the strip with font fitting, the narrowed task list and the automation watcher.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "compact/compact_window_win.h"
#include "compact/taskbar_watcher_win.h"
#include "compact/taskbar_win.h"

namespace tide::ui {

class ShellTaskbarHost final : public CompactTaskbarHost {
public:
    // `watcher` follows the buttons of taskbars that draw them themselves; one serves every read-out.
    explicit ShellTaskbarHost(std::shared_ptr<TaskbarButtonWatcher> watcher) : watcher_(std::move(watcher)) {}
    // With a watcher of its own, which posts `message` to `notify` (the controller) when the taskbar's
    // buttons move; it reads them from `buttons` when given, else through UI Automation.
    ShellTaskbarHost(HWND notify, UINT message, ButtonSource buttons = {})
        : ShellTaskbarHost(std::make_shared<TaskbarButtonWatcher>(notify, message, std::move(buttons))) {}
    ~ShellTaskbarHost() override;

    HWND find_host(const std::vector<DisplayInfo>& displays, size_t display) override;
    const DisplayInfo* main_display(const std::vector<DisplayInfo>& displays) override;
    ScreenRect position(CompactWindow& window, const DisplayInfo& display, HWND host,
                        const PlacementParams& params) override;
    void after_position(CompactWindow& window, HWND host) override;
    int notification_reserve(const DisplayInfo& display) override;
    // Whether the last placement could do without the notification-area reserve.
    bool has_occupied() const override { return !keep_reserve_; }
    void release(CompactWindow& window) override;
    void check_layout(CompactWindow& window) override;

    HWND host() const { return host_; }
    bool use_automation() const { return use_automation_; }
    const std::vector<ScreenRect>& occupied() const { return occupied_; }

private:
    std::vector<ScreenRect> current_occupied(HWND own) const;
    void adjust(CompactWindow& window);

    HWND host_ = nullptr;
    bool use_automation_ = false;
    bool keep_reserve_ = true;
    std::vector<ScreenRect> occupied_;
    TaskListAdjuster task_list_;
    std::shared_ptr<TaskbarButtonWatcher> watcher_;
};

} // namespace tide::ui
