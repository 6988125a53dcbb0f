// The in-memory list of recent problems.
#include "base/recent_errors.h"

#include "base/sanitize.h"

namespace tide {

void RecentErrors::add(int64_t unix_time, std::string_view text) {
    entries_.push_back({unix_time, sanitize_text(text, k_sanitize_max_bytes)});
    while (entries_.size() > k_limit) {
        entries_.pop_front();
    }
}

} // namespace tide
