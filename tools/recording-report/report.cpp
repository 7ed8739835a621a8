#include "recording-report/report.h"

#include "recording-reader/recording_stream.h"

namespace tyvarion::tools {
namespace {

void placeBeforeFirstSample(ReportEvent& event, const RecordedSample& first) {
    if (event.timeMicros) return;
    event.timeMicros = first.timeMicros;
    event.index = first.index;
    event.beforeFirstSample = true;
}

}  // namespace

Report buildReport(std::istream& input, const ReportOptions& options) {
    Report report;
    RecordingStream stream(input);
    TimelineCheck timeline;
    QualityAccumulator whole(options.screen, options.windowMicros);
    std::optional<QualityAccumulator> trial;
    const auto closeTrial = [&] {
        if (trial) report.trials.back().figures = trial->finish();
    };
    bool sampleSeen = false;
    while (stream.next()) {
        if (stream.atSample()) {
            const RecordedSample& sample = stream.sample();
            if (!sampleSeen) {
                sampleSeen = true;
                for (auto& event : report.events) placeBeforeFirstSample(event, sample);
                for (auto& early : report.trials) placeBeforeFirstSample(early.trigger, sample);
            }
            timeline.add(sample, stream.lineNumber());
            whole.add(sample);
            if (trial) trial->add(sample);
            continue;
        }
        const TextLine& line = stream.text();
        ReportEvent event;
        event.kind = line.kind;
        event.text = line.value;
        if (const auto& before = stream.previousSample()) {
            event.timeMicros = before->timeMicros;
            event.index = before->index;
        }
        if (options.perTrial && line.kind == TextKind::trigger) {
            closeTrial();
            trial.emplace(options.screen, options.windowMicros);
            report.trials.push_back({report.trials.size() + 1, event, {}});
        }
        report.events.push_back(std::move(event));
    }
    closeTrial();
    report.figures = whole.finish();
    report.triggers = stream.triggers();
    report.messages = stream.messages();
    report.otherLines = stream.unreadable().count;
    report.recognised = stream.recognised();
    report.timeline = timeline.anomalies();
    report.warnings = readingWarnings(stream.cutOffBytes(), stream.unreadable());
    for (std::string& warning : timelineWarnings(report.timeline)) report.warnings.push_back(std::move(warning));
    if (report.recognised && report.figures.sampleLines == 0) {
        report.warnings.push_back("the recording holds no sample line: there are no figures");
    }
    return report;
}

}  // namespace tyvarion::tools
