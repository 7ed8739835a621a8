#include "plot-recording/plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "plot-recording/svg.h"

namespace tyvarion::plot {
namespace {

constexpr double kWidth = 960;
constexpr double kMarginLeft = 60;
constexpr double kMarginRight = 24;
constexpr double kGazeTop = 92;
constexpr double kLegendLeft = 710;
constexpr double kTimelineHeight = 64;
constexpr double kPupilHeight = 170;
constexpr double kSeriesHeight = 150;

constexpr const char* kLeftColour = "#1f77b4";
constexpr const char* kRightColour = "#d62728";
constexpr const char* kDwellColour = "#2ca02c";
constexpr const char* kTriggerColour = "#9467bd";
constexpr const char* kMessageColour = "#444444";
constexpr const char* kAxisColour = "#888888";
constexpr const char* kGridColour = "#e4e4e4";
constexpr const char* kXColour = "#17607d";
constexpr const char* kYColour = "#e08214";
constexpr const char* kDensityColour = "#1b5e20";

// Maps sample times to the shared horizontal axis of the panels over time.
struct TimeAxis {
    std::int64_t first = 0;
    double seconds = 1;
    double left = kMarginLeft;
    double right = kWidth - kMarginRight;

    double x(std::int64_t micros) const {
        const double at = std::clamp(static_cast<double>(micros - first) / 1e6, 0.0, seconds);
        return left + at / seconds * (right - left);
    }
};

std::string millisecondsText(std::int64_t micros) {
    return number(static_cast<double>(micros) / 1000.0, 0) + " ms";
}

struct GazeFrame {
    double left, top, scale;
    double x(double px) const { return left + px * scale; }
    double y(double py) const { return top + py * scale; }
};

// The radius of a dwell's circle grows with the root of its duration, up to a cap.
double dwellRadius(double ms) { return std::min(4.0 + std::sqrt(ms) * 0.6, 24.0); }

// Pixel ticks along the screen's top and left edges, where its origin is,
// faint grid lines inside, and the origin itself marked.
void drawScreenTicks(SvgDocument& svg, const PlotOptions& options, const GazeFrame& frame, double width,
                     double height) {
    svg.open("g", {{"id", "screen-ticks"}, {"fill", "#555555"}, {"font-size", "11"}});
    for (double tick : ticks(0, options.screenWidth, 8)) {
        if (tick <= 0) continue;
        const double x = frame.x(tick);
        svg.element("line", {{"x1", number(x)}, {"y1", number(frame.top)}, {"x2", number(x)},
                             {"y2", number(frame.top + height)}, {"stroke", kGridColour}});
        svg.element("line", {{"x1", number(x)}, {"y1", number(frame.top - 4)}, {"x2", number(x)},
                             {"y2", number(frame.top)}, {"stroke", kAxisColour}});
        svg.text("text", {{"x", number(x)}, {"y", number(frame.top - 7)}, {"text-anchor", "middle"}}, number(tick, 0));
    }
    for (double tick : ticks(0, options.screenHeight, 5)) {
        if (tick <= 0) continue;
        const double y = frame.y(tick);
        svg.element("line", {{"x1", number(frame.left)}, {"y1", number(y)}, {"x2", number(frame.left + width)},
                             {"y2", number(y)}, {"stroke", kGridColour}});
        svg.element("line", {{"x1", number(frame.left - 4)}, {"y1", number(y)}, {"x2", number(frame.left)},
                             {"y2", number(y)}, {"stroke", kAxisColour}});
        svg.text("text", {{"x", number(frame.left - 7)}, {"y", number(y + 4)}, {"text-anchor", "end"}}, number(tick, 0));
    }
    svg.element("circle", {{"id", "origin"}, {"cx", number(frame.left)}, {"cy", number(frame.top)}, {"r", "3"},
                           {"fill", "#333333"}});
    svg.text("text", {{"x", number(frame.left - 5)}, {"y", number(frame.top - 7)}, {"text-anchor", "end"}}, "(0, 0)");
    svg.close();
}


// Where the gaze was, when its path would be a tangle: each cell of the grid
// shaded by the time spent in it, on a logarithmic scale.
void drawDensity(SvgDocument& svg, const GazeGrid& grid, const GazeFrame& frame) {
    svg.open("g", {{"id", "gaze-density"}, {"fill", kDensityColour}});
    const double highest = std::log1p(static_cast<double>(grid.highest()));
    const double side = grid.cellPx() * frame.scale;
    for (int row = 0; row < grid.rows(); ++row) {
        for (int column = 0; column < grid.columns(); ++column) {
            const std::uint32_t count = grid.count(column, row);
            if (count == 0) continue;
            const double opacity = 0.08 + 0.8 * std::log1p(static_cast<double>(count)) / highest;
            svg.element("rect", {{"x", number(frame.x(column * grid.cellPx()), 1)},
                                 {"y", number(frame.y(row * grid.cellPx()), 1)}, {"width", number(side, 1)},
                                 {"height", number(side, 1)}, {"fill-opacity", number(opacity, 2)}});
        }
    }
    svg.close();
}

std::string pathData(const ThinnedPath& path, const GazeFrame& frame) {
    PathBuilder builder;
    for (const PathPoint& point : path.points()) {
        if (point.startsRun) builder.gap();
        builder.point(frame.x(point.x), frame.y(point.y));
    }
    return builder.empty() ? "M0 0" : builder.data();
}

struct GazeParts {
    const ThinnedPath& left;
    const ThinnedPath& right;
    const GazeGrid& grid;
    const std::vector<Dwell>& dwells;
    std::size_t samples;
};

void drawGaze(SvgDocument& svg, const GazeParts& gaze, const PlotOptions& options, const GazeFrame& frame) {
    const double width = options.screenWidth * frame.scale;
    const double height = options.screenHeight * frame.scale;
    svg.open("defs", {});
    svg.open("clipPath", {{"id", "screen-clip"}});
    svg.element("rect", {{"x", number(frame.left)}, {"y", number(frame.top)},
                         {"width", number(width)}, {"height", number(height)}});
    svg.close();
    svg.close();

    svg.element("rect", {{"id", "screen"}, {"x", number(frame.left)}, {"y", number(frame.top)},
                         {"width", number(width)}, {"height", number(height)}, {"fill", "#fafafa"},
                         {"stroke", "#333333"}, {"stroke-width", "1.5"}});
    const double cx = frame.x(options.screenWidth / 2.0);
    const double cy = frame.y(options.screenHeight / 2.0);
    svg.element("path", {{"d", std::string("M") + number(cx - 6) + " " + number(cy) + " h12 M" + number(cx) + " " +
                                    number(cy - 6) + " v12"},
                         {"stroke", "#bbbbbb"}});
    const bool paths = gaze.left.fits() && gaze.right.fits();
    svg.text("text", {{"x", number(frame.left)}, {"y", number(frame.top + height + 18)}, {"fill", "#555555"}},
             "screen " + std::to_string(options.screenWidth) + " \xC3\x97 " + std::to_string(options.screenHeight) +
                 " px, " + (paths ? "gaze of both eyes" : "where the gaze was, darker for longer") +
                 "; x to the right and y down from (0, 0) at the top left");
    if (!paths) {
        svg.text("text", {{"x", number(frame.left)}, {"y", number(frame.top + height + 34)}, {"fill", "#555555"},
                          {"font-size", "11"}},
                 counted(gaze.samples, "sample") + ": too many for a path that stays readable; one picture per "
                 "trial (--per-trial) draws the paths of shorter stretches");
    }
    drawScreenTicks(svg, options, frame, width, height);

    svg.open("g", {{"clip-path", "url(#screen-clip)"}});
    if (!paths) drawDensity(svg, gaze.grid, frame);
    // Dwells under the paths.
    svg.open("g", {{"id", "dwells"}, {"fill", kDwellColour}, {"fill-opacity", "0.22"},
                   {"stroke", kDwellColour}, {"stroke-width", "1"}});
    if (gaze.dwells.size() <= kMaxDwellCircles) {
        for (const Dwell& dwell : gaze.dwells) {
            const double ms = static_cast<double>(dwell.endMicros - dwell.startMicros) / 1000.0;
            svg.open("circle", {{"cx", number(frame.x(dwell.x))}, {"cy", number(frame.y(dwell.y))},
                                {"r", number(dwellRadius(ms))}});
            svg.text("title", {},
                     "dwell of " + number(ms, 0) + " ms at (" + number(dwell.x, 0) + ", " + number(dwell.y, 0) + ")");
            svg.close();
        }
    }
    svg.close();
    for (const auto& [id, colour, path] : {std::tuple{"gaze-left", kLeftColour, &gaze.left},
                                           std::tuple{"gaze-right", kRightColour, &gaze.right}}) {
        svg.element("path", {{"id", id}, {"d", paths ? pathData(*path, frame) : "M0 0"}, {"fill", "none"},
                             {"stroke", colour}, {"stroke-width", "1"}, {"stroke-opacity", "0.75"},
                             {"stroke-linejoin", "round"}});
    }
    svg.close();
}

void drawLegend(SvgDocument& svg, double top, std::size_t dwells, bool circlesDrawn, const DwellCriteria& criteria) {
    double y = top + 8;
    const auto lineEntry = [&](const char* colour, const std::string& label, const char* dashes = "none") {
        svg.element("line", {{"x1", number(kLegendLeft)}, {"y1", number(y)}, {"x2", number(kLegendLeft + 24)},
                             {"y2", number(y)}, {"stroke", colour}, {"stroke-width", "2"},
                             {"stroke-dasharray", dashes}});
        svg.text("text", {{"x", number(kLegendLeft + 32)}, {"y", number(y + 4)}}, label);
        y += 22;
    };
    lineEntry(kLeftColour, "left eye");
    lineEntry(kRightColour, "right eye");
    svg.element("circle", {{"cx", number(kLegendLeft + 12)}, {"cy", number(y)}, {"r", "7"},
                           {"fill", kDwellColour}, {"fill-opacity", "0.22"}, {"stroke", kDwellColour}});
    svg.text("text", {{"x", number(kLegendLeft + 32)}, {"y", number(y + 4)}},
             counted(dwells, "dwell") + ", each at least " + millisecondsText(criteria.minDurationMicros));
    y += 16;
    svg.text("text", {{"x", number(kLegendLeft + 32)}, {"y", number(y + 4)}, {"fill", "#555555"}},
             "within " + number(criteria.maxDispersionPx, 0) + " px spread" +
                 (circlesDrawn ? "" : "; too many to draw"));
    y += 22;
    // The circles' scale: the size of a dwell of each duration.
    svg.open("g", {{"id", "dwell-scale"}});
    svg.text("text", {{"x", number(kLegendLeft)}, {"y", number(y + 4)}, {"fill", "#555555"}}, "dwell duration:");
    y += 34;
    double x = kLegendLeft + 8;
    for (const double ms : {100.0, 500.0, 1000.0}) {
        const double r = dwellRadius(ms);
        x += r;
        svg.element("circle", {{"cx", number(x)}, {"cy", number(y)}, {"r", number(r)}, {"fill", kDwellColour},
                               {"fill-opacity", "0.22"}, {"stroke", kDwellColour}});
        svg.text("text", {{"x", number(x)}, {"y", number(y + 24 + 12)}, {"text-anchor", "middle"}, {"font-size", "11"}},
                 ms < 1000 ? number(ms, 0) + " ms" : number(ms / 1000, 0) + " s");
        x += r + 22;
    }
    svg.close();
    y += 58;
    lineEntry(kTriggerColour, "trigger", "4 3");
    svg.element("path", {{"d", std::string("M") + number(kLegendLeft + 12) + " " + number(y - 5) + " l5 5 l-5 5 l-5 -5 z"},
                         {"fill", kMessageColour}});
    svg.text("text", {{"x", number(kLegendLeft + 32)}, {"y", number(y + 4)}}, "message");
}

// Roughly the width of a label at 11 px, for keeping labels apart.
double labelWidth(std::string_view text) { return 6.5 * static_cast<double>(text.size()) + 4; }

struct Band {
    double top, bottom;
};

// Triggers: one dashed line each, above the event axis and again across the
// panels over time, never through the message labels below the axis or the
// panels' labels between the bands. A trigger's label is shortened to its
// code, or left to its tooltip, when the next trigger's line would cross it.
template <typename Event>
void drawTimeline(SvgDocument& svg, const std::vector<Event>& events, const TimeAxis& axis, double top,
                  std::initializer_list<Band> panels) {
    const double axisY = top + kTimelineHeight / 2;
    svg.text("text", {{"x", number(kMarginLeft - 8)}, {"y", number(axisY + 4)}, {"text-anchor", "end"},
                      {"fill", "#555555"}},
             "events");
    svg.element("line", {{"x1", number(axis.left)}, {"y1", number(axisY)}, {"x2", number(axis.right)},
                         {"y2", number(axisY)}, {"stroke", kAxisColour}});

    std::vector<std::pair<double, const Event*>> triggers;
    for (const Event& event : events) {
        if (event.kind == tools::TextKind::trigger && event.timeMicros)
            triggers.emplace_back(axis.x(*event.timeMicros), &event);
    }
    // Lines closer than a few pixels would merge their dashes into stripes:
    // then they are drawn thin and faint, and where they crowd they darken.
    const bool crowded = static_cast<double>(triggers.size()) > (axis.right - axis.left) / 4;
    if (crowded)
        svg.open("g", {{"id", "triggers"}, {"stroke", kTriggerColour}, {"fill", kTriggerColour},
                       {"stroke-width", "0.5"}, {"stroke-opacity", "0.35"}});
    else
        svg.open("g", {{"id", "triggers"}, {"stroke", kTriggerColour}, {"fill", kTriggerColour},
                       {"stroke-dasharray", "4 3"}});
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        const auto [x, event] = triggers[i];
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) of "M" + number(x).
        std::string d;
        const auto run = [&](double from, double to) {
            d.append(d.empty() ? "M" : " M").append(number(x)).append(" ").append(number(from));
            d.append(" V").append(number(to));
        };
        run(top + 4, axisY);
        for (const Band& band : panels) run(band.top, band.bottom);
        svg.open("path", {{"d", d}});
        svg.text("title", {}, event->text);
        svg.close();
        // Room up to the next trigger's line (or the panel's edge).
        const double room = (i + 1 < triggers.size() ? triggers[i + 1].first : axis.right + kMarginRight) - x - 5;
        std::string label = "trigger " + event->value;
        if (labelWidth(label) > room) label = event->value;
        if (labelWidth(label) > room) continue;
        svg.text("text", {{"x", number(x + 3)}, {"y", number(top + 12)}, {"stroke", "none"}, {"font-size", "11"}},
                 label);
    }
    svg.close();

