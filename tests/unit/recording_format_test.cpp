// The recording file's text: numbers against printf's "%.6g" as the oracle, the
// sample line, the header lines and the trigger and message texts.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "client/tyapi.h"
#include "recording/line_format.h"
#include "recording/number_format.h"

namespace {

std::string printed(double value) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.6g", value);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string formatted(double value) {
    char text[tyvarion::kMaxNumberLength];
    return std::string(text, tyvarion::formatDouble(text, value));
}

// Checks every value and reports the first few differences with their bits.
void expectSameAsPrintf(const std::vector<double>& values) {
    int failures = 0;
    for (double value : values) {
        const std::string expected = printed(value);
        const std::string actual = formatted(value);
        if (expected != actual && ++failures <= 10) {
            ADD_FAILURE() << "bits 0x" << std::hex << std::bit_cast<std::uint64_t>(value)
                          << ": printf wrote \"" << expected << "\", formatDouble \"" << actual
                          << "\"";
        }
    }
    EXPECT_EQ(0, failures) << "of " << values.size() << " values";
}

// The double nearest to the decimal text, and its neighbours a few steps away.
void addWithNeighbours(std::vector<double>& values, double value, int steps = 2) {
    values.push_back(value);
    double up = value;
    double down = value;
    for (int i = 0; i < steps; ++i) {
        up = std::nextafter(up, std::numeric_limits<double>::infinity());
        down = std::nextafter(down, -std::numeric_limits<double>::infinity());
        values.push_back(up);
        values.push_back(down);
    }
}

tyapi::TYGazeSample sample(std::int64_t timestamp, std::int32_t index) {
    tyapi::TYGazeSample value{};
    value.timestampMicroSec = timestamp;
    value.index = index;
    return value;
}

}  // namespace

TEST(RecordingNumberFormat, EdgeValuesMatchPrintf) {
    const double invalid = tyapi::TYInvalidValue;
    std::vector<double> values = {
        0.0, -0.0, 1.0, -1.0, 959.5, 957.0, 1234.5678, 540.25, 6.4, 6.5,
        // rounding up into the next power of ten
        999999.5, 999999.4999999999, 9.999995e-05, 9.9999949e-05, 99999.95, 0.000999999500001,
        9999995.0, 999999.0, 1000000.0, 100000.0, 0.0001, 0.00001, 1e-5, 1.2e-05, 1.23457e+06,
        // true ties of the seventh digit, which round to even
        1234565.0, 1234575.0, 0.5, 2.5, 1000005.0, 1000015.0, 100000.5, 100001.5,
        // the client's marker, its neighbours and the ends of the range
        invalid, -invalid, DBL_MAX, DBL_MIN, -DBL_MIN, DBL_EPSILON,
        std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::denorm_min(),
        std::nextafter(DBL_MIN, 0.0), std::bit_cast<double>(std::uint64_t{0x000FFFFFFFFFFFFF}),
        4.9406564584124654e-324, 2.2250738585072009e-308,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
        1e15, 1e16, 1e17, 1e21, 1e22, 1e23, 1e-17, 1e-18, 1e-22, 1e-23, 1e100, 1e-100, 1e300,
        123456789012345678.0, 0.1, 0.2, 0.3, 1.0 / 3.0, 2.0 / 3.0, 3.14159265358979};
    for (int exponent = -30; exponent <= 30; ++exponent) {
        addWithNeighbours(values, std::pow(10.0, exponent), 3);
        addWithNeighbours(values, 9.999995 * std::pow(10.0, exponent), 3);
        addWithNeighbours(values, 5 * std::pow(10.0, exponent), 1);
    }
    expectSameAsPrintf(values);

    EXPECT_EQ("-0", formatted(-0.0));
    EXPECT_EQ("1e+06", formatted(999999.5));
    EXPECT_EQ("0.0001", formatted(9.999995e-05));
    EXPECT_EQ("-1.79769e+308", formatted(invalid));
    EXPECT_EQ("4.94066e-324", formatted(std::numeric_limits<double>::denorm_min()));
    EXPECT_EQ("1234.57", formatted(1234.5678));
    EXPECT_EQ("1.2e-05", formatted(1.2e-05));
    EXPECT_EQ("1.23456e+06", formatted(1234565.0));
}

