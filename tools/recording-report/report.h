#pragma once
// The data-quality report of a recording: the figures of the whole file, the
// triggers and messages with the sample line before each, and the figures of
// each trial (the stretch from one trigger to the next). Read in one pass;
// memory grows with the trigger and message lines, not with the samples.

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "recording-reader/recording_reader.h"
#include "recording-reader/timeline.h"
#include "recording-report/geometry.h"
#include "recording-report/quality.h"

namespace tyvarion::tools {

struct ReportOptions {
    ScreenGeometry screen;
    std::int64_t windowMicros = 200'000;
    bool perTrial = false;
};

// A text line's time is that of the sample line before it (the line was
// queued after that sample). A line before every sample line takes the first
// sample line's, marked beforeFirstSample; without any sample line it has none.
struct ReportEvent {
    TextKind kind = TextKind::trigger;
    std::string text;  // after "trigger: " or "message: "
    std::optional<std::int64_t> timeMicros;
    std::optional<std::int32_t> index;
    bool beforeFirstSample = false;
};

struct TrialReport {
    std::size_t number = 0;  // from 1
    ReportEvent trigger;
    QualityFigures figures;
};

struct Report {
    QualityFigures figures;
    std::vector<ReportEvent> events;
    std::vector<TrialReport> trials;  // with perTrial only
    std::size_t triggers = 0;
    std::size_t messages = 0;
    std::size_t otherLines = 0;  // neither samples nor triggers nor messages: left out
    bool recognised = false;     // the input began with the recording's header
    TimelineAnomalies timeline;
    // What was left out (readingWarnings), where time or index do not run
    // forward (timelineWarnings), a recording without samples.
    std::vector<std::string> warnings;
};

Report buildReport(std::istream& input, const ReportOptions& options);

// The readable report, for a terminal.
std::string reportText(const Report& report, const ReportOptions& options, const std::string& name);

// What the figures are, in a few lines: under the readable report and in --help.
std::string reportLegend();

// The same figures as a JSON document (UTF-8; bytes that are not UTF-8 become U+FFFD).
std::string reportJson(const Report& report, const ReportOptions& options, const std::string& name);

}  // namespace tyvarion::tools