    // Messages: a diamond on the axis, the text below it in the first of
    // three rows where it overlaps no other label; left to its tooltip when
    // none has room.
    svg.open("g", {{"id", "messages"}, {"fill", kMessageColour}});
    constexpr int kRows = 3;
    std::array<double, kRows> rowEnd;
    rowEnd.fill(-std::numeric_limits<double>::infinity());
    for (const Event& event : events) {
        if (event.kind != tools::TextKind::message || !event.timeMicros) continue;
        const double x = axis.x(*event.timeMicros);
        svg.open("path", {{"d", std::string("M") + number(x) + " " + number(axisY - 5) + " l5 5 l-5 5 l-5 -5 z"}});
        svg.text("title", {}, event.text);
        svg.close();
        const double end = x + 7 + labelWidth(event.value);
        if (end > kWidth) continue;
        for (int row = 0; row < kRows; ++row) {
            if (rowEnd[row] > x + 5) continue;
            svg.text("text", {{"x", number(x + 7)}, {"y", number(axisY + 16 + 11 * row)}, {"font-size", "11"}},
                     event.value);
            rowEnd[row] = end;
            break;
        }
    }
    svg.close();
}

std::string seriesPath(const BinnedSeries& series, const TimeAxis& axis, const auto& y) {
    PathBuilder path;
    for (const auto& point : series.points()) {
        if (point)
            path.point(axis.x(point->timeMicros), y(point->value));
        else
            path.gap();
    }
    return path.empty() ? "M0 0" : path.data();
}

