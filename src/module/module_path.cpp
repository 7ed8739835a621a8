#include "module/module_path.h"

#include "module/hresult.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tyvarion::module {

HMODULE moduleHandle() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

HRESULT modulePath(std::wstring& path) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(moduleHandle(), buffer, MAX_PATH);
    if (length == 0) return hresultFromWin32(static_cast<LONG>(::GetLastError()));
    if (length >= MAX_PATH) return hresultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    path.assign(buffer, length);
    return S_OK;
}

std::wstring replaceExtension(const std::wstring& path, const wchar_t* extension) {
    const std::size_t nameStart = path.find_last_of(L"\\/") + 1;  // 0 when there is no folder
    const std::size_t dot = path.rfind(L'.');
    const std::size_t stem = dot != std::wstring::npos && dot >= nameStart ? dot : path.size();
    return path.substr(0, stem) + extension;
}

}  // namespace tyvarion::module
