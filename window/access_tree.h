// What a painted window tells a screen reader: a plain record of its elements (name, value, place, role),
// built by each window from the same view its paint draws, and the walk through it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tide {

enum class AccessRole { text, image, list, list_item, group, custom };

// Client pixels, already mirrored where the window draws right to left.
struct AccessRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const AccessRect&, const AccessRect&) = default;
};

// A box in device-independent pixels to the client pixels it covers at a DPI.
AccessRect access_rect(float left, float top, float width, float height, int dpi);

struct AccessElement {
    std::wstring name;
    std::wstring value; // empty: the element has no value
    AccessRect rect;
    AccessRole role = AccessRole::text;
    int parent = -1; // index of the parent element; -1: the window itself
    bool focusable = false;

    friend bool operator==(const AccessElement&, const AccessElement&) = default;
};

struct AccessTree {
    std::wstring name; // the window's own element
    std::vector<AccessElement> elements;
    int focused = -1; // the element with the keyboard focus inside the window, -1 for none

    friend bool operator==(const AccessTree&, const AccessTree&) = default;
};

// Replaces "{0}", "{1}", ... by the arguments (the wide twin of the language packs' placeholders).
std::wstring fill_placeholders(std::wstring_view pattern, const std::vector<std::wstring>& arguments);

// A figure kept in one piece inside right-to-left text (left-to-right isolate ... pop isolate); other text
// as it is.
std::wstring isolate_wide(std::wstring_view figure, bool rtl);

enum class AccessStep { parent, next, previous, first_child, last_child };

// Where a step from element `from` (-1: the window) leads; -1 is the window, -2 nowhere.
int access_step(const AccessTree& tree, int from, AccessStep step);

// The innermost element holding a client point; -1 for the window itself.
int access_element_at(const AccessTree& tree, int x, int y);

} // namespace tide
