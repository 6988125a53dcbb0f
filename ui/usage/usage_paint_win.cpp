// The usage window's client area through Direct2D: summary row, axis, stacked bars, limit line and the
// read-out of the bar under the pointer; and the localized names of days and months.
#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "compact/drawing_resources_win.h"
#include "ui/dashboard/dashboard_view.h"
#include "ui/usage/usage_window_win.h"

using Microsoft::WRL::ComPtr;

namespace tide::ui {
namespace {

D2D1_RECT_F rect_of(const DipRect& r) {
    return D2D1::RectF(r.left, r.top, r.right(), r.bottom());
}

ComPtr<ID2D1SolidColorBrush> solid(ID2D1RenderTarget* target, const Rgba& c) {
    ComPtr<ID2D1SolidColorBrush> brush;
    target->CreateSolidColorBrush(D2D1::ColorF(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, c.a / 255.0f),
                                  brush.GetAddressOf());
    return brush;
}

// The Gregorian name of a month in the language: the calendar's own names first, since a language's
// default calendar may be another one (Arabic and Persian locales count months differently).
std::wstring month_name(const std::wstring& locale, int32_t month, bool abbreviated) {
    wchar_t text[80] = {};
    const CALTYPE calendar_type =
        static_cast<CALTYPE>((abbreviated ? CAL_SABBREVMONTHNAME1 : CAL_SMONTHNAME1) + month - 1);
    if (GetCalendarInfoEx(locale.c_str(), CAL_GREGORIAN, nullptr, calendar_type, text, 80, nullptr) > 1) {
        return text;
    }
    const LCTYPE locale_type =
        static_cast<LCTYPE>((abbreviated ? LOCALE_SABBREVMONTHNAME1 : LOCALE_SMONTHNAME1) + month - 1);
    if (GetLocaleInfoEx(locale.c_str(), locale_type, text, 80) > 1) {
        return text;
    }
    return std::to_wstring(month);
}

std::wstring weekday_name(const std::wstring& locale, int64_t day) {
    // Day 0 was a Thursday; LOCALE_SABBREVDAYNAME1 is Monday.
    const auto monday_based = static_cast<LCTYPE>(((day % 7 + 7) % 7 + 3) % 7);
    wchar_t text[80] = {};
    if (GetLocaleInfoEx(locale.c_str(), LOCALE_SABBREVDAYNAME1 + monday_based, text, 80) > 1) {
        return text;
    }
    return {};
}

// Chinese, Japanese and Korean put the year first.
bool year_first(const std::wstring& locale) {
    return locale.starts_with(L"zh") || locale.starts_with(L"ja") || locale.starts_with(L"ko");
}

std::wstring number(int64_t value) {
    return std::to_wstring(value);
}

} // namespace

IDWriteTextLayout* UsageWindow::layout_of(std::wstring_view text, float size, DWRITE_FONT_WEIGHT weight,
                                          float width, bool centred,
                                          const std::function<void(IDWriteTextLayout*)>& prepare) {
    std::wstring key(text);
    key += L'\x1F' + std::to_wstring(size) + L' ' + std::to_wstring(static_cast<int>(weight)) + L' ' +
           std::to_wstring(width) + (centred ? L" c" : L"");
    if (const auto found = layouts_.find(key); found != layouts_.end()) {
        return found->second.Get();
    }
    if (layouts_.size() > 256) {
        layouts_.clear(); // days gone by and figures no longer shown
    }
    ComPtr<IDWriteTextLayout> layout = create_text_layout(text, size, weight, rtl_);
    if (!layout) {
        return nullptr;
    }
    layout->SetMaxWidth(std::max(width, 1.0f));
    if (centred) {
        layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    }
    if (prepare) {
        prepare(layout.Get());
    }
    return layouts_.emplace(std::move(key), std::move(layout)).first->second.Get();
}

void UsageWindow::draw_text(ID2D1RenderTarget* target, std::wstring_view text, const DipRect& box, float size,
                            DWRITE_FONT_WEIGHT weight, ID2D1Brush* brush, bool centred) {
    if (text.empty() || brush == nullptr) {
        return;
    }
    if (IDWriteTextLayout* layout = layout_of(text, size, weight, box.width, centred)) {
        target->DrawTextLayout(D2D1::Point2F(box.left, box.top), layout, brush, D2D1_DRAW_TEXT_OPTIONS_CLIP);
    }
}

std::wstring UsageWindow::bar_label_text(const UsageBar& bar) const {
    const CivilDate first = civil_from_day(bar.first_day);
    if (!months_) {
        return number(first.day);
    }
    std::wstring name = month_name(locale_, first.month, true);
    if (first.day != 1) {
        name = year_first(locale_) ? name + number(first.day) : number(first.day) + L" " + name;
    }
    return name;
}

std::wstring UsageWindow::bar_date_text(const UsageBar& bar) const {
    const CivilDate first = civil_from_day(bar.first_day);
    const auto date = [this](const CivilDate& d) {
        return year_first(locale_)
                   ? number(d.year) + L" " + month_name(locale_, d.month, false) + L" " + number(d.day)
                   : number(d.day) + L" " + month_name(locale_, d.month, false) + L" " + number(d.year);
    };
    if (!months_) {
        const std::wstring weekday = weekday_name(locale_, bar.first_day);
        return weekday.empty() ? date(first) : weekday + L" " + date(first);
    }
    if (first.day == 1) {
        const std::wstring month = month_name(locale_, first.month, false);
        return year_first(locale_) ? number(first.year) + L" " + month : month + L" " + number(first.year);
    }
    return date(first) + L" \u2013 " + date(civil_from_day(bar.last_day));
}

// A DC render target bound to the paint DC, as the dashboard does: the paint DC is clipped around the
// child controls on every system.
void UsageWindow::paint() {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd_, &ps);
    DrawingResources& resources = drawing_resources();
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (dc == nullptr || !resources.ready() || client.right <= 1 || client.bottom <= 1) {
        EndPaint(hwnd_, &ps);
        return;
    }
    const ComPtr<ID2D1DCRenderTarget> target = shared_dc_render_target(D2D1_ALPHA_MODE_IGNORE);
    if (!target || FAILED(bind_shared_target(target.Get(), dc, client))) {
        EndPaint(hwnd_, &ps);
        return;
    }
    const auto dpi = static_cast<float>(dpi_);
    target->SetDpi(dpi, dpi);
    target->BeginDraw();
    draw(target.Get(), static_cast<float>(client.right) * 96.0f / dpi,
         static_cast<float>(client.bottom) * 96.0f / dpi);
    end_shared_draw(target.Get(), D2D1_ALPHA_MODE_IGNORE); // a lost target is created again by the next paint
    EndPaint(hwnd_, &ps);
}

