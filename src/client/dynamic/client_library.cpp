#include "client/dynamic/client_library.h"

#include <cstring>
#include <new>

#include "client/client_library_exports.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tyapi::dynamic {
namespace {

constexpr const wchar_t* kFileName = TYVARION_CLIENT_LIBRARY_FILE;
// The simulated tracker's client as the package installs it: a name of its
// own, so that the package never replaces or removes the maker's file.
constexpr const wchar_t* kSimulatedFileName = TYVARION_SIMULATED_CLIENT_LIBRARY_FILE;
constexpr const wchar_t* kConsequence = L"; running without a connection to the Tyvarion server\n";

#if defined(_WIN64)
constexpr const ClientExportTable& kExports = kClientExportsX64;
#else
constexpr const ClientExportTable& kExports = kClientExportsX86;
#endif

// For the person installing the plug-in: the host shows nothing.
void diagnose(const std::wstring& what) {
    OutputDebugStringW((L"TyvarionNBS: " + what + kConsequence).c_str());
}

std::wstring widen(const char* ascii) {
    std::wstring wide;
    for (; *ascii != '\0'; ++ascii) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*ascii)));
    return wide;
}

// Written by hand: std::to_wstring brings in wide printf functions that
// Windows 7's msvcrt.dll lacks.
std::wstring decimal(DWORD value) {
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

std::wstring modulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Through void(*)(), which converts to any function pointer type without a
// warning; GetProcAddress's own type is a placeholder.
template <typename Function>
void bindAs(FARPROC address, Function& target) {
    target = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// By full path: the library's own dependencies are found beside it. Windows 7
// without update KB2533623 knows no LOAD_LIBRARY_SEARCH_* flag and refuses
// them as invalid; there the older flag gives the same for a full path.
HMODULE loadFullPath(const std::wstring& path) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

std::wstring withFile(std::wstring folder, const wchar_t* file = kFileName) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder.push_back(L'\\');
    return folder + file;
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The maker's file in the application's folder or System32, where a failed
// load does not tell a missing file from a missing dependency.
bool inSystemFolders() {
    std::wstring application = modulePath(nullptr);
    application.erase(application.find_last_of(L"\\/") + 1);
    if (!application.empty() && exists(withFile(application))) return true;
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return length != 0 && length < MAX_PATH && exists(withFile(std::wstring(system, length)));
}

// The application's folder, System32 and the folders added with
// AddDllDirectory; not the current directory, not PATH.
HMODULE loadFromSystemFolders() {
    HMODULE module = LoadLibraryExW(kFileName, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    std::wstring application = modulePath(nullptr);
    application.erase(application.find_last_of(L"\\/") + 1);
    module = loadFullPath(withFile(application));
    if (module != nullptr) return module;
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    return loadFullPath(withFile(std::wstring(system, length)));
}

unique_hmodule loadFile(const std::wstring& pluginFolder) {
    const std::wstring local = withFile(pluginFolder);
    unique_hmodule module(loadFullPath(local));
    if (module) return module;
    DWORD error = ::GetLastError();
    if (exists(local)) {
        diagnose(L"the client library " + local + L" could not be loaded (error " +
                 decimal(error) + L")");
        return {};
    }
    module.reset(loadFromSystemFolders());
    if (module) return module;
    error = ::GetLastError();
    // Only where the maker's library is nowhere: one that fails to load is
    // reported, never replaced by the simulation.
    if (error == ERROR_MOD_NOT_FOUND && !inSystemFolders()) {
        const std::wstring simulated = withFile(pluginFolder, kSimulatedFileName);
        module.reset(loadFullPath(simulated));
        if (module) {
            OutputDebugStringW((L"TyvarionNBS: the maker's client library " + std::wstring(kFileName) +
                                L" was found neither in " + pluginFolder +
                                L" nor in the system folders; using the simulated tracker's " + simulated + L"\n")
                                   .c_str());
            return module;
        }
        if (exists(simulated)) {
            diagnose(L"the simulated tracker's client library " + simulated + L" could not be loaded (error " +
                     decimal(::GetLastError()) + L")");
            return {};
        }
    }
    diagnose(L"the client library " + std::wstring(kFileName) + L" was found neither in " + pluginFolder +
             L" nor in the system folders (error " + decimal(error) + L")");
    return {};
}

}  // namespace

std::unique_ptr<ClientLibrary> ClientLibrary::load(const std::wstring& pluginFolder) {
    unique_hmodule module = loadFile(pluginFolder);
    if (!module) return nullptr;

    FARPROC addresses[kClientExportCount];
    for (std::size_t i = 0; i < kClientExportCount; ++i) {
        addresses[i] = GetProcAddress(module.get(), kExports[i]);
        if (addresses[i] == nullptr) {
            diagnose(L"the client library " + modulePath(module.get()) + L" lacks the export " +
                     widen(kExports[i]));
            return nullptr;
        }
    }
    ClientEntryPoints entry{};
    bindAs(addresses[kExportConstruct], entry.construct);
    bindAs(addresses[kExportDestruct], entry.destruct);
    bindAs(addresses[kExportRegisterGazeSampleListener], entry.registerGazeSampleListener);
    bindAs(addresses[kExportRegisterDeviceEventListener], entry.registerDeviceEventListener);
    bindAs(addresses[kExportConnect], entry.connect);
    bindAs(addresses[kExportGetActiveScreen], entry.getActiveScreen);
    bindAs(addresses[kExportRequestTracking], entry.requestTracking);
    bindAs(addresses[kExportUnrequestTracking], entry.unrequestTracking);
    bindAs(addresses[kExportCalibrate], entry.calibrate);
    entry.invalidValue = reinterpret_cast<const double*>(addresses[kExportInvalidValue]);
    return std::make_unique<ClientLibrary>(std::move(module), entry);
}

std::wstring pluginFolder() {
    std::wstring path = modulePath(reinterpret_cast<HMODULE>(&__ImageBase));
    path.erase(path.find_last_of(L"\\/") + 1);
    return path;
}

}  // namespace tyapi::dynamic
