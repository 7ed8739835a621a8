#pragma once
// What a registration writes below a root key, and how it is written and
// removed again. Names and values may hold replacement variables, which are
// expanded as the tree is applied. Only the platform's registry calls are used.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <optional>
#include <string>
#include <vector>

#include "module/replacements.h"

namespace tyvarion::module {

enum class KeyMark {
    normal,
    forced,  // deleted with its whole subtree before it is created
    kept,    // created if absent, never removed
};

// A key, with an optional default value and its own items in order, or a named
// string value of the enclosing key.
struct RegistryItem {
    enum class Kind { key, value };
    Kind kind = Kind::key;
    std::wstring name;
    KeyMark mark = KeyMark::normal;
    std::optional<std::wstring> data;  // a key's default value, or the named value's data
    std::vector<RegistryItem> items;   // keys only
};

enum class Removal {
    // Keys not kept go with their whole subtree; values go with their keys.
    wholeSubtree,
    // Named values are deleted first; then each key not kept, if no subkeys remain.
    valuesThenEmptyKeys,
};

// Writes the items in order. Stops at the first failure and returns the
// platform's error as a result code.
HRESULT registerItems(HKEY root, const std::vector<RegistryItem>& items, const Replacements& variables);

// Removes what registerItems wrote, children before their key. Keys and values
// already absent are no error.
HRESULT unregisterItems(HKEY root, const std::vector<RegistryItem>& items,
                        const Replacements& variables, Removal removal);

// Deletes `name` below `parent` with all its subkeys; an absent key is no error.
HRESULT deleteKeyTree(HKEY parent, const std::wstring& name);

}  // namespace tyvarion::module
