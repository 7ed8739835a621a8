// The report as JSON: the same figures as the readable report, in plain units
// (seconds, microseconds, pixels, degrees, shares from 0 to 1); null where a
// figure has no value (no samples, no pairs, no geometry). A signal's
// rms_s2s and std are the medians over fixation windows; all_windows holds
// the medians over every window.
#include <nlohmann/json.hpp>

#include "recording-report/report.h"

namespace tyvarion::tools {
namespace {

// Keys stay in the order written, which reads better than sorted.
using json = nlohmann::ordered_json;

template <typename T>
json optional(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

json precision(const Precision& p) {
    return {{"rms_s2s_px", optional(p.rmsS2sPx)}, {"std_px", optional(p.stdPx)},
            {"rms_s2s_deg", optional(p.rmsS2sDeg)}, {"std_deg", optional(p.stdDeg)},
            {"s2s_windows", p.s2sWindows},      {"std_windows", p.stdWindows}};
}

json signal(const SignalQuality& quality) {
    json entry = {{"lost_lines", quality.invalid},
                  {"invalid", optional(quality.invalidShare)},
                  {"loss", optional(quality.lossShare)},
                  {"fixation_windows", quality.fixationWindows},
                  {"other_windows", quality.otherWindows}};
    entry.update(precision(quality.fixations));
    entry["all_windows"] = precision(quality.allWindows);
    return entry;
}

json figures(const QualityFigures& f) {
    return {{"duration_s", f.durationSeconds},
            {"sample_lines", f.sampleLines},
            {"expected_samples", f.expectedSamples},
            {"runs_of_time", f.runs},
            {"first_timestamp_us", optional(f.firstMicros)},
            {"last_timestamp_us", optional(f.lastMicros)},
            {"effective_rate_hz", optional(f.effectiveRateHz)},
            {"interval_us",
             {{"median", optional(f.intervalMedianMicros)},
              {"p99", optional(f.interval99Micros)},
              {"max", optional(f.intervalMaxMicros)}}},
            {"index_gaps",
             {{"count", f.indexGaps.count}, {"missing_samples", f.indexGaps.missing},
              {"longest_samples", f.indexGaps.longest}}},
            {"interval_gaps",
             {{"threshold_us", f.intervalGaps.thresholdMicros},
              {"count", f.intervalGaps.count},
              {"total_us", f.intervalGaps.totalMicros},
              {"longest_us", f.intervalGaps.longestMicros}}},
            {"left", signal(f.left)},
            {"right", signal(f.right)},
            {"binocular", signal(f.binocular)}};
}

json event(const ReportEvent& e) {
    const char* kind = e.kind == TextKind::trigger ? "trigger" : e.kind == TextKind::message ? "message" : "other";
    return {{"kind", kind},
            {"text", e.text},
            {"timestamp_us", optional(e.timeMicros)},
            {"index", optional(e.index)},
            {"before_first_sample", e.beforeFirstSample}};
}

}  // namespace

std::string reportJson(const Report& report, const ReportOptions& options, const std::string& name) {
    json document = {{"recording", name}};
    const ScreenGeometry& screen = options.screen;
    document["screen"] = {{"width_px", screen.widthPx},
                          {"height_px", screen.heightPx},
                          {"width_mm", optional(screen.widthMm)},
                          {"height_mm", optional(screen.heightMm)},
                          {"distance_mm", optional(screen.distanceMm)}};
    document["window_ms"] = static_cast<double>(options.windowMicros) / 1000;
    document["fixation_rule"] = {{"rule", "I-DT dispersion per window"},
                                 {"max_dispersion_deg", kFixationDispersionDegrees},
                                 {"screen_assumed", !screen.hasAngles()}};
    document.update(figures(report.figures));
    document["triggers"] = report.triggers;
    document["messages"] = report.messages;
    document["other_lines"] = report.otherLines;
    document["warnings"] = report.warnings;
    json events = json::array();
    for (const auto& e : report.events) events.push_back(event(e));
    document["events"] = std::move(events);
    if (options.perTrial) {
        json trials = json::array();
        for (const auto& trial : report.trials) {
            json entry = {{"trial", trial.number}, {"trigger", event(trial.trigger)}};
            entry.update(figures(trial.figures));
            trials.push_back(std::move(entry));
        }
        document["trials"] = std::move(trials);
    }
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace tyvarion::tools
