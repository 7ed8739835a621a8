#pragma once
// Small helpers shared by the unit tests.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/text.h"
#include "platform/unique_handle.h"

namespace testing_support {

// Result codes print in hex, as COM programmers read them.
inline std::string hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

inline std::string utf8(const tyvarion::unique_bstr& text) {
    return text ? tyvarion::utf16ToUtf8(text.get(), SysStringLen(text.get())) : "(null)";
}

}  // namespace testing_support

#define EXPECT_HR(expected, actual)                                           \
    EXPECT_EQ(testing_support::hex(expected), testing_support::hex(actual))
#define ASSERT_HR(expected, actual)                                           \
    ASSERT_EQ(testing_support::hex(expected), testing_support::hex(actual))
