#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <string>

#include "platform/documents_folder.h"

namespace tyvarion::platform {
namespace {
constexpr const wchar_t* kShellFoldersKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const wchar_t* kDocumentsValue = L"Personal";
}  // namespace

std::optional<std::filesystem::path> documentsFolder() {
    // Wide text keeps folder names that the ANSI code page cannot spell. The
    // value may change between the two reads; a few tries settle it.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = 0;
        LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, kShellFoldersKey, kDocumentsValue,
                                        RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
        if (status != ERROR_SUCCESS) return std::nullopt;
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = ::RegGetValueW(HKEY_CURRENT_USER, kShellFoldersKey, kDocumentsValue,
                                RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return std::nullopt;
        // The stored size counts the terminating zero, which RegGetValueW
        // guarantees for plain strings.
        text.resize(text.find(L'\0'));
        return std::filesystem::path(text);
    }
    return std::nullopt;
}

}  // namespace tyvarion::platform
