#pragma once
// A strict reader of the XML the plotter writes, for the tests: it rejects
// what a conforming parser rejects in such documents (unbalanced or misnamed
// tags, unquoted or repeated attributes, unknown entities, raw "<" or "&",
// invalid UTF-8, characters XML forbids) and returns the element tree.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tyvarion::testing {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;  // values with entities resolved
    std::vector<std::unique_ptr<XmlElement>> children;
    std::string text;  // character data directly inside, entities resolved

    const XmlElement* findById(std::string_view id) const;
    // Direct children named `childName`.
    std::vector<const XmlElement*> childrenNamed(std::string_view childName) const;
    // Elements named `elementName` anywhere below, this one included.
    std::size_t countNamed(std::string_view elementName) const;
};

struct XmlResult {
    std::unique_ptr<XmlElement> root;  // null on error
    std::string error;                 // with the byte offset
};

XmlResult parseXml(std::string_view document);

}  // namespace tyvarion::testing
