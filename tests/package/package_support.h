#pragma once
// What the package tests do to a Wine prefix: run msiexec and regsvr32, take
// pictures of HKEY_CLASSES_ROOT in both registry views and of the Program
// Files folders, and read a package's properties.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <string>
#include <vector>

#include "registry_snapshot.h"

namespace package_testing {

// The test's inputs, from the environment that tests/package/run sets.
struct Inputs {
    std::wstring package;          // TYVARION_PACKAGE: the package under test
    std::wstring previousPackage;  // TYVARION_PREVIOUS_PACKAGE: the same, an older version
    std::wstring files;            // TYVARION_PACKAGE_FILES: the folder of the files it installs
    std::wstring hostSession;      // TYVARION_HOST_SESSION: host-session.exe of the same architecture
    std::wstring clientLibrary;    // TYVARION_CLIENT_LIBRARY: its file name, empty when the build has none
    // For the test of both packages on one PC, the x86 package and its
    // host-session.exe (TYVARION_OTHER_PACKAGE, TYVARION_OTHER_HOST_SESSION).
    std::wstring otherPackage;
    std::wstring otherHostSession;
};
const Inputs& inputs();

// Runs a command line and returns its exit code (0xFFFFFFFF when it cannot start).
DWORD run(const std::wstring& commandLine);
DWORD msiexec(const std::wstring& arguments);
DWORD regsvr32(const std::wstring& arguments);

std::wstring quoted(const std::wstring& text);

// HKEY_CLASSES_ROOT of this process's view and, where there is one, the 32-bit view.
struct RegistryPicture {
    com_testing::RegistrySnapshot own;
    com_testing::RegistrySnapshot view32;
};
RegistryPicture takePicture();

// The differences between two pictures, lines of the 32-bit view prefixed
// "32-bit view: ", sorted. Windows Installer's own records of installed
// products (Installer\...) are left out: they are not the module's.
std::vector<std::string> differences(const RegistryPicture& before, const RegistryPicture& after);

// The lines of `expected` missing from `actual` ("missing: ...") and those of
// `actual` not expected ("extra: ..."): empty when both hold the same lines.
std::vector<std::string> mismatch(const std::vector<std::string>& expected, const std::vector<std::string>& actual);

// Every file and folder below the Program Files folders, one path each, sorted.
std::vector<std::wstring> programFiles();

// Where the package installs: Program Files of its own architecture.
std::wstring installFolder();
// Where the x86 package installs on a 64-bit system.
std::wstring installFolder32();

std::vector<char> fileBytes(const std::wstring& path);
bool exists(const std::wstring& path);

// A property of the package's Property table.
std::wstring packageProperty(const std::wstring& package, const wchar_t* name);

// The products installed for an upgrade code.
std::vector<std::wstring> relatedProducts(const std::wstring& upgradeCode);
std::wstring productVersion(const std::wstring& productCode);

}  // namespace package_testing
