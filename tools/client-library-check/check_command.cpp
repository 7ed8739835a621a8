#include "check_command.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "client/check/binding_check.h"
#include "client/check/check_text.h"
#include "output-file/output_file.h"

namespace tyvarion::tools {
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

int notADll(const fs::path& path, const std::string& why, std::string& err) {
    err += "client-library-check: " + pathText(path) + " is not a DLL: " + why + "\n";
    return 2;
}

}  // namespace

int checkClientLibrary(const std::vector<std::string>& arguments, std::string& out, std::string& err) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out += kUsage;
        return 0;
    }
    if (arguments.size() != 1 || arguments[0].empty() || arguments[0].front() == '-') {
        err += kUsage;
        return 2;
    }
    const fs::path path(arguments[0]);
    std::error_code error;
    std::ifstream file;
    if (!fs::is_directory(path, error)) file.open(path, std::ios::binary);
    if (!file.is_open()) {
        err += "client-library-check: cannot read " + pathText(path) + "\n";
        return 2;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    auto read = readPeImage(std::move(bytes));
    if (const auto* why = std::get_if<std::string>(&read)) return notADll(path, *why, err);
    const PeImage& image = std::get<PeImage>(read);
    if (!image.dll) return notADll(path, "a Windows program for " + machineText(image.machine, image.machineCode), err);

    bool binds = false;
    out += pathText(path) + "\n";
    for (const std::string& line : reportLines(checkBinding(image), image, pathText(path.filename()), binds))
        out += line + "\n";
    return binds ? 0 : 1;
}

}  // namespace tyvarion::tools
