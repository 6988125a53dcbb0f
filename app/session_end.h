// How the end of the Windows session spends its time. Windows ends a program that has no visible window
// 5 s after WM_ENDSESSION, so the handler keeps within a budget below that: the saves are handed to the
// writer first, the last measurement gets only what is left of it, and the writer the rest.
#pragma once

#include <cstdint>

namespace tide::app {

// A second of Windows' 5 s is left for hiding the read-outs, the answer and Windows' own clock, which
// starts before the message is taken.
inline constexpr int64_t k_session_end_budget_ms = 4000;

// What is left of the budget `elapsed_ms` after the handler began; 0 once it is spent.
int64_t session_time_left(int64_t elapsed_ms);

// How long the last measurement may take `elapsed_ms` after the handler began: `usual_ms`, or what is left
// of the budget when that is less.
int64_t last_measure_limit(int64_t elapsed_ms, int64_t usual_ms);

} // namespace tide::app
