#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "recording/native_file.h"

namespace tyvarion {

NativeFile::CreateStatus NativeFile::createNew(const std::filesystem::path& path,
                                               NativeFile& file) noexcept {
    int descriptor = -1;
    do {
        descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return errno == EEXIST ? CreateStatus::nameTaken : CreateStatus::failed;
    file = NativeFile();
    file.handle_ = descriptor;
    return CreateStatus::created;
}

void NativeFile::writeAll(const char* data, std::size_t size) noexcept {
    if (!isOpen()) return;
    const int descriptor = static_cast<int>(handle_);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void NativeFile::close() noexcept {
    if (!isOpen()) return;
    ::close(static_cast<int>(release()));
}

}  // namespace tyvarion
