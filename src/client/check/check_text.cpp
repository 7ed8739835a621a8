#include "client/check/check_text.h"

#include <cctype>
#include <charconv>

namespace tyvarion::client_check {
namespace {

constexpr std::size_t kMemberColumn = 32;
constexpr std::size_t kImportColumn = 36;

std::string padded(std::string text, std::size_t column) {
    text.push_back(' ');
    while (text.size() < column) text.push_back(' ');
    return text;
}

std::string hex(std::uint16_t value) {
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    return "0x" + std::string(digits, end);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string pluginName(Machine machine) { return machine == Machine::x86 ? "x86 plug-in" : "x64 plug-in"; }

}  // namespace

std::string machineText(Machine machine, std::uint16_t code) {
    switch (machine) {
        case Machine::x86: return "x86 (32-bit)";
        case Machine::x64: return "x64 (64-bit)";
        case Machine::arm64: return "ARM64";
        case Machine::other: break;
    }
    return "machine " + hex(code);
}

std::string libraryFileFor(Machine machine) {
    switch (machine) {
        case Machine::x86: return "TYApi32.dll";
        case Machine::x64: return "TYApi64.dll";
        default: return {};
    }
}

std::string missingText(const BindingCheck& check, std::size_t member) {
    const MemberCheck& result = check.members[member];
    std::string text = std::string(tyapi::kClientExportMembers[member]) + " missing";
    if (result.nearest.empty()) return text + " (no export alike)";
    text += result.nearest.size() == 1 ? " (nearest export: " : " (nearest exports: ";
    for (std::size_t i = 0; i < result.nearest.size(); ++i) text += (i == 0 ? "" : ", ") + result.nearest[i];
    return text + ")";
}

std::string missingMembersText(const BindingCheck& check) {
    std::string text;
    for (std::size_t member = 0; member < tyapi::kClientExportCount; ++member) {
        if (check.members[member].spelling) continue;
        if (!text.empty()) text += ", ";
        text += missingText(check, member);
    }
    return text;
}

std::string doubleText(double value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

std::string importNeed(const ImportCheck& import, Machine machine, const std::string& libraryFile) {
    const std::string bits = machine == Machine::x86 ? "x86" : "x64";
    switch (import.kind) {
        case ImportKind::windows: return {};
        case ImportKind::ucrt: return "Universal C Runtime: part of Windows 10 and 11; Windows 7 and 8.1 need its update";
        case ImportKind::vcRuntime:
            return "Visual C++ runtime: install the maker's Visual C++ Redistributable (" + bits + ") on the lab PC";
        case ImportKind::other: break;
    }
    return "not part of Windows: must be on the lab PC, beside " + libraryFile + " or installed by the maker";
}

std::vector<std::string> reportLines(const BindingCheck& check, const PeImage& image, const std::string& fileName,
                                     bool& binds) {
    std::vector<std::string> lines;
    const std::string machine = machineText(check.machine, image.machineCode);
    const std::string expected = libraryFileFor(check.machine);
    const tyapi::ClientExportTable* table = exportTableFor(check.machine);
    // A file named for the other architecture's plug-in is what that plug-in loads.
    std::string wrongBitness;
    for (const Machine other : {Machine::x86, Machine::x64}) {
        if (other != check.machine && sameName(fileName, libraryFileFor(other))) {
            wrongBitness = "the " + pluginName(other) + " loads " + fileName + " and cannot load a DLL built for " + machine +
                           "; the " + (table != nullptr ? pluginName(check.machine) + " loads it as " + expected
                                                            : std::string("plug-in has no build for it"));
        }
    }
    if (table == nullptr) {
        lines.push_back("architecture    " + machine + ": neither plug-in can load it (they are x86 and x64)");
    } else {
        lines.push_back("architecture    " + machine + ": goes with the " + pluginName(check.machine) +
                        ", which loads it as " + expected);
        lines.push_back("members");
        for (std::size_t member = 0; member < tyapi::kClientExportCount; ++member) {
            const MemberCheck& result = check.members[member];
            std::string line = padded("  " + std::string(tyapi::kClientExportMembers[member]), kMemberColumn);
            if (!result.spelling) {
                line += "missing";
                const std::string text = missingText(check, member);
                line += text.substr(text.find(" missing") + 8);
            } else {
                line += result.exportName;
                if (*result.spelling != 0) line += " (alternative spelling)";
            }
            lines.push_back(line);
        }
        lines.push_back("TYInvalidValue  = " +
                        (check.invalidValue ? doubleText(*check.invalidValue)
                                            : std::string(check.members[tyapi::kExportInvalidValue].spelling
                                                              ? "not readable from the file"
                                                              : "missing")));
    }
    lines.push_back(check.imports.empty() ? "imports         none" : "imports");
    for (const ImportCheck& import : check.imports) {
        const std::string need = importNeed(import, check.machine, expected.empty() ? fileName : expected);
        lines.push_back(padded("  " + import.name, kImportColumn) + (need.empty() ? "part of Windows" : need));
    }

    binds = check.binds() && wrongBitness.empty();
    if (table == nullptr) {
        lines.push_back("result          not bound: the plug-in is built for x86 and x64 only");
    } else if (!wrongBitness.empty()) {
        lines.push_back("result          not bound: " + wrongBitness);
    } else if (!check.binds()) {
        lines.push_back("result          not bound by the " + pluginName(check.machine) + ": " +
                        missingMembersText(check));
    } else {
        std::string needs;
        for (const ImportCheck& import : check.imports) {
            if (import.kind != ImportKind::windows) needs += (needs.empty() ? "" : ", ") + import.name;
        }
        lines.push_back("result          the " + pluginName(check.machine) + " binds it" +
                        (sameName(fileName, expected) ? "" : ", named " + expected) +
                        (needs.empty() ? "" : ", if the lab PC has " + needs));
    }
    return lines;
}

}  // namespace tyvarion::client_check
