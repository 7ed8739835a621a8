#include "recording-to-bids/bids_export.h"

#include <array>
#include <charconv>
#include <fstream>
#include <memory>

#include "recording-reader/recording_stream.h"
#include "recording-report/intervals.h"
#include "recording-to-bids/bids_sidecars.h"
#include "recording-to-bids/gzip_file.h"

namespace tyvarion::tools {
namespace {

constexpr const char* kMissing = "n/a";

void putNumber(std::string& out, double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void putInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void putRow(std::string& row, std::int64_t time, const std::optional<GazePoint>& point,
            const std::optional<double>* pupil) {
    row.clear();
    putInteger(row, time);
    row += '\t';
    if (point) {
        putNumber(row, point->x);
        row += '\t';
        putNumber(row, point->y);
    } else {
        row += "n/a\tn/a";
    }
    if (pupil) {
        row += '\t';
        if (*pupil) putNumber(row, **pupil); else row += kMissing;
    }
    row += '\n';
}

std::string shown(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    return static_cast<bool>(file);
}

// The triggers and messages: the same rows go into each recording's
// physioevents table, and into the task's events table with onsets in seconds
// from the first sample. Lines before the first sample wait for it.
class EventWriter {
public:
    EventWriter(std::array<std::unique_ptr<GzipFile>, 3>& tables, std::ofstream& events)
        : tables_(tables), events_(events) {}

    void add(const TextLine& line, const std::optional<RecordedSample>& before) {
        ++(line.kind == TextKind::trigger ? triggers_ : messages_);
        if (!before) {
            waiting_.push_back(line);
            return;
        }
        write(line, before->timeMicros);
    }

    void firstSample(std::int64_t time) {
        first_ = time;
        for (const auto& line : waiting_) write(line, time);
        waiting_.clear();
    }

    std::uint64_t triggers() const { return triggers_; }
    std::uint64_t messages() const { return messages_; }

private:
    void write(const TextLine& line, std::int64_t time) {
        const bool trigger = line.kind == TextKind::trigger;
        std::string rest = trigger ? "\ttrigger\t" + tsvCell(line.value) + "\tn/a\n"
                                   : "\tmessage\tn/a\t" + tsvCell(line.value) + "\n";
        std::string row;
        putInteger(row, time);
        row += "\tn/a" + rest;
        for (auto& table : tables_) table->write(row);
        char onset[32];
        std::snprintf(onset, sizeof onset, "%.6f", static_cast<double>(time - *first_) / 1e6);
        events_ << onset << "\t0" << rest;
    }

    std::array<std::unique_ptr<GzipFile>, 3>& tables_;
    std::ofstream& events_;
    std::optional<std::int64_t> first_;
    std::vector<TextLine> waiting_;
    std::uint64_t triggers_ = 0;
    std::uint64_t messages_ = 0;
};

}  // namespace

std::string tsvCell(std::string_view text) {
    if (text.empty()) return kMissing;
    std::string cell(text);
    for (char& c : cell) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return cell;
}

std::optional<BidsExport> exportToBids(std::istream& recording, const BidsExportOptions& options,
                                       std::string& error) {
    BidsExport result;
    result.folder = bidsFolder(options.root, options.entities);
    std::error_code problem;
    std::filesystem::create_directories(result.folder, problem);
    if (problem) {
        error = "cannot create " + shown(result.folder) + ": " + problem.message();
        return std::nullopt;
    }
    const std::string stem = bidsStem(options.entities);
    const auto file = [&](const std::string& name) {
        result.files.push_back(result.folder / (stem + name));
        return result.files.back();
    };
    const auto fail = [&](const std::string& why) {
        error = why;
        for (const auto& path : result.files) std::filesystem::remove(path, problem);
        return std::nullopt;
    };

    std::array<std::unique_ptr<GzipFile>, 3> physio;
    std::array<std::unique_ptr<GzipFile>, 3> physioEvents;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string recordingEntity = std::string("_recording-") + kRecordingLabels[i];
        physio[i] = std::make_unique<GzipFile>(file(recordingEntity + "_physio.tsv.gz"));
        physioEvents[i] = std::make_unique<GzipFile>(file(recordingEntity + "_physioevents.tsv.gz"));
        if (physio[i]->failed() || physioEvents[i]->failed()) {
            return fail("cannot write " + shown(result.files.back()));
        }
    }
    std::ofstream events(file("_events.tsv"), std::ios::binary | std::ios::trunc);
    events << kEventsHeader;

    RecordingStream stream(recording);
    EventWriter eventWriter(physioEvents, events);
    IntervalHistogram intervals;
    std::optional<std::int64_t> last;
    std::string row;
    while (stream.next()) {
        if (!stream.atSample()) {
            eventWriter.add(stream.text(), stream.previousSample());
            continue;
        }
        const RecordedSample& sample = stream.sample();
        if (last) {
            intervals.add(sample.timeMicros - *last);
        } else {
            eventWriter.firstSample(sample.timeMicros);
        }
        last = sample.timeMicros;
        putRow(row, sample.timeMicros, sample.left, &sample.pupilLeftMm);
        physio[0]->write(row);
        putRow(row, sample.timeMicros, sample.right, &sample.pupilRightMm);
        physio[1]->write(row);
        putRow(row, sample.timeMicros, sample.gaze, nullptr);
        physio[2]->write(row);
        ++result.samples;
    }
    const auto median = intervals.median();
    if (!median || *median <= 0) {
        return fail(result.samples == 0 ? "no sample lines: nothing to export"
                                        : "fewer than two samples with rising time stamps: no sampling frequency");
    }
    result.samplingFrequencyHz = 1e6 / *median;
    result.triggers = eventWriter.triggers();
    result.messages = eventWriter.messages();

    bool closed = true;
    for (auto& table : physio) closed = table->close() && closed;
    for (auto& table : physioEvents) closed = table->close() && closed;
    events.close();
    if (!closed || !events) return fail("cannot write the tables in " + shown(result.folder));

    const RecordedEye eyes[3] = {RecordedEye::left, RecordedEye::right, RecordedEye::cyclopean};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string recordingEntity = std::string("_recording-") + kRecordingLabels[i];
        if (!writeText(file(recordingEntity + "_physio.json"), physioSidecar(eyes[i], result.samplingFrequencyHz)) ||
            !writeText(file(recordingEntity + "_physioevents.json"), physioEventsSidecar())) {
            return fail("cannot write " + shown(result.files.back()));
        }
    }
    if (!writeText(file("_events.json"), eventsSidecar(options.screen))) {
        return fail("cannot write " + shown(result.files.back()));
    }
    // The data set's own files are written once, by the first export into it.
    const std::filesystem::path description = options.root / "dataset_description.json";
    if (!std::filesystem::exists(description)) {
        result.files.push_back(description);
        if (!writeText(description, datasetDescription())) return fail("cannot write " + shown(description));
    }
    const std::filesystem::path readme = options.root / "README";
    if (!std::filesystem::exists(readme)) {
        result.files.push_back(readme);
        if (!writeText(readme, "Eye-tracking recordings of Tyvarion NBS sessions, exported by recording-to-bids.\n"
                               "Each run holds the left eye (recording-eye1), the right eye (recording-eye2)\n"
                               "and the binocular gaze point (recording-eye3), with the triggers and messages\n"
                               "the stimulus program sent.\n")) {
            return fail("cannot write " + shown(readme));
        }
    }
    return result;
}

}  // namespace tyvarion::tools
