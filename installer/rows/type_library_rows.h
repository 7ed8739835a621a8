#pragma once
// The rows that registering a type library writes, as the platform's
// RegisterTypeLib writes them: the library's version key with its name, the
// path for its locale and system kind, FLAGS and HELPDIR; and for each
// dispatch or automation-compatible interface its Interface key with the
// automation proxy and the library it belongs to.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <string>
#include <vector>

#include "rows/registry_rows.h"

namespace tyvarion::installer {

struct TypeLibraryRows {
    // TypeLib\{LIBID}\VERSION with its name, FLAGS and HELPDIR: the same key
    // for a library of either system kind.
    std::vector<RegistryRow> version;
    // TypeLib\{LIBID}\VERSION\LCID\SYSKIND: one per system kind.
    std::vector<RegistryRow> path;
    std::vector<RegistryRow> interfaces;  // Interface\{IID}\...
};

// `modulePath` and `helpFolder` are in the formatted notation: where the
// library's file will be and its folder (without a trailing backslash), which
// the platform writes as HELPDIR when the library names no help file.
HRESULT typeLibraryRows(ITypeLib& library, const std::wstring& modulePath, const std::wstring& helpFolder,
                        TypeLibraryRows& rows);

}  // namespace tyvarion::installer
