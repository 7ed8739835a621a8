#include "recording-to-bids/gzip_file.h"

#include <climits>

namespace tyvarion::tools {

// Level 1: on these tables three times as fast as zlib's default level, for
// files a quarter larger; an hour at 2,000 Hz is 21.6 million rows.
GzipFile::GzipFile(const std::filesystem::path& path) : file_(gzopen(path.c_str(), "wb1")) {
    failed_ = !file_ || gzbuffer(file_.get(), 1 << 17) != 0;
    buffer_.reserve(kChunk + 1024);
}

GzipFile::~GzipFile() {
    if (file_) close();
}

void GzipFile::write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kChunk) flush();
}

void GzipFile::flush() {
    if (!failed_ && !buffer_.empty()) {
        failed_ = gzwrite(file_.get(), buffer_.data(), static_cast<unsigned>(buffer_.size())) !=
                  static_cast<int>(buffer_.size());
    }
    buffer_.clear();
}

bool GzipFile::close() {
    if (!file_) return false;
    flush();
    const int result = gzclose(file_.release());
    return !failed_ && result == Z_OK;
}

}  // namespace tyvarion::tools