struct Series {
    const char* id;
    const char* colour;
    const char* label;
    const BinnedSeries* values;
};

// A panel of values over time: a frame, value ticks and grid, time ticks,
// each series as a line with gaps, and their legend.
void drawOverTime(SvgDocument& svg, const TimeAxis& axis, double top, double height, const char* title,
                  const char* legendId, std::initializer_list<Series> series, double low, double high,
                  int decimals) {
    for (const Series& s : series) {
        if (s.values->lowest()) low = std::min(low, *s.values->lowest());
        if (s.values->highest()) high = std::max(high, *s.values->highest());
    }
    if (!(low < high)) {
        low = std::isfinite(low) ? low - 0.5 : 0;
        high = low + 1;
    }
    const double pad = (high - low) * 0.06;
    low -= pad;
    high += pad;
    const double bottom = top + height;
    const auto y = [&](double value) { return bottom - (value - low) / (high - low) * height; };

    svg.text("text", {{"x", number(kMarginLeft - 44)}, {"y", number(top - 10)}, {"fill", "#555555"}}, title);
    for (double tick : ticks(low, high, 5)) {
        svg.element("line", {{"x1", number(axis.left)}, {"y1", number(y(tick))}, {"x2", number(axis.right)},
                             {"y2", number(y(tick))}, {"stroke", kGridColour}});
        svg.text("text", {{"x", number(axis.left - 6)}, {"y", number(y(tick) + 4)}, {"text-anchor", "end"},
                          {"fill", "#555555"}},
                 number(tick, decimals));
    }
    svg.element("rect", {{"x", number(axis.left)}, {"y", number(top)}, {"width", number(axis.right - axis.left)},
                         {"height", number(height)}, {"fill", "none"}, {"stroke", kAxisColour}});
    for (double tick : ticks(0, axis.seconds, 10)) {
        const double x = axis.left + tick / axis.seconds * (axis.right - axis.left);
        svg.element("line", {{"x1", number(x)}, {"y1", number(bottom)}, {"x2", number(x)}, {"y2", number(bottom + 5)},
                             {"stroke", kAxisColour}});
        svg.text("text", {{"x", number(x)}, {"y", number(bottom + 18)}, {"text-anchor", "middle"},
                          {"fill", "#555555"}},
                 number(tick, 3) + " s");
    }
    for (const Series& s : series) {
        svg.element("path", {{"id", s.id}, {"d", seriesPath(*s.values, axis, y)}, {"fill", "none"},
                             {"stroke", s.colour}, {"stroke-width", "1.2"}, {"stroke-linejoin", "round"}});
    }
    svg.open("g", {{"id", legendId}, {"font-size", "11"}});
    double x = axis.right - 80.0 * static_cast<double>(series.size()) + 10;
    for (const Series& s : series) {
        svg.element("line", {{"x1", number(x)}, {"y1", number(top - 14)}, {"x2", number(x + 20)},
                             {"y2", number(top - 14)}, {"stroke", s.colour}, {"stroke-width", "2"}});
        svg.text("text", {{"x", number(x + 25)}, {"y", number(top - 10)}}, s.label);
        x += 80;
    }
    svg.close();
}

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace

