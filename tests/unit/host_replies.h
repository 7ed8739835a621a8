#pragma once
// What a host sees of a tracker object, in the forms the tests compare.

#include <string>

#include "test_support.h"
#include "tracker/tyvarion.h"

namespace testing_support {

inline LONG status(tyvarion::Tyvarion& tracker) {
    LONG value = -1;
    EXPECT_HR(S_OK, tracker.GetStatus(&value));
    return value;
}

inline std::string lastError(tyvarion::Tyvarion& tracker) {
    tyvarion::unique_bstr message;
    EXPECT_HR(S_OK, tracker.GetLastError(message.put()));
    return utf8(message);
}

// SetRecording's result code and message, as "0x00000000 text".
inline std::string setRecording(tyvarion::Tyvarion& tracker, VARIANT_BOOL on) {
    tyvarion::unique_bstr message;
    const HRESULT result = tracker.SetRecording(on, message.put());
    return hex(result) + " " + utf8(message);
}

// The recording line of fake::validSample(1000 + index, index), without its
// line end.
inline std::string validSampleLine(int index) {
    return std::to_string(1000 + index) + ";" + std::to_string(index) +
           ";960;540;958;540;4;962;540;6;";
}

}  // namespace testing_support
