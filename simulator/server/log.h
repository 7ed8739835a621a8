#pragma once
// The server's report lines on standard output, one whole line at a time and
// flushed at once, since test harnesses read them through a pipe.

#include <string_view>

namespace tyvarion::sim {

void logLine(std::string_view line);

}  // namespace tyvarion::sim
