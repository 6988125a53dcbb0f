// settings.json: reading with migrations, writing in the file's key order, and the repair pass.
#include "persistence/settings.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "persistence/colors.h"
#include "persistence/network_usage.h"

namespace tide {

CompactSettings CompactSettings::desktop_defaults() {
    CompactSettings desktop;
    desktop.enabled = false;
    desktop.mode = 1;
    desktop.native_style = false;
    desktop.embed_in_taskbar = false;
    desktop.on_taskbar = false;
    return desktop;
}

Settings default_settings() {
    return Settings{};
}

void remember_monitor_offset(std::vector<MonitorOffset>& offsets, std::string_view monitor, int32_t x,
                             int32_t y) {
    std::erase_if(offsets, [monitor](const MonitorOffset& o) { return o.monitor == monitor; });
    offsets.push_back({std::string(monitor), x, y});
    if (offsets.size() > k_max_monitor_offsets) {
        offsets.erase(offsets.begin(), offsets.end() - k_max_monitor_offsets);
    }
}

const MonitorOffset* find_monitor_offset(const std::vector<MonitorOffset>& offsets,
                                         std::string_view monitor) {
    const auto found = std::find_if(offsets.begin(), offsets.end(),
                                    [monitor](const MonitorOffset& o) { return o.monitor == monitor; });
    return found != offsets.end() ? &*found : nullptr;
}

namespace {

// ---- reading ----

// Members are read only when the section is a JSON object; anything else leaves the defaults.
const JsonValue* find_object(const JsonValue& parent, std::string_view key) {
    const JsonValue* member = find_member(parent, key);
    return member && member->is_object() ? member : nullptr;
}

// Truncation toward zero into 64 bits; a number outside the range gives the lowest value, which the
// repair then brings back into range (as the 32-bit reader does).
void read_int64_member(const JsonValue* object, std::string_view key, int64_t& target) {
    const JsonValue* member = find_member(object, key);
    if (!member || !member->is_number()) {
        return;
    }
    constexpr double k_limit = 9223372036854775808.0; // 2^63
    const double number = member->as_number();
    target = number >= -k_limit && number < k_limit ? static_cast<int64_t>(number)
                                                    : std::numeric_limits<int64_t>::min();
}

void read_optional_int_member(const JsonValue* object, std::string_view key, std::optional<int32_t>& target) {
    const JsonValue* member = find_member(object, key);
    if (member && member->is_number()) {
        int32_t value = 0;
        read_int_member(object, key, value);
        target = value;
    }
}

// Only a non-empty string of decimal digits that fits in 64 bits names an interface; a sign, blanks or
// an overflowing number would otherwise turn into some unrelated identity.
std::optional<uint64_t> parse_interface_id(const std::string& text) {
    uint64_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (text.empty() || !std::all_of(first, last, [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

void read_general(const JsonValue* object, GeneralSettings& general) {
    read_bool_member(object, "start_with_windows", general.start_with_windows);
    read_bool_member(object, "check_updates", general.check_updates);
    read_bool_member(object, "show_welcome", general.show_welcome);
    read_int64_member(object, "last_update_check", general.last_update_check);
}

void read_monitoring(const JsonValue* object, MonitoringSettings& monitoring) {
    read_int_member(object, "interval_ms", monitoring.interval_ms);
    const JsonValue* adapter = find_member(object, "manual_adapter");
    if (adapter && adapter->is_string()) {
        monitoring.manual_adapter = parse_interface_id(adapter->as_string());
    }
    read_bool_member(object, "fallback_to_auto", monitoring.fallback_to_auto);
    read_bool_member(object, "include_vpn", monitoring.include_vpn);
    read_bool_member(object, "include_virtual", monitoring.include_virtual);
    read_bool_member(object, "pause_when_hidden", monitoring.pause_when_hidden);
    read_int_member(object, "source", monitoring.source);
}

void read_main_window(const JsonValue* object, MainWindowSettings& window) {
    read_string_member(object, "theme", window.theme);
    read_int_member(object, "width", window.width);
    read_int_member(object, "height", window.height);
    read_optional_int_member(object, "x", window.x);
    read_optional_int_member(object, "y", window.y);
    read_bool_member(object, "always_on_top", window.always_on_top);
    read_bool_member(object, "close_to_tray", window.close_to_tray);
    read_bool_member(object, "minimize_to_tray", window.minimize_to_tray);
    read_bool_member(object, "start_minimized", window.start_minimized);
    read_bool_member(object, "reduced_motion", window.reduced_motion);
    read_bool_member(object, "compact_dashboard", window.compact_dashboard);
}

void read_usage_window(const JsonValue* object, UsageWindowSettings& window) {
    read_int_member(object, "width", window.width);
    read_int_member(object, "height", window.height);
    read_optional_int_member(object, "x", window.x);
    read_optional_int_member(object, "y", window.y);
}

// An entry that is not an object of a string and two numbers is kept as one without a monitor, which the
// repair then drops (and counts), so that the rest of the list survives it.
void read_monitor_offsets(const JsonValue* object, std::vector<MonitorOffset>& offsets) {
    const JsonValue* list = find_member(object, "monitor_offsets");
    if (!list || !list->is_array()) {
        return;
    }
    for (const JsonValue& entry : list->elements()) {
        MonitorOffset offset;
        const JsonValue* monitor = find_member(&entry, "monitor");
        const JsonValue* x = find_member(&entry, "x");
        const JsonValue* y = find_member(&entry, "y");
        if (entry.is_object() && monitor && monitor->is_string() && x && x->is_number() && y &&
            y->is_number()) {
            offset.monitor = monitor->as_string();
            read_int_member(&entry, "x", offset.x);
            read_int_member(&entry, "y", offset.y);
        }
        offsets.push_back(std::move(offset));
    }
}

void read_compact(const JsonValue* object, CompactSettings& block, bool taskbar) {
    read_bool_member(object, "enabled", block.enabled);
    read_int_member(object, "mode", block.mode);
    read_bool_member(object, "on_taskbar", block.on_taskbar);
    read_bool_member(object, "embed_in_taskbar", block.embed_in_taskbar);
    read_bool_member(object, "native_style", block.native_style);
    read_bool_member(object, "upload_first", block.upload_first);
    read_int_member(object, "layout", block.layout);
    read_string_member(object, "monitor_id", block.monitor_id);
    read_int_member(object, "align", block.align);
    read_int_member(object, "offset_x", block.offset_x);
    read_int_member(object, "offset_y", block.offset_y);
    read_int_member(object, "margin", block.margin);
    read_int_member(object, "min_w", block.min_w);
    read_int_member(object, "min_h", block.min_h);
    read_int_member(object, "max_w", block.max_w);
    read_int_member(object, "max_h", block.max_h);
    read_int_member(object, "opacity_pct", block.opacity_pct);
    read_int_member(object, "corner_radius", block.corner_radius);
    read_int_member(object, "font_size_pt", block.font_size_pt);
    read_string_member(object, "theme", block.theme);
    read_bool_member(object, "locked", block.locked);
    read_bool_member(object, "click_through", block.click_through);
    read_bool_member(object, "always_on_top", block.always_on_top);
    read_bool_member(object, "snap_to_edges", block.snap_to_edges);
    read_int_member(object, "snap_threshold", block.snap_threshold);
    if (object) {
        if (const JsonValue* rect = find_object(*object, "floating_rect")) {
            ScreenRect r;
            read_int_member(rect, "l", r.left);
            read_int_member(rect, "t", r.top);
            read_int_member(rect, "r", r.right);
            read_int_member(rect, "b", r.bottom);
            block.floating_rect = r;
        }
    }
    if (taskbar) {
        read_bool_member(object, "every_taskbar", block.every_taskbar);
        read_monitor_offsets(object, block.monitor_offsets);
    }
}

void read_units(const JsonValue* object, UnitSettings& units) {
    read_int_member(object, "unit", units.unit);
    if (units.unit < 0 || units.unit > 10) {
        units.unit = 0;
    }
    read_bool_member(object, "bytes_when_auto", units.bytes_when_auto);
    read_int_member(object, "base", units.base);
    units.base = units.base == 1 ? 1 : 0;
    read_int_member(object, "precision", units.precision);
    const JsonValue* separator = find_member(object, "decimal_sep");
    if (separator && separator->is_string() && separator->as_string().size() == 1) {
        units.decimal_sep = separator->as_string()[0];
    }
}

void read_custom_colors(const JsonValue* object, std::map<std::string, std::string>& colors) {
    if (!object) {
        return;
    }
    for (const auto& [key, value] : object->members()) {
        if (value.is_string()) {
            colors[key] = value.as_string();
        }
    }
}

// Revision 2 and older had one compact display that could float; a floating one becomes the desktop
// display and the taskbar display is switched off.
void migrate(const JsonValue& document, Settings& s) {
    if (s.defaults_rev < 2) {
        s.compact_units.bytes_when_auto = true;
        s.main_units.bytes_when_auto = true;
    }
    if (s.defaults_rev < 3 && !find_member(document, "desktop") && s.compact.mode == 1) {
        s.desktop = s.compact;
        s.desktop.native_style = false;
        s.desktop.embed_in_taskbar = false;
        s.desktop.on_taskbar = false;
        s.compact.mode = 0;
        s.compact.enabled = false;
    }
    s.defaults_rev = 3;
}

// ---- writing ----

JsonValue optional_number(const std::optional<int32_t>& value) {
    return value ? JsonValue(*value) : JsonValue(nullptr);
}

JsonValue compact_to_json(const CompactSettings& c, bool taskbar) {
    JsonValue rect = nullptr;
    if (c.floating_rect) {
        const ScreenRect& r = *c.floating_rect;
        rect = JsonValue::object({{"l", r.left}, {"t", r.top}, {"r", r.right}, {"b", r.bottom}});
    }
    JsonValue block = JsonValue::object({
        {"enabled", c.enabled},
        {"mode", c.mode},
        {"on_taskbar", c.on_taskbar},
        {"embed_in_taskbar", c.embed_in_taskbar},
        {"native_style", c.native_style},
        {"upload_first", c.upload_first},
        {"layout", c.layout},
        {"monitor_id", c.monitor_id},
        {"align", c.align},
        {"offset_x", c.offset_x},
        {"offset_y", c.offset_y},
        {"margin", c.margin},
        {"min_w", c.min_w},
        {"min_h", c.min_h},
        {"max_w", c.max_w},
        {"max_h", c.max_h},
        {"opacity_pct", c.opacity_pct},
        {"corner_radius", c.corner_radius},
        {"font_size_pt", c.font_size_pt},
        {"theme", c.theme},
        {"locked", c.locked},
        {"click_through", c.click_through},
        {"always_on_top", c.always_on_top},
        {"snap_to_edges", c.snap_to_edges},
        {"snap_threshold", c.snap_threshold},
        {"floating_rect", std::move(rect)},
    });
    if (taskbar) {
        std::vector<JsonValue> offsets;
        for (const MonitorOffset& o : c.monitor_offsets) {
            offsets.push_back(JsonValue::object({{"monitor", o.monitor}, {"x", o.x}, {"y", o.y}}));
        }
        block.append("every_taskbar", c.every_taskbar);
        block.append("monitor_offsets", JsonValue::array(std::move(offsets)));
    }
    return block;
}

JsonValue units_to_json(const UnitSettings& u) {
    return JsonValue::object({
        {"unit", u.unit},
        {"bytes_when_auto", u.bytes_when_auto},
        {"base", u.base},
        {"precision", u.precision},
        {"decimal_sep", std::string(1, u.decimal_sep)},
    });
}

// ---- repair ----

// Each helper adds one to the count when it changes the value.
class Repairer {
public:
    void clamp(int32_t& value, int32_t low, int32_t high) {
        set_if(value < low || value > high, value, std::clamp(value, low, high));
    }

    template <typename T, typename U> void set_if(bool condition, T& target, U replacement) {
        if (condition) {
            target = std::move(replacement);
            ++count_;
        }
    }

    void count_one() { ++count_; }

    void theme(std::string& name) { set_if(!is_valid_theme_name(name), name, std::string(k_default_theme)); }

    uint32_t count() const { return count_; }

private:
    uint32_t count_ = 0;
};

bool above(int32_t value, uint32_t limit) {
    return static_cast<uint32_t>(value) > limit;
}

template <size_t N> bool one_of(int32_t value, const int32_t (&choices)[N]) {
    return std::find(std::begin(choices), std::end(choices), value) != std::end(choices);
}

void repair_units(Repairer& fix, UnitSettings& u) {
    fix.clamp(u.precision, 0, 2);
    fix.set_if(u.decimal_sep != '.' && u.decimal_sep != ',', u.decimal_sep, '.');
    fix.set_if(above(u.unit, 10), u.unit, 0);
}

void repair_compact(Repairer& fix, CompactSettings& c) {
    fix.clamp(c.opacity_pct, 20, 100);
    fix.clamp(c.corner_radius, 0, 32);
    fix.clamp(c.font_size_pt, 8, 48);
    fix.clamp(c.margin, 0, 64);
    fix.clamp(c.offset_x, -4000, 4000);
    fix.clamp(c.offset_y, -4000, 4000);
    fix.clamp(c.snap_threshold, 0, 64);
    fix.clamp(c.min_w, 20, 2000);
    fix.clamp(c.min_h, 10, 1000);
    fix.clamp(c.max_w, 20, 4000);
    fix.clamp(c.max_h, 10, 2000);
    fix.set_if(c.max_w < c.min_w, c.max_w, c.min_w);
    fix.set_if(c.max_h < c.min_h, c.max_h, c.min_h);
    fix.set_if(above(c.layout, 5), c.layout, 0);
    fix.set_if(above(c.align, 2), c.align, 2);
    fix.set_if(above(c.mode, 3), c.mode, 0);
    fix.set_if(c.monitor_id.size() > 256, c.monitor_id, std::string());
    if (c.floating_rect) {
        // In 64 bits: the difference of two 32-bit coordinates can overflow 32 bits.
        const ScreenRect& r = *c.floating_rect;
        const bool empty = int64_t{r.right} - r.left < 1 || int64_t{r.bottom} - r.top < 1;
        fix.set_if(empty, c.floating_rect, std::optional<ScreenRect>());
    }
    fix.theme(c.theme);
}

// Places of monitors that are not there now are kept; an entry without a usable monitor id, a second entry
// of the same monitor (the later one is the newer) and the oldest beyond the limit go, one repair each.
void repair_monitor_offsets(Repairer& fix, std::vector<MonitorOffset>& offsets) {
    std::vector<MonitorOffset> kept;
    for (size_t i = offsets.size(); i-- > 0;) {
        MonitorOffset& o = offsets[i];
        const bool unusable = o.monitor.empty() || o.monitor.size() > 256;
        const bool repeated = std::any_of(kept.begin(), kept.end(),
                                          [&o](const MonitorOffset& k) { return k.monitor == o.monitor; });
        if (unusable || repeated || kept.size() == k_max_monitor_offsets) {
            fix.count_one();
            continue;
        }
        fix.clamp(o.x, -4000, 4000);
        fix.clamp(o.y, -4000, 4000);
        kept.push_back(std::move(o));
    }
    std::reverse(kept.begin(), kept.end());
    offsets = std::move(kept);
}

JsonValue plan_networks_to_json(const std::vector<std::string>& ids) {
    std::vector<JsonValue> list;
    for (const std::string& id : ids) {
        list.emplace_back(id);
    }
    return JsonValue::array(std::move(list));
}

// Ids of the kind the usage history keeps, each once, at most k_max_plan_networks.
void repair_plan_networks(Repairer& fix, std::vector<std::string>& ids) {
    std::vector<std::string> kept;
    for (std::string& id : ids) {
        const bool unusable = !valid_network_id(id) || id == k_no_network_id;
        if (unusable || std::find(kept.begin(), kept.end(), id) != kept.end() ||
            kept.size() == k_max_plan_networks) {
            fix.count_one();
            continue;
        }
        kept.push_back(std::move(id));
    }
    ids = std::move(kept);
}

bool valid_font_family(const std::string& family) {
    return !family.empty() && family.size() <= 64 && std::none_of(family.begin(), family.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20;
    });
}

} // namespace

Settings settings_from_json(const JsonValue& document) {
    Settings s = default_settings();
    if (!document.is_object()) {
        return s;
    }
    const JsonValue* root = &document;
    s.defaults_rev = 0;
    read_int_member(root, "schema_version", s.schema_version);
    read_int_member(root, "defaults_rev", s.defaults_rev);
    read_string_member(root, "language", s.language);
    read_general(find_object(document, "general"), s.general);
    read_monitoring(find_object(document, "monitoring"), s.monitoring);
    read_compact(find_object(document, "compact"), s.compact, true);
    read_compact(find_object(document, "desktop"), s.desktop, false);
    read_main_window(find_object(document, "main_window"), s.main_window);
    read_usage_window(find_object(document, "usage_window"), s.usage_window);
    read_units(find_object(document, "compact_units"), s.compact_units);
    read_units(find_object(document, "main_units"), s.main_units);
    read_int_member(root, "history_window_s", s.history_window_s);
    read_int_member(root, "history_retention_days", s.history_retention_days);
    read_int_member(root, "history_mode", s.history_mode);
    read_int_member(root, "daily_warning_mb", s.daily_warning_mb);
    read_int_member(root, "monthly_warning_mb", s.monthly_warning_mb);
    read_int_member(root, "billing_day", s.billing_day);
    read_int_member(root, "plan_counts", s.plan_counts);
    if (const JsonValue* list = find_member(document, "plan_networks"); list && list->is_array()) {
        // Kinds are checked here, ids by repair_settings: an entry of the wrong kind is one repair.
        for (const JsonValue& id : list->elements()) {
            s.plan_networks.push_back(id.is_string() ? id.as_string() : std::string());
        }
    }
    read_string_member(root, "font_family", s.font_family);
    read_int_member(root, "digit_style", s.digit_style);
    read_int_member(root, "decimal_sep", s.decimal_sep);
    read_bool_member(root, "native_digits_compact", s.native_digits_compact);
    read_custom_colors(find_object(document, "custom_colors"), s.custom_colors);
    migrate(document, s);
    return s;
}

JsonValue settings_to_json(const Settings& s) {
    const GeneralSettings& g = s.general;
    const MonitoringSettings& m = s.monitoring;
    const MainWindowSettings& w = s.main_window;

    JsonValue colors = JsonValue::object();
    for (const auto& [key, value] : s.custom_colors) {
        colors.append(key, value);
    }
    JsonValue adapter = m.manual_adapter ? JsonValue(std::to_string(*m.manual_adapter)) : JsonValue(nullptr);

    return JsonValue::object({
        {"schema_version", s.schema_version},
        {"defaults_rev", s.defaults_rev},
        {"language", s.language},
        {"general", JsonValue::object({
                        {"start_with_windows", g.start_with_windows},
                        {"check_updates", g.check_updates},
                        {"show_welcome", g.show_welcome},
                        {"last_update_check", static_cast<double>(g.last_update_check)},
                    })},
        {"monitoring", JsonValue::object({
                           {"interval_ms", m.interval_ms},
                           {"manual_adapter", std::move(adapter)},
                           {"fallback_to_auto", m.fallback_to_auto},
                           {"include_vpn", m.include_vpn},
                           {"include_virtual", m.include_virtual},
                           {"pause_when_hidden", m.pause_when_hidden},
                           {"source", m.source},
                       })},
        {"compact", compact_to_json(s.compact, true)},
        {"desktop", compact_to_json(s.desktop, false)},
        {"main_window", JsonValue::object({
                            {"theme", w.theme},
                            {"width", w.width},
                            {"height", w.height},
                            {"x", optional_number(w.x)},
                            {"y", optional_number(w.y)},
                            {"always_on_top", w.always_on_top},
                            {"close_to_tray", w.close_to_tray},
                            {"minimize_to_tray", w.minimize_to_tray},
                            {"start_minimized", w.start_minimized},
                            {"reduced_motion", w.reduced_motion},
                            {"compact_dashboard", w.compact_dashboard},
                        })},
        {"usage_window", JsonValue::object({
                             {"width", s.usage_window.width},
                             {"height", s.usage_window.height},
                             {"x", optional_number(s.usage_window.x)},
                             {"y", optional_number(s.usage_window.y)},
                         })},
        {"compact_units", units_to_json(s.compact_units)},
        {"main_units", units_to_json(s.main_units)},
        {"history_window_s", s.history_window_s},
        {"history_retention_days", s.history_retention_days},
        {"history_mode", s.history_mode},
        {"daily_warning_mb", s.daily_warning_mb},
        {"monthly_warning_mb", s.monthly_warning_mb},
        {"billing_day", s.billing_day},
        {"plan_counts", s.plan_counts},
        {"plan_networks", plan_networks_to_json(s.plan_networks)},
        {"font_family", s.font_family},
        {"digit_style", s.digit_style},
        {"decimal_sep", s.decimal_sep},
        {"native_digits_compact", s.native_digits_compact},
        {"custom_colors", std::move(colors)},
    });
}

uint32_t repair_settings(Settings& s) {
    static constexpr int32_t k_intervals[] = {250, 500, 1000, 2000, 5000, 10000};
    static constexpr int32_t k_history_windows[] = {30, 60, 300, 900, 3600};
    Repairer fix;

    fix.set_if(s.schema_version != k_settings_schema_version, s.schema_version, k_settings_schema_version);
    fix.set_if(!one_of(s.monitoring.interval_ms, k_intervals), s.monitoring.interval_ms, 1000);
    fix.set_if(above(s.monitoring.source, 2), s.monitoring.source, 0);
    fix.set_if(!one_of(s.history_window_s, k_history_windows), s.history_window_s, 300);
    fix.clamp(s.history_retention_days, 1, 3650);
    fix.set_if(s.language.empty() || s.language.size() > 16, s.language, std::string("system"));

    repair_units(fix, s.main_units);
    repair_units(fix, s.compact_units);

    fix.set_if(s.history_mode < 0 || s.history_mode > 1, s.history_mode, 0);
    fix.set_if(above(s.digit_style, 1), s.digit_style, 0);
    fix.set_if(above(s.decimal_sep, 2), s.decimal_sep, 0);
    fix.set_if(s.general.last_update_check < 0, s.general.last_update_check, int64_t{0});

    fix.clamp(s.monthly_warning_mb, 0, 100000000);
    fix.clamp(s.daily_warning_mb, 0, 100000000);
    fix.clamp(s.billing_day, 1, 31);
    fix.set_if(above(s.plan_counts, 2), s.plan_counts, 0);
    repair_plan_networks(fix, s.plan_networks);
    fix.set_if(!valid_font_family(s.font_family), s.font_family, std::string("Segoe UI"));

    for (auto it = s.custom_colors.begin(); it != s.custom_colors.end();) {
        if (is_color_key(it->first) && parse_color(it->second)) {
            ++it;
        } else {
            it = s.custom_colors.erase(it);
            fix.count_one();
        }
    }

    repair_compact(fix, s.compact);
    fix.set_if(s.compact.mode == 1, s.compact.mode, 0);
    repair_monitor_offsets(fix, s.compact.monitor_offsets);

    repair_compact(fix, s.desktop);
    fix.set_if(s.desktop.mode != 1, s.desktop.mode, 1);
    CompactSettings& d = s.desktop;
    if (d.on_taskbar || d.embed_in_taskbar || d.native_style) {
        d.on_taskbar = d.embed_in_taskbar = d.native_style = false;
        fix.count_one(); // one repair for the three flags
    }
    fix.set_if(d.every_taskbar, d.every_taskbar, false);
    fix.set_if(!d.monitor_offsets.empty(), d.monitor_offsets, std::vector<MonitorOffset>());

    fix.clamp(s.main_window.width, 480, 7680);
    fix.clamp(s.main_window.height, 360, 4320);
    fix.theme(s.main_window.theme);
    if (s.main_window.x) {
        fix.clamp(*s.main_window.x, -32000, 32000);
    }
    if (s.main_window.y) {
        fix.clamp(*s.main_window.y, -32000, 32000);
    }
    fix.clamp(s.usage_window.width, 560, 7680);
    fix.clamp(s.usage_window.height, 440, 4320);
    for (std::optional<int32_t>* place : {&s.usage_window.x, &s.usage_window.y}) {
        if (*place) {
            fix.clamp(**place, -32000, 32000);
        }
    }
    return fix.count();
}

} // namespace tide
