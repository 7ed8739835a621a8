#include "client/dynamic/client_library.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "client/check/binding_check.h"
#include "client/check/check_text.h"
#include "client/client_library_exports.h"
#include "client/dynamic/library_search.h"

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
constexpr auto kMachine = tyvarion::client_check::Machine::x64;
#else
constexpr const ClientExportTable& kExports = kClientExportsX86;
constexpr auto kMachine = tyvarion::client_check::Machine::x86;
#endif
// Far above any client library; a larger file is not read for the diagnosis.
constexpr DWORD kMaxFileBytes = 256u << 20;

// For the person installing the plug-in: the host shows nothing.
void diagnose(const std::wstring& what) {
    OutputDebugStringW((L"TyvarionNBS: " + what + kConsequence).c_str());
}

// The check's texts are ASCII: the names come from the file's tables.
std::wstring widen(const std::string& ascii) {
    std::wstring wide;
    for (const char c : ascii) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
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

// Windows 7 without update KB2533623 knows no LOAD_LIBRARY_SEARCH_* flag; the
// update brings AddDllDirectory with them. Asked of the system rather than
// read from a failure's error code, which a library's own failure can share.
bool searchFlagsKnown() {
    static const bool known = [] {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        return kernel != nullptr && GetProcAddress(kernel, "AddDllDirectory") != nullptr;
    }();
    return known;
}

DWORD loaderFlags(SearchFlags flags) {
    switch (flags) {
        case SearchFlags::besideItThenSystemFolders:
            return LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
        case SearchFlags::systemFoldersOnly: return LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
        case SearchFlags::alteredSearchPath: return LOAD_WITH_ALTERED_SEARCH_PATH;
    }
    return LOAD_WITH_ALTERED_SEARCH_PATH;
}

HMODULE load(const LoadAttempt& attempt) {
    return LoadLibraryExW(attempt.file.c_str(), nullptr, loaderFlags(attempt.flags));
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The host's folder and System32, each with a trailing backslash; empty where unknown.
struct SystemFolders {
    std::wstring application;
    std::wstring system;
};

SystemFolders systemFolders() {
    SystemFolders folders;
    folders.application = modulePath(nullptr);
    const std::size_t separator = folders.application.find_last_of(L"\\/");
    folders.application.erase(separator == std::wstring::npos ? 0 : separator + 1);
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length != 0 && length < MAX_PATH) folders.system = std::wstring(system, length) + L"\\";
    return folders;
}

// The maker's file in the application's folder or System32, where a failed
// load does not tell a missing file from a missing dependency: the places a
// search by full path would load from.
bool inSystemFolders(const SystemFolders& folders) {
    for (const LoadAttempt& place : systemFolderAttempts(kFileName, false, folders.application, folders.system))
        if (exists(place.file)) return true;
    return false;
}

// Null with the last failure's error left for GetLastError.
HMODULE loadFromSystemFolders(const SystemFolders& folders) {
    const auto attempts = systemFolderAttempts(kFileName, searchFlagsKnown(), folders.application, folders.system);
    if (attempts.empty()) SetLastError(ERROR_MOD_NOT_FOUND);
    for (const LoadAttempt& attempt : attempts)
        if (HMODULE module = load(attempt)) return module;
    return nullptr;
}

// The file's bytes, without loading it; nullopt when it cannot be read.
std::optional<std::vector<std::uint8_t>> readFile(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{file};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > kMaxFileBytes) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return std::nullopt;
    return bytes;
}

// The binding check of the file at `path`, as the plug-in's build would bind it.
std::optional<tyvarion::client_check::BindingCheck> checkFile(const std::wstring& path,
                                                              tyvarion::client_check::PeImage& image) {
    auto bytes = readFile(path);
    if (!bytes) return std::nullopt;
    auto read = tyvarion::client_check::readPeImage(std::move(*bytes));
    auto* parsed = std::get_if<tyvarion::client_check::PeImage>(&read);
    if (parsed == nullptr) return std::nullopt;
    image = std::move(*parsed);
    return tyvarion::client_check::checkBinding(image);
}

