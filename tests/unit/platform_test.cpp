#include <gtest/gtest.h>

#include <cstring>

#include "platform/clock.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

using tyvarion::unique_bstr;
using tyvarion::utf16ToUtf8;

TEST(Bstr, IsLengthPrefixedAndNullTerminated) {
    unique_bstr text(SysAllocString(OLESTR("abc")));
    ASSERT_TRUE(text);
    EXPECT_EQ(3u, SysStringLen(text.get()));
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text.get()) - 4, 4);
    EXPECT_EQ(6u, prefix);  // bytes, not characters
    EXPECT_EQ(OLECHAR{0}, text.get()[3]);

    unique_bstr empty(SysAllocString(OLESTR("")));
    ASSERT_TRUE(empty);  // the empty BSTR is a valid string, not null
    EXPECT_EQ(0u, SysStringLen(empty.get()));
    EXPECT_EQ(OLECHAR{0}, empty.get()[0]);

    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));

    // An embedded null is kept: the length comes from the prefix.
    const OLECHAR withNull[] = {u'a', 0, u'b'};
    unique_bstr counted(SysAllocStringLen(withNull, 3));
    EXPECT_EQ(3u, SysStringLen(counted.get()));
}

TEST(Bstr, PutReleasesThePreviousValue) {
    unique_bstr text(SysAllocString(OLESTR("first")));
    BSTR* slot = text.put();  // frees "first"; ASan reports a leak otherwise
    EXPECT_EQ(nullptr, *slot);
    *slot = SysAllocString(OLESTR("second"));
    EXPECT_EQ("second", utf16ToUtf8(text.get()));
}

TEST(Utf16ToUtf8, ConvertsEveryPlaneAndReplacesUnpairedSurrogates) {
    EXPECT_EQ("", utf16ToUtf8(nullptr));
    EXPECT_EQ("plain ASCII", utf16ToUtf8(OLESTR("plain ASCII")));

    const OLECHAR mixed[] = {0x00E9, 0x20AC, 0xD83D, 0xDE00, 0};  // é € 😀
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", utf16ToUtf8(mixed));

    const OLECHAR loneHigh[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ("a\xEF\xBF\xBD" "b", utf16ToUtf8(loneHigh));
    const OLECHAR loneLow[] = {0xDC00, 0};
    EXPECT_EQ("\xEF\xBF\xBD", utf16ToUtf8(loneLow));
    const OLECHAR highAtEnd[] = {u'x', 0xDBFF, 0};
    EXPECT_EQ("x\xEF\xBF\xBD", utf16ToUtf8(highAtEnd));
    // A high surrogate just before the terminator must not pair with what lies beyond it.
    const OLECHAR beyond[] = {0xD800, 0, 0xDC00};
    EXPECT_EQ("\xEF\xBF\xBD", utf16ToUtf8(beyond));

    // The counted form stops at its length, not at a terminator.
    EXPECT_EQ("ab", utf16ToUtf8(OLESTR("abc"), 2));
}

TEST(Clock, FileTimeToUnixMicrosecondsTruncates) {
    using tyvarion::platform::fileTimeToUnixMicroseconds;
    EXPECT_EQ(0, fileTimeToUnixMicroseconds(116444736000000000ull));
    EXPECT_EQ(1, fileTimeToUnixMicroseconds(116444736000000010ull));
    EXPECT_EQ(1, fileTimeToUnixMicroseconds(116444736000000019ull));
    EXPECT_EQ(1'700'000'000'000'000, fileTimeToUnixMicroseconds(116444736000000000ull +
                                                                 17'000'000'000'000'000ull));
}

TEST(Clock, SystemClockIsNearTheUnixNow) {
    const std::int64_t now =
        tyvarion::platform::fileTimeToUnixMicroseconds(tyvarion::platform::systemFileTime());
    EXPECT_GT(now, 1'700'000'000'000'000);  // after November 2023
    EXPECT_LT(now, 4'102'444'800'000'000);  // before 2100
}