void UsageWindow::draw(ID2D1RenderTarget* target, float width, float height) {
    target->Clear(D2D1::ColorF(theme_.bg.r / 255.0f, theme_.bg.g / 255.0f, theme_.bg.b / 255.0f));
    const auto surface = solid(target, theme_.surface);
    const auto text = solid(target, theme_.text);
    const auto muted = solid(target, theme_.text_muted);
    const auto border = solid(target, theme_.border);
    const auto download = solid(target, theme_.download);
    const auto upload = solid(target, theme_.upload);
    const auto warning = solid(target, theme_.warning);
    if (!surface || !text || !muted || !border || !download || !upload || !warning) {
        return;
    }
    const auto numeric = [this](std::wstring_view s) { return rtl_ ? isolate(s) : std::wstring(s); };
    const auto bytes = [this, &numeric](uint64_t value) {
        return view_.format_bytes ? numeric(view_.format_bytes(value)) : std::wstring();
    };

    const UsageGeometry g = usage_geometry(width, height, rtl_);
    plot_rect_ = g.plot;
    draw_text(target, text_("usage.title"), g.title, 20, DWRITE_FONT_WEIGHT_BOLD, text.Get());
    draw_text(target, view_.note, g.note, 12, DWRITE_FONT_WEIGHT_NORMAL, warning.Get());
    if (apps_shown_) {
        return; // the Apps view covers the rest
    }

    // Each cell is one layout of three lines: caption, figure, and the line under it.
    for (size_t i = 0; i < g.summary.size(); ++i) {
        const DipRect& cell = g.summary[i];
        target->FillRoundedRectangle(D2D1::RoundedRect(rect_of(cell), 8, 8), surface.Get());
        const auto label_length = static_cast<UINT32>(view_.summary_labels[i].size());
        const DWRITE_TEXT_RANGE value_range{label_length + 1,
                                            static_cast<UINT32>(view_.summary_values[i].size()) + 1};
        const std::wstring lines =
            view_.summary_labels[i] + L"\n" + view_.summary_values[i] + L"\n" + view_.summary_details[i];
        IDWriteTextLayout* layout = layout_of(
            lines, 10.5f, DWRITE_FONT_WEIGHT_NORMAL, cell.width - 20, false, [&](IDWriteTextLayout* l) {
                l->SetFontSize(12, {0, label_length + 1});
                l->SetFontWeight(DWRITE_FONT_WEIGHT_SEMI_BOLD, value_range);
                // A figure with its limit ("657.0 MB of 6.0 GB") can be wider than a narrow cell:
                // smaller then, never cut.
                const float room = l->GetMaxWidth();
                float size = 15;
                for (; size > 9; --size) {
                    const ComPtr<IDWriteTextLayout> alone =
                        create_text_layout(view_.summary_values[i], size, DWRITE_FONT_WEIGHT_SEMI_BOLD, rtl_);
                    DWRITE_TEXT_METRICS m{};
                    if (!alone || FAILED(alone->GetMetrics(&m)) || m.width <= room) {
                        break;
                    }
                }
                l->SetFontSize(size, value_range);
            });
        if (layout != nullptr) {
            layout->SetDrawingEffect(text.Get(), value_range); // this paint's brush
            target->DrawTextLayout(D2D1::Point2F(cell.left + 10, cell.top + 5), layout, muted.Get(),
                                   D2D1_DRAW_TEXT_OPTIONS_CLIP);
        }
    }

    target->FillRoundedRectangle(D2D1::RoundedRect(rect_of(g.panel), 10, 10), surface.Get());
    const std::vector<UsageBar>& bars = months_ ? view_.months : view_.days;
    const uint64_t limit = months_ ? view_.limits.monthly : view_.limits.daily;
    const AxisScale scale = usage_axis(bars, limit);
    // The value labels are one layout, a line per grid line from the top, spaced as the grid is.
    const std::vector<GridLine> grid = usage_grid(g, scale, rtl_);
    std::wstring values;
    for (auto line = grid.rbegin(); line != grid.rend(); ++line) {
        target->DrawLine(D2D1::Point2F(g.plot.left, line->y), D2D1::Point2F(g.plot.right(), line->y),
                         border.Get(), 1.0f);
        values += (values.empty() ? L"" : L"\n") + bytes(static_cast<uint64_t>(line->value));
    }
    if (grid.size() >= 2 && !values.empty()) {
        const float spacing = grid.front().y - grid[1].y;
        const DipRect& top = grid.back().label;
        IDWriteTextLayout* layout = layout_of(
            values, 10, DWRITE_FONT_WEIGHT_NORMAL, top.width, false, [spacing](IDWriteTextLayout* l) {
                l->SetLineSpacing(DWRITE_LINE_SPACING_METHOD_UNIFORM, spacing, spacing / 2 + 3.5f);
            });
        if (layout != nullptr) {
            target->DrawTextLayout(D2D1::Point2F(top.left, grid.back().y - spacing / 2), layout, muted.Get());
        }
    }

    if (chart_focused_) {
        target->DrawRoundedRectangle(D2D1::RoundedRect(rect_of(inflated(g.panel, -3, -3)), 8, 8), text.Get(),
                                     1.0f);
    }

    const size_t n = bars.size();
    const size_t step = label_step(g.plot, n, months_ ? 44.0f : 26.0f);
    for (size_t i = 0; i < n; ++i) {
        const BarShape shape = bar_shape(g.plot, i, n, bars[i].totals, scale.max, rtl_);
        if (static_cast<int>(i) == hovered_) {
            target->FillRectangle(rect_of(shape.slot), border.Get());
        }
        target->FillRectangle(rect_of(shape.download), bars[i].over ? warning.Get() : download.Get());
        target->FillRectangle(rect_of(shape.upload), bars[i].over ? warning.Get() : upload.Get());
        if (has_label(i, n, step)) {
            const bool current = bars[i].first_day <= view_.today && view_.today <= bars[i].last_day;
            draw_text(target, bar_label_text(bars[i]), bar_label(g.plot, i, n, step, rtl_), 10,
                      current ? DWRITE_FONT_WEIGHT_BOLD : DWRITE_FONT_WEIGHT_NORMAL,
                      current ? text.Get() : muted.Get(), true);
        }
    }

    // The limit's line over the bars, its caption on a patch of the panel so that a bar never hides it.
    if (limit > 0) {
        const float y = point_y(g.plot, static_cast<double>(limit), scale.max);
        target->DrawLine(D2D1::Point2F(g.plot.left, y), D2D1::Point2F(g.plot.right(), y), warning.Get(),
                         1.5f);
        const std::wstring caption =
            text_(months_ ? "usage.monthly_limit" : "usage.daily_limit") + L" " + bytes(limit);
        const ComPtr<IDWriteTextLayout> layout =
            create_text_layout(caption, 10, DWRITE_FONT_WEIGHT_NORMAL, rtl_);
        DWRITE_TEXT_METRICS metrics{};
        if (layout && SUCCEEDED(layout->GetMetrics(&metrics))) {
            const float w = metrics.widthIncludingTrailingWhitespace;
            layout->SetMaxWidth(std::max(w, 1.0f));
            const float left = rtl_ ? g.plot.left + 4 : g.plot.right() - 4 - w;
            const DipRect patch{left - 4, y - 8, w + 8, 16};
            target->FillRoundedRectangle(D2D1::RoundedRect(rect_of(patch), 4, 4), surface.Get());
            target->DrawRoundedRectangle(D2D1::RoundedRect(rect_of(patch), 4, 4), warning.Get(), 1.0f);
            target->DrawTextLayout(D2D1::Point2F(left, y - 7), layout.Get(), warning.Get());
        }
    }

    if (hovered_ < 0 || static_cast<size_t>(hovered_) >= n) {
        return;
    }
    const UsageBar& bar = bars[static_cast<size_t>(hovered_)];
    const std::wstring readout = bar_date_text(bar) + L"\n" + text_("label.download") + L" " +
                                 bytes(bar.totals.download) + L"\n" + text_("label.upload") + L" " +
                                 bytes(bar.totals.upload) + L"\n" + text_("usage.total") + L" " +
                                 bytes(total_bytes(bar.totals));
    const ComPtr<IDWriteTextLayout> layout = create_text_layout(readout, 12, DWRITE_FONT_WEIGHT_NORMAL, rtl_);
    DWRITE_TEXT_METRICS metrics{};
    if (!layout || FAILED(layout->SetMaxWidth(400)) || FAILED(layout->GetMetrics(&metrics))) {
        return;
    }
    const BarShape shape = bar_shape(g.plot, static_cast<size_t>(hovered_), n, bar.totals, scale.max, rtl_);
    const DipRect box =
        usage_hover_box(g, shape.slot, metrics.widthIncludingTrailingWhitespace, metrics.height);
    layout->SetMaxWidth(std::max(metrics.widthIncludingTrailingWhitespace, 1.0f));
    const D2D1_ROUNDED_RECT rounded = D2D1::RoundedRect(rect_of(box), 6, 6);
    target->FillRoundedRectangle(rounded, surface.Get());
    target->DrawRoundedRectangle(rounded, border.Get(), 1.0f);
    target->DrawTextLayout(D2D1::Point2F(box.left + 8, box.top + 4), layout.Get(), text.Get());
}

} // namespace tide::ui
