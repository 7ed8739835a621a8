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
}  // namespace

std::unique_ptr<RecordingStream> RecordingStream::create(const std::filesystem::path& path,
                                                         CreateStatus& status) {
    NativeFile file;
    status = NativeFile::createNew(path, file);
    if (status != CreateStatus::created) return nullptr;
    return std::make_unique<RecordingStream>(std::move(file));
}

void RecordingStream::write(std::string_view text) noexcept {
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
        if (used_ == buffer_.size()) flush();
        const std::size_t chunk = std::min(size, buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, data, chunk);
        used_ += chunk;
        data += chunk;
        size -= chunk;
    }
}

void RecordingStream::flush() noexcept {
    file_.writeAll(buffer_.data(), used_);
    used_ = 0;
}

void RecordingStream::close() noexcept {
    flush();
    file_.close();
}

}  // namespace tyvarion
