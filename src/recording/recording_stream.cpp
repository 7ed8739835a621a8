#include "recording/recording_stream.h"

#include <algorithm>
#include <cstring>

namespace tyvarion {
namespace {
#ifdef _WIN32
constexpr bool kCarriageReturnBeforeNewline = true;
#else
constexpr bool kCarriageReturnBeforeNewline = false;
#endif

std::uint64_t lineEnds(const char* data, std::size_t size) noexcept {
    return static_cast<std::uint64_t>(std::count(data, data + size, '\n'));
}

// The bytes up to and including the last line end; 0 when there is none.
std::size_t wholeLinesIn(const char* data, std::size_t size) noexcept {
    for (std::size_t end = size; end > 0; --end) {
        if (data[end - 1] == '\n') return end;
    }
    return 0;
}

}  // namespace

std::unique_ptr<RecordingStream> RecordingStream::create(const std::filesystem::path& path,
                                                         CreateStatus& status) {
    NativeFile file;
    status = NativeFile::createNew(path, file);
    if (status != CreateStatus::created) return nullptr;
    return std::make_unique<RecordingStream>(std::move(file));
}

void RecordingStream::write(std::string_view text) noexcept {
    if (failed()) {
        linesLost_ += lineEnds(text.data(), text.size());
        return;
    }
    if constexpr (kCarriageReturnBeforeNewline) {
        while (!text.empty()) {
            const auto newline = text.find('\n');
            if (newline == std::string_view::npos) {
                append(text.data(), text.size());
                return;
            }
            append(text.data(), newline);
            append("\r\n", 2);
            text.remove_prefix(newline + 1);
        }
    } else {
        append(text.data(), text.size());
    }
}

void RecordingStream::append(const char* data, std::size_t size) noexcept {
    while (size > 0) {
        if (used_ == buffer_.size()) {
            handOver();
            if (failed()) {
                linesLost_ += lineEnds(data, size);
                return;
            }
        }
        const std::size_t chunk = std::min(size, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, data, chunk);
        used_ += chunk;
        data += chunk;
        size -= chunk;
    }
}

void RecordingStream::handOver() noexcept {
    if (used_ == 0 || failed()) return;
    const NativeFile::WriteOutcome outcome = file_.writeAll(buffer_.data(), used_);
    if (outcome.error != 0) return giveUp(outcome.written, outcome.error);
    if (const std::size_t whole = wholeLinesIn(buffer_.data(), used_); whole != 0) wholeLinesSize_ = fileSize_ + whole;
    fileSize_ += used_;
    used_ = 0;
}

void RecordingStream::giveUp(std::size_t written, std::uint32_t error) noexcept {
    failure_ = error;
    const char* const begin = buffer_.data();
    if (const std::size_t whole = wholeLinesIn(begin, written); whole != 0) wholeLinesSize_ = fileSize_ + whole;
    fileSize_ += written;
    linesLost_ += lineEnds(begin + written, used_ - written);
    used_ = 0;
    if (fileSize_ != wholeLinesSize_) {
        endsWithWholeLine_ = file_.truncate(wholeLinesSize_);
        if (endsWithWholeLine_) fileSize_ = wholeLinesSize_;
    }
}

void RecordingStream::close() noexcept {
    handOver();
    file_.close();
}

}  // namespace tyvarion
