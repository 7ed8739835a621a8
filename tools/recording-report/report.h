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
#include "recording-report/geometry.h"
#include "recording-report/quality.h"

namespace tyvarion::tools {

struct ReportOptions {
    ScreenGeometry screen;
    std::int64_t windowMicros = 200'000;
    bool perTrial = false;
};

struct ReportEvent {
    TextKind kind = TextKind::trigger;
    std::string text;  // after "trigger: " or "message: "
    // The sample line before it; absent when it comes before every sample.
    std::optional<std::int64_t> timeMicros;
    std::optional<std::int32_t> index;
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
    std::vector<std::string> warnings;  // what was left out (readingWarnings)
};

Report buildReport(std::istream& input, const ReportOptions& options);

// The readable report, for a terminal.
std::string reportText(const Report& report, const ReportOptions& options, const std::string& name);

// The same figures as a JSON document (UTF-8; bytes that are not UTF-8 become U+FFFD).
std::string reportJson(const Report& report, const ReportOptions& options, const std::string& name);

}  // namespace tyvarion::tools