TEST(RecordingNumberFormat, RandomValuesMatchPrintf) {
    std::mt19937_64 random(20240305);
    std::vector<double> values;

    // Any bit pattern: every exponent, subnormals, infinities and NaNs.
    for (int i = 0; i < 200000; ++i) values.push_back(std::bit_cast<double>(random()));

    // What the recording mostly holds: screen pixels and pupil diameters.
    std::uniform_real_distribution<double> pixels(-4000.0, 4000.0);
    std::uniform_real_distribution<double> pupils(0.0, 10.0);
    for (int i = 0; i < 100000; ++i) {
        values.push_back(pixels(random));
        values.push_back(2 * pupils(random));
        values.push_back(std::round(pixels(random) * 4) / 4);
    }

    // Near ties of the seventh significant digit in every decade: the
    // decimal value ddddd d5 exactly, and the doubles around it.
    std::uniform_int_distribution<int> sixDigits(100000, 999999);
    std::uniform_int_distribution<int> exponents(-320, 300);
    for (int i = 0; i < 20000; ++i) {
        const std::string text = std::to_string(sixDigits(random)) + "5e" +
                                 std::to_string(exponents(random));
        addWithNeighbours(values, std::strtod(text.c_str(), nullptr), 2);
    }
    for (int i = 0; i < 20000; ++i) {
        const std::string text = std::to_string(sixDigits(random)) + "5e" +
                                 std::to_string(-12 + i % 24);
        addWithNeighbours(values, std::strtod(text.c_str(), nullptr), 2);
    }
    expectSameAsPrintf(values);
}

