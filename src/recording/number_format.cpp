#include "recording/number_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tyvarion {
namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;


// What "%g" makes of a NaN follows the C runtime: glibc keeps the sign bit,
// the printf that mingw-w64 builds use drops it.
#ifdef _WIN32
constexpr bool kNanKeepsSign = false;
#else
constexpr bool kNanKeepsSign = true;
#endif

char* formatExact(char* first, double value) noexcept {
    return std::to_chars(first, first + kMaxNumberLength, value, std::chars_format::general, 6)
        .ptr;
}

// Rounds a positive normal value to six significant digits: digits in
// [100000, 999999] and the decimal exponent of the first digit. False when the
// fast route cannot vouch for the result.
bool roundToSixDigits(double magnitude, std::uint32_t& digits, int& exponent) noexcept {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    if (biasedExponent == 0 || biasedExponent == 0x7FF) return false;
    // floor(log2 * log10(2)): the decimal exponent or one below it.
    int decimalExponent = ((biasedExponent - 1023) * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = 5 - decimalExponent;
        if (scale > kLargestExactPower || scale < -kLargestExactPower) return false;
        const double scaled =
            scale >= 0 ? magnitude * kPowersOfTen[scale] : magnitude / kPowersOfTen[-scale];
        if (scaled >= 1e6) {
            ++decimalExponent;
            continue;
        }
        if (scaled < 1e5) {
            --decimalExponent;
            continue;
        }
        // Scaling by an exact power of ten rounds once, and rounding is
        // monotonic; whole + 0.5 is a double, so the scaled value lies on the
        // same side of it as the true product, or on it. Only on it can the
        // two disagree (a true tie goes to even, a near one either way).
        const auto whole = static_cast<std::uint32_t>(scaled);
        const double fraction = scaled - whole;
        if (fraction == 0.5) return false;
        digits = whole + (fraction > 0.5 ? 1 : 0);
        if (digits == 1000000) {
            digits = 100000;
            ++decimalExponent;
        }
        exponent = decimalExponent;
        return true;
    }
    return false;
}

// The "%g" layout of six significant digits, trailing zeros removed.
char* writeGeneral(char* out, std::uint32_t digits, int exponent) noexcept {
    char text[6];
    for (int i = 5; i >= 0; --i) {
        text[i] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    int last = 5;
    while (last > 0 && text[last] == '0') --last;

    if (exponent < -4 || exponent >= 6) {
        *out++ = text[0];
        if (last > 0) {
            *out++ = '.';
            for (int i = 1; i <= last; ++i) *out++ = text[i];
        }
        *out++ = 'e';
        *out++ = exponent < 0 ? '-' : '+';
        unsigned magnitude = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
        if (magnitude >= 100) {
            *out++ = static_cast<char>('0' + magnitude / 100);
            magnitude %= 100;
        }
        *out++ = static_cast<char>('0' + magnitude / 10);
        *out++ = static_cast<char>('0' + magnitude % 10);
        return out;
    }
    if (exponent >= 0) {
        for (int i = 0; i <= exponent; ++i) *out++ = text[i];
        if (last > exponent) {
            *out++ = '.';
            for (int i = exponent + 1; i <= last; ++i) *out++ = text[i];
        }
        return out;
    }
    *out++ = '0';
    *out++ = '.';
    for (int i = -1; i > exponent; --i) *out++ = '0';
    for (int i = 0; i <= last; ++i) *out++ = text[i];
    return out;
}

}  // namespace

char* formatDouble(char* first, double value) noexcept {
    if (value == 0.0) {
        if (std::signbit(value)) *first++ = '-';
        *first++ = '0';
        return first;
    }
    if (std::isnan(value)) {
        if (kNanKeepsSign && std::signbit(value)) *first++ = '-';
        constexpr char kNan[] = {'n', 'a', 'n'};
        std::memcpy(first, kNan, sizeof kNan);
        return first + sizeof kNan;
    }
    std::uint32_t digits = 0;
    int exponent = 0;
    if (!roundToSixDigits(std::fabs(value), digits, exponent)) return formatExact(first, value);
    if (value < 0) *first++ = '-';
    return writeGeneral(first, digits, exponent);
}

char* formatInteger(char* first, std::int64_t value) noexcept {
    return std::to_chars(first, first + kMaxNumberLength, value).ptr;
}

}  // namespace tyvarion
