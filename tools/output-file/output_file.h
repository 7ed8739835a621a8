#pragma once
// How the tools write their output files. A tool never writes over its input,
// nor over a file that it did not write itself (a recording given where the
// output belongs); it writes a temporary file beside the target and renames
// it into place, so an interrupted run leaves the old file or the new one,
// never half of one.

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tyvarion::tools {

struct OutputKind {
    // "an SVG picture written by plot-recording": ends the refusal's sentence.
    std::string_view description;
    // True for the first bytes (up to kOutputHeadBytes) of a file of this kind.
    std::function<bool(std::string_view head)> isOwn;
};

inline constexpr std::size_t kOutputHeadBytes = 4096;

// Nullopt when `output` may be written: it does not exist yet, or it is a file
// of `kind` and none of `inputs`. Otherwise the reason, for example
// "will not write over rec.csv: it is the input".
std::optional<std::string> outputRefusal(const std::filesystem::path& output,
                                         std::span<const std::filesystem::path> inputs, const OutputKind& kind);

// Writes `content` to a new temporary file in `output`'s folder and renames it
// to `output`. False, with `error` set and no temporary file left, on failure.
bool replaceFile(const std::filesystem::path& output, std::string_view content, std::string& error);

// A new name in `output`'s folder for the file that will become `output`.
std::filesystem::path temporaryBeside(const std::filesystem::path& output);

// A path as UTF-8 text, for messages.
std::string pathText(const std::filesystem::path& path);

}  // namespace tyvarion::tools
