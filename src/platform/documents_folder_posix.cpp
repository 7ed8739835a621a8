#include <cstdlib>

#include "platform/documents_folder.h"

namespace tyvarion::platform {
namespace {
// An unset or empty variable counts as missing, as the XDG conventions have it.
const char* variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}
}  // namespace

std::optional<std::filesystem::path> documentsFolder() {
    if (const char* documents = variable("XDG_DOCUMENTS_DIR")) {
        return std::filesystem::path(documents);
    }
    if (const char* home = variable("HOME")) return std::filesystem::path(home) / "Documents";
    return std::nullopt;
}

}  // namespace tyvarion::platform
