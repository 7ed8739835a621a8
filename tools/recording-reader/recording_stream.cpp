#include "recording-reader/recording_stream.h"

#include <limits>
#include <string_view>

namespace tyvarion::tools {
namespace {

constexpr std::string_view kTriggerPrefix = "trigger: ";
constexpr std::string_view kMessagePrefix = "message: ";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view withoutCarriageReturn(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// One header line without its line end. Reads no more than a header line can
// hold, so that a large file without line ends is refused without reading it.
bool headerLine(std::istream& input, std::string& line) {
    constexpr std::size_t kLongest = kColumnHeaderText.size() + 1;
    line.clear();
    for (int c = input.get(); c != std::istream::traits_type::eof(); c = input.get()) {
        if (c == '\n') {
            line = std::string(withoutCarriageReturn(line));
            return true;
        }
        if (line.size() == kLongest) return false;
        line.push_back(static_cast<char>(c));
    }
    return false;
}

}  // namespace

std::optional<TextLine> classifyTextLine(std::string_view text, std::size_t samplesBefore) {
    TextLine entry;
    if (startsWith(text, kTriggerPrefix)) {
        entry.kind = TextKind::trigger;
        entry.value = std::string(text.substr(kTriggerPrefix.size()));
    } else if (startsWith(text, kMessagePrefix)) {
        entry.kind = TextKind::message;
        entry.value = std::string(text.substr(kMessagePrefix.size()));
    } else {
        return std::nullopt;
    }
    entry.text = std::string(text);
    entry.samplesBefore = samplesBefore;
    return entry;
}

bool RecordingStream::readHeader() {
    headerRead_ = true;
    lineNumber_ = 2;
    hasSeparatorLine_ = headerLine(input_, line_) && line_ == kSeparatorLineText;
    hasColumnHeader_ = hasSeparatorLine_ && headerLine(input_, line_) && line_ == kColumnHeaderText;
    return hasColumnHeader_;
}

void RecordingStream::countUnreadable(std::string_view text) {
    // The first one is shown in messages: its beginning is enough.
    constexpr std::size_t kShown = 256;
    if (unreadable_.count++ == 0) {
        unreadable_.firstLineNumber = lineNumber_;
        unreadable_.firstText = std::string(text.substr(0, kShown));
    }
}

RecordingStream::LineRead RecordingStream::readLine(std::string_view& text) {
    if (buffer_.empty()) buffer_.resize(kLongestLine + 1);
    while (true) {
        input_.getline(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        const auto read = static_cast<std::size_t>(input_.gcount());
        if (read == 0 && input_.eof()) return LineRead::end;
        ++lineNumber_;
        if (input_.eof()) {
            // No line end: the file was cut off while this line was written.
            cutOffBytes_ = read;
            return LineRead::end;
        }
        if (!input_.fail()) {
            text = withoutCarriageReturn(std::string_view(buffer_.data(), read - 1));
            return LineRead::line;
        }
        // Longer than kLongestLine: the rest is passed over unread.
        const std::string_view start(buffer_.data(), read);
        input_.clear();
        input_.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        const auto skipped = static_cast<std::size_t>(input_.gcount());
        if (input_.eof()) {
            cutOffBytes_ = read + skipped;
            return LineRead::end;
        }
        countUnreadable(start);
    }
}

bool RecordingStream::next() {
    if (!headerRead_ && !readHeader()) return false;
    if (!recognised()) return false;
    if (atSample_) {
        previous_ = sample_;
        ++sampleLines_;
    }
    atSample_ = false;
    std::string_view text;
    while (readLine(text) == LineRead::line) {
        if (auto sample = parseSampleLine(text)) {
            sample_ = *sample;
            atSample_ = true;
            return true;
        }
        if (auto entry = classifyTextLine(text, sampleLines_)) {
            text_ = std::move(*entry);
            ++(text_.kind == TextKind::trigger ? triggers_ : messages_);
            return true;
        }
        countUnreadable(text);
    }
    return false;
}

}  // namespace tyvarion::tools
