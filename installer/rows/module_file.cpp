#include "rows/module_file.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "module/hresult.h"
#include "module/resource.h"
#include "platform/unique_handle.h"

namespace tyvarion::installer {
namespace {

HRESULT lastError() { return module::hresultFromWin32(static_cast<LONG>(GetLastError())); }

void freeModule(HMODULE module) noexcept { FreeLibrary(module); }
using unique_module = unique_handle<HMODULE, &freeModule>;

}  // namespace

HRESULT moduleVersion(const std::wstring& path, std::wstring& version) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return lastError();
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return lastError();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
    wchar_t text[48] = {};
    std::swprintf(text, 48, L"%u.%u.%u.%u", HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                  HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
    version = text;
    return S_OK;
}

HRESULT moduleAppIdScript(const std::wstring& path, std::string& script) {
    unique_module module(LoadLibraryExW(path.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return lastError();
    HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(IDR_APPID_SCRIPT), L"REGISTRY");
    if (found == nullptr) return lastError();
    HGLOBAL loaded = LoadResource(module.get(), found);
    const auto* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes == nullptr) return lastError();
    script.assign(bytes, SizeofResource(module.get(), found));
    return S_OK;
}

bool isExecutable(const std::wstring& path) {
    return SHGetFileInfoW(path.c_str(), 0, nullptr, 0, SHGFI_EXETYPE) != 0;
}

}  // namespace tyvarion::installer
