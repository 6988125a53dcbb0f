// Scrubbing of free text: control bytes, profile user names, e-mail addresses, device names, length.
#include "base/sanitize.h"

#include <algorithm>
#include <iterator>

namespace tide {
namespace {

bool is_ascii_letter(unsigned char b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

bool is_address_byte(unsigned char b) {
    return is_ascii_letter(b) || (b >= '0' && b <= '9') || b == '+' || b == '-' || b == '.' || b == '_';
}

unsigned char ascii_lower(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 32) : b;
}

unsigned char byte_at(std::string_view text, size_t i) {
    return static_cast<unsigned char>(text[i]);
}

bool is_separator(unsigned char b) {
    return b == '\\' || b == '/';
}

// True when text[pos..] starts with ":\users\" (ASCII case-insensitive) right after a drive letter.
// Forward slashes count as separators too: Windows accepts them in paths, and a user name must not
// slip through because a path was written with them.
bool is_profile_folder_at(std::string_view text, size_t pos) {
    constexpr std::string_view k_marker = ":\\users\\";
    if (pos == 0 || !is_ascii_letter(byte_at(text, pos - 1)) || text.size() - pos < k_marker.size()) {
        return false;
    }
    for (size_t i = 0; i < k_marker.size(); ++i) {
        const unsigned char expected = static_cast<unsigned char>(k_marker[i]);
        const unsigned char b = byte_at(text, pos + i);
        const bool same = expected == '\\' ? is_separator(b) : ascii_lower(b) == expected;
        if (!same) {
            return false;
        }
    }
    return true;
}

// A blank does not end the name: "C:\Users\John Smith\..." is one user, and stopping at the blank
// would leave "Smith" in a report that promises no user names.
bool ends_user_name(char c) {
    return c == '\\' || c == '/' || c == '"';
}

std::string replace_profile_user_names(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (!is_profile_folder_at(text, i)) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        out.append(text.substr(i, 8)); // the matched bytes keep their case
        i += 8;
        while (i < text.size() && !ends_user_name(text[i])) {
            ++i;
        }
        out.append("<user>");
    }
    return out;
}

std::string replace_email_addresses(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const bool is_address = text[i] == '@' && !out.empty() &&
                                is_address_byte(static_cast<unsigned char>(out.back())) &&
                                i + 1 < text.size() && is_address_byte(byte_at(text, i + 1));
        if (!is_address) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        while (!out.empty() && is_address_byte(static_cast<unsigned char>(out.back()))) {
            out.pop_back();
        }
        ++i;
        while (i < text.size() && is_address_byte(byte_at(text, i))) {
            ++i;
        }
        out.append("<email>");
    }
    return out;
}

bool is_uuid_byte(unsigned char b) {
    return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F') || b == '-';
}

bool is_uuid_marker_at(std::string_view text, size_t pos) {
    constexpr std::string_view k_marker = "uuid:";
    if (text.size() - pos < k_marker.size()) {
        return false;
    }
    for (size_t i = 0; i < k_marker.size(); ++i) {
        if (ascii_lower(byte_at(text, pos + i)) != static_cast<unsigned char>(k_marker[i])) {
            return false;
        }
    }
    return true;
}

// A device's unique name ("uuid:" and its hexadecimal digits) identifies the router as a serial number
// would: it goes the way of a user name.
std::string replace_device_names(std::string_view text) {
    constexpr size_t k_marker_bytes = 5;
    constexpr size_t k_min_digits = 8;
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (!is_uuid_marker_at(text, i)) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        size_t end = i + k_marker_bytes;
        while (end < text.size() && is_uuid_byte(byte_at(text, end))) {
            ++end;
        }
        out.append(text.substr(i, k_marker_bytes));
        if (end - i - k_marker_bytes >= k_min_digits) {
            out.append("<id>");
        } else {
            out.append(text.substr(i + k_marker_bytes, end - i - k_marker_bytes));
        }
        i = end;
    }
    return out;
}

// Cuts to max_bytes, then drops trailing continuation bytes and the lead byte before them, so that no
// UTF-8 sequence is left split (a last multi-byte character goes even when it was complete).
void cut_to_length(std::string& text, size_t max_bytes) {
    if (text.size() <= max_bytes) {
        return;
    }
    text.resize(max_bytes);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
        text.pop_back();
    }
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0x80) {
        text.pop_back();
    }
    text.append("...");
}

} // namespace

std::string remove_invisible_controls(std::string_view text) {
    // UTF-8 of U+200E, U+200F, U+061C, U+202A to U+202E and U+2066 to U+2069.
    constexpr std::string_view k_bidi[] = {"\xE2\x80\x8E", "\xE2\x80\x8F", "\xD8\x9C",     "\xE2\x80\xAA",
                                           "\xE2\x80\xAB", "\xE2\x80\xAC", "\xE2\x80\xAD", "\xE2\x80\xAE",
                                           "\xE2\x81\xA6", "\xE2\x81\xA7", "\xE2\x81\xA8", "\xE2\x81\xA9"};
    constexpr std::string_view k_separators[] = {"\xE2\x80\xA8", "\xE2\x80\xA9"}; // U+2028, U+2029
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto starts = [&](std::string_view sequence) {
            return text.substr(0, sequence.size()) == sequence;
        };
        const std::string_view* bidi = std::find_if(std::begin(k_bidi), std::end(k_bidi), starts);
        const std::string_view* separator =
            std::find_if(std::begin(k_separators), std::end(k_separators), starts);
        const std::string_view pair = text.substr(0, 2);
        if (bidi != std::end(k_bidi)) {
            text.remove_prefix(bidi->size());
        } else if (separator != std::end(k_separators)) {
            out.push_back(' ');
            text.remove_prefix(separator->size());
        } else if (pair.size() == 2 && pair[0] == '\xC2' && static_cast<unsigned char>(pair[1]) >= 0x80 &&
                   static_cast<unsigned char>(pair[1]) <= 0x9F) {
            text.remove_prefix(2); // a C1 control: U+0080 to U+009F
        } else {
            out.push_back(text.front());
            text.remove_prefix(1);
        }
    }
    return out;
}

std::string sanitize_text(std::string_view text, size_t max_bytes) {
    std::string plain = remove_invisible_controls(text);
    for (char& c : plain) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            c = ' ';
        }
    }
    std::string out = replace_device_names(replace_email_addresses(replace_profile_user_names(plain)));
    cut_to_length(out, max_bytes);
    return out;
}

} // namespace tide
