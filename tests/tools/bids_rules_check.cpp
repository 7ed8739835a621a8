#include "bids_rules_check.h"

#include <zlib.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

namespace tyvarion::testing {
namespace {

using nlohmann::json;

std::string name(const std::filesystem::path& path) { return path.filename().string(); }

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::optional<json> readJson(const std::filesystem::path& path, std::vector<std::string>& problems) {
    std::ifstream input(path);
    if (!input) {
        problems.push_back(name(path) + ": missing");
        return std::nullopt;
    }
    try {
        return json::parse(input);
    } catch (const json::exception& e) {
        problems.push_back(name(path) + ": not JSON: " + e.what());
        return std::nullopt;
    }
}

// Cells split at tabs; a cell that begins with a double quote runs to its
// closing quote, holding tabs and doubled quotes (one quote each).
std::vector<std::vector<std::string>> rows(const std::string& text) {
    std::vector<std::vector<std::string>> result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells(1);
        bool quoted = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (quoted && c == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') {
                    cells.back() += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else if (!quoted && c == '"' && cells.back().empty()) {
                quoted = true;
            } else if (!quoted && c == '\t') {
                cells.emplace_back();
            } else {
                cells.back() += c;
            }
        }
        result.push_back(std::move(cells));
    }
    return result;
}

// Whether the bytes are UTF-8: TSV files must be.
bool isUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
        }
        i += length;
    }
    return true;
}

bool isNumber(const std::string& cell) {
    static const std::regex number(R"(-?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?)");
    return std::regex_match(cell, number);
}

bool isGzip(const std::filesystem::path& path) {
    std::ifstream input(path, std::ios::binary);
    char magic[2] = {};
    input.read(magic, 2);
    return input.gcount() == 2 && magic[0] == '\x1f' && magic[1] == '\x8b';
}

// The table's rows against its sidecar's Columns: no header line, one cell per
// column in every row, numbers or n/a in the numeric columns, no empty cell.
void checkTable(const std::filesystem::path& table, const json& columns, const std::set<std::string>& numeric,
                std::vector<std::string>& problems, bool mayBeEmpty = false) {
    const std::string text = gunzip(table);
    if (text.empty() && mayBeEmpty && isGzip(table)) return;
    if (text.empty()) {
        problems.push_back(name(table) + ": empty or not gzip");
        return;
    }
    if (!isUtf8(text)) problems.push_back(name(table) + ": not UTF-8");
    std::size_t line = 0;
    for (const auto& cells : rows(text)) {
        ++line;
        if (cells.size() != columns.size()) {
            problems.push_back(name(table) + " line " + std::to_string(line) + ": " + std::to_string(cells.size()) +
                               " cells for " + std::to_string(columns.size()) + " columns");
            return;
        }
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const std::string column = columns[i];
            if (cells[i].empty()) problems.push_back(name(table) + " line " + std::to_string(line) + ": empty cell");
            if (numeric.count(column) && cells[i] != "n/a" && !isNumber(cells[i])) {
                problems.push_back(name(table) + " line " + std::to_string(line) + ": " + column + " \"" + cells[i] +
                                   "\" is not a number" + (line == 1 ? " (a header line?)" : ""));
                return;
            }
        }
    }
}

// Continuous data is regularly sampled: row k's time stamp (microseconds)
// lies within half an interval of the first's plus k intervals.
void checkGrid(const std::filesystem::path& table, double frequency, std::vector<std::string>& problems) {
    if (!(frequency > 0)) return;
    const double interval = 1e6 / frequency;
    std::optional<double> first;
    std::size_t row = 0;
    for (const auto& cells : rows(gunzip(table))) {
        if (!isNumber(cells.at(0))) return;  // checkTable names it
        const double time = std::stod(cells[0]);
        if (!first) first = time;
        if (std::abs(time - *first - static_cast<double>(row) * interval) > interval / 2) {
            problems.push_back(name(table) + " line " + std::to_string(row + 1) + ": time stamp off the sampling grid");
            return;
        }
        ++row;
    }
}

// Gaze on a screen needs the screen in the sidecar of the task's events.
void checkScreen(const std::filesystem::path& eventsJson, std::vector<std::string>& problems) {
    const auto sidecar = readJson(eventsJson, problems);
    if (!sidecar) return;
    const json screen = sidecar->value("StimulusPresentation", json::object());
    const std::string where = name(eventsJson) + ": StimulusPresentation.";
    const json distance = screen.value("ScreenDistance", json("n/a"));
    if (!distance.is_number() || distance.get<double>() <= 0) problems.push_back(where + "ScreenDistance");
    const json origin = screen.value("ScreenOrigin", json::array());
    static const std::set<std::string> places{"top", "bottom", "left", "right", "center"};
    if (origin.size() != 2 || !origin[0].is_string() || !origin[1].is_string() || !places.count(origin[0]) || !places.count(origin[1])) {
        problems.push_back(where + "ScreenOrigin");
    }
    const json resolution = screen.value("ScreenResolution", json("n/a"));
    if (resolution.size() != 2 || !resolution[0].is_number_integer() || !resolution[1].is_number_integer()) {
        problems.push_back(where + "ScreenResolution");
    }
    const json size = screen.value("ScreenSize", json("n/a"));
    if (size.size() != 2 || !size[0].is_number() || !size[1].is_number()) problems.push_back(where + "ScreenSize");
}

