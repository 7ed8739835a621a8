#pragma once
// Text for a cell of a BIDS table: valid UTF-8 (bytes that are not become
// U+FFFD, as in the report's JSON), "n/a" for the empty text, and a value
// with a tab or a double quote wrapped in double quotes with its quotes
// doubled, as the standard's TSV asks. A carriage return, which only a
// message can hold, becomes a space: a reader that splits rows on line ends
// would break the row there.

#include <string>
#include <string_view>

namespace tyvarion::tools {

std::string tsvCell(std::string_view text);

// `text` with every byte sequence that is not UTF-8 replaced by U+FFFD.
std::string validUtf8(std::string_view text);

}  // namespace tyvarion::tools
