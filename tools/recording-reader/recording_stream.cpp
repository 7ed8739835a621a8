#include "recording-reader/recording_stream.h"

#include <string_view>
#include <utility>

namespace tyvarion::tools {
namespace {

constexpr std::string_view kTriggerPrefix = "trigger: ";
constexpr std::string_view kMessagePrefix = "message: ";
constexpr std::string_view kColumnHeaderStart = "timestamp [us];";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

TextLine classifyTextLine(std::string_view text, std::size_t samplesBefore) {
    TextLine entry;
    entry.text = std::string(text);
    entry.samplesBefore = samplesBefore;
    if (startsWith(text, kTriggerPrefix)) {
        entry.kind = TextKind::trigger;
        entry.value = std::string(text.substr(kTriggerPrefix.size()));
    } else if (startsWith(text, kMessagePrefix)) {
        entry.kind = TextKind::message;
        entry.value = std::string(text.substr(kMessagePrefix.size()));
    }
    return entry;
}

bool RecordingStream::next() {
    if (atSample_) {
        previous_ = sample_;
        ++sampleLines_;
    }
    atSample_ = false;
    while (std::getline(input_, line_)) {
        std::string_view text = line_;
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        if (std::exchange(first_, false) && text == "Sep=;") {
            hasSeparatorLine_ = true;
            continue;
        }
        if (!previous_ && sampleLines_ == 0 && triggers_ + messages_ + otherLines_ == 0 &&
            startsWith(text, kColumnHeaderStart)) {
            hasColumnHeader_ = true;
            continue;
        }
        if (auto sample = parseSampleLine(text)) {
            sample_ = *sample;
            atSample_ = true;
            return true;
        }
        text_ = classifyTextLine(text, sampleLines_);
        switch (text_.kind) {
        case TextKind::trigger: ++triggers_; break;
        case TextKind::message: ++messages_; break;
        case TextKind::other: ++otherLines_; break;
        }
        return true;
    }
    return false;
}

}  // namespace tyvarion::tools
