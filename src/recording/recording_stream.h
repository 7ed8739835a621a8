#pragma once
// The open recording file: a buffered text stream over a file of the platform.
// Lines collect in the buffer and reach the file when it fills or when the
// stream closes; nothing flushes line by line. Text mode: on Windows every "\n"
// is written as CR LF. Write errors are not detected.
//
// Not synchronised: the writer calls it while it holds entries taken from the
// queue, everyone else under recordMutex while the writer holds none.

#include <array>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>

#include "recording/native_file.h"

namespace tyvarion {

class RecordingStream {
public:
    using CreateStatus = NativeFile::CreateStatus;

    // Creates the file, which must not exist yet; null unless `status` is
    // created.
    static std::unique_ptr<RecordingStream> create(const std::filesystem::path& path,
                                                   CreateStatus& status);

    explicit RecordingStream(NativeFile file) noexcept : file_(std::move(file)) {}
    ~RecordingStream() { close(); }

    RecordingStream(const RecordingStream&) = delete;
    RecordingStream& operator=(const RecordingStream&) = delete;

    void write(std::string_view text) noexcept;
    // Writes out what is buffered and closes the file; later writes are lost.
    void close() noexcept;

    // Hand-over between the writer and whoever closes the file. The writer
    // writes the entries it has taken from the queue without holding
    // recordMutex; a closer marks the stream closing and waits until the
    // writer has written them, so that a file ends with every entry accepted
    // while it was open, in order. Both flags are guarded by recordMutex.
    bool writerHoldsEntries() const noexcept { return writerHoldsEntries_; }
    void setWriterHoldsEntries(bool holds) noexcept { writerHoldsEntries_ = holds; }
    bool closing() const noexcept { return closing_; }
    void markClosing() noexcept { closing_ = true; }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    void append(const char* data, std::size_t size) noexcept;
    void flush() noexcept;

    NativeFile file_;
    bool writerHoldsEntries_ = false;
    bool closing_ = false;
    std::size_t used_ = 0;
    std::array<char, kBufferSize> buffer_;
};

}  // namespace tyvarion
