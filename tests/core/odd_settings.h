// A settings record the settings window's lists cannot show: values between their entries, unit
// blocks that disagree, an unknown language and the longest graph range.
#pragma once

#include "persistence/settings.h"

namespace tide {

inline Settings odd_record() {
    Settings s;
    s.history_retention_days = 60;
    s.history_mode = 1;
    s.compact.font_size_pt = 15;
    s.compact_units.unit = 6;
    s.main_units.unit = 3;
    s.compact_units.precision = 0;
    s.main_units.precision = 2;
    s.desktop.opacity_pct = 42;
    s.language = "xx";
    s.history_window_s = 3600;
    return s;
}

} // namespace tide
