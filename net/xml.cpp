// A small, bounded reading of XML into a flat element list.
#include "net/xml.h"

namespace tide {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

std::string_view local_name(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

void append_utf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The characters XML allows in a document, written or referenced: no control character but tab,
// line feed and carriage return, no surrogate, not U+FFFE or U+FFFF.
bool is_xml_char(uint32_t code) {
    if (code < 0x20) {
        return code == 0x09 || code == 0x0A || code == 0x0D;
    }
    return (code < 0xD800 || code > 0xDFFF) && code != 0xFFFE && code != 0xFFFF && code <= 0x10FFFF;
}

} // namespace

bool valid_xml_characters(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        uint32_t code = lead;
        uint32_t least = 0;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            least = 0x10000;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            least = 0x800;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
            least = 0x80;
        } else if (lead >= 0x80) {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = code << 6 | (next & 0x3F);
        }
        if (code < least || !is_xml_char(code)) {
            return false;
        }
        i += length;
    }
    return true;
}

namespace {

// Resolves the references in character data or an attribute value; nullopt for an unknown one.
std::optional<std::string> resolve_references(std::string_view raw) {
    std::string out;
    size_t i = 0;
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '<') {
            return std::nullopt;
        }
        if (c != '&') {
            out += c;
            ++i;
            continue;
        }
        const size_t semicolon = raw.find(';', i);
        if (semicolon == std::string_view::npos || semicolon - i > 10) {
            return std::nullopt;
        }
        const std::string_view name = raw.substr(i + 1, semicolon - i - 1);
        if (name == "lt") {
            out += '<';
        } else if (name == "gt") {
            out += '>';
        } else if (name == "amp") {
            out += '&';
        } else if (name == "quot") {
            out += '"';
        } else if (name == "apos") {
            out += '\'';
        } else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            if (digits.empty()) {
                return std::nullopt;
            }
            uint32_t code = 0;
            for (const char d : digits) {
                uint32_t value = 0;
                if (d >= '0' && d <= '9') {
                    value = static_cast<uint32_t>(d - '0');
                } else if (hex && d >= 'a' && d <= 'f') {
                    value = static_cast<uint32_t>(d - 'a' + 10);
                } else if (hex && d >= 'A' && d <= 'F') {
                    value = static_cast<uint32_t>(d - 'A' + 10);
                } else {
                    return std::nullopt;
                }
                code = code * (hex ? 16 : 10) + value; // at most 8 digits: no overflow
            }
            if (!is_xml_char(code)) {
                return std::nullopt;
            }
            append_utf8(out, code);
        } else {
            return std::nullopt;
        }
        i = semicolon + 1;
    }
    return out;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    std::optional<XmlTree> run() {
        if (!valid_xml_characters(text_)) {
            return std::nullopt;
        }
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
            pos_ = 3;
        }
        while (pos_ < text_.size()) {
            if (text_[pos_] != '<') {
                const size_t next = text_.find('<', pos_);
                const size_t end = next == std::string_view::npos ? text_.size() : next;
                const std::string_view raw = text_.substr(pos_, end - pos_);
                if (raw.find("]]>") != std::string_view::npos) {
                    return std::nullopt; // only a CDATA section may end so
                }
                const std::optional<std::string> data = resolve_references(text_.substr(pos_, end - pos_));
                if (!data || !characters(*data)) {
                    return std::nullopt;
                }
                pos_ = end;
                continue;
            }
            if (!markup()) {
                return std::nullopt;
            }
        }
        return builder_.finish();
    }

