// Texts the dashboard composes for itself.
#include "ui/dashboard/dashboard_view.h"

namespace tide {
namespace {

// format_duration writes ASCII only, so widening is a plain copy.
std::wstring widen_ascii(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

std::wstring isolate(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 2);
    out += L'\u2066';
    out += text;
    out += L'\u2069';
    return out;
}

std::wstring status_line(const DashboardView& view) {
    if (view.interface_text.empty()) {
        return view.status_text;
    }
    return view.status_text + L"  \u2022  " + view.interface_text;
}

std::wstring hover_text(const DashboardView& view, size_t h, bool rtl) {
    if (h >= view.points.size()) {
        return {};
    }
    const GraphPoint& point = view.points[h];
    std::wstring text = widen_ascii(format_duration(view.points.back().time - point.time));
    if (rtl) {
        text = isolate(text);
    }
    if (point.valid && view.format_rate) {
        text += L"   \u2193 " + isolate(view.format_rate(point.download)) + L"   \u2191 " +
                isolate(view.format_rate(point.upload));
    } else {
        text += L"   \u2014";
    }
    return text;
}

std::wstring range_axis_text(int64_t range_s) {
    return L"-" + widen_ascii(format_duration(range_s));
}

std::vector<std::wstring> range_choice_texts() {
    std::vector<std::wstring> texts;
    for (const int range : GraphRanges) {
        texts.push_back(widen_ascii(format_duration(range)));
    }
    return texts;
}

std::wstring taskbar_toggle_text(std::wstring_view label, bool on) {
    std::wstring text = on ? L"\u2713 " : L"";
    text += label;
    return text;
}

} // namespace tide
