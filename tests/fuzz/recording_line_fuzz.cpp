// The recording file's number and line formatting against printf, the oracle
// the file format is defined by: every double as "%.6g", every integer as
// "%lld", and a whole sample line as a stream with default settings writes it.
// Any difference, or a number longer than its room, stops the run.
#include <fuzzer/FuzzedDataProvider.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "recording/line_format.h"
#include "recording/number_format.h"

namespace {

[[noreturn]] void differ(const char* what, std::string_view ours, std::string_view printed) {
    std::fprintf(stderr, "%s: ours \"%.*s\", printf \"%.*s\"\n", what, static_cast<int>(ours.size()),
                 ours.data(), static_cast<int>(printed.size()), printed.data());
    std::abort();
}

void checkDouble(double value) {
    char ours[tyvarion::kMaxNumberLength + 8];
    std::memset(ours, '#', sizeof ours);
    const char* end = tyvarion::formatDouble(ours, value);
    const std::string_view text(ours, static_cast<std::size_t>(end - ours));
    if (text.size() > tyvarion::kMaxNumberLength || ours[tyvarion::kMaxNumberLength] != '#')
        differ("longer than its room", text, "");
    char printed[64];
    const int length = std::snprintf(printed, sizeof printed, "%.6g", value);
    if (text != std::string_view(printed, static_cast<std::size_t>(length))) differ("double", text, printed);
}

void checkInteger(std::int64_t value) {
    char ours[tyvarion::kMaxNumberLength];
    const char* end = tyvarion::formatInteger(ours, value);
    const std::string_view text(ours, static_cast<std::size_t>(end - ours));
    char printed[32];
    const int length = std::snprintf(printed, sizeof printed, "%" PRId64, value);
    if (text != std::string_view(printed, static_cast<std::size_t>(length))) differ("integer", text, printed);
}

void printPair(std::string& line, double x, double y) {
    char field[64];
    if (x == tyapi::TYInvalidValue) {
        line += "INVALID;INVALID;";
        return;
    }
    line.append(field, static_cast<std::size_t>(std::snprintf(field, sizeof field, "%.6g;", x)));
    line.append(field, static_cast<std::size_t>(std::snprintf(field, sizeof field, "%.6g;", y)));
}

void printDiameter(std::string& line, double radius) {
    char field[64];
    if (radius == tyapi::TYInvalidValue) {
        line += "INVALID;";
        return;
    }
    line.append(field, static_cast<std::size_t>(std::snprintf(field, sizeof field, "%.6g;", 2 * radius)));
}

void checkLine(const tyapi::TYGazeSample& sample) {
    std::string printed = std::to_string(sample.timestampMicroSec) + ";" + std::to_string(sample.index) + ";";
    printPair(printed, sample.porX, sample.porY);
    printPair(printed, sample.porLeftX, sample.porLeftY);
    printDiameter(printed, sample.pupilRadiusLeft);
    printPair(printed, sample.porRightX, sample.porRightY);
    printDiameter(printed, sample.pupilRadiusRight);
    printed += "\n";
    const tyvarion::SampleLine line(sample);
    if (line.text() != printed) differ("sample line", line.text(), printed);
}

// Doubles from raw bits reach NaNs with payloads, infinities and subnormals;
// from a narrow range, the values a tracker sends with their rounding edges.
double nextDouble(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            const std::uint64_t bits = input.ConsumeIntegral<std::uint64_t>();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case 1: return input.ConsumeFloatingPointInRange<double>(-5000.0, 5000.0);
        case 2: return tyapi::TYInvalidValue;
        default: {
            // Halfway between two six-digit decimals, such as 999999.5 and
            // 9.999995e-05, where rounding decides the text.
            const long long digits = input.ConsumeIntegralInRange<long long>(-9999999, 9999999);
            const int exponent = input.ConsumeIntegralInRange<int>(-330, 310);
            char text[48];
            std::snprintf(text, sizeof text, "%lld5e%d", digits, exponent);
            return std::strtod(text, nullptr);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    tyapi::TYGazeSample sample{};
    sample.timestampMicroSec = input.ConsumeIntegral<std::int64_t>();
    sample.index = input.ConsumeIntegral<std::int32_t>();
    for (double* field : {&sample.porX, &sample.porY, &sample.porLeftX, &sample.porLeftY, &sample.pupilRadiusLeft,
                          &sample.porRightX, &sample.porRightY, &sample.pupilRadiusRight}) {
        *field = nextDouble(input);
        checkDouble(*field);
    }
    checkInteger(sample.timestampMicroSec);
    checkInteger(sample.index);
    checkLine(sample);

    const std::int32_t code = input.ConsumeIntegral<std::int32_t>();
    if (tyvarion::triggerText(code) != "trigger: " + std::to_string(code))
        differ("trigger", tyvarion::triggerText(code), std::to_string(code));
    return 0;
}