private:
    // Character data outside the document element may only be white space.
    bool characters(std::string_view data) {
        if (depth_ == 0) {
            for (const char c : data) {
                if (!is_space(c)) {
                    return false;
                }
            }
            return true;
        }
        return builder_.text(data);
    }

    bool skip_past(std::string_view terminator) {
        const size_t found = text_.find(terminator, pos_);
        if (found == std::string_view::npos) {
            return false;
        }
        pos_ = found + terminator.size();
        return true;
    }

    std::string_view read_name() {
        const size_t start = pos_;
        while (pos_ < text_.size() && is_name_char(text_[pos_])) {
            ++pos_;
        }
        return text_.substr(start, pos_ - start);
    }

    void skip_space() {
        while (pos_ < text_.size() && is_space(text_[pos_])) {
            ++pos_;
        }
    }

    bool markup() {
        const std::string_view rest = text_.substr(pos_);
        if (rest.substr(0, 4) == "<!--") {
            pos_ += 4;
            return skip_past("-->");
        }
        if (rest.substr(0, 9) == "<![CDATA[") {
            pos_ += 9;
            const size_t end = text_.find("]]>", pos_);
            if (end == std::string_view::npos || depth_ == 0) {
                return false;
            }
            const bool ok = builder_.text(text_.substr(pos_, end - pos_));
            pos_ = end + 3;
            return ok;
        }
        if (rest.substr(0, 2) == "<?") {
            pos_ += 2;
            return skip_past("?>");
        }
        if (rest.substr(0, 2) == "<!") {
            return false; // a document type declaration, or worse
        }
        if (rest.substr(0, 2) == "</") {
            pos_ += 2;
            const std::string_view name = read_name();
            skip_space();
            if (name.empty() || depth_ == 0 || name != open_names_.back() || pos_ >= text_.size() ||
                text_[pos_] != '>') {
                return false;
            }
            ++pos_;
            open_names_.pop_back();
            --depth_;
            return builder_.end();
        }
        ++pos_;
        const std::string_view name = read_name();
        if (name.empty() || !builder_.start(name)) {
            return false;
        }
        while (true) {
            const size_t before = pos_;
            skip_space();
            if (pos_ >= text_.size()) {
                return false;
            }
            if (text_[pos_] == '>') {
                ++pos_;
                open_names_.push_back(name);
                ++depth_;
                return true;
            }
            if (text_.substr(pos_, 2) == "/>") {
                pos_ += 2;
                return builder_.end();
            }
            if (pos_ == before || !attribute()) {
                return false;
            }
        }
    }

    bool attribute() {
        if (read_name().empty()) {
            return false;
        }
        skip_space();
        if (pos_ >= text_.size() || text_[pos_] != '=') {
            return false;
        }
        ++pos_;
        skip_space();
        if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
            return false;
        }
        const char quote = text_[pos_++];
        const size_t end = text_.find(quote, pos_);
        if (end == std::string_view::npos || !resolve_references(text_.substr(pos_, end - pos_))) {
            return false;
        }
        pos_ = end + 1;
        return true;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int depth_ = 0;
    std::vector<std::string_view> open_names_;
    XmlTreeBuilder builder_;
};

} // namespace

int XmlTree::child(int parent, std::string_view name) const {
    for (size_t i = parent < 0 ? 0 : static_cast<size_t>(parent) + 1; i < elements.size(); ++i) {
        const XmlElement& element = elements[i];
        if (element.parent == parent && element.name == name) {
            return static_cast<int>(i);
        }
        // Children follow their parent; a root-level element after the first ends the search.
        if (parent >= 0 && element.depth <= elements[static_cast<size_t>(parent)].depth) {
            break;
        }
    }
    return -1;
}

std::string XmlTree::child_text(int parent, std::string_view name) const {
    const int found = child(parent, name);
    return found < 0 ? std::string() : elements[static_cast<size_t>(found)].text;
}

bool XmlTreeBuilder::start(std::string_view qualified_name) {
    if (failed_ || closed_root_ || depth_ >= k_max_depth || tree_.elements.size() >= k_max_elements) {
        failed_ = true;
        return false;
    }
    XmlElement element;
    element.name = std::string(local_name(qualified_name));
    element.parent = open_;
    element.depth = ++depth_;
    tree_.elements.push_back(std::move(element));
    open_ = static_cast<int>(tree_.elements.size()) - 1;
    return true;
}

bool XmlTreeBuilder::text(std::string_view characters) {
    if (failed_ || open_ < 0) {
        failed_ = true;
        return false;
    }
    std::string& text = tree_.elements[static_cast<size_t>(open_)].text;
    if (text.size() + characters.size() > k_max_text) {
        failed_ = true;
        return false;
    }
    text += characters;
    return true;
}

bool XmlTreeBuilder::end() {
    if (failed_ || open_ < 0) {
        failed_ = true;
        return false;
    }
    open_ = tree_.elements[static_cast<size_t>(open_)].parent;
    --depth_;
    closed_root_ = depth_ == 0;
    return true;
}

std::optional<XmlTree> XmlTreeBuilder::finish() {
    if (failed_ || !closed_root_) {
        return std::nullopt;
    }
    return std::move(tree_);
}

std::optional<XmlTree> parse_xml(std::string_view text) {
    return Tokenizer(text).run();
}

} // namespace tide
