// The settings window: six pages of controls over the settings as they were when it opened; what the user
// changed in them is handed to the application only when the user presses OK or Apply.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "persistence/settings.h"
#include "ui/settings/network_edits.h"
#include "ui/settings/settings_edit.h"
#include "ui/settings/settings_form.h"
#include "ui/settings/settings_layout.h"
#include "window/window_procedure_win.h"

namespace tide::ui {

inline constexpr wchar_t k_settings_class[] = L"Tidemeter.Settings";

// Key to the text in the program's language.
using TextProvider = std::function<std::wstring(const char* key)>;
// Receives what the user changed each time the user presses OK or Apply, the network edits with it.
using ApplyCallback = std::function<void(const SettingsEdit&)>;

class SettingsDialog final : public WindowProcedure {
public:
    SettingsDialog() = default;
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;
    ~SettingsDialog() { close(); }

    // Creates the window on the monitor under the mouse cursor, or, when it is already open, shows and
    // activates it (the arguments are then discarded: unapplied edits stay). `networks` are the known
    // networks the History page lists. False when the window could not be created.
    bool open(HINSTANCE instance, HWND controller, const Settings& settings, TextProvider text, bool rtl,
              ApplyCallback apply, std::vector<NetworkEntry> networks = {});
    // Destroys the window without applying anything.
    void close();

    HWND window() const { return hwnd_; }
    // For the message loop: Tab, Enter and Escape for this window. True when the message was used.
    bool handle_dialog_message(MSG& message);

private:
    class FontOwner {
    public:
        FontOwner() = default;
        FontOwner(const FontOwner&) = delete;
        FontOwner& operator=(const FontOwner&) = delete;
        ~FontOwner() { reset(); }
        HFONT get() const { return font_; }
        void reset(HFONT font = nullptr) {
            if (font_ != nullptr) {
                DeleteObject(font_);
            }
            font_ = font;
        }

    private:
        HFONT font_ = nullptr;
    };

    void attach(HWND window) override { hwnd_ = window; }
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override;
    void detach() override;
    void on_command(int id, int code, HWND control);
    void on_reset();
    void on_dpi_changed(int dpi, const RECT& suggested);

    bool create_window();
    void build_pages();
    HWND add_child(const wchar_t* window_class, const std::wstring& text, DWORD style, DipRect rect, int id,
                   int page);
    void fill_list(HWND list, int id);
    void destroy_children();
    void show_page(int page);
    void show_values(const FormValues& values);
    FormValues read_controls() const;
    void apply();
    void set_apply_enabled(bool enabled);
    void update_dependents();
    void set_source_note();
    void set_opacity_label(int slider_id);
    void restore_focus();
    std::wstring text(std::string_view key) const;

    // The known networks (settings_networks_win.cpp).
    void build_network_controls();
    void fill_network_list();
    void show_network_row(int row);
    void select_network(int row);
    void load_network_controls();
    void update_network_controls();
    bool on_network_command(int id, int code); // true when it was one of theirs
    void on_network_notify(const NMHDR& header);
    int selected_network() const; // -1 for none
    int plan_counts_shown() const;

    HWND hwnd_ = nullptr;
    HINSTANCE instance_ = nullptr;
    HWND controller_ = nullptr;
    EditTracker edits_;
    NetworkEditor networks_;
    TextProvider text_provider_;
    ApplyCallback apply_callback_;
    bool rtl_ = false;
    int dpi_ = 96;
    int current_page_ = 0;
    std::array<std::vector<HWND>, k_page_count> pages_;
    FontOwner ui_font_;
    HWND focus_ = nullptr; // the control that had the keyboard when the window was last deactivated
    bool loading_ = false; // the controls are being filled, not edited
};

} // namespace tide::ui
