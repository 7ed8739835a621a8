// The plotter's pieces: XML text, numbers, paths with gaps, axis ticks,
// dwells, and the whole picture read back by a strict XML reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>

#include "plot-recording/plot.h"
#include "plot-recording/svg.h"
#include "xml_check.h"

namespace tyvarion::plot {
namespace {

using testing::parseXml;

std::size_t countOf(const std::string& text, char c) { return std::count(text.begin(), text.end(), c); }

TEST(Svg, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    EXPECT_EQ(escapeXml("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
    EXPECT_EQ(escapeXml("tab\tok"), "tab\tok");
    EXPECT_EQ(escapeXml("bell\x07"), "bell\xEF\xBF\xBD");
    EXPECT_EQ(escapeXml("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");          // UTF-8 kept
    EXPECT_EQ(escapeXml("caf\xE9"), "caf\xEF\xBF\xBD");                      // Latin-1 byte
    EXPECT_EQ(escapeXml("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");            // overlong
    EXPECT_EQ(escapeXml("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
    EXPECT_EQ(escapeXml("\xEF\xBF\xBF"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // U+FFFF
    EXPECT_EQ(escapeXml("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(escapeXml("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");            // cut short
}

TEST(Svg, NumbersWithoutTrailingZeros) {
    EXPECT_EQ(number(12.5), "12.5");
    EXPECT_EQ(number(3.0), "3");
    EXPECT_EQ(number(-0.001), "0");
    EXPECT_EQ(number(0.125, 2), "0.12");
    EXPECT_EQ(number(1234.5678, 1), "1234.6");
    EXPECT_EQ(number(-7.25), "-7.25");
    EXPECT_EQ(number(std::numeric_limits<double>::quiet_NaN()), "0");
}

TEST(Svg, PathRunsBreakAtGapsAndSkipTinySteps) {
    PathBuilder path(0.5);
    path.point(0, 0);
    path.point(0.2, 0.2);  // within half a pixel: left out
    path.point(10, 0);
    path.gap();
    path.gap();
    path.point(20, 5.26);
    path.point(30, 5);
    EXPECT_EQ(path.data(), "M0 0 L10 0 M20 5.3 L30 5");
}

TEST(Plot, TicksOnOneTwoFiveSteps) {
    EXPECT_EQ(ticks(0, 3, 10), (std::vector<double>{0, 0.5, 1, 1.5, 2, 2.5, 3}));
    EXPECT_EQ(ticks(5.1, 6.1, 5), (std::vector<double>{5.2, 5.4, 5.6, 5.8, 6.0}));
    EXPECT_EQ(ticks(0, 10, 5), (std::vector<double>{0, 2, 4, 6, 8, 10}));
    EXPECT_TRUE(ticks(1, 1, 5).empty());
}

TEST(Dwell, CompactRunsLongEnoughAndBrokenByBlinks) {
    std::vector<TimedPoint> trace;
    const auto add = [&](std::int64_t ms, std::optional<tools::GazePoint> p) { trace.push_back({ms * 1000, p}); };
    // 0-120 ms around (100, 100): a dwell.
    for (int ms = 0; ms <= 120; ms += 10) add(ms, tools::GazePoint{100.0 + (ms % 20) / 10.0, 100});
    // A saccade.
    add(130, tools::GazePoint{300, 300});
    // 140-200 ms around (500, 500): too short.
    for (int ms = 140; ms <= 200; ms += 10) add(ms, tools::GazePoint{500, 500});
    // 210-400 ms at (800, 200), split by a blink at 300 ms: 210-290 and 310-400.
    for (int ms = 210; ms <= 400; ms += 10) add(ms, ms == 300 ? std::nullopt : std::optional(tools::GazePoint{800, 200}));

    const auto dwells = findDwells(trace, DwellCriteria{40, 80'000});
    ASSERT_EQ(dwells.size(), 3u);
    EXPECT_EQ(dwells[0].startMicros, 0);
    EXPECT_EQ(dwells[0].endMicros, 120'000);
    EXPECT_EQ(dwells[0].points, 13u);
    EXPECT_NEAR(dwells[0].x, 100 + 6.0 / 13, 1e-9);
    EXPECT_EQ(dwells[0].y, 100);
    EXPECT_EQ(dwells[1].startMicros, 210'000);
    EXPECT_EQ(dwells[1].endMicros, 290'000);
    EXPECT_EQ(dwells[2].startMicros, 310'000);
    EXPECT_EQ(dwells[2].endMicros, 400'000);
    EXPECT_TRUE(findDwells({}, DwellCriteria{}).empty());
}

TEST(Dwell, GazeFallsBackToTheEyes) {
    tools::RecordedSample sample;
    EXPECT_FALSE(gazeOf(sample));
    sample.right = tools::GazePoint{10, 20};
    EXPECT_EQ(gazeOf(sample)->x, 10);
    sample.left = tools::GazePoint{20, 40};
    EXPECT_EQ(gazeOf(sample)->x, 15);
    EXPECT_EQ(gazeOf(sample)->y, 30);
    sample.gaze = tools::GazePoint{1, 2};
    EXPECT_EQ(gazeOf(sample)->x, 1);
}

tools::Recording shortRecording() {
    std::string text =
        "Sep=;\n"
        "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
        "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n"
        "trigger: 1\n"
        "message: trial 1 <start> & \"more\"\n";
    // 300 samples at 500 Hz: a fixation, a blink of 10 samples, another fixation.
    for (int i = 0; i < 300; ++i) {
        const std::string time = std::to_string(1'000'000 + i * 2000) + ";" + std::to_string(i) + ";";
        if (i >= 140 && i < 150) {
            text += time + "INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;\n";
            continue;
        }
        const std::string x = i < 140 ? "400" : "1500";
        text += time + x + ";300;" + x + ";301;5.2;" + x + ";299;5.4;\n";
        if (i == 150) text += "trigger: 2\nmessage: caf\xE9\n";
    }
    std::istringstream input(text);
    return tools::parseRecording(input);
}

TEST(Plot, PictureParsesAndHoldsItsParts) {
    PlotOptions options;
    options.title = "tyvarion_NBS_test.csv";
    const std::string svg = plotRecording(shortRecording(), options);
    const auto parsed = parseXml(svg);
    ASSERT_TRUE(parsed.root) << parsed.error;
    const auto& root = *parsed.root;
    EXPECT_EQ(root.name, "svg");
    EXPECT_EQ(root.attributes.at("xmlns"), "http://www.w3.org/2000/svg");

    const auto* screen = root.findById("screen");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->name, "rect");
    EXPECT_EQ(screen->attributes.at("width"), "620");
    EXPECT_EQ(screen->attributes.at("height"), "348.75");  // 1920 x 1080 at the same scale

    // Each path is one run before the blink and one after: the gap stays a gap.
    for (const char* id : {"gaze-left", "gaze-right", "gaze-x", "gaze-y", "pupil-left", "pupil-right"}) {
        const auto* path = root.findById(id);
        ASSERT_NE(path, nullptr) << id;
        EXPECT_EQ(path->name, "path");
        EXPECT_EQ(countOf(path->attributes.at("d"), 'M'), 2u) << id;
    }

    const auto* dwells = root.findById("dwells");
    ASSERT_NE(dwells, nullptr);
    EXPECT_EQ(dwells->childrenNamed("circle").size(), 2u);

    const auto* triggers = root.findById("triggers");
    ASSERT_NE(triggers, nullptr);
    // One line each, above the event axis and across the gaze and pupil panels.
    const auto triggerLines = triggers->childrenNamed("path");
    ASSERT_EQ(triggerLines.size(), 2u);
    for (const auto* line : triggerLines) EXPECT_EQ(countOf(line->attributes.at("d"), 'M'), 3u);
    EXPECT_EQ(triggerLines[1]->childrenNamed("title")[0]->text, "trigger: 2");
    EXPECT_EQ(root.findById("gaze-density"), nullptr);  // a short path is drawn as it is
    const auto labels = triggers->childrenNamed("text");
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0]->text, "trigger 1");
    EXPECT_EQ(labels[1]->text, "trigger 2");

    const auto* messages = root.findById("messages");
    ASSERT_NE(messages, nullptr);
    EXPECT_EQ(messages->childrenNamed("path").size(), 2u);
    const auto messageLabels = messages->childrenNamed("text");
    ASSERT_EQ(messageLabels.size(), 2u);
    EXPECT_EQ(messageLabels[0]->text, "trial 1 <start> & \"more\"");
    EXPECT_EQ(messageLabels[1]->text, "caf\xEF\xBF\xBD");
}

TEST(Plot, CountsScalesAndLabelsNoLineCrosses) {
    const std::string svg = plotRecording(shortRecording(), PlotOptions{});
    const auto parsed = parseXml(svg);
    ASSERT_TRUE(parsed.root) << parsed.error;
    const auto& root = *parsed.root;
    EXPECT_NE(svg.find(">300 samples over 0.6 s, 2 triggers, 2 messages, 0 samples missing<"), std::string::npos);
    EXPECT_NE(svg.find(">2 dwells, each at least 100 ms<"), std::string::npos);
    EXPECT_EQ(counted(1, "sample"), "1 sample");
    EXPECT_EQ(counted(0, "dwell"), "0 dwells");
    EXPECT_EQ(counted(2, "trigger"), "2 triggers");

    // The screen's pixel scale, its origin, the dwells' scale, the pupils' legend.
    const auto* screenTicks = root.findById("screen-ticks");
    ASSERT_NE(screenTicks, nullptr);
    std::vector<std::string> labels;
    for (const auto* text : screenTicks->childrenNamed("text")) labels.push_back(text->text);
    EXPECT_EQ(labels, (std::vector<std::string>{"200", "400", "600", "800", "1000", "1200", "1400", "1600", "1800",
                                                "200", "400", "600", "800", "1000", "(0, 0)"}));
    EXPECT_NE(root.findById("origin"), nullptr);
    const auto* scale = root.findById("dwell-scale");
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(scale->childrenNamed("circle").size(), 3u);
    const auto* pupilLegend = root.findById("pupil-legend");
    ASSERT_NE(pupilLegend, nullptr);
    ASSERT_EQ(pupilLegend->childrenNamed("text").size(), 2u);
    EXPECT_EQ(pupilLegend->childrenNamed("text")[0]->text, "left eye");

    // No trigger line runs through a message label or a panel's label.
    std::vector<double> labelBaselines;
    for (const auto* text : root.findById("messages")->childrenNamed("text"))
        labelBaselines.push_back(std::stod(text->attributes.at("y")));
    for (const auto* text : root.childrenNamed("text"))
        if (text->text == "pupil diameter [mm]" || text->text == "gaze [px]")
            labelBaselines.push_back(std::stod(text->attributes.at("y")));
    ASSERT_EQ(labelBaselines.size(), 4u);
    std::size_t segments = 0;
    for (const auto* line : root.findById("triggers")->childrenNamed("path")) {
        // "M x from V to", one run per band.
        std::istringstream d(line->attributes.at("d"));
        for (std::string move, from, to; d >> move >> from >> to;) {
            const double y1 = std::stod(from);
            const double y2 = std::stod(to.substr(1));
            ++segments;
            for (const double y : labelBaselines) EXPECT_FALSE(y + 3 > y1 && y - 12 < y2) << y << " in " << y1 << "-" << y2;
        }
    }
    EXPECT_EQ(segments, 6u);
}

TEST(BinnedSeries, KeepsExtremesAndGapsInBoundedBins) {
    BinnedSeries sparse;
    sparse.add(0, 1.0);
    sparse.add(2000, 3.0);
    sparse.add(4000, std::nullopt);  // a blink
    sparse.add(6000, 2.0);
    const auto points = sparse.points();
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0]->timeMicros, 0);
    EXPECT_EQ(points[1]->value, 3.0);
    EXPECT_FALSE(points[2]);
    EXPECT_EQ(points[3]->value, 2.0);
    EXPECT_EQ(sparse.lowest(), 1.0);
    EXPECT_EQ(sparse.highest(), 3.0);

    // An hour at 250 Hz: at most kBins bins, each extreme kept, with its time.
    BinnedSeries hour;
    for (std::int64_t i = 0; i < 900'000; ++i) {
        const std::int64_t t = i * 4000;
        const double value = i == 450'123 ? 5000.0 : i == 17 ? -7.0 : static_cast<double>(i % 100);
        hour.add(t, i >= 125'000 && i < 150'000 ? std::nullopt : std::optional(value));
    }
    EXPECT_LE(hour.bins().size(), BinnedSeries::kBins);
    EXPECT_GT(hour.bins().size(), BinnedSeries::kBins / 2);
    const auto summary = hour.points();
    EXPECT_LE(summary.size(), 4 * BinnedSeries::kBins);
    const auto highest = std::max_element(summary.begin(), summary.end(), [](const auto& a, const auto& b) {
        return (a ? a->value : -1e9) < (b ? b->value : -1e9);
    });
    EXPECT_EQ((*highest)->value, 5000.0);
    EXPECT_EQ((*highest)->timeMicros, 450'123 * 4000);
    EXPECT_EQ(hour.lowest(), -7.0);
    // 100 s without a value is a gap of its own bins.
    EXPECT_EQ(std::count(summary.begin(), summary.end(), std::nullopt), 1);
}

TEST(Plot, AWholeSessionStaysSmallAndKeepsEveryEvent) {
    // 30 minutes at 100 Hz with a jittery gaze that jumps every 0.5 s, a
    // trigger and a message every 2 s: drawn as it streams in.
    PlotOptions options;
    options.title = "long.csv";
    Picture picture(options);
    std::optional<tools::RecordedSample> above;
    std::uint32_t seed = 1;
    const auto jitter = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / (1u << 24) * 20 - 10;
    };
    for (int i = 0; i < 180'000; ++i) {
        if (i % 200 == 0) {
            const std::string n = std::to_string(i / 200 + 1);
            picture.addText(tools::TextLine{tools::TextKind::trigger, "trigger: " + n, n, 0}, above);
            picture.addText(tools::TextLine{tools::TextKind::message, "message: trial " + n, "trial " + n, 0}, above);
        }
        tools::RecordedSample sample;
        sample.timeMicros = 1'000'000 + std::int64_t{i} * 10'000;
        sample.index = i;
        if (i % 150 >= 5) {
            const double x = 200 + (i / 50 * 7919) % 1500 + jitter();
            const double y = 100 + (i / 50 * 104729) % 880 + jitter();
            sample.gaze = tools::GazePoint{x, y};
            sample.left = tools::GazePoint{x - 3, y};
            sample.right = tools::GazePoint{x + 3, y};
            sample.pupilLeftMm = 4 + jitter() / 100;
            sample.pupilRightMm = 4.2 + jitter() / 100;
        }
        picture.addSample(sample);
        above = sample;
    }
    const std::string svg = picture.draw();
    EXPECT_LT(svg.size(), 2'000'000u);
    const auto parsed = parseXml(svg);
    ASSERT_TRUE(parsed.root) << parsed.error;
    const auto& root = *parsed.root;
    EXPECT_NE(svg.find(">180000 samples over 1799.99 s, 900 triggers, 900 messages, 0 samples missing<"),
              std::string::npos);
    // Every event, with its tooltip.
    EXPECT_EQ(root.findById("triggers")->childrenNamed("path").size(), 900u);
    EXPECT_EQ(root.findById("messages")->childrenNamed("path").size(), 900u);
    // The path would be a tangle: where the gaze was, shaded, instead.
    EXPECT_EQ(root.findById("gaze-left")->attributes.at("d"), "M0 0");
    ASSERT_NE(root.findById("gaze-density"), nullptr);
    EXPECT_GT(root.findById("gaze-density")->childrenNamed("rect").size(), 0u);
    EXPECT_LE(root.findById("gaze-density")->childrenNamed("rect").size(), 64u * 36u);
    // The lines over time hold no more than the bins.
    for (const char* id : {"gaze-x", "gaze-y", "pupil-left", "pupil-right"})
        EXPECT_LE(countOf(root.findById(id)->attributes.at("d"), 'L'), 4 * BinnedSeries::kBins) << id;
    EXPECT_EQ(root.findById("dwells")->children.size(), 0u);  // thousands: counted, not drawn
    EXPECT_NE(svg.find("px spread; too many to draw<"), std::string::npos);
}

TEST(Plot, EmptyRecordingStillAPicture) {
    const auto parsed = parseXml(plotRecording(tools::Recording{}, PlotOptions{}));
    ASSERT_TRUE(parsed.root) << parsed.error;
    EXPECT_NE(parsed.root->findById("screen"), nullptr);
    EXPECT_EQ(parsed.root->findById("gaze-left")->attributes.at("d"), "M0 0");
    EXPECT_EQ(parsed.root->findById("dwells")->children.size(), 0u);
}

TEST(XmlCheck, RejectsWhatAParserRejects) {
    EXPECT_TRUE(parseXml("<a x=\"1\"><b/>t&amp;</a>").root);
    EXPECT_FALSE(parseXml("<a><b></a>").root);
    EXPECT_FALSE(parseXml("<a x=1/>").root);
    EXPECT_FALSE(parseXml("<a x=\"1\" x=\"2\"/>").root);
    EXPECT_FALSE(parseXml("<a>&nbsp;</a>").root);
    EXPECT_FALSE(parseXml("<a>x & y</a>").root);
    EXPECT_FALSE(parseXml("<a>caf\xE9</a>").root);
    EXPECT_FALSE(parseXml("<a>\x01</a>").root);
    EXPECT_FALSE(parseXml("<a/><b/>").root);
}

}  // namespace
}  // namespace tyvarion::plot
