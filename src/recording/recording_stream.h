#pragma once
// The open recording file: a buffered text stream over a file of the platform.
// Lines collect in the buffer; the writer hands them to the operating system
// once per batch (handOver), and a full buffer goes on its own. Nothing is
// written line by line, and nothing asks the system to put the data on the
// disk: what the system holds outlives the host process, not a power loss.
// Text mode: on Windows every "\n" is written as CR LF.
//
// A failed or short write ends the file's writing for good: the file is cut
// back to its last whole line where the system allows it, and the lines that
// follow are counted instead of written.
//
// Not synchronised: the writer calls it while it holds entries taken from the
// queue, everyone else under recordMutex while the writer holds none.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "platform/text.h"
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
    // Hands what is buffered to the operating system, in one write.
    void handOver() noexcept;
    // Hands over what is buffered and closes the file; later writes are lost.
    void close() noexcept;

    // Since the first failed write: its error code (errno or the Windows
    // error), the lines that did not reach the file, and whether the file
    // was cut back to its last whole line.
    bool failed() const noexcept { return failure_ != 0; }
    std::uint32_t failure() const noexcept { return failure_; }
    std::uint64_t linesLost() const noexcept { return linesLost_; }
    bool endsWithWholeLine() const noexcept { return endsWithWholeLine_; }
    // Whether the failure has been told; guarded by recordMutex.
    bool failureTold() const noexcept { return failureTold_; }
    void markFailureTold() noexcept { failureTold_ = true; }

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
    void giveUp(std::size_t written, std::uint32_t error) noexcept;

    NativeFile file_;
    bool writerHoldsEntries_ = false;
    bool closing_ = false;
    // Bytes in the file, and how many of them end with the last whole line.
    std::uint64_t fileSize_ = 0;
    std::uint64_t wholeLinesSize_ = 0;
    std::uint32_t failure_ = 0;
    std::uint64_t linesLost_ = 0;
    bool endsWithWholeLine_ = true;
    bool failureTold_ = false;
    std::size_t used_ = 0;
    std::array<char, kBufferSize> buffer_;
};

}  // namespace tyvarion
