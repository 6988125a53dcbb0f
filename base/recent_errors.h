// The in-memory list of recent problems (file and network), printed by the diagnostics report.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace tide {

struct ErrorEntry {
    int64_t time = 0;  // Unix seconds
    std::string text;  // cleaned UTF-8
};

class RecentErrors {
public:
    static constexpr size_t k_limit = 50;

    // Cleans the text and appends it; the oldest entry goes once there are more than 50.
    void add(int64_t unix_time, std::string_view text);
    const std::deque<ErrorEntry>& entries() const { return entries_; }

private:
    std::deque<ErrorEntry> entries_;
};

}  // namespace tide
