#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <algorithm>

#include "recording/native_file.h"

namespace tyvarion {

NativeFile::CreateStatus NativeFile::createNew(const std::filesystem::path& path,
                                               NativeFile& file) noexcept {
    // The wide name reaches folders whose names the ANSI code page cannot spell.
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                   ? CreateStatus::nameTaken
                   : CreateStatus::failed;
    }
    file = NativeFile();
    file.handle_ = reinterpret_cast<std::intptr_t>(handle);
    return CreateStatus::created;
}

void NativeFile::writeAll(const char* data, std::size_t size) noexcept {
    if (!isOpen()) return;
    const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return;
        data += written;
        size -= written;
    }
}

void NativeFile::close() noexcept {
    if (!isOpen()) return;
    ::CloseHandle(reinterpret_cast<HANDLE>(release()));
}

}  // namespace tyvarion
