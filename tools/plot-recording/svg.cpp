#include "plot-recording/svg.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace tyvarion::plot {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence at the start of `text`, 0 if invalid.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (first < 0x80) return 1;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code = first & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    // U+FFFE and U+FFFF are not XML characters either.
    if (overlong || surrogate || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF) return 0;
    return length;
}

}  // namespace

std::string number(double value, int decimals) {
    if (!std::isfinite(value)) return "0";
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string_view written(text, static_cast<std::size_t>(result.ptr - text));
    if (written.find('.') != std::string_view::npos) {
        while (written.back() == '0') written.remove_suffix(1);
        if (written.back() == '.') written.remove_suffix(1);
    }
    if (written == "-0") written = "0";
    return std::string(written);
}

std::string escapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = utf8Length(text);
        if (length == 0) {
            out += kReplacement;
            text.remove_prefix(1);
            continue;
        }
        if (length == 1) {
            const char c = text.front();
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                case '\'': out += "&apos;"; break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                        out += kReplacement;
                    else
                        out += c;
            }
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

SvgDocument::SvgDocument(double width, double height, std::string_view mark) {
    out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (!mark.empty()) {
        out_ += mark;
        out_ += '\n';
    }
    start("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                  {"width", number(width)},
                  {"height", number(height)},
                  {"viewBox", "0 0 " + number(width) + " " + number(height)},
                  {"font-family", "sans-serif"},
                  {"font-size", "12"}});
    out_ += ">\n";
    openElements_.emplace_back("svg");
}

void SvgDocument::start(std::string_view name, std::initializer_list<Attribute> attributes) {
    out_.append(openElements_.size() * 2, ' ');
    out_ += '<';
    out_ += name;
    for (const Attribute& attribute : attributes) {
        out_ += ' ';
        out_ += attribute.name;
        out_ += "=\"";
        out_ += escapeXml(attribute.value);
        out_ += '"';
    }
}

void SvgDocument::element(std::string_view name, std::initializer_list<Attribute> attributes) {
    start(name, attributes);
    out_ += "/>\n";
}

void SvgDocument::text(std::string_view name, std::initializer_list<Attribute> attributes,
                       std::string_view content) {
    start(name, attributes);
    out_ += '>';
    out_ += escapeXml(content);
    out_ += "</";
    out_ += name;
    out_ += ">\n";
}

void SvgDocument::open(std::string_view name, std::initializer_list<Attribute> attributes) {
    start(name, attributes);
    out_ += ">\n";
    openElements_.emplace_back(name);
}

void SvgDocument::close() {
    if (openElements_.empty()) return;
    const std::string name = std::move(openElements_.back());
    openElements_.pop_back();
    out_.append(openElements_.size() * 2, ' ');
    out_ += "</" + name + ">\n";
}

std::string SvgDocument::finish() {
    while (!openElements_.empty()) close();
    return std::move(out_);
}

void PathBuilder::point(double x, double y) {
    if (drawing_ && std::hypot(x - lastX_, y - lastY_) < minStep_) return;
    data_ += drawing_ ? " L" : (data_.empty() ? "M" : " M");
    data_ += number(x, 1);
    data_ += ' ';
    data_ += number(y, 1);
    lastX_ = x;
    lastY_ = y;
    drawing_ = true;
}

}  // namespace tyvarion::plot