// Why a file that exists could not be loaded: another architecture's DLL
// has a line of its own, since the loader's error 193 says little.
void diagnoseLoadFailure(const std::wstring& path, DWORD error) {
    using namespace tyvarion::client_check;
    PeImage image;
    const auto check = checkFile(path, image);
    if (check && image.dll && check->machine != kMachine) {
        const std::wstring own = widen(machineText(kMachine, 0));
        diagnose(L"the client library " + path + L" is built for " +
                 widen(machineText(image.machine, image.machineCode)) + L", this plug-in for " + own +
                 L": it needs the maker's " + own + L" " + kFileName);
        return;
    }
    std::wstring needs;
    if (check && error == ERROR_MOD_NOT_FOUND) {
        for (const ImportCheck& import : check->imports) {
            if (import.kind == ImportKind::windows) continue;
            needs += (needs.empty() ? L"; it needs " : L", ") + widen(import.name);
        }
    }
    diagnose(L"the client library " + path + L" could not be loaded (error " + decimal(error) + L")" + needs);
}

unique_hmodule loadFile(const std::wstring& pluginFolder) {
    unique_hmodule module;
    const auto local = pluginFolderAttempt(pluginFolder, kFileName, searchFlagsKnown());
    if (local) {
        module.reset(load(*local));
        if (module) return module;
        const DWORD error = ::GetLastError();
        if (exists(local->file)) {
            diagnoseLoadFailure(local->file, error);
            return {};
        }
    }
    const SystemFolders folders = systemFolders();
    module.reset(loadFromSystemFolders(folders));
    if (module) return module;
    const DWORD error = ::GetLastError();
    // Only where the maker's library is nowhere: one that fails to load is
    // reported, never replaced by the simulation.
    const auto simulatedAttempt = pluginFolderAttempt(pluginFolder, kSimulatedFileName, searchFlagsKnown());
    if (error == ERROR_MOD_NOT_FOUND && !inSystemFolders(folders) && simulatedAttempt) {
        const std::wstring& simulated = simulatedAttempt->file;
        module.reset(load(*simulatedAttempt));
        if (module) {
            OutputDebugStringW((L"TyvarionNBS: the maker's client library " + std::wstring(kFileName) +
                                L" was found neither in " + pluginFolder +
                                L" nor in the system folders; using the simulated tracker's " + simulated + L"\n")
                                   .c_str());
            return module;
        }
        if (exists(simulated)) {
            diagnoseLoadFailure(simulated, ::GetLastError());
            return {};
        }
    }
    diagnose(L"the client library " + std::wstring(kFileName) + L" was found neither in " + pluginFolder +
             L" nor in the system folders (error " + decimal(error) + L")");
    return {};
}

void diagnoseMissingExports(const std::wstring& path) {
    tyvarion::client_check::PeImage image;
    const auto check = checkFile(path, image);
    diagnose(L"the client library " + path + L" cannot be bound: " +
             (check ? widen(tyvarion::client_check::missingMembersText(*check))
                    : std::wstring(L"its file could not be read")));
}

// A bound library stays loaded for the life of the process: unloading it
// would trust the maker's destructor and DllMain to have stopped every
// thread of theirs, and a thread left running in unmapped code, or one
// stopped under the loader lock, takes the host with it. A failed bind
// has run no code of the library but its DllMain, and is freed.
void pin(HMODULE module) {
    HMODULE pinned = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCWSTR>(module), &pinned))
        return;
    // Without the pin, a reference never given back does the same.
    LoadLibraryExW(modulePath(module).c_str(), nullptr, 0);
}

}  // namespace

std::unique_ptr<ClientLibrary> ClientLibrary::load(const std::wstring& pluginFolder) {
    unique_hmodule module = loadFile(pluginFolder);
    if (!module) return nullptr;

    FARPROC addresses[kClientExportCount];
    bool complete = true;
    for (std::size_t i = 0; i < kClientExportCount; ++i) {
        addresses[i] = nullptr;
        for (const char* spelling : kExports[i]) {
            if (spelling == nullptr) break;
            addresses[i] = GetProcAddress(module.get(), spelling);
            if (addresses[i] != nullptr) break;
        }
        complete = complete && addresses[i] != nullptr;
    }
    if (!complete) {
        diagnoseMissingExports(modulePath(module.get()));
        return nullptr;
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
    pin(module.get());
    return std::make_unique<ClientLibrary>(std::move(module), entry);
}

std::wstring pluginFolder() {
    std::wstring path = modulePath(reinterpret_cast<HMODULE>(&__ImageBase));
    path.erase(path.find_last_of(L"\\/") + 1);
    return path;
}

}  // namespace tyapi::dynamic
