// The readable report: one figure per line, the three signals side by side,
// and a legend of what the figures are.
#include <cstdio>
#include <string>

#include "recording-report/report.h"

namespace tyvarion::tools {
namespace {

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string milliseconds(const std::optional<double>& micros) {
    return micros ? format("%.3f ms", *micros / 1000) : "-";
}

std::string milliseconds(const std::optional<std::int64_t>& micros) {
    return micros ? milliseconds(std::optional<double>(static_cast<double>(*micros))) : "-";
}

std::string label(const std::string& text) {
    std::string line = "  " + text;
    line.resize(std::max<std::size_t>(line.size() + 1, 26), ' ');
    return line;
}

std::string row(const std::string& name, const std::string& value) { return label(name) + value + "\n"; }

std::string column(const std::string& text) {
    std::string cell = text;
    cell.resize(std::max<std::size_t>(cell.size() + 1, 14), ' ');
    return cell;
}

template <typename Cell>
std::string signalRow(const std::string& name, const QualityFigures& figures, Cell cell) {
    return label(name) + column(cell(figures.left)) + column(cell(figures.right)) + cell(figures.binocular) + "\n";
}

std::string value(const std::optional<double>& figure, const char* pattern) {
    return figure ? format(pattern, *figure) : "-";
}

std::string percent(const std::optional<double>& share) {
    return value(share ? std::optional(*share * 100) : std::nullopt, "%.2f %%");
}

std::string counted(std::uint64_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// The four precision rows of one set of windows.
std::string precisionRows(const QualityFigures& figures, const ReportOptions& options,
                          Precision SignalQuality::*set) {
    std::string text;
    const auto of = [set](const SignalQuality& q) -> const Precision& { return q.*set; };
    text += signalRow("RMS-S2S [px]", figures, [&](const SignalQuality& q) { return value(of(q).rmsS2sPx, "%.3f"); });
    text += signalRow("STD [px]", figures, [&](const SignalQuality& q) { return value(of(q).stdPx, "%.3f"); });
    if (options.screen.hasAngles()) {
        text += signalRow("RMS-S2S [deg]", figures,
                          [&](const SignalQuality& q) { return value(of(q).rmsS2sDeg, "%.4f"); });
        text += signalRow("STD [deg]", figures, [&](const SignalQuality& q) { return value(of(q).stdDeg, "%.4f"); });
    }
    return text;
}

std::string figuresText(const QualityFigures& figures, const ReportOptions& options) {
    std::string text;
    text += row("duration", format("%.3f s", figures.durationSeconds) +
                                (figures.runs > 1 ? " (" + std::to_string(figures.runs) + " runs of time)" : ""));
    text += row("sample lines", std::to_string(figures.sampleLines) + " of " +
                                    std::to_string(figures.expectedSamples) + " samples due by the index");
    text += row("effective rate", value(figures.effectiveRateHz, "%.2f Hz"));
    text += row("interval", "median " + milliseconds(figures.intervalMedianMicros) + ", 99th percentile " +
                                milliseconds(figures.interval99Micros) + ", maximum " +
                                milliseconds(figures.intervalMaxMicros));
    text += row("gaps in index", std::to_string(figures.indexGaps.count) + ", " +
                                     std::to_string(figures.indexGaps.missing) + " samples missing, longest " +
                                     std::to_string(figures.indexGaps.longest));
    const IntervalGaps& gaps = figures.intervalGaps;
    text += row("gaps in time", std::to_string(gaps.count) + " intervals over " +
                                    milliseconds(std::optional<double>(gaps.thresholdMicros)) + ", total " +
                                    milliseconds(std::optional<std::int64_t>(gaps.totalMicros)) + ", longest " +
                                    milliseconds(gaps.count ? std::optional(gaps.longestMicros) : std::nullopt));
    text += label("") + column("left") + column("right") + "binocular\n";
    text += signalRow("loss", figures, [](const SignalQuality& q) { return percent(q.lossShare); });
    text += signalRow("invalid lines", figures, [](const SignalQuality& q) { return percent(q.invalidShare); });
    const std::string window = std::to_string(options.windowMicros / 1000) + " ms";
    text += "  in fixation windows of " + window + "\n";
    text += precisionRows(figures, options, &SignalQuality::fixations);
    text += signalRow("windows kept", figures,
                      [](const SignalQuality& q) { return std::to_string(q.fixationWindows); });
    text += signalRow("windows left out", figures,
                      [](const SignalQuality& q) { return std::to_string(q.otherWindows); });
    text += "  in all windows of " + window + "\n";
    text += precisionRows(figures, options, &SignalQuality::allWindows);
    return text;
}

}  // namespace

std::string reportLegend() {
    char rule[96];
    std::snprintf(rule, sizeof rule, "%.1f deg", kFixationDispersionDegrees);
    std::string text =
        "  loss             samples without a valid point, invalid or never written (gaps in the\n"
        "                   index), of the samples due by the index range; invalid lines: sample\n"
        "                   lines without a valid point, of the sample lines\n"
        "  RMS-S2S          root mean square of the distances between consecutive samples\n"
        "  STD              root mean square distance of the samples from their mean point\n"
        "                   (precision: the smaller, the steadier; white noise has RMS-S2S = 1.41 STD)\n"
        "  fixation window  a window whose dispersion, x extent + y extent, is at most " + std::string(rule) + "\n"
        "                   (the I-DT rule of Salvucci & Goldberg, 2000); precision is measured there,\n"
        "                   as the median over those windows; all windows hold saccades too\n"
        "  typical          in fixations, RMS-S2S from about 0.01 deg (head on a chin rest) to 0.3 deg\n"
        "                   (remote tracker, head free), STD of the same order (Holmqvist et al., 2012)\n";
    return text;
}

namespace {

std::string legend(const ReportOptions& options) {
    // Appended: GCC 12 at -O3 warns falsely (-Wrestrict) about a literal
    // prepended to a temporary string.
    std::string text(1, '\n');
    text += reportLegend();
    if (!options.screen.hasAngles()) {
        text += "  (degrees need --screen-mm and --distance-mm; fixations were found for a screen of\n"
                "  531x299 mm at 650 mm)\n";
    }
    return text;
}

std::string eventLine(const ReportEvent& event) {
    const char* kind = event.kind == TextKind::trigger   ? "trigger"
                       : event.kind == TextKind::message ? "message"
                                                         : "other";
    const std::string time =
        event.timeMicros ? std::to_string(*event.timeMicros) + (event.beforeFirstSample ? "*" : "") : "-";
    char fields[96];
    std::snprintf(fields, sizeof fields, "  %-17s %-10s %-8s ", time.c_str(),
                  event.index ? std::to_string(*event.index).c_str() : "-", kind);
    return fields + event.text + "\n";
}

}  // namespace

std::string reportText(const Report& report, const ReportOptions& options, const std::string& name) {
    std::string text = "recording " + name + "\n";
    text += figuresText(report.figures, options);
    text += legend(options);
    text += "\ntriggers and messages: " + counted(report.triggers, "trigger") + ", " +
            counted(report.messages, "message");
    if (report.otherLines) text += ", " + counted(report.otherLines, "unreadable line");
    text += "\n";
    if (!report.events.empty()) text += "  time stamp [us]   index      kind     text (the sample line before it)\n";
    bool early = false;
    for (const auto& event : report.events) {
        text += eventLine(event);
        early = early || event.beforeFirstSample;
    }
    if (early) text += "  * before the first sample line: the first sample line's\n";
    for (const auto& trial : report.trials) {
        const ReportEvent& trigger = trial.trigger;
        const std::string when = trigger.beforeFirstSample ? "before the first sample"
                                 : trigger.timeMicros      ? "after " + std::to_string(*trigger.timeMicros) + " us"
                                                           : "after no sample";
        text += "\ntrial " + std::to_string(trial.number) + " (trigger " + trigger.text + " " + when + ")\n";
        text += figuresText(trial.figures, options);
    }
    return text;
}

}  // namespace tyvarion::tools
