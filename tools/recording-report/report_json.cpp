// The report as JSON: the same figures as the readable report, in plain units
// (seconds, microseconds, pixels, degrees, shares from 0 to 1); null where a
// figure has no value (no samples, no pairs, no geometry).
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

json signal(const SignalQuality& quality) {
    return {{"lost_lines", quality.lost},
            {"loss", optional(quality.lossShare)},
            {"rms_s2s_px", optional(quality.precision.rmsS2sPx)},
            {"std_px", optional(quality.precision.stdPx)},
            {"rms_s2s_deg", optional(quality.precision.rmsS2sDeg)},
            {"std_deg", optional(quality.precision.stdDeg)},
            {"s2s_windows", quality.precision.s2sWindows},
            {"std_windows", quality.precision.stdWindows}};
}

json figures(const QualityFigures& f) {
    return {{"duration_s", f.durationSeconds},
            {"sample_lines", f.sampleLines},
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
    return {{"kind", kind}, {"text", e.text}, {"timestamp_us", optional(e.timeMicros)}, {"index", optional(e.index)}};
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
    document.update(figures(report.figures));
    document["triggers"] = report.triggers;
    document["messages"] = report.messages;
    document["other_lines"] = report.otherLines;
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