TEST(RecordingNumberFormat, IntegersArePlainDecimal) {
    const auto text = [](std::int64_t value) {
        char buffer[tyvarion::kMaxNumberLength];
        return std::string(buffer, tyvarion::formatInteger(buffer, value));
    };
    EXPECT_EQ("0", text(0));
    EXPECT_EQ("-3", text(-3));
    EXPECT_EQ("1500", text(1500));
    EXPECT_EQ("9223372036854775807", text(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ("-9223372036854775808", text(std::numeric_limits<std::int64_t>::min()));
}

TEST(RecordingLineFormat, SampleLines) {
    const double invalid = tyapi::TYInvalidValue;

    // The example line: an invalid right point.
    tyapi::TYGazeSample example = sample(1500, 42);
    example.porX = 959.5;
    example.porY = 540.25;
    example.porLeftX = 957;
    example.porLeftY = 541;
    example.pupilRadiusLeft = 3.2;
    example.porRightX = invalid;
    example.porRightY = 540;
    example.pupilRadiusRight = 3.25;
    EXPECT_EQ("1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;6.5;\n",
              tyvarion::SampleLine(example).text());

    // X decides for its pair; the Y marker is then written as a number.
    tyapi::TYGazeSample markers = sample(-7, -1);
    markers.porX = invalid;
    markers.porY = 540;
    markers.porLeftX = 100;
    markers.porLeftY = invalid;
    markers.pupilRadiusLeft = invalid;
    markers.porRightX = -0.0;
    markers.porRightY = 1e-5;
    markers.pupilRadiusRight = 2.5;
    EXPECT_EQ("-7;-1;INVALID;INVALID;100;-1.79769e+308;INVALID;-0;1e-05;5;\n",
              tyvarion::SampleLine(markers).text());

    // The widest line there is fits.
    tyapi::TYGazeSample widest = sample(std::numeric_limits<std::int64_t>::min(),
                                        std::numeric_limits<std::int32_t>::min());
    widest.porX = widest.porY = widest.porLeftX = widest.porLeftY = -DBL_MIN;
    widest.porRightX = widest.porRightY = -1.23456e-300;
    widest.pupilRadiusLeft = widest.pupilRadiusRight = -DBL_MAX / 4;
    EXPECT_EQ("-9223372036854775808;-2147483648;-2.22507e-308;-2.22507e-308;-2.22507e-308;"
              "-2.22507e-308;-8.98847e+307;-1.23456e-300;-1.23456e-300;-8.98847e+307;\n",
              tyvarion::SampleLine(widest).text());
}

TEST(RecordingLineFormat, RandomSampleLinesMatchPrintf) {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> pixels(-100.0, 2100.0);
    std::bernoulli_distribution missing(0.1);
    const auto value = [&] { return missing(random) ? tyapi::TYInvalidValue : pixels(random); };
    for (int i = 0; i < 20000; ++i) {
        tyapi::TYGazeSample line = sample(static_cast<std::int64_t>(random()),
                                          static_cast<std::int32_t>(random()));
        line.porX = value();
        line.porY = value();
        line.porLeftX = value();
        line.porLeftY = value();
        line.pupilRadiusLeft = value() / 500;
        line.porRightX = value();
        line.porRightY = value();
        line.pupilRadiusRight = value();

        char expected[512];
        int length = std::snprintf(expected, sizeof expected, "%lld;%d;",
                                   static_cast<long long>(line.timestampMicroSec), line.index);
        const auto pair = [&](double x, double y) {
            length += x == tyapi::TYInvalidValue
                          ? std::snprintf(expected + length, sizeof expected - length,
                                          "INVALID;INVALID;")
                          : std::snprintf(expected + length, sizeof expected - length,
                                          "%.6g;%.6g;", x, y);
        };
        const auto diameter = [&](double radius) {
            length += radius == tyapi::TYInvalidValue
                          ? std::snprintf(expected + length, sizeof expected - length, "INVALID;")
                          : std::snprintf(expected + length, sizeof expected - length, "%.6g;",
                                          2 * radius);
        };
        pair(line.porX, line.porY);
        pair(line.porLeftX, line.porLeftY);
        diameter(line.pupilRadiusLeft);
        pair(line.porRightX, line.porRightY);
        diameter(line.pupilRadiusRight);
        length += std::snprintf(expected + length, sizeof expected - length, "\n");
        ASSERT_EQ(std::string(expected, static_cast<std::size_t>(length)),
                  tyvarion::SampleLine(line).text());
    }
}

TEST(RecordingLineFormat, HeaderAndTextLines) {
    EXPECT_EQ("Sep=;\n", tyvarion::kSeparatorLine);
    EXPECT_EQ("timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];"
              "\tPOR Left Y [px];\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];"
              "\tPupil Diam Right [mm]\n",
              tyvarion::kColumnHeaderLine);

    EXPECT_EQ("trigger: 17", tyvarion::triggerText(17));
    EXPECT_EQ("trigger: -3", tyvarion::triggerText(-3));
    EXPECT_EQ("trigger: -2147483648", tyvarion::triggerText(std::numeric_limits<int32_t>::min()));

    EXPECT_EQ("message: ", tyvarion::messageText(nullptr));
    EXPECT_EQ("message: ", tyvarion::messageText(OLESTR("")));
    EXPECT_EQ("message: a;b\tc", tyvarion::messageText(OLESTR("a;b\tc")));
    // A line break cannot forge a line of another kind; every CR and LF is a space.
    EXPECT_EQ("message: x trigger: 5", tyvarion::messageText(OLESTR("x\ntrigger: 5")));
    EXPECT_EQ("message: a  b c  ", tyvarion::messageText(OLESTR("a\r\nb\rc\n\n")));
    EXPECT_EQ("message:  1500;42;1;2;3;4;5;6;7;8;",
              tyvarion::messageText(OLESTR("\n1500;42;1;2;3;4;5;6;7;8;")));
    // UTF-8, with an unpaired surrogate replaced.
    const OLECHAR text[] = {u'\u00e9', 0xD83D, 0xDE00, u' ', 0xD800, u'x', 0};
    EXPECT_EQ("message: \xC3\xA9\xF0\x9F\x98\x80 \xEF\xBF\xBDx", tyvarion::messageText(text));
}
