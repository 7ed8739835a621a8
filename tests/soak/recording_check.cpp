#include "recording_check.h"

namespace tyvarion::soak {

std::string checkRecording(const tools::Recording& recording,
                           const std::vector<ExpectedText>& expected) {
    if (!recording.hasSeparatorLine || !recording.hasColumnHeader) return "the header is missing";
    for (std::size_t i = 1; i < recording.samples.size(); ++i) {
        if (recording.samples[i].index <= recording.samples[i - 1].index) {
            return "sample index " + std::to_string(recording.samples[i].index) + " after " +
                   std::to_string(recording.samples[i - 1].index);
        }
    }
    if (recording.cutOffBytes != 0) return "the last line has no line end";
    if (recording.unreadable.count != 0)
        return "a line that is neither sample nor text: \"" + recording.unreadable.firstText + "\"";
    std::size_t found = 0;
    for (const ExpectedText& wanted : expected) {
        if (found < recording.texts.size() && recording.texts[found].text == wanted.line) {
            ++found;
        } else if (wanted.certain) {
            return "\"" + wanted.line + "\" is missing or out of order" +
                   (found < recording.texts.size() ? " (found \"" + recording.texts[found].text + "\")" : "");
        }
    }
    if (found != recording.texts.size())
        return "\"" + recording.texts[found].text + "\" was never sent there, or stands there twice";
    return {};
}

}  // namespace tyvarion::soak
