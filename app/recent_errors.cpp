// The in-memory list of recent problems.
#include "app/recent_errors.h"

namespace tide {
namespace {

// Control bytes become blanks and the text is cut to 300 bytes on a character boundary.
std::string clean(std::string_view text) {
    constexpr size_t k_max_bytes = 300;
    std::string out(text.substr(0, text.size()));
    for (char& c : out) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127) {
            c = ' ';
        }
    }
    if (out.size() > k_max_bytes) {
        size_t cut = k_max_bytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.resize(cut);
    }
    return out;
}

}  // namespace

void RecentErrors::add(int64_t unix_time, std::string_view text) {
    entries_.push_back({unix_time, clean(text)});
    while (entries_.size() > k_limit) {
        entries_.pop_front();
    }
}

}  // namespace tide
