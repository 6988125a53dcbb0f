// The monitors as the placement code sees them, fresh from the system each time.
#pragma once

#include "compact/placement.h"

#include <functional>
#include <vector>

namespace tide {

// Every monitor in the order the system reports them; device name as id, effective DPI (96 when unknown).
std::vector<DisplayInfo> enumerate_displays();

// Replaces the system's list, for tests that need monitors and work areas the system cannot fake; an empty
// function restores the system's list. Main thread only.
void set_display_source(std::function<std::vector<DisplayInfo>()> source);

} // namespace tide
