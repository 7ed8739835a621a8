#pragma once
// client-library-check's whole run, apart from the process: the arguments in,
// the report and the error text out, the exit status returned.

#include <string>
#include <vector>

namespace tyvarion::tools {

// 0: the plug-in binds the library; 1: it does not; 2: not a DLL, not
// readable, or a wrong command line.
int checkClientLibrary(const std::vector<std::string>& arguments, std::string& out, std::string& err);

}  // namespace tyvarion::tools
