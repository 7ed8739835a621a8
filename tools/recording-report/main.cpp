// recording-report: the data quality of a recording file. See --help.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command-line/command_line.h"
#include "output-file/output_file.h"
#include "recording-report/geometry_options.h"
#include "recording-report/report.h"

namespace {

const char* const kUsage =
    "usage: recording-report RECORDING.csv [options]\n"
    "Prints the data quality of a recording: duration, sampling, gaps, loss and\n"
    "precision (RMS sample-to-sample and STD, medians over the fixation windows and\n"
    "over all windows) for each eye and the binocular point, and the triggers and\n"
    "messages. What the reading met (cut-off or unreadable lines, time stamps that\n"
    "stand still or fall, an index that restarts) is said on standard error.\n"
    "  --json FILE             also write the figures as JSON (never over the recording,\n"
    "                          nor over a file that is not such a report)\n"
    "  --per-trial             the figures of each trial (from a trigger to the next)\n"
    "  --window-ms MS          the precision window (default 200)\n";

// The JSON document reportJson writes begins with the recording's name.
constexpr std::string_view kReportJsonStart = "{\n  \"recording\": ";
const tyvarion::tools::OutputKind kReportJsonKind{
    "a JSON report written by recording-report",
    [](std::string_view head) { return head.substr(0, kReportJsonStart.size()) == kReportJsonStart; }};

int usage(const std::string& error) { return tyvarion::tools::refuseCommandLine("recording-report", error); }

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion::tools;
    std::optional<std::filesystem::path> jsonPath;
    ReportOptions options;
    std::vector<std::string> positionals;
    CommandLine line;
    line.positionals("recording", positionals);
    line.flag("--per-trial", options.perTrial);
    line.option("--json", [&](std::string_view value) {
        jsonPath = std::filesystem::u8path(value);
        return std::string();
    });
    line.option("--window-ms", [&](std::string_view value) {
        const auto ms = numberIn<std::int64_t>(value, 1, 3600000);
        if (!ms) return expects("--window-ms", "1 to 3600000");
        options.windowMicros = *ms * 1000;
        return std::string();
    });
    addGeometryOptions(line, options.screen);
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (const auto error = line.parse(arguments)) return usage(*error);
    if (line.helpRequested()) {
        std::printf("%s%s\nThe figures:\n%s", kUsage, kGeometryUsage, reportLegend().c_str());
        return 0;
    }
    const auto given = oneRecording(positionals);
    if (const auto* problem = std::get_if<std::string>(&given)) return usage(*problem);
    const std::filesystem::path input = std::get<std::filesystem::path>(given);
    if (const std::string problem = geometryProblem(options.screen); !problem.empty()) return usage(problem);

    const std::filesystem::path inputs[] = {input};
    if (jsonPath) {
        if (const auto refusal = outputRefusal(*jsonPath, inputs, kReportJsonKind)) {
            std::fprintf(stderr, "recording-report: %s\n", refusal->c_str());
            return 2;
        }
    }

    std::ifstream file;
    std::string error;
    if (!openRecording(input, file, error)) {
        std::fprintf(stderr, "recording-report: %s\n", error.c_str());
        return 1;
    }
    const Report report = buildReport(file, options);
    if (!report.recognised) {
        std::fprintf(stderr, "recording-report: %s\n", notARecording(input).c_str());
        return 1;
    }
    for (const std::string& warning : report.warnings)
        std::fprintf(stderr, "recording-report: warning: %s: %s\n", pathText(input).c_str(), warning.c_str());
    const std::string name = pathText(input.filename());
    std::fputs(reportText(report, options, name).c_str(), stdout);
    if (jsonPath && !replaceFile(*jsonPath, reportJson(report, options, name), error)) {
        std::fprintf(stderr, "recording-report: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
