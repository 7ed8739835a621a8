#include "recording-to-bids/bids_outputs.h"

#include <zlib.h>

#include <regex>

#include "output-file/output_file.h"
#include "recording-to-bids/bids_sidecars.h"

namespace tyvarion::tools {
namespace {

namespace fs = std::filesystem;

std::string suffix(BidsFile file) {
    switch (file) {
    case BidsFile::physio: return "_physio.tsv.gz";
    case BidsFile::physioSidecar: return "_physio.json";
    case BidsFile::physioEvents: return "_physioevents.tsv.gz";
    case BidsFile::physioEventsSidecar: return "_physioevents.json";
    case BidsFile::events: return "_events.tsv";
    case BidsFile::eventsSidecar: return "_events.json";
    }
    return {};
}

const char* description(BidsFile file) {
    switch (file) {
    case BidsFile::physio: return "a physio table written by recording-to-bids";
    case BidsFile::physioSidecar: return "a physio sidecar written by recording-to-bids";
    case BidsFile::physioEvents: return "a physioevents table written by recording-to-bids";
    case BidsFile::physioEventsSidecar: return "a physioevents sidecar written by recording-to-bids";
    case BidsFile::events: return "an events table written by recording-to-bids";
    case BidsFile::eventsSidecar: return "an events sidecar written by recording-to-bids";
    }
    return "";
}

// The first line of what the gzip bytes hold, as far as they go; nullopt
// when they are not gzip.
std::optional<std::string> firstGzipLine(std::string_view head) {
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    std::string out(kOutputHeadBytes, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(head.data()));
    stream.avail_in = static_cast<uInt>(head.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_NO_FLUSH);
    out.resize(out.size() - stream.avail_out);
    inflateEnd(&stream);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return std::nullopt;
    if (result == Z_BUF_ERROR && out.empty() && !head.empty()) return std::nullopt;
    return out.substr(0, out.find('\n'));
}

bool startsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

}  // namespace

std::vector<BidsTarget> bidsTargets(const fs::path& root, const BidsEntities& entities) {
    const fs::path folder = bidsFolder(root, entities);
    const std::string stem = bidsStem(entities);
    std::vector<BidsTarget> targets;
    for (std::size_t i = 0; i < std::size(kRecordingLabels); ++i) {
        const std::string recording = std::string("_recording-") + kRecordingLabels[i];
        for (BidsFile file : {BidsFile::physio, BidsFile::physioSidecar, BidsFile::physioEvents,
                              BidsFile::physioEventsSidecar}) {
            targets.push_back({folder / (stem + recording + suffix(file)), file, i});
        }
    }
    for (BidsFile file : {BidsFile::events, BidsFile::eventsSidecar}) {
        targets.push_back({folder / (stem + suffix(file)), file, 0});
    }
    return targets;
}

bool isOwnBidsFile(BidsFile file, std::string_view head) {
    static const std::regex physioRow(R"(-?\d+(\t(n/a|-?[0-9.e+-]+)){2,3})");
    static const std::regex eventRow("-?\\d+\t(0|n/a)\t(trigger|message)\t.*");
    switch (file) {
    case BidsFile::physio:
    case BidsFile::physioEvents: {
        const auto line = firstGzipLine(head);
        if (!line) return false;
        return line->empty() || std::regex_match(*line, file == BidsFile::physio ? physioRow : eventRow);
    }
    case BidsFile::physioSidecar: return startsWith(head, kPhysioSidecarStart);
    case BidsFile::physioEventsSidecar: return startsWith(head, kPhysioEventsSidecarStart);
    case BidsFile::events: return startsWith(head, kEventsHeader);
    case BidsFile::eventsSidecar: return startsWith(head, kEventsSidecarStart);
    }
    return false;
}

std::optional<std::string> bidsOutputRefusal(const std::vector<BidsTarget>& targets,
                                             std::span<const fs::path> inputs, bool overwrite) {
    for (const BidsTarget& target : targets) {
        const OutputKind kind{description(target.file),
                              [file = target.file](std::string_view head) { return isOwnBidsFile(file, head); }};
        if (auto refusal = outputRefusal(target.path, inputs, kind)) return refusal;
    }
    if (overwrite) return std::nullopt;
    for (const BidsTarget& target : targets) {
        std::error_code ignored;
        if (fs::exists(target.path, ignored)) {
            return "will not write over " + pathText(target.path) +
                   ": an export of this run is there already (--overwrite replaces it)";
        }
    }
    return std::nullopt;
}

}  // namespace tyvarion::tools
