#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "recording/native_file.h"

namespace tyvarion {
namespace {

// What may still be written at the descriptor's offset. A write beyond the
// process's file size limit raises SIGXFSZ, which by default ends the whole
// host process; at the limit the file simply stops growing, as on a full disk.
std::size_t roomBelowSizeLimit(int descriptor) noexcept {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
    const off_t offset = ::lseek(descriptor, 0, SEEK_CUR);
    if (offset < 0) return SIZE_MAX;
    const auto used = static_cast<rlim_t>(offset);
    return used < limit.rlim_cur ? static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur - used, SIZE_MAX)) : 0;
}

}  // namespace

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
    size = std::min(size, roomBelowSizeLimit(descriptor));
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
