#pragma once
// A gzip file written through zlib, owned by the object: lines collect in a
// buffer and go to zlib in large pieces; close() says whether everything
// reached the disk. A file not closed is closed by the destructor.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <zlib.h>

namespace tyvarion::tools {

class GzipFile {
public:
    // Creates or empties the file; failed() tells whether that worked.
    explicit GzipFile(const std::filesystem::path& path);
    GzipFile(const GzipFile&) = delete;
    GzipFile& operator=(const GzipFile&) = delete;
    ~GzipFile();

    bool failed() const { return failed_; }
    void write(std::string_view text);
    // Writes what is buffered and closes the file; false on any error.
    bool close();

private:
    struct Closer {
        void operator()(gzFile file) const { gzclose(file); }
    };
    static constexpr std::size_t kChunk = 1 << 16;

    void flush();

    std::unique_ptr<gzFile_s, Closer> file_;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace tyvarion::tools
