#pragma once
// The binding check in words, the same for client-library-check and for the
// plug-in's diagnostic line. ASCII only: the names come from the file.

#include <cstddef>
#include <string>
#include <vector>

#include "client/check/binding_check.h"

namespace tyvarion::client_check {

// "x86 (32-bit)", "x64 (64-bit)", "ARM64", "machine 0x1c4"
std::string machineText(Machine machine, std::uint16_t code);
// The file the plug-in for `machine` loads: "TYApi32.dll", "TYApi64.dll"; empty for others.
std::string libraryFileFor(Machine machine);

// "calibrate missing (nearest export: ?calibrate@...@N@Z)", "... (no export alike)"
std::string missingText(const BindingCheck& check, std::size_t member);
// Every missing member's text, joined by ", ".
std::string missingMembersText(const BindingCheck& check);

// The shortest text that reads back as the same double: "-1.7976931348623157e+308".
std::string doubleText(double value);

// What an import means for the lab PC, "" for a part of every Windows.
std::string importNeed(const ImportCheck& import, Machine machine, const std::string& libraryFile);

// client-library-check's report on the DLL named `fileName`, line by line,
// the last line the verdict; `binds` is set to whether the plug-in that loads
// a file of that name would bind it.
std::vector<std::string> reportLines(const BindingCheck& check, const PeImage& image, const std::string& fileName,
                                     bool& binds);

}  // namespace tyvarion::client_check
