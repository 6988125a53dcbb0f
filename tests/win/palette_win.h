// A palette a test names. A name that is none fails that test (an exception GoogleTest reports)
// rather than crashing the test program and every test after it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "presentation/theme.h"

namespace tide::test {

inline const Theme& palette(std::string_view name) {
    const Theme* theme = find_palette(name);
    if (theme == nullptr) {
        throw std::invalid_argument("no palette named " + std::string(name));
    }
    return *theme;
}

} // namespace tide::test
