#pragma once
// Reading a recording one line at a time, for tools that must take files of
// any length (an hour at 2,000 Hz is 7.2 million lines) in the same memory:
// each sample or text line is handed out as it is read and then forgotten.
// The first two lines must be the header (either line end); otherwise nothing
// is handed out and recognised() is false. A last line without a line end
// (a file cut off while it was written) and lines that are neither samples nor
// triggers nor messages are not handed out but counted, for the warnings.
// A line longer than kLongestLine is one of those: it is skipped to its line
// end without being held, so memory does not follow the longest line.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "recording-reader/recording_reader.h"

namespace tyvarion::tools {

// No line the plug-in writes comes near: a sample line is under 200 bytes, a
// message is what the stimulus program sends.
inline constexpr std::size_t kLongestLine = std::size_t{1} << 20;

class RecordingStream {
public:
    explicit RecordingStream(std::istream& input) : input_(input) {}
    RecordingStream(const RecordingStream&) = delete;
    RecordingStream& operator=(const RecordingStream&) = delete;

    // Reads up to the next sample or text line; false at the end of the input,
    // and at once when the input does not begin with the header.
    bool next();

    bool atSample() const { return atSample_; }
    // The line just read: a sample when atSample(), else a text line.
    const RecordedSample& sample() const { return sample_; }
    const TextLine& text() const { return text_; }
    // The last sample line before the current line, if any.
    const std::optional<RecordedSample>& previousSample() const { return previous_; }
    // The current line's number in the file, counted from 1, the header included.
    std::size_t lineNumber() const { return lineNumber_; }

    bool hasSeparatorLine() const { return hasSeparatorLine_; }
    bool hasColumnHeader() const { return hasColumnHeader_; }
    bool recognised() const { return hasSeparatorLine_ && hasColumnHeader_; }
    std::size_t sampleLines() const { return sampleLines_; }
    std::size_t triggers() const { return triggers_; }
    std::size_t messages() const { return messages_; }
    const UnreadableLines& unreadable() const { return unreadable_; }
    std::size_t cutOffBytes() const { return cutOffBytes_; }

private:
    enum class LineRead { line, end };
    bool readHeader();
    // The next line without its line end into `text`; lines too long are
    // counted as unreadable and skipped, a cut-off last line is counted.
    LineRead readLine(std::string_view& text);
    void countUnreadable(std::string_view text);

    std::istream& input_;
    std::string line_;
    std::vector<char> buffer_;
    bool headerRead_ = false;
    std::size_t lineNumber_ = 0;
    bool atSample_ = false;
    RecordedSample sample_;
    TextLine text_;
    std::optional<RecordedSample> previous_;
    bool hasSeparatorLine_ = false;
    bool hasColumnHeader_ = false;
    std::size_t sampleLines_ = 0;
    std::size_t triggers_ = 0;
    std::size_t messages_ = 0;
    UnreadableLines unreadable_;
    std::size_t cutOffBytes_ = 0;
};

// A trigger or message line's kind and value from its text (without the line
// end); nullopt for any other line.
std::optional<TextLine> classifyTextLine(std::string_view text, std::size_t samplesBefore);

}  // namespace tyvarion::tools
