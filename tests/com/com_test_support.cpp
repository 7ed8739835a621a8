#include "com_test_support.h"

#include <cstdlib>

#include "platform/text.h"

namespace com_testing {
namespace {

std::wstring windowsPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c != '\0'; ++c) path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
    return path;
}

template <typename Function>
Function moduleExport(const char* name) {
    HMODULE module = loadedModule();
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::wstring modulePath() { return windowsPath(TYVARION_COM_MODULE); }

std::wstring throwingModulePath() { return windowsPath(TYVARION_COM_THROWING_MODULE); }

std::wstring hostLibraryPath() { return windowsPath(TYVARION_HOST_LIBRARY); }

DWORD runRegsvr32(const std::vector<std::wstring>& arguments) {
    std::wstring commandLine = L"regsvr32.exe";
    for (const std::wstring& argument : arguments) commandLine += L" \"" + argument + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "regsvr32 did not start: error " << ::GetLastError();
        return ~DWORD{0};
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = ~DWORD{0};
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

std::string text(BSTR value) {
    return value != nullptr ? tyvarion::utf16ToUtf8(value, SysStringLen(value)) : "(null)";
}

std::string text(const unique_bstr& value) { return text(value.get()); }

void registerModule() { ASSERT_EQ(0u, runRegsvr32({L"/s", modulePath()})); }

void registerHostLibrary() { ASSERT_EQ(0u, runRegsvr32({L"/s", hostLibraryPath()})); }

// Not registered is no failure: the platform then has nothing to remove.
void unregisterHostLibrary() { runRegsvr32({L"/u", L"/s", hostLibraryPath()}); }

HMODULE loadedModule() { return GetModuleHandleW(L"TyvarionNBS.dll"); }

HRESULT moduleCanUnloadNow() {
    auto canUnloadNow = moduleExport<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    return canUnloadNow != nullptr ? canUnloadNow() : E_UNEXPECTED;
}

HRESULT moduleGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
    auto getClassObject =
        moduleExport<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    return getClassObject != nullptr ? getClassObject(clsid, iid, result) : E_UNEXPECTED;
}

void useNoServer() { _putenv_s("TYVARION_SERVER", "127.0.0.1:1"); }

}  // namespace com_testing
