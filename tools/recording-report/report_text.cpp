// The readable report: one figure per line, the three signals side by side.
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

std::string signalRow(const std::string& name, const QualityFigures& figures,
                      std::string (*cell)(const SignalQuality&)) {
    return label(name) + column(cell(figures.left)) + column(cell(figures.right)) + cell(figures.binocular) + "\n";
}

std::string value(const std::optional<double>& figure, const char* pattern) {
    return figure ? format(pattern, *figure) : "-";
}

std::string lossCell(const SignalQuality& q) { return value(q.lossShare ? std::optional(*q.lossShare * 100) : std::nullopt, "%.2f %%"); }
std::string s2sPxCell(const SignalQuality& q) { return value(q.precision.rmsS2sPx, "%.3f"); }
std::string stdPxCell(const SignalQuality& q) { return value(q.precision.stdPx, "%.3f"); }
std::string s2sDegCell(const SignalQuality& q) { return value(q.precision.rmsS2sDeg, "%.4f"); }
std::string stdDegCell(const SignalQuality& q) { return value(q.precision.stdDeg, "%.4f"); }
std::string windowsCell(const SignalQuality& q) {
    return std::to_string(q.precision.s2sWindows) + "/" + std::to_string(q.precision.stdWindows);
}

std::string figuresText(const QualityFigures& figures, const ReportOptions& options) {
    std::string text;
    text += row("duration", format("%.3f s", figures.durationSeconds));
    text += row("sample lines", std::to_string(figures.sampleLines));
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
    text += signalRow("loss", figures, lossCell);
    const std::string window = std::to_string(options.windowMicros / 1000) + " ms";
    text += signalRow("RMS-S2S [px]", figures, s2sPxCell);
    text += signalRow("STD [px]", figures, stdPxCell);
    if (options.screen.hasAngles()) {
        text += signalRow("RMS-S2S [deg]", figures, s2sDegCell);
        text += signalRow("STD [deg]", figures, stdDegCell);
    }
    text += signalRow("windows of " + window, figures, windowsCell);
    return text;
}

std::string eventLine(const ReportEvent& event) {
    const char* kind = event.kind == TextKind::trigger   ? "trigger"
                       : event.kind == TextKind::message ? "message"
                                                         : "other";
    char fields[96];
    std::snprintf(fields, sizeof fields, "  %-17s %-10s %-8s ",
                  event.timeMicros ? std::to_string(*event.timeMicros).c_str() : "-",
                  event.index ? std::to_string(*event.index).c_str() : "-", kind);
    return fields + event.text + "\n";
}

}  // namespace

std::string reportText(const Report& report, const ReportOptions& options, const std::string& name) {
    std::string text = "recording " + name + "\n";
    text += figuresText(report.figures, options);
    if (!options.screen.hasAngles()) {
        text += "  (degrees need --screen-mm and --distance-mm)\n";
    }
    const auto counted = [](std::size_t n, const char* noun) {
        return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
    };
    text += "\ntriggers and messages: " + counted(report.triggers, "trigger") + ", " +
            counted(report.messages, "message");
    if (report.otherLines) text += ", " + counted(report.otherLines, "unreadable line");
    text += "\n";
    if (!report.events.empty()) text += "  time stamp [us]   index      kind     text (the sample line before it)\n";
    for (const auto& event : report.events) text += eventLine(event);
    for (const auto& trial : report.trials) {
        text += "\ntrial " + std::to_string(trial.number) + " (trigger " + trial.trigger.text + " after " +
                (trial.trigger.timeMicros ? std::to_string(*trial.trigger.timeMicros) + " us" : "no sample") + ")\n";
        text += figuresText(trial.figures, options);
    }
    return text;
}

}  // namespace tyvarion::tools
