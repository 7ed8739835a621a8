#pragma once
// A file handle of the platform (a descriptor on POSIX, a HANDLE on Windows),
// opened for writing only and closed by its destructor. The recording stream's
// seam to the operating system.

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/text.h"

namespace tyvarion {

class NativeFile {
public:
    enum class CreateStatus { created, nameTaken, failed };

    // Creates `path` for writing, failing with nameTaken when anything of that
    // name exists: an earlier file is never truncated. Other processes may read
    // and write the file while it is open.
    static CreateStatus createNew(const std::filesystem::path& path, NativeFile& file) noexcept;

    NativeFile() noexcept = default;
    ~NativeFile() { close(); }
    NativeFile(NativeFile&& other) noexcept : handle_(other.release()) {}
    NativeFile& operator=(NativeFile&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = other.release();
        }
        return *this;
    }
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    bool isOpen() const noexcept { return handle_ != kNoHandle; }

    // How far a write got: every byte, or as many as reached the file before
    // the system refused the rest, and its error code (errno, or the Windows
    // error; 0 when everything was written).
    struct WriteOutcome {
        std::size_t written = 0;
        std::uint32_t error = 0;
    };
    WriteOutcome writeAll(const char* data, std::size_t size) noexcept;
    // Cuts the file to its first `size` bytes; false when the system refuses.
    bool truncate(std::uint64_t size) noexcept;
    void close() noexcept;

    // The system's reason for a write's error code, for the experimenter:
    // "the disk is full", "input/output error". Throws only std::bad_alloc.
    static olestring describeError(std::uint32_t error);

private:
    // -1 is both the invalid descriptor and INVALID_HANDLE_VALUE.
    static constexpr std::intptr_t kNoHandle = -1;

    std::intptr_t release() noexcept {
        const std::intptr_t handle = handle_;
        handle_ = kNoHandle;
        return handle;
    }

    std::intptr_t handle_ = kNoHandle;
};

}  // namespace tyvarion
