#include "recording-to-bids/bids_export.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>

#include "output-file/output_file.h"
#include "recording-reader/recording_stream.h"
#include "recording-reader/timeline.h"
#include "recording-report/intervals.h"
#include "recording-to-bids/bids_outputs.h"
#include "recording-to-bids/gzip_file.h"
#include "recording-to-bids/physio_tables.h"
#include "recording-to-bids/staged_files.h"

namespace tyvarion::tools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kReadme =
    "Eye-tracking recordings of Tyvarion NBS sessions, exported by recording-to-bids.\n"
    "Each run holds the left eye (recording-eye1), the right eye (recording-eye2)\n"
    "and the binocular gaze point (recording-eye3), with the triggers and messages\n"
    "the stimulus program sent.\n";

bool writeText(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    return static_cast<bool>(file);
}

// The triggers and messages: the same rows go into each recording's
// physioevents table, and into the task's events table with onsets in seconds
// from the first sample. Lines before the first sample wait for it, and take
// its time.
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
        const std::string rest = trigger ? "\ttrigger\t" + tsvCell(line.value) + "\tn/a\n"
                                         : "\tmessage\tn/a\t" + tsvCell(line.value) + "\n";
        std::string row;
        putInteger(row, time);
        row += "\t0" + rest;
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

const BidsTarget& targetOf(const std::vector<BidsTarget>& targets, BidsFile file, std::size_t recording = 0) {
    for (const auto& target : targets) {
        if (target.file == file && target.recording == recording) return target;
    }
    return targets.front();  // every kind is among the targets
}

std::string runsRefusal(std::size_t line) {
    return "the time stamps fall or the index restarts at line " + std::to_string(line) +
           ": the recording holds more than one run of time, and a BIDS physio table has one start and one "
           "sampling rate; split the file before that line and export each part as a run of its own";
}

}  // namespace

std::optional<BidsExport> exportToBids(std::istream& recording, const BidsExportOptions& options,
                                       BidsExportFailure& failure) {
    const std::vector<BidsTarget> targets = bidsTargets(options.root, options.entities);
    if (auto refusal = bidsOutputRefusal(targets, options.inputs, options.overwrite)) {
        failure = {*refusal, true};
        return std::nullopt;
    }
    const auto fail = [&](const std::string& why) {
        failure = {why, false};
        return std::nullopt;
    };

    BidsExport result;
    result.folder = bidsFolder(options.root, options.entities);
    StagedFiles staged;
    std::string error;
    if (!staged.makeFolder(result.folder, error)) return fail(error);

    std::array<std::unique_ptr<GzipFile>, 3> physio;
    std::array<std::unique_ptr<GzipFile>, 3> physioEvents;
    for (std::size_t i = 0; i < 3; ++i) {
        const fs::path& table = targetOf(targets, BidsFile::physio, i).path;
        const fs::path& events = targetOf(targets, BidsFile::physioEvents, i).path;
        physio[i] = std::make_unique<GzipFile>(staged.stage(table));
        if (physio[i]->failed()) return fail("cannot write " + pathText(table));
        physioEvents[i] = std::make_unique<GzipFile>(staged.stage(events));
        if (physioEvents[i]->failed()) return fail("cannot write " + pathText(events));
    }
    const fs::path& eventsTable = targetOf(targets, BidsFile::events).path;
    std::ofstream events(staged.stage(eventsTable), std::ios::binary | std::ios::trunc);
    if (!events.is_open()) return fail("cannot write " + pathText(eventsTable));
    events << kEventsHeader;

    RecordingStream stream(recording);
    EventWriter eventWriter(physioEvents, events);
    PhysioTables tables(physio);
    TimelineCheck timeline;
    IntervalHistogram intervals;
    std::optional<std::int64_t> last;
    while (stream.next()) {
        if (!stream.atSample()) {
            eventWriter.add(stream.text(), stream.previousSample());
            continue;
        }
        const RecordedSample& sample = stream.sample();
        if (timeline.add(sample, stream.lineNumber())) return fail(runsRefusal(stream.lineNumber()));
        if (last) {
            intervals.add(sample.timeMicros - *last);
        } else {
            eventWriter.firstSample(sample.timeMicros);
        }
        last = sample.timeMicros;
        if (!tables.add(sample, stream.lineNumber(), error)) return fail(error);
    }
    result.samples = tables.samples();
    result.missingRows = tables.filled();
    const auto median = intervals.median();
    if (!median || *median <= 0) {
        return fail(result.samples == 0 ? "no sample lines: nothing to export"
                                        : "fewer than two samples with rising time stamps: no sampling frequency");
    }
    result.samplingFrequencyHz = 1e6 / *median;
    result.triggers = eventWriter.triggers();
    result.messages = eventWriter.messages();
    result.warnings = readingWarnings(stream.cutOffBytes(), stream.unreadable());
    for (std::string& warning : timelineWarnings(timeline.anomalies())) result.warnings.push_back(std::move(warning));

    bool closed = true;
    for (auto& table : physio) closed = table->close() && closed;
    for (auto& table : physioEvents) closed = table->close() && closed;
    events.close();
    if (!closed || !events) return fail("cannot write the tables in " + pathText(result.folder));

    const RecordedEye eyes[3] = {RecordedEye::left, RecordedEye::right, RecordedEye::cyclopean};
    const auto writeStaged = [&](const fs::path& target, const std::string& text) {
        if (writeText(staged.stage(target), text)) return true;
        error = "cannot write " + pathText(target);
        return false;
    };
    for (std::size_t i = 0; i < 3; ++i) {
        if (!writeStaged(targetOf(targets, BidsFile::physioSidecar, i).path,
                         physioSidecar(eyes[i], result.samplingFrequencyHz)) ||
            !writeStaged(targetOf(targets, BidsFile::physioEventsSidecar, i).path, physioEventsSidecar())) {
            return fail(error);
        }
    }
    if (!writeStaged(targetOf(targets, BidsFile::eventsSidecar).path, eventsSidecar(options.screen))) {
        return fail(error);
    }
    // The data set's own files are written once, by the first export into it.
    std::error_code ignored;
    const fs::path description = options.root / "dataset_description.json";
    if (!fs::exists(description, ignored)) {
        if (!writeStaged(description, datasetDescription(options.credits))) return fail(error);
        result.wroteDescription = true;
    }
    const fs::path readme = options.root / "README";
    if (!fs::exists(readme, ignored) && !writeStaged(readme, kReadme)) return fail(error);
    if (!staged.commit(error)) return fail(error);
    result.files = staged.targets();
    return result;
}

}  // namespace tyvarion::tools
