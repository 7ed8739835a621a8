#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <algorithm>

#include "recording/native_file.h"
#include "recording/write_failure.h"

namespace tyvarion {
namespace {
// Not in every SDK's headers.
constexpr DWORD kErrorDiskQuotaExceeded = 1295;
constexpr DWORD kErrorDeviceRemoved = 1617;
}  // namespace

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

NativeFile::WriteOutcome NativeFile::writeAll(const char* data, std::size_t size) noexcept {
    WriteOutcome outcome;
    if (!isOpen()) {
        outcome.error = ERROR_INVALID_HANDLE;
        return outcome;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, data, chunk, &written, nullptr)) {
            outcome.written += written;
            outcome.error = ::GetLastError();
            return outcome;
        }
        // A file that takes nothing has no room left.
        if (written == 0) {
            outcome.error = ERROR_DISK_FULL;
            return outcome;
        }
        data += written;
        size -= written;
        outcome.written += written;
    }
    return outcome;
}

bool NativeFile::truncate(std::uint64_t size) noexcept {
    if (!isOpen()) return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(handle_);
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle);
}

void NativeFile::close() noexcept {
    if (!isOpen()) return;
    ::CloseHandle(reinterpret_cast<HANDLE>(release()));
}

olestring NativeFile::describeError(std::uint32_t error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return writeFailureReasons::kDiskFull;
        case ERROR_FILE_TOO_LARGE: return writeFailureReasons::kFileTooLarge;
        case kErrorDiskQuotaExceeded: return writeFailureReasons::kQuotaExceeded;
        case ERROR_NOT_READY:
        case ERROR_BAD_NETPATH:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_NETNAME_DELETED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case kErrorDeviceRemoved: return writeFailureReasons::kDriveGone;
        default: break;
    }
    struct SystemText {
        wchar_t* text = nullptr;
        ~SystemText() {
            if (text != nullptr) ::LocalFree(text);
        }
    } buffer;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&buffer.text), 0,
        nullptr);
    olestring reason;
    if (length != 0 && buffer.text != nullptr) reason.assign(buffer.text, length);
    return writeFailureReasons::tidy(std::move(reason), error);
}

}  // namespace tyvarion
