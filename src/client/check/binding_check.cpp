#include "client/check/binding_check.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tyvarion::client_check {
namespace {

constexpr std::size_t kMaxNearest = 3;

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "calibrate@TYApi@tyapi@@..." -> {"calibrate", "TYApi", "tyapi"}
std::vector<std::string> nameParts(std::string_view rest) {
    std::vector<std::string> parts;
    while (!rest.empty() && rest.front() != '@') {
        const std::size_t at = rest.find('@');
        if (at == std::string_view::npos) {
            parts.emplace_back(rest);
            break;
        }
        parts.emplace_back(rest.substr(0, at));
        rest.remove_prefix(at + 1);
    }
    return parts;
}

// The scopes are the parts from `first` on, innermost first.
std::string joinScopes(const std::vector<std::string>& parts, std::size_t first, const std::string& member) {
    std::string name;
    for (std::size_t i = parts.size(); i-- > first;) name += parts[i] + "::";
    return name + member;
}

// Exports whose undecorated name is nearest the member's, leaving out those
// already bound to another member.
std::vector<std::string> nearestExports(const PeImage& image, const std::string& wanted,
                                        const std::vector<std::string>& bound) {
    const std::string target = lower(undecoratedName(wanted));
    const std::size_t limit = std::max<std::size_t>(3, target.size() / 3);
    std::size_t best = limit + 1;
    std::vector<std::string> nearest;
    for (const PeExport& entry : image.exports) {
        if (std::find(bound.begin(), bound.end(), entry.name) != bound.end()) continue;
        const std::size_t distance = editDistance(target, lower(undecoratedName(entry.name)));
        if (distance > best) continue;
        if (distance < best) {
            best = distance;
            nearest.clear();
        }
        if (nearest.size() < kMaxNearest) nearest.push_back(entry.name);
    }
    return nearest;
}

}  // namespace

bool BindingCheck::binds() const {
    return exportTableFor(machine) != nullptr &&
           std::all_of(members.begin(), members.end(), [](const MemberCheck& m) { return m.spelling.has_value(); });
}

const tyapi::ClientExportTable* exportTableFor(Machine machine) {
    switch (machine) {
        case Machine::x86: return &tyapi::kClientExportsX86;
        case Machine::x64: return &tyapi::kClientExportsX64;
        default: return nullptr;
    }
}

std::string undecoratedName(const std::string& exportName) {
    std::string_view name = exportName;
    if (name.size() > 3 && name.starts_with("??") && (name[2] == '0' || name[2] == '1')) {
        const auto parts = nameParts(name.substr(3));
        if (parts.empty()) return exportName;
        return joinScopes(parts, 0, std::string(name[2] == '1' ? "~" : "") + parts.front());
    }
    if (name.size() > 1 && name.front() == '?' && name[1] != '?') {
        const auto parts = nameParts(name.substr(1));
        if (parts.empty()) return exportName;
        return joinScopes(parts, 1, parts.front());
    }
    return exportName;
}

ImportKind importKind(const std::string& dllName) {
    const std::string name = lower(dllName);
    if (name.starts_with("api-ms-win-crt-") || name == "ucrtbase.dll") return ImportKind::ucrt;
    if (name.starts_with("vcruntime") || name.starts_with("msvcp") ||
        (name.starts_with("msvcr") && name != "msvcrt.dll") || name.starts_with("concrt") ||
        name.starts_with("vcomp"))
        return ImportKind::vcRuntime;
    static constexpr std::string_view kWindows[] = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll", "shell32.dll",  "ole32.dll",
        "oleaut32.dll", "ws2_32.dll",   "wsock32.dll",  "mswsock.dll",  "winmm.dll",    "setupapi.dll",
        "iphlpapi.dll", "shlwapi.dll",  "version.dll",  "comctl32.dll", "comdlg32.dll", "crypt32.dll",
        "bcrypt.dll",   "ntdll.dll",    "msvcrt.dll",   "rpcrt4.dll",   "secur32.dll",  "hid.dll",
        "dbghelp.dll",  "psapi.dll",    "userenv.dll",  "winhttp.dll",  "wininet.dll",  "imm32.dll",
        "cfgmgr32.dll", "powrprof.dll", "winusb.dll",   "avrt.dll",     "dwmapi.dll",   "uxtheme.dll",
        "opengl32.dll", "d3d9.dll",     "d3d11.dll",    "dxgi.dll",     "mfplat.dll",   "dnsapi.dll",
    };
    if (std::find(std::begin(kWindows), std::end(kWindows), name) != std::end(kWindows) ||
        name.starts_with("api-ms-win-"))
        return ImportKind::windows;
    return ImportKind::other;
}

BindingCheck checkBinding(const PeImage& image) {
    BindingCheck check;
    check.machine = image.machine;
    for (const std::string& name : image.imports) check.imports.push_back(ImportCheck{name, importKind(name)});
    const tyapi::ClientExportTable* table = exportTableFor(image.machine);
    if (table == nullptr) return check;

    std::vector<std::string> bound;
    const PeExport* marker = nullptr;
    for (std::size_t member = 0; member < tyapi::kClientExportCount; ++member) {
        const tyapi::ExportSpellings& spellings = (*table)[member];
        for (std::size_t s = 0; s < spellings.size() && spellings[s] != nullptr; ++s) {
            const auto found = std::find_if(image.exports.begin(), image.exports.end(),
                                            [&](const PeExport& e) { return e.name == spellings[s]; });
            if (found == image.exports.end()) continue;
            check.members[member].spelling = s;
            check.members[member].exportName = found->name;
            bound.push_back(found->name);
            if (member == tyapi::kExportInvalidValue) marker = &*found;
            break;
        }
    }
    for (std::size_t member = 0; member < tyapi::kClientExportCount; ++member) {
        if (!check.members[member].spelling)
            check.members[member].nearest = nearestExports(image, (*table)[member][0], bound);
    }
    if (marker != nullptr && marker->address != 0) check.invalidValue = image.doubleAt(marker->address);
    return check;
}

}  // namespace tyvarion::client_check
