#pragma once
// Writes registry rows as a WiX include: one RegistryValue element per row,
// each with its full key (the package builder makes wrong key names for
// values nested in RegistryKey elements).

#include <string>
#include <vector>

#include "rows/registry_rows.h"

namespace tyvarion::installer {

// The include's text, UTF-8. With `keyPath`, the first row is its component's key path.
std::string wixInclude(const std::vector<RegistryRow>& rows, const std::string& comment, bool keyPath);

}  // namespace tyvarion::installer
