#include "host-session/client_library_in_use.h"

#include <windows.h>

#include <vector>

#include "platform/text.h"

namespace tyvarion::host {
namespace {

constexpr const wchar_t* kMakerFile = TYVARION_CLIENT_LIBRARY_FILE;
constexpr const wchar_t* kSimulatedFile = TYVARION_SIMULATED_CLIENT_LIBRARY_FILE;
// What the stand-in's version block says, under either of its names.
constexpr const wchar_t* kStandInProduct = L"Tyvarion NBS simulated tracker";

std::string narrow(const std::wstring& text) { return utf16ToUtf8(text.c_str(), text.size()); }

std::wstring modulePath(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring folderOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

bool isStandIn(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\ProductName", &value, &length) || length == 0)
        return false;
    return std::wstring(static_cast<const wchar_t*>(value)) == kStandInProduct;
}

}  // namespace

ClientLibraryInUse clientLibraryInUse() {
    if (HMODULE maker = GetModuleHandleW(kMakerFile)) {
        const std::wstring path = modulePath(maker);
        if (!isStandIn(path)) return {ClientLibraryInUse::Kind::maker, narrow(path), ""};
        return {};
    }
    if (GetModuleHandleW(kSimulatedFile) != nullptr) return {};
    std::wstring lookedIn;
    if (HMODULE plugin = GetModuleHandleW(L"TyvarionNBS.dll")) lookedIn = folderOf(modulePath(plugin)) + L" (beside TyvarionNBS.dll), ";
    lookedIn += L"the application's folder " + folderOf(modulePath(nullptr));
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) lookedIn += L" and " + std::wstring(system, length);
    return {ClientLibraryInUse::Kind::none, narrow(kMakerFile), narrow(lookedIn)};
}

}  // namespace tyvarion::host
