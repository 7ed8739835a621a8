#include "output-file/output_file.h"

#include <chrono>
#include <fstream>
#include <random>

namespace tyvarion::tools {
namespace {

namespace fs = std::filesystem;

std::string head(const fs::path& path) {
    std::ifstream input(path, std::ios::binary);
    std::string bytes(kOutputHeadBytes, '\0');
    input.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(input.gcount()));
    return bytes;
}

}  // namespace

fs::path temporaryBeside(const fs::path& output) {
    std::random_device random;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) about
    // a literal prepended to a temporary string.
    std::string suffix(1, '.');
    suffix += std::to_string(random());
    suffix += std::to_string(now);
    suffix += ".tmp";
    fs::path name = output.filename();
    name += suffix;
    return output.parent_path() / name;
}

std::string pathText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<std::string> outputRefusal(const fs::path& output, std::span<const fs::path> inputs,
                                         const OutputKind& kind) {
    const std::string refusal = "will not write over " + pathText(output) + ": ";
    std::error_code error;
    const fs::file_status status = fs::status(output, error);
    if (!fs::exists(status)) return std::nullopt;
    if (fs::is_directory(status)) return refusal + "it is a directory";
    for (const fs::path& input : inputs) {
        std::error_code ignored;
        if (fs::equivalent(output, input, ignored)) return refusal + "it is the input";
    }
    if (!fs::is_regular_file(status) || !kind.isOwn(head(output)))
        return refusal + "it exists and is not " + std::string(kind.description);
    return std::nullopt;
}

bool replaceFile(const fs::path& output, std::string_view content, std::string& error) {
    const fs::path temporary = temporaryBeside(output);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file.is_open()) {
            error = "cannot write in the folder of " + pathText(output);
            return false;
        }
        file.write(content.data(), static_cast<std::streamsize>(content.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            error = "cannot write " + pathText(output);
            return false;
        }
    }
    std::error_code renameError;
    fs::rename(temporary, output, renameError);
    if (renameError) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        error = "cannot write " + pathText(output) + ": " + renameError.message();
        return false;
    }
    return true;
}

}  // namespace tyvarion::tools
