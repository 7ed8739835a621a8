#include "server/options.h"

#include <limits>

#include "command-line/command_line.h"
#include "net/endpoint.h"

namespace tyvarion::sim {

ServerOptions::ServerOptions() : port(kDefaultPort) {}

const std::string kUsage =
    "usage: tyvarion-sim-server [options]\n"
    "  --port N                 TCP port on 127.0.0.1 (0: any free port; default " + std::to_string(kDefaultPort) +
    ")\n"
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
    "  --event CODE@CALL        send it inside the client's call, before the answer: CALL is\n"
    "                           connect, screen (getActiveScreen) or start (requestTracking)\n"
    "  --drop-after-ms MS       close the connection MS ms after tracking starts\n"
    "  --samples N              stop sending after N samples per connection\n"
    "  --exit-on-stdin-eof      exit when standard input ends (for test harnesses)\n";

std::variant<ServerOptions, std::string> parseOptions(std::span<const std::string_view> arguments) {
    using tools::expects;
    using tools::numberIn;
    ServerOptions options;
    constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMaxMs = 1000000000;  // about 11 days
    constexpr std::uint64_t kUint64Max = std::numeric_limits<std::uint64_t>::max();

    tools::CommandLine line;
    line.flag("--refuse", options.refuse);
    line.flag("--exit-on-stdin-eof", options.exitOnStdinEof);
    line.option("--port", [&](std::string_view value) {
        const auto port = numberIn<unsigned>(value, 0, 65535);
        if (!port) return expects("--port", "0 to 65535");
        options.port = static_cast<std::uint16_t>(*port);
        return std::string();
    });
    line.option("--screen", [&](std::string_view value) {
        const auto size = tools::sizeIn<std::int32_t>(value, 1, 100000);
        if (!size) return expects("--screen", "WIDTHxHEIGHT in pixels, 1 to 100000 each");
        options.screenWidth = size->first;
        options.screenHeight = size->second;
        return std::string();
    });
    line.option("--rate", [&](std::string_view value) {
        const auto rate = numberIn<double>(value, 1, 50000);
        if (!rate) return expects("--rate", "1 to 50000");
        options.rateHz = *rate;
        return std::string();
    });
    line.option("--binocular-offset", [&](std::string_view value) {
        const auto offset = numberIn<double>(value, -1000, 1000);
        if (!offset) return expects("--binocular-offset", "-1000 to 1000 pixels");
        options.binocularOffsetPx = *offset;
        return std::string();
    });
    line.option("--seed", [&](std::string_view value) {
        const auto seed = numberIn<std::uint64_t>(value, 0, kUint64Max);
        if (!seed) return expects("--seed", "a non-negative integer");
        options.seed = *seed;
        return std::string();
    });
    line.option("--replay", [&](std::string_view value) {
        if (value.empty()) return expects("--replay", "a file name");
        options.replayFile = std::string(value);
        return std::string();
    });
    for (const char* name : {"--start-result", "--calibrate-result"}) {
        std::int32_t& target = name == std::string_view("--start-result") ? options.startResult : options.calibrateResult;
        line.option(name, [name, &target](std::string_view value) {
            const auto result = numberIn<std::int32_t>(value, kInt32Min, kInt32Max);
            if (!result) return expects(name, "an integer");
            target = *result;
            return std::string();
        });
    }
    line.option("--calibration-ms", [&](std::string_view value) {
        const auto ms = numberIn<std::int64_t>(value, 0, kMaxMs);
        if (!ms) return expects("--calibration-ms", "milliseconds, 0 or more");
        options.calibrationMs = *ms;
        return std::string();
    });
    line.option("--drop-after-ms", [&](std::string_view value) {
        const auto ms = numberIn<std::int64_t>(value, 0, kMaxMs);
        if (!ms) return expects("--drop-after-ms", "milliseconds, 0 or more");
        options.dropAfterMs = *ms;
        return std::string();
    });
    line.repeatable("--event", [&](std::string_view value) {
        const std::size_t at = value.find('@');
        const auto code = at == std::string_view::npos
                              ? std::nullopt
                              : numberIn<std::int32_t>(value.substr(0, at), kInt32Min, kInt32Max);
        const std::string_view when = at == std::string_view::npos ? "" : value.substr(at + 1);
        using During = ScheduledEvent::During;
        const std::optional<During> during = when == "connect" ? During::connect
                                             : when == "screen" ? During::screen
                                             : when == "start"  ? std::optional(During::start)
                                                                : std::nullopt;
        const auto ms = during ? std::optional<std::int64_t>(0) : numberIn<std::int64_t>(when, 0, kMaxMs);
        if (!code || !ms) return expects("--event", "CODE@MS");
        options.events.push_back(ScheduledEvent{*code, *ms, during.value_or(During::time)});
        return std::string();
    });
    line.option("--samples", [&](std::string_view value) {
        const auto count = numberIn<std::uint64_t>(value, 0, kUint64Max);
        if (!count) return expects("--samples", "a non-negative integer");
        options.sampleLimit = *count;
        return std::string();
    });
    if (auto error = line.parse(arguments)) return *std::move(error);
    options.help = line.helpRequested();
    return options;
}

}  // namespace tyvarion::sim
