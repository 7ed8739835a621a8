#pragma once
// Registry rows of a Windows Installer package: one value (or one empty key)
// each, with its full key path below HKEY_CLASSES_ROOT. Text is in the
// installer's formatted notation, where [ and ] are escaped and [#file] or a
// preprocessor variable stands for what is known only at install time.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/registry_tree.h"

namespace tyvarion::installer {

struct RegistryRow {
    std::wstring key;
    std::wstring name;  // empty: the key's default value
    std::wstring value;
    // A key without values or subkeys: created on install, removed on uninstall.
    bool emptyKey = false;

    bool operator==(const RegistryRow&) const = default;
};

// True for a key below HKEY_CLASSES_ROOT that 64-bit Windows keeps apart
// for 32-bit programs (CLSID, Interface and the media keys); every other key
// there, a ProgID, AppID or TypeLib, is one key for programs of both kinds.
bool redirectedBetweenViews(std::wstring_view key);

// Literal text in the formatted notation: [ and ] are written as [\[] and [\]].
// Nothing for text with a $, which the package's preprocessor would take for
// the start of a variable and has no escape for.
std::optional<std::wstring> formattedText(std::wstring_view text);

// The rows that registering `items` writes, in the order they are written.
// `variables` must hold their values in the formatted notation already.
// kMalformedRegistration for an unknown variable; E_INVALIDARG for an entry a
// package cannot write (an empty value or value name, a $ in the text).
HRESULT appendRows(const std::vector<module::RegistryItem>& items, const module::Replacements& variables,
                   std::vector<RegistryRow>& rows);

}  // namespace tyvarion::installer
