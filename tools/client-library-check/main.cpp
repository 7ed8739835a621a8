// client-library-check PATH: whether the Tyvarion plug-in would bind the
// client library at PATH, judged from the DLL's headers, exports and imports
// without loading it (check_command.h).
#include <cstdio>
#include <string>
#include <vector>

#include "check_command.h"

int main(int argc, char** argv) {
    std::string out;
    std::string err;
    const int status = tyvarion::tools::checkClientLibrary(std::vector<std::string>(argv + 1, argv + argc), out, err);
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return status;
}
