#include "recording-to-bids/tsv_cell.h"

#include <nlohmann/json.hpp>

namespace tyvarion::tools {

std::string validUtf8(std::string_view text) {
    // nlohmann's serializer is the report's: the same bytes get the same replacement.
    const std::string quoted =
        nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return nlohmann::json::parse(quoted).get<std::string>();
}

std::string tsvCell(std::string_view text) {
    if (text.empty()) return "n/a";
    std::string cell = validUtf8(text);
    for (char& c : cell) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    if (cell.find_first_of("\t\"") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace tyvarion::tools
