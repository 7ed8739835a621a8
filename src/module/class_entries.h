#pragma once
// The registry entries of the class Tyvarion as data: its two ProgIDs and its
// CLSID key, with the replacement variables they use besides the module's own.
// The module registers them; the installer's generator turns them into rows.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <vector>

#include "module/registry_tree.h"

namespace tyvarion::module {

// In the order they are written; unregistration removes every key not kept
// with its whole subtree.
std::vector<RegistryItem> tyvarionClassEntries();

// FriendlyName, the one variable of the class entries that is not the module's.
void addTyvarionClassNames(Replacements& variables);

}  // namespace tyvarion::module
