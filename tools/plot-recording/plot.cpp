#include "plot-recording/plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "plot-recording/svg.h"

namespace tyvarion::plot {
namespace {

constexpr double kWidth = 960;
constexpr double kMarginLeft = 60;
constexpr double kMarginRight = 24;
constexpr double kGazeTop = 92;
constexpr double kGazeMaxWidth = 620;
constexpr double kGazeMaxHeight = 420;
constexpr double kLegendLeft = 710;
constexpr double kTimelineHeight = 64;
constexpr double kPupilHeight = 170;

constexpr const char* kLeftColour = "#1f77b4";
constexpr const char* kRightColour = "#d62728";
constexpr const char* kDwellColour = "#2ca02c";
constexpr const char* kTriggerColour = "#9467bd";
constexpr const char* kMessageColour = "#444444";
constexpr const char* kAxisColour = "#888888";
constexpr const char* kGridColour = "#e4e4e4";

// Maps sample times to the shared horizontal axis of the timeline and pupil panels.
struct TimeAxis {
    std::int64_t first = 0;
    double seconds = 1;
    double left = kMarginLeft;
    double right = kWidth - kMarginRight;

    double x(std::int64_t micros) const {
        return left + (static_cast<double>(micros - first) / 1e6) / seconds * (right - left);
    }
};

std::string millisecondsText(std::int64_t micros) {
    return number(static_cast<double>(micros) / 1000.0, 0) + " ms";
}

void drawHeader(SvgDocument& svg, const tools::Recording& recording, const PlotOptions& options,
                const TimeAxis& axis) {
    svg.text("text", {{"x", number(kMarginLeft)}, {"y", "28"}, {"font-size", "17"}, {"font-weight", "bold"}},
             "Recording " + options.title);
    const auto missing = static_cast<std::size_t>(tools::missingSamples(recording.samples));
    std::string facts = counted(recording.samples.size(), "sample") + " over " + number(axis.seconds, 2) + " s, " +
                        counted(recording.triggers, "trigger") + ", " + counted(recording.messages, "message") + ", " +
                        counted(missing, "sample") + " missing";
    svg.text("text", {{"x", number(kMarginLeft)}, {"y", "48"}, {"fill", "#555555"}}, facts);
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

void drawGaze(SvgDocument& svg, const tools::Recording& recording, const PlotOptions& options,
              const GazeFrame& frame, std::size_t& dwellCount) {
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
    svg.text("text", {{"x", number(frame.left)}, {"y", number(frame.top + height + 18)}, {"fill", "#555555"}},
             "screen " + std::to_string(options.screenWidth) + " \xC3\x97 " + std::to_string(options.screenHeight) +
                 " px, gaze of both eyes; x to the right and y down from (0, 0) at the top left");
    drawScreenTicks(svg, options, frame, width, height);

    svg.open("g", {{"clip-path", "url(#screen-clip)"}});
    // Dwells first, under the paths.
    std::vector<TimedPoint> trace;
    trace.reserve(recording.samples.size());
    for (const auto& sample : recording.samples) trace.push_back({sample.timeMicros, gazeOf(sample)});
    const auto dwells = findDwells(trace, options.dwell);
    dwellCount = dwells.size();
    svg.open("g", {{"id", "dwells"}, {"fill", kDwellColour}, {"fill-opacity", "0.22"},
                   {"stroke", kDwellColour}, {"stroke-width", "1"}});
    for (const Dwell& dwell : dwells) {
        const double ms = static_cast<double>(dwell.endMicros - dwell.startMicros) / 1000.0;
        const double radius = dwellRadius(ms);
        svg.open("circle", {{"cx", number(frame.x(dwell.x))}, {"cy", number(frame.y(dwell.y))},
                            {"r", number(radius)}});
        svg.text("title", {},
                 "dwell of " + number(ms, 0) + " ms at (" + number(dwell.x, 0) + ", " + number(dwell.y, 0) + ")");
        svg.close();
    }
    svg.close();

    const auto eyePath = [&](const char* id, const char* colour, auto pick) {
        PathBuilder path;
        for (const auto& sample : recording.samples) {
            if (const auto& p = pick(sample))
                path.point(frame.x(p->x), frame.y(p->y));
            else
                path.gap();
        }
        svg.element("path", {{"id", id}, {"d", path.empty() ? "M0 0" : path.data()}, {"fill", "none"},
                             {"stroke", colour}, {"stroke-width", "1"}, {"stroke-opacity", "0.75"},
                             {"stroke-linejoin", "round"}});
    };
    eyePath("gaze-left", kLeftColour, [](const tools::RecordedSample& s) { return s.left; });
    eyePath("gaze-right", kRightColour, [](const tools::RecordedSample& s) { return s.right; });
    svg.close();
}

void drawLegend(SvgDocument& svg, double top, std::size_t dwells, const DwellCriteria& criteria) {
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
             "within " + number(criteria.maxDispersionPx, 0) + " px spread");
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

// Triggers: a dashed line above the event axis and again across the pupil
// panel, never through the message labels below the axis or the pupil label
// between the bands. A trigger's label is shortened to its code, or left to
// its tooltip, when the next trigger's line would cross it.
void drawTimeline(SvgDocument& svg, const tools::Recording& recording, const TimeAxis& axis, double top,
                  double pupilTop, double pupilBottom) {
    const double axisY = top + kTimelineHeight / 2;
    svg.text("text", {{"x", number(kMarginLeft - 8)}, {"y", number(axisY + 4)}, {"text-anchor", "end"},
                      {"fill", "#555555"}},
             "events");
    svg.element("line", {{"x1", number(axis.left)}, {"y1", number(axisY)}, {"x2", number(axis.right)},
                         {"y2", number(axisY)}, {"stroke", kAxisColour}});

    std::vector<std::pair<double, const tools::TextLine*>> triggers;
    for (const auto& line : recording.texts) {
        const auto time = tools::textLineTime(recording, line);
        if (line.kind == tools::TextKind::trigger && time) triggers.emplace_back(axis.x(*time), &line);
    }
    svg.open("g", {{"id", "triggers"}, {"stroke", kTriggerColour}, {"fill", kTriggerColour}});
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        const auto [x, line] = triggers[i];
        for (const auto& [from, to] : {std::pair{top + 4, axisY}, std::pair{pupilTop, pupilBottom}}) {
            svg.open("line", {{"x1", number(x)}, {"y1", number(from)}, {"x2", number(x)}, {"y2", number(to)},
                              {"stroke-dasharray", "4 3"}, {"stroke-width", "1"}});
            svg.text("title", {}, line->text);
            svg.close();
        }
        // Room up to the next trigger's line (or the panel's edge).
        const double room = (i + 1 < triggers.size() ? triggers[i + 1].first : axis.right + kMarginRight) - x - 5;
        std::string label = "trigger " + line->value;
        if (labelWidth(label) > room) label = line->value;
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
    for (const auto& line : recording.texts) {
        const auto time = tools::textLineTime(recording, line);
        if (line.kind != tools::TextKind::message || !time) continue;
        const double x = axis.x(*time);
        svg.open("path", {{"d", std::string("M") + number(x) + " " + number(axisY - 5) + " l5 5 l-5 5 l-5 -5 z"}});
        svg.text("title", {}, line.text);
        svg.close();
        const double end = x + 7 + labelWidth(line.value);
        if (end > kWidth) continue;
        for (int row = 0; row < kRows; ++row) {
            if (rowEnd[row] > x + 5) continue;
            svg.text("text", {{"x", number(x + 7)}, {"y", number(axisY + 16 + 11 * row)}, {"font-size", "11"}},
                     line.value);
            rowEnd[row] = end;
            break;
        }
    }
    svg.close();
}

void drawPupils(SvgDocument& svg, const tools::Recording& recording, const TimeAxis& axis, double top) {
    const double bottom = top + kPupilHeight;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const auto& sample : recording.samples) {
        for (const auto& value : {sample.pupilLeftMm, sample.pupilRightMm}) {
            if (!value) continue;
            low = std::min(low, *value);
            high = std::max(high, *value);
        }
    }
    if (!(low <= high)) {
        low = 0;
        high = 1;
    }
    const double pad = std::max((high - low) * 0.08, 0.05);
    low -= pad;
    high += pad;
    const auto y = [&](double mm) { return bottom - (mm - low) / (high - low) * kPupilHeight; };

    svg.text("text", {{"x", number(kMarginLeft - 44)}, {"y", number(top - 10)}, {"fill", "#555555"}},
             "pupil diameter [mm]");
    for (double tick : ticks(low, high, 5)) {
        svg.element("line", {{"x1", number(axis.left)}, {"y1", number(y(tick))}, {"x2", number(axis.right)},
                             {"y2", number(y(tick))}, {"stroke", kGridColour}});
        svg.text("text", {{"x", number(axis.left - 6)}, {"y", number(y(tick) + 4)}, {"text-anchor", "end"},
                          {"fill", "#555555"}},
                 number(tick, 2));
    }
    svg.element("rect", {{"x", number(axis.left)}, {"y", number(top)}, {"width", number(axis.right - axis.left)},
                         {"height", number(kPupilHeight)}, {"fill", "none"}, {"stroke", kAxisColour}});
    for (double tick : ticks(0, axis.seconds, 10)) {
        const double x = axis.left + tick / axis.seconds * (axis.right - axis.left);
        svg.element("line", {{"x1", number(x)}, {"y1", number(bottom)}, {"x2", number(x)}, {"y2", number(bottom + 5)},
                             {"stroke", kAxisColour}});
        svg.text("text", {{"x", number(x)}, {"y", number(bottom + 18)}, {"text-anchor", "middle"},
                          {"fill", "#555555"}},
                 number(tick, 3) + " s");
    }

    const auto series = [&](const char* id, const char* colour, auto pick) {
        PathBuilder path;
        for (const auto& sample : recording.samples) {
            if (const auto& value = pick(sample))
                path.point(axis.x(sample.timeMicros), y(*value));
            else
                path.gap();
        }
        svg.element("path", {{"id", id}, {"d", path.empty() ? "M0 0" : path.data()}, {"fill", "none"},
                             {"stroke", colour}, {"stroke-width", "1.2"}, {"stroke-linejoin", "round"}});
    };
    series("pupil-left", kLeftColour, [](const tools::RecordedSample& s) { return s.pupilLeftMm; });
    series("pupil-right", kRightColour, [](const tools::RecordedSample& s) { return s.pupilRightMm; });

    svg.open("g", {{"id", "pupil-legend"}, {"font-size", "11"}});
    double x = axis.right - 150;
    for (const auto& [colour, label] : {std::pair{kLeftColour, "left eye"}, std::pair{kRightColour, "right eye"}}) {
        svg.element("line", {{"x1", number(x)}, {"y1", number(top - 14)}, {"x2", number(x + 20)},
                             {"y2", number(top - 14)}, {"stroke", colour}, {"stroke-width", "2"}});
        svg.text("text", {{"x", number(x + 25)}, {"y", number(top - 10)}}, label);
        x += 80;
    }
    svg.close();
}

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

}  // namespace

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

std::string plotRecording(const tools::Recording& recording, const PlotOptions& options) {
    TimeAxis axis;
    if (!recording.samples.empty()) {
        axis.first = recording.samples.front().timeMicros;
        const double span = static_cast<double>(recording.samples.back().timeMicros - axis.first) / 1e6;
        axis.seconds = span > 0 ? span : 1;
    }
    const double scale = std::min(kGazeMaxWidth / std::max(options.screenWidth, 1),
                                  kGazeMaxHeight / std::max(options.screenHeight, 1));
    const GazeFrame frame{kMarginLeft, kGazeTop, scale};
    const double gazeBottom = kGazeTop + options.screenHeight * scale;
    const double timelineTop = std::max(gazeBottom, kGazeTop + 300) + 40;
    const double pupilTop = timelineTop + kTimelineHeight + 40;
    const double height = pupilTop + kPupilHeight + 36;

    SvgDocument svg(kWidth, height, kPictureMark);
    svg.element("rect", {{"width", number(kWidth)}, {"height", number(height)}, {"fill", "white"}});
    drawHeader(svg, recording, options, axis);
    std::size_t dwells = 0;
    drawGaze(svg, recording, options, frame, dwells);
    drawLegend(svg, kGazeTop, dwells, options.dwell);
    drawTimeline(svg, recording, axis, timelineTop, pupilTop, pupilTop + kPupilHeight);
    drawPupils(svg, recording, axis, pupilTop);
    if (recording.samples.empty()) {
        svg.text("text", {{"x", number(kWidth / 2)}, {"y", number(pupilTop + kPupilHeight / 2)},
                          {"text-anchor", "middle"}, {"font-size", "16"}},
                 "no sample in this recording");
    }
    return svg.finish();
}

}  // namespace tyvarion::plot
