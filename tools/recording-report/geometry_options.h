#pragma once
// The geometry options (--screen, --screen-mm, --distance-mm) on a tool's
// command line: the report and the export take them alike.

#include <string>
#include <string_view>

#include "command-line/command_line.h"
#include "recording-report/geometry.h"

namespace tyvarion::tools {

// `screen` must outlive the parse.
inline void addGeometryOptions(CommandLine& line, ScreenGeometry& screen) {
    for (const char* name : {"--screen", "--screen-mm", "--distance-mm"}) {
        line.option(name, [&screen, name](std::string_view value) {
            std::string error;
            takeGeometryOption(name, value, screen, error);
            return error;
        });
    }
}

}  // namespace tyvarion::tools
