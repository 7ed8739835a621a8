#include "recording-report/report.h"

#include "recording-reader/recording_stream.h"

namespace tyvarion::tools {

Report buildReport(std::istream& input, const ReportOptions& options) {
    Report report;
    RecordingStream stream(input);
    QualityAccumulator whole(options.screen, options.windowMicros);
    std::optional<QualityAccumulator> trial;
    const auto closeTrial = [&] {
        if (trial) report.trials.back().figures = trial->finish();
    };
    while (stream.next()) {
        if (stream.atSample()) {
            whole.add(stream.sample());
            if (trial) trial->add(stream.sample());
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
    report.warnings = readingWarnings(stream.cutOffBytes(), stream.unreadable());
    return report;
}

}  // namespace tyvarion::tools