double gazeScale(const PlotOptions& options) {
    return std::min(kGazeMaxWidth / std::max(options.screenWidth, 1), kGazeMaxHeight / std::max(options.screenHeight, 1));
}

const tools::OutputKind kPictureKind{
    "a picture written by plot-recording", [](std::string_view head) {
        return head.substr(0, kXmlDeclaration.size()) == kXmlDeclaration &&
               head.substr(kXmlDeclaration.size(), kPictureMark.size()) == kPictureMark;
    }};

std::string counted(std::size_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::vector<double> ticks(double low, double high, int target) {
    std::vector<double> result;
    if (!(high > low) || target < 1) return result;
    // The 1-2-5 step whose tick count comes closest to the target.
    const double raw = (high - low) / target;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    double bestMiss = std::numeric_limits<double>::infinity();
    for (double factor : {0.5, 1.0, 2.0, 5.0, 10.0}) {
        const double candidate = factor * power;
        const double miss = std::abs((high - low) / candidate - target);
        if (miss < bestMiss) {
            bestMiss = miss;
            step = candidate;
        }
    }
    // Whole multiples of the step, rounded to its decimals: 5.2, not 5.2000000000000002.
    const double scale = std::pow(10.0, std::max(0.0, -std::floor(std::log10(step))) + 1);
    for (double k = std::ceil(low / step - 1e-9); k * step <= high + step * 1e-9; ++k)
        result.push_back(std::round(k * step * scale) / scale + 0.0);
    return result;
}

std::string Picture::draw() {
    TimeAxis axis;
    if (firstMicros_) {
        axis.first = *firstMicros_;
        const double span = static_cast<double>(lastMicros_ - axis.first) / 1e6;
        axis.seconds = span > 0 ? span : 1;
        // Lines before the first sample take its time.
        for (Event& event : events_)
            if (!event.timeMicros) event.timeMicros = *firstMicros_;
    }
    const double scale = gazeScale(options_);
    const GazeFrame frame{kMarginLeft, kGazeTop, scale};
    const double gazeBottom = kGazeTop + options_.screenHeight * scale;
    const double timelineTop = std::max(gazeBottom + 16, kGazeTop + 300) + 40;
    const double gazeTimeTop = timelineTop + kTimelineHeight + 40;
    const double pupilTop = gazeTimeTop + kSeriesHeight + 46;
    const double height = pupilTop + kPupilHeight + 36;

    SvgDocument svg(kWidth, height, kPictureMark);
    svg.element("rect", {{"width", number(kWidth)}, {"height", number(height)}, {"fill", "white"}});
    svg.text("text", {{"x", number(kMarginLeft)}, {"y", "28"}, {"font-size", "17"}, {"font-weight", "bold"}},
             "Recording " + options_.title);
    svg.text("text", {{"x", number(kMarginLeft)}, {"y", "48"}, {"fill", "#555555"}},
             counted(samples_, "sample") + " over " + number(axis.seconds, 2) + " s, " + counted(triggers_, "trigger") +
                 ", " + counted(messages_, "message") + ", " + counted(missing_, "sample") + " missing");
    const std::vector<Dwell>& dwells = dwells_.finish();
    drawGaze(svg, GazeParts{left_, right_, grid_, dwells, samples_}, options_, frame);
    drawLegend(svg, kGazeTop, dwells.size(), dwells.size() <= kMaxDwellCircles, options_.dwell);
    drawTimeline(svg, events_, axis, timelineTop,
                 {Band{gazeTimeTop, gazeTimeTop + kSeriesHeight}, Band{pupilTop, pupilTop + kPupilHeight}});
    drawOverTime(svg, axis, gazeTimeTop, kSeriesHeight, "gaze [px]", "gaze-time-legend",
                 {Series{"gaze-x", kXColour, "x", &gazeX_}, Series{"gaze-y", kYColour, "y", &gazeY_}}, 0,
                 std::max(options_.screenWidth, options_.screenHeight), 0);
    drawOverTime(svg, axis, pupilTop, kPupilHeight, "pupil diameter [mm]", "pupil-legend",
                 {Series{"pupil-left", kLeftColour, "left eye", &pupilLeft_},
                  Series{"pupil-right", kRightColour, "right eye", &pupilRight_}},
                 std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), 2);
    if (samples_ == 0) {
        svg.text("text", {{"x", number(kWidth / 2)}, {"y", number(pupilTop + kPupilHeight / 2)},
                          {"text-anchor", "middle"}, {"font-size", "16"}},
                 "no sample in this recording");
    }
    return svg.finish();
}

}  // namespace tyvarion::plot
