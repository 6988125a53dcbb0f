// A small, bounded reading of XML into a flat element list: the router's description and its SOAP
// answers are read from it. On Windows XmlLite fills the list; the portable tokenizer here fills it
// natively and in the fuzz target, so the readers on top are the same code on both sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

struct XmlElement {
    std::string name; // local name: a namespace prefix is dropped
    int parent = -1;  // index into the list; -1 for the document element
    int depth = 0;    // 1 for the document element
    std::string text; // the element's own character data, entities resolved
};

struct XmlTree {
    std::vector<XmlElement> elements; // document order

    // The first element named `name` among the direct children of `parent` (-1: the document
    // element), or -1.
    int child(int parent, std::string_view name) const;
    // The text of child(parent, name), empty when there is none.
    std::string child_text(int parent, std::string_view name) const;
};

// Builds an XmlTree from element events while keeping every limit, whoever parses: a tree that
// would break one is no tree at all.
class XmlTreeBuilder {
public:
    static constexpr int k_max_depth = 24;
    static constexpr size_t k_max_elements = 2048;
    static constexpr size_t k_max_text = 4096; // per element

    bool start(std::string_view qualified_name);
    bool text(std::string_view characters);
    bool end();
    // Inside the document element; white space outside it belongs to no element.
    bool inside() const { return depth_ > 0; }
    // The tree once exactly one document element was opened and closed.
    std::optional<XmlTree> finish();

private:
    XmlTree tree_;
    int open_ = -1;
    int depth_ = 0;
    bool closed_root_ = false;
    bool failed_ = false;
};

// The portable tokenizer: elements, attributes (read and dropped), character data, CDATA, comments,
// processing instructions and the five named and numeric character references. A document type
// declaration is refused (no entity of the sender's is ever expanded), as is anything malformed:
// invalid UTF-8, a control character other than tab and line ends (written or as a reference) and
// "]]>" outside a CDATA section, as XmlLite refuses them.
std::optional<XmlTree> parse_xml(std::string_view text);

// The document is UTF-8 of characters XML allows: no control character but tab, line feed and carriage
// return, no surrogate, not U+FFFE or U+FFFF.
bool valid_xml_characters(std::string_view text);

} // namespace tide
