#pragma once
// Shared by the COM tests, which run under wine64 with the real COM runtime,
// registry and regsvr32.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "module/com_ptr.h"
#include "test_support.h"

namespace com_testing {

using tyvarion::unique_bstr;
using tyvarion::module::com_ptr;
using tyvarion::module::unique_hkey;

// The module under test and its test-only variant, as Windows paths (Z:\...).
std::wstring modulePath();
std::wstring throwingModulePath();
// The stand-in for the host's type library EyeTracker2Lib (a DLL that carries
// it and registers it through regsvr32).
std::wstring hostLibraryPath();

// Runs regsvr32 with `arguments` (say {L"/s", path}) and returns its exit code.
DWORD runRegsvr32(const std::vector<std::wstring>& arguments);

// Text of a BSTR, "(null)" for none.
std::string text(BSTR value);
std::string text(const unique_bstr& value);

// Makes sure the module is registered; fails the test otherwise.
void registerModule();
// Registers and unregisters the stand-in host library, as the host's installer would.
void registerHostLibrary();
void unregisterHostLibrary();

// An apartment for the calling thread, for the life of the scope.
class Apartment {
public:
    Apartment() { EXPECT_HR(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    ~Apartment() { CoUninitialize(); }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
};

// The module as COM loaded it: its exports, without a reference of our own.
HMODULE loadedModule();
HRESULT moduleCanUnloadNow();
HRESULT moduleGetClassObject(REFCLSID clsid, REFIID iid, void** result);

// Points the simulated client library at a port where nothing listens, so that
// objects start not connected whatever runs on this machine.
void useNoServer();

}  // namespace com_testing
