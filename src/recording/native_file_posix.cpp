#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "recording/native_file.h"
#include "recording/write_failure.h"

namespace tyvarion {
namespace {

// What may still be written at the descriptor's offset. A write beyond the
// process's file size limit raises SIGXFSZ, which by default ends the whole
// host process; at the limit the write fails with EFBIG instead.
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

NativeFile::WriteOutcome NativeFile::writeAll(const char* data, std::size_t size) noexcept {
    WriteOutcome outcome;
    if (!isOpen()) {
        outcome.error = EBADF;
        return outcome;
    }
    const int descriptor = static_cast<int>(handle_);
    const std::size_t room = roomBelowSizeLimit(descriptor);
    const bool beyondLimit = size > room;
    size = std::min(size, room);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            outcome.error = static_cast<std::uint32_t>(errno);
            return outcome;
        }
        // A regular file that takes nothing has no room left.
        if (written == 0) {
            outcome.error = ENOSPC;
            return outcome;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        outcome.written += static_cast<std::size_t>(written);
    }
    if (beyondLimit) outcome.error = EFBIG;
    return outcome;
}

bool NativeFile::truncate(std::uint64_t size) noexcept {
    if (!isOpen()) return false;
    int result = 0;
    do {
        result = ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

void NativeFile::close() noexcept {
    if (!isOpen()) return;
    ::close(static_cast<int>(release()));
}

olestring NativeFile::describeError(std::uint32_t error) {
    switch (error) {
        case ENOSPC: return writeFailureReasons::kDiskFull;
        case EFBIG: return writeFailureReasons::kFileTooLarge;
        case EDQUOT: return writeFailureReasons::kQuotaExceeded;
        case ENXIO:
        case ENODEV:
        case ESTALE:
        case ENOTCONN: return writeFailureReasons::kDriveGone;
        default: break;
    }
    // The C locale's text is ASCII; its first letter is lowered to run on
    // from the message's colon.
    char buffer[256] = {};
    const char* text = buffer;
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    text = strerror_r(static_cast<int>(error), buffer, sizeof buffer);
#else
    if (strerror_r(static_cast<int>(error), buffer, sizeof buffer) != 0) text = "";
#endif
    olestring reason;
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        reason.push_back(static_cast<OLECHAR>(byte < 0x80 ? byte : '?'));
    }
    return writeFailureReasons::tidy(std::move(reason), error);
}

}  // namespace tyvarion
