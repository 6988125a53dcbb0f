// The end of the Windows session's time budget.
#include "app/session_end.h"

#include <algorithm>

namespace tide::app {

int64_t session_time_left(int64_t elapsed_ms) {
    return std::max<int64_t>(k_session_end_budget_ms - std::max<int64_t>(elapsed_ms, 0), 0);
}

int64_t last_measure_limit(int64_t elapsed_ms, int64_t usual_ms) {
    return std::min(usual_ms, session_time_left(elapsed_ms));
}

} // namespace tide::app
