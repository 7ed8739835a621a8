#pragma once
// Every key and value below a registry key, and the differences between two
// such pictures, one line each, values byte for byte.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <map>
#include <string>
#include <vector>

namespace com_testing {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool operator==(const RegistryValue&) const = default;
};

// Key path below the root ("" for the root itself, "CLSID\\{...}") to its
// values by name ("" for the default value).
using RegistrySnapshot = std::map<std::wstring, std::map<std::wstring, RegistryValue>>;

// Leaves out the root's Wow6432Node, the 32-bit view of the same registry.
RegistrySnapshot takeSnapshot(HKEY root);

// "+key PATH", "-key PATH", "+value PATH [NAME] DATA", "-value ...", "~value
// PATH [NAME] OLD -> NEW"; DATA is REG_SZ "text" (N bytes) for a string with
// exactly one terminating null, else the type and the bytes in hex. Keys below
// a path listed in `ignored` (compared without regard to case) are left out.
std::vector<std::string> differences(const RegistrySnapshot& before, const RegistrySnapshot& after,
                                     const std::vector<std::wstring>& ignored = {});

// The lines that `differences` gives for a string value.
std::string addedKey(const std::wstring& path);
std::string addedString(const std::wstring& path, const std::wstring& name, const std::wstring& text);

}  // namespace com_testing
