#include "recording/write_failure.h"

namespace tyvarion {
namespace {

bool isUpper(OLECHAR c) { return c >= u'A' && c <= u'Z'; }

}  // namespace

olestring writeFailureReasons::tidy(olestring text, std::uint32_t error) {
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ' ||
                             text.back() == u'.'))
        text.pop_back();
    if (text.empty()) return OLESTR("system error ") + decimalText(error);
    if (text.size() > 1 && isUpper(text[0]) && !isUpper(text[1]) && text[1] != u'/')
        text[0] = static_cast<OLECHAR>(text[0] - u'A' + u'a');
    return text;
}

olestring writeFailedMessage(const olestring& reason) {
    return OLESTR("failed to write the recording file: ") + reason;
}

olestring incompleteFileMessage(std::uint64_t lines, const olestring& reason, bool endsWithWholeLine) {
    olestring text = OLESTR("the recording file is incomplete: ") + decimalText(lines) +
                     (lines == 1 ? OLESTR(" line") : OLESTR(" lines")) + OLESTR(" could not be written (") +
                     reason + OLESTR(")");
    if (!endsWithWholeLine) text += OLESTR("; its last line is cut off");
    return text;
}

olestring decimalText(std::uint64_t value) {
    olestring digits;
    do {
        digits.insert(digits.begin(), static_cast<OLECHAR>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

}  // namespace tyvarion