void checkPhysio(const std::filesystem::path& table, std::vector<std::string>& problems) {
    const std::string stem = table.string().substr(0, table.string().size() - std::string(".tsv.gz").size());
    static const std::regex physioName(R"(sub-[a-zA-Z0-9]+(_ses-[a-zA-Z0-9]+)?_task-[a-zA-Z0-9]+(_run-\d+)?_recording-[a-zA-Z0-9]+_physio\.tsv\.gz)");
    if (!std::regex_match(name(table), physioName)) problems.push_back(name(table) + ": not a physio file name with a recording entity");
    const auto sidecar = readJson(stem + ".json", problems);
    if (!sidecar) return;
    const std::string where = name(stem + ".json");
    for (const char* field : {"SamplingFrequency", "StartTime"}) {
        if (!sidecar->contains(field) || !(*sidecar)[field].is_number()) problems.push_back(where + ": " + field + " is not a number");
    }
    if (sidecar->value("PhysioType", "") != "eyetrack") problems.push_back(where + ": PhysioType is not \"eyetrack\"");
    const std::string eye = sidecar->value("RecordedEye", "");
    if (eye != "left" && eye != "right" && eye != "cyclopean") problems.push_back(where + ": RecordedEye \"" + eye + "\"");
    const std::string system = sidecar->value("SampleCoordinateSystem", "");
    if (system != "gaze-on-screen" && system != "eye-in-head" && system != "gaze-in-world" && system != "custom") {
        problems.push_back(where + ": SampleCoordinateSystem \"" + system + "\"");
    }
    const json columns = sidecar->value("Columns", json::array());
    if (columns.size() < 3 || columns[0] != "timestamp" || columns[1] != "x_coordinate" || columns[2] != "y_coordinate") {
        problems.push_back(where + ": Columns do not begin with timestamp, x_coordinate, y_coordinate");
        return;
    }
    for (const char* column : {"x_coordinate", "y_coordinate"}) {
        if (!sidecar->contains(column) || !(*sidecar)[column].contains("Units")) problems.push_back(where + ": " + column + " has no Units");
    }
    const bool pupil = std::find(columns.begin(), columns.end(), "pupil_size") != columns.end();
    static const std::regex areaOrDiameter(".*(area|diameter).*");
    if (pupil && (!sidecar->contains("pupil_size") ||
                  !std::regex_match((*sidecar)["pupil_size"].value("Description", ""), areaOrDiameter))) {
        problems.push_back(where + ": pupil_size's Description does not say area or diameter");
    }
    checkTable(table, columns, {"timestamp", "x_coordinate", "y_coordinate", "pupil_size"}, problems);
    if ((*sidecar)["SamplingFrequency"].is_number()) {
        checkGrid(table, (*sidecar)["SamplingFrequency"].get<double>(), problems);
    }

    // Gaze on a screen: the task's events beside it must describe the screen.
    if (system == "gaze-on-screen") {
        const std::string task = stem.substr(0, stem.rfind("_recording-"));
        if (!std::filesystem::exists(task + "_events.tsv")) problems.push_back(name(table) + ": no events table beside it");
        checkScreen(task + "_events.json", problems);
    }

    // Its events: OnsetSource names one of the physio table's columns.
    const std::string events = stem.substr(0, stem.size() - std::string("physio").size()) + "physioevents";
    if (!std::filesystem::exists(events + ".tsv.gz")) return;
    const auto eventsSidecar = readJson(events + ".json", problems);
    if (!eventsSidecar) return;
    const json eventColumns = eventsSidecar->value("Columns", json::array());
    if (eventColumns.empty() || eventColumns[0] != "onset") problems.push_back(name(events + ".json") + ": Columns do not begin with onset");
    const std::string source = eventsSidecar->value("OnsetSource", "");
    if (source != "n/a" && std::find(columns.begin(), columns.end(), source) == columns.end()) {
        problems.push_back(name(events + ".json") + ": OnsetSource \"" + source + "\" is no column of the physio table");
    }
    // A recording without triggers or messages has a table without rows.
    checkTable(events + ".tsv.gz", eventColumns, {"onset", "duration"}, problems, true);
}

}  // namespace

std::string gunzip(const std::filesystem::path& path) {
    const std::unique_ptr<gzFile_s, int (*)(gzFile)> file(gzopen(path.c_str(), "rb"), gzclose);
    if (!file) return {};
    std::string text;
    char buffer[1 << 14];
    int read = 0;
    while ((read = gzread(file.get(), buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(read));
    return read < 0 ? std::string() : text;
}

std::vector<std::string> checkBidsEyetracking(const std::filesystem::path& root) {
    std::vector<std::string> problems;
    if (const auto description = readJson(root / "dataset_description.json", problems)) {
        if (!description->contains("Name") || !description->contains("BIDSVersion")) {
            problems.push_back("dataset_description.json: Name or BIDSVersion missing");
        }
    }
    bool physio = false;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string file = name(entry.path());
        if (endsWith(file, "_physio.tsv.gz")) {
            physio = true;
            checkPhysio(entry.path(), problems);
        }
    }
    if (!physio) problems.push_back("no physio table");
    return problems;
}

}  // namespace tyvarion::testing
