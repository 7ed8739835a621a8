// recording-report: the data quality of a recording file. See --help.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output-file/output_file.h"
#include "recording-report/report.h"

namespace {

const char* const kUsage =
    "usage: recording-report RECORDING.csv [options]\n"
    "Prints the data quality of a recording: duration, sampling, gaps, loss and\n"
    "precision (RMS sample-to-sample and STD, medians over windows) for each eye\n"
    "and the binocular point, and the triggers and messages.\n"
    "  --json FILE             also write the figures as JSON (never over the recording,\n"
    "                          nor over a file that is not such a report)\n"
    "  --per-trial             the figures of each trial (from a trigger to the next)\n"
    "  --window-ms MS          the precision window (default 200)\n";

// The JSON document reportJson writes begins with the recording's name.
constexpr std::string_view kReportJsonStart = "{\n  \"recording\": ";
const tyvarion::tools::OutputKind kReportJsonKind{
    "a JSON report written by recording-report",
    [](std::string_view head) { return head.substr(0, kReportJsonStart.size()) == kReportJsonStart; }};

int usage(const std::string& error) {
    std::fprintf(stderr, "recording-report: %s\n%s%s", error.c_str(), kUsage, tyvarion::tools::kGeometryUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion::tools;
    std::optional<std::filesystem::path> input;
    std::optional<std::filesystem::path> jsonPath;
    ReportOptions options;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") {
            std::printf("%s%s", kUsage, kGeometryUsage);
            return 0;
        }
        if (name == "--per-trial") {
            options.perTrial = true;
            continue;
        }
        if (name.substr(0, 1) != "-") {
            if (input) return usage("more than one recording given");
            input = std::filesystem::u8path(name);
            continue;
        }
        const bool known = name == "--json" || name == "--window-ms" || name == "--screen" || name == "--screen-mm" ||
                           name == "--distance-mm";
        if (!known) return usage("unknown option " + std::string(name));
        if (i + 1 == arguments.size()) return usage(std::string(name) + ": missing value");
        const std::string_view value = arguments[++i];
        std::string error;
        if (takeGeometryOption(name, value, options.screen, error)) {
            if (!error.empty()) return usage(error);
        } else if (name == "--json") {
            jsonPath = std::filesystem::u8path(value);
        } else if (name == "--window-ms") {
            std::int64_t ms = 0;
            const auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), ms);
            if (problem != std::errc{} || end != value.data() + value.size() || ms < 1 || ms > 3600000) {
                return usage("--window-ms: expects 1 to 3600000");
            }
            options.windowMicros = ms * 1000;
        } else {
            return usage("unknown option " + std::string(name));
        }
    }
    if (!input) return usage("no recording given");
    if (const std::string problem = geometryProblem(options.screen); !problem.empty()) return usage(problem);

    const std::filesystem::path inputs[] = {*input};
    if (jsonPath) {
        if (const auto refusal = outputRefusal(*jsonPath, inputs, kReportJsonKind)) {
            std::fprintf(stderr, "recording-report: %s\n", refusal->c_str());
            return 2;
        }
    }

    std::ifstream file;
    std::string error;
    if (!openRecording(*input, file, error)) {
        std::fprintf(stderr, "recording-report: %s\n", error.c_str());
        return 1;
    }
    const Report report = buildReport(file, options);
    if (!report.recognised) {
        std::fprintf(stderr, "recording-report: %s\n", notARecording(*input).c_str());
        return 1;
    }
    for (const std::string& warning : report.warnings)
        std::fprintf(stderr, "recording-report: warning: %s: %s\n", pathText(*input).c_str(), warning.c_str());
    const std::string name = pathText(input->filename());
    std::fputs(reportText(report, options, name).c_str(), stdout);
    if (jsonPath && !replaceFile(*jsonPath, reportJson(report, options, name), error)) {
        std::fprintf(stderr, "recording-report: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
