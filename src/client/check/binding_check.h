#pragma once
// Whether the plug-in would bind a client library, judged from its file: the
// DLL's architecture, the spelling of each member it exports (the first of the
// binding table's spellings found), the nearest exports of a member it lacks,
// the value of its TYInvalidValue and the DLLs it needs. The plug-in writes
// the same judgement into its diagnostic line; client-library-check prints it.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "client/check/pe_image.h"
#include "client/client_library_exports.h"

namespace tyvarion::client_check {

struct MemberCheck {
    std::optional<std::size_t> spelling;  // index into the member's spellings
    std::string exportName;               // the spelling found
    std::vector<std::string> nearest;     // when missing: exports of a name alike
};

enum class ImportKind {
    windows,     // part of every Windows
    ucrt,        // the Universal C Runtime: Windows 10 and later, an update before
    vcRuntime,   // the maker's compiler's runtime (Visual C++ Redistributable)
    other,       // neither: the maker's own or a third party's
};

struct ImportCheck {
    std::string name;
    ImportKind kind = ImportKind::other;
};

struct BindingCheck {
    Machine machine = Machine::other;
    std::array<MemberCheck, tyapi::kClientExportCount> members{};
    // The marker's value as the file holds it; nullopt when it is missing or
    // lies outside the image.
    std::optional<double> invalidValue;
    std::vector<ImportCheck> imports;

    // Every member found, for an architecture the plug-in is built for.
    bool binds() const;
};

// The binding table of the plug-in built for `machine`; null for others.
const tyapi::ClientExportTable* exportTableFor(Machine machine);

BindingCheck checkBinding(const PeImage& image);

// The member's name without its decoration: "tyapi::TYApi::calibrate",
// "tyapi::TYApi::~TYApi"; a name that is not a Microsoft C++ name unchanged.
std::string undecoratedName(const std::string& exportName);

ImportKind importKind(const std::string& dllName);

}  // namespace tyvarion::client_check
