// The walk through a window's elements.
#include "window/access_tree.h"

#include <cmath>

namespace tide {

AccessRect access_rect(float left, float top, float width, float height, int dpi) {
    const float scale = static_cast<float>(dpi > 0 ? dpi : 96) / 96.0f;
    return {static_cast<int>(std::floor(left * scale)), static_cast<int>(std::floor(top * scale)),
            static_cast<int>(std::ceil((left + width) * scale)), static_cast<int>(std::ceil((top + height) * scale))};
}

std::wstring fill_placeholders(std::wstring_view pattern, const std::vector<std::wstring>& arguments) {
    std::wstring out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const size_t close = pattern.find(L'}', i);
        if (pattern[i] == L'{' && close != std::wstring_view::npos && close > i + 1 && close - i <= 3) {
            size_t index = 0;
            bool digits = true;
            for (size_t j = i + 1; j < close; ++j) {
                digits = digits && pattern[j] >= L'0' && pattern[j] <= L'9';
                index = index * 10 + static_cast<size_t>(pattern[j] - L'0');
            }
            if (digits && index < arguments.size()) {
                out += arguments[index];
                i = close;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::wstring isolate_wide(std::wstring_view figure, bool rtl) {
    if (!rtl || figure.empty()) {
        return std::wstring(figure);
    }
    return L"\u2066" + std::wstring(figure) + L"\u2069";
}

int access_step(const AccessTree& tree, int from, AccessStep step) {
    const int count = static_cast<int>(tree.elements.size());
    if (from < -1 || from >= count) {
        return -2;
    }
    const int parent = from < 0 ? -2 : tree.elements[static_cast<size_t>(from)].parent;
    const auto child_of = [&tree](int i, int p) { return tree.elements[static_cast<size_t>(i)].parent == p; };
    switch (step) {
    case AccessStep::parent:
        return parent;
    case AccessStep::next:
        if (from >= 0) {
            for (int i = from + 1; i < count; ++i) {
                if (child_of(i, parent)) {
                    return i;
                }
            }
        }
        return -2;
    case AccessStep::previous:
        for (int i = from - 1; i >= 0; --i) {
            if (child_of(i, parent)) {
                return i;
            }
        }
        return -2;
    case AccessStep::first_child:
        for (int i = from + 1; i < count; ++i) {
            if (child_of(i, from)) {
                return i;
            }
        }
        return -2;
    case AccessStep::last_child:
        for (int i = count - 1; i > from; --i) {
            if (child_of(i, from)) {
                return i;
            }
        }
        return -2;
    }
    return -2;
}

int access_element_at(const AccessTree& tree, int x, int y) {
    int found = -1;
    for (size_t i = 0; i < tree.elements.size(); ++i) {
        const AccessRect& r = tree.elements[i].rect;
        // Children follow their parent, so the last hit is the innermost.
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
            found = static_cast<int>(i);
        }
    }
    return found;
}

} // namespace tide
