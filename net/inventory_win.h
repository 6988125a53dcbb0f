// Reading the interface inventory from the operating system.
#pragma once

#include "net/inventory.h"

namespace tide {

// Reads the interface table with its counters and the routes to the internet. Any thread may call
// it; callers share nothing but the cached timer frequency. Invalid when the table cannot be read.
Inventory take_inventory();

} // namespace tide
