// client-library-check PATH: whether the Tyvarion plug-in would bind the
// client library at PATH, judged from the DLL's headers, exports and imports
// without loading it. Exit 0: it binds; 1: it does not; 2: not a DLL, or no
// file to read.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "client/check/binding_check.h"
#include "client/check/check_text.h"
#include "output-file/output_file.h"

namespace {

namespace fs = std::filesystem;
using namespace tyvarion::client_check;

constexpr const char* kUsage =
    "usage: client-library-check PATH\n"
    "  Reads the client library DLL at PATH (TYApi32.dll or TYApi64.dll) without running it and\n"
    "  tells whether the Tyvarion plug-in binds it: its architecture and the plug-in it goes with,\n"
    "  the spelling of each member the plug-in calls or the exports nearest a missing one, the value\n"
    "  of TYInvalidValue, and the DLLs it needs on the lab PC.\n"
    "  Exit status: 0 the plug-in binds it, 1 it does not, 2 not a DLL or not readable.\n";

int notADll(const fs::path& path, const std::string& why) {
    std::fprintf(stderr, "client-library-check: %s is not a DLL: %s\n", tyvarion::tools::pathText(path).c_str(),
                 why.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const fs::path path(argv[1]);
    std::ifstream file(path, std::ios::binary);
    std::error_code error;
    if (!file || fs::is_directory(path, error)) {
        std::fprintf(stderr, "client-library-check: cannot read %s\n", tyvarion::tools::pathText(path).c_str());
        return 2;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    auto read = readPeImage(std::move(bytes));
    if (const auto* why = std::get_if<std::string>(&read)) return notADll(path, *why);
    const PeImage& image = std::get<PeImage>(read);
    if (!image.dll) return notADll(path, "a Windows program (" + machineText(image.machine, image.machineCode) + ")");

    bool binds = false;
    const std::string fileName = tyvarion::tools::pathText(path.filename());
    std::printf("%s\n", tyvarion::tools::pathText(path).c_str());
    for (const std::string& line : reportLines(checkBinding(image), image, fileName, binds))
        std::printf("%s\n", line.c_str());
    return binds ? 0 : 1;
}
