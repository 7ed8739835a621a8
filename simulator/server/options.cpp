#include "server/options.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "net/endpoint.h"

namespace tyvarion::sim {
namespace {

template <typename T>
std::optional<T> number(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    return value;
}

template <typename T>
std::optional<T> numberIn(std::string_view text, T low, T high) {
    const auto value = number<T>(text);
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

}  // namespace

ServerOptions::ServerOptions() : port(kDefaultPort) {}

const char* const kUsage =
    "usage: tyvarion-sim-server [options]\n"
    "  --port N                 TCP port on 127.0.0.1 (0: any free port)\n"
    "  --screen WxH             active screen in pixels (default 1920x1080)\n"
    "  --rate HZ                samples per second, 1 to 50000 (default 500)\n"
    "  --binocular-offset PX    horizontal distance between the eyes' gaze points (default 4)\n"
    "  --seed N                 seed of the gaze model (default 1)\n"
    "  --replay FILE            send the samples of a recording file at their recorded pace\n"
    "  --start-result N         answer to requestTracking (default 0)\n"
    "  --calibrate-result N     answer to calibrate (default 0)\n"
    "  --calibration-ms MS      time calibrate takes (default 0)\n"
    "  --refuse                 accept connections and close them without a hello\n"
    "  --event CODE@MS          send device event CODE MS ms after tracking starts (repeatable)\n"
    "  --drop-after-ms MS       close the connection MS ms after tracking starts\n"
    "  --samples N              stop sending after N samples per connection\n"
    "  --exit-on-stdin-eof      exit when standard input ends (for test harnesses)\n";

std::variant<ServerOptions, std::string> parseOptions(std::span<const std::string_view> arguments) {
    ServerOptions options;
    constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMaxMs = 1000000000;  // about 11 days

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--refuse") {
            options.refuse = true;
            continue;
        }
        if (name == "--exit-on-stdin-eof") {
            options.exitOnStdinEof = true;
            continue;
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        const bool known = name == "--port" || name == "--screen" || name == "--rate" ||
                           name == "--binocular-offset" || name == "--seed" || name == "--replay" ||
                           name == "--start-result" || name == "--calibrate-result" ||
                           name == "--calibration-ms" || name == "--event" ||
                           name == "--drop-after-ms" || name == "--samples";
        if (!known) return "unknown option " + std::string(name);
        if (i + 1 == arguments.size()) return std::string(name) + ": missing value";
        const std::string_view value = arguments[++i];
        auto fail = [&](const char* expectation) { return std::string(name) + ": expects " + expectation; };

        if (name == "--port") {
            const auto port = numberIn<unsigned>(value, 0, 65535);
            if (!port) return fail("0 to 65535");
            options.port = static_cast<std::uint16_t>(*port);
        } else if (name == "--screen") {
            const std::size_t x = value.find('x');
            const auto width = x == std::string_view::npos ? std::nullopt
                                                           : numberIn<std::int32_t>(value.substr(0, x), 1, 100000);
            const auto height = x == std::string_view::npos ? std::nullopt
                                                            : numberIn<std::int32_t>(value.substr(x + 1), 1, 100000);
            if (!width || !height) return fail("WIDTHxHEIGHT in pixels, 1 to 100000 each");
            options.screenWidth = *width;
            options.screenHeight = *height;
        } else if (name == "--rate") {
            const auto rate = numberIn<double>(value, 1, 50000);
            if (!rate) return fail("1 to 50000");
            options.rateHz = *rate;
        } else if (name == "--binocular-offset") {
            const auto offset = numberIn<double>(value, -1000, 1000);
            if (!offset) return fail("-1000 to 1000 pixels");
            options.binocularOffsetPx = *offset;
        } else if (name == "--seed") {
            const auto seed = number<std::uint64_t>(value);
            if (!seed) return fail("a non-negative integer");
            options.seed = *seed;
        } else if (name == "--replay") {
            if (value.empty()) return fail("a file name");
            options.replayFile = std::string(value);
        } else if (name == "--start-result" || name == "--calibrate-result") {
            const auto result = numberIn<std::int32_t>(value, kInt32Min, kInt32Max);
            if (!result) return fail("an integer");
            (name == "--start-result" ? options.startResult : options.calibrateResult) = *result;
        } else if (name == "--calibration-ms" || name == "--drop-after-ms") {
            const auto ms = numberIn<std::int64_t>(value, 0, kMaxMs);
            if (!ms) return fail("milliseconds, 0 or more");
            if (name == "--calibration-ms")
                options.calibrationMs = *ms;
            else
                options.dropAfterMs = *ms;
        } else if (name == "--event") {
            const std::size_t at = value.find('@');
            const auto code = at == std::string_view::npos
                                  ? std::nullopt
                                  : numberIn<std::int32_t>(value.substr(0, at), kInt32Min, kInt32Max);
            const auto ms = at == std::string_view::npos ? std::nullopt
                                                         : numberIn<std::int64_t>(value.substr(at + 1), 0, kMaxMs);
            if (!code || !ms) return fail("CODE@MS");
            options.events.push_back(ScheduledEvent{*code, *ms});
        } else if (name == "--samples") {
            const auto count = number<std::uint64_t>(value);
            if (!count) return fail("a non-negative integer");
            options.sampleLimit = *count;
        }
    }
    return options;
}

}  // namespace tyvarion::sim
