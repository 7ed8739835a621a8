#pragma once
// The user's Documents folder, the one outside setting the plug-in reads.

#include <filesystem>
#include <optional>

namespace tyvarion::platform {

// Windows: the "Personal" value under the current user's Shell Folders key,
// read as wide text. Elsewhere: $XDG_DOCUMENTS_DIR, else $HOME/Documents.
// Nothing when it cannot be found; an empty value is returned as it is.
std::optional<std::filesystem::path> documentsFolder();

}  // namespace tyvarion::platform
