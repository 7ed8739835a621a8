#pragma once
// A small writer of SVG text: elements with attributes, escaped text, numbers
// without locale. Text from a recording may hold any bytes; what is not valid
// UTF-8, and control characters XML does not allow, is replaced, so that the
// document always parses.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tyvarion::plot {

// A number with at most `decimals` decimals, trailing zeros dropped: "12.5", "-3", "0.25".
std::string number(double value, int decimals = 2);

// Text fit for XML character data and attribute values.
std::string escapeXml(std::string_view text);

struct Attribute {
    std::string_view name;
    std::string value;
};

class SvgDocument {
public:
    // `mark`, a whole XML comment, stands on the line after the XML declaration.
    SvgDocument(double width, double height, std::string_view mark = {});

    // <name a="..."/>
    void element(std::string_view name, std::initializer_list<Attribute> attributes);
    // <name a="...">text</name>
    void text(std::string_view name, std::initializer_list<Attribute> attributes, std::string_view content);
    // <name a="..."> ... </name>
    void open(std::string_view name, std::initializer_list<Attribute> attributes);
    void close();

    // The whole document; closes what is still open.
    std::string finish();

private:
    void start(std::string_view name, std::initializer_list<Attribute> attributes);

    std::string out_;
    std::vector<std::string> openElements_;
};

// Path data for polylines with gaps: "M x y L x y ..." per run of points.
// Points within `minStep` of the last one drawn are left out.
class PathBuilder {
public:
    explicit PathBuilder(double minStep = 0.5) : minStep_(minStep) {}
    void point(double x, double y);
    void gap() { drawing_ = false; }
    bool empty() const { return data_.empty(); }
    const std::string& data() const { return data_; }

private:
    double minStep_;
    bool drawing_ = false;
    double lastX_ = 0;
    double lastY_ = 0;
    std::string data_;
};

}  // namespace tyvarion::plot
