#pragma once
// The command line of tyvarion-sim-server.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tyvarion::sim {

struct ScheduledEvent {
    // A timed event, or one sent inside a client call, before its answer.
    enum class During { time, connect, screen, start };

    std::int32_t code = 0;
    std::int64_t afterMs = 0;  // after tracking starts
    During during = During::time;

    bool operator==(const ScheduledEvent&) const = default;
};

struct ServerOptions {
    std::uint16_t port;
    std::int32_t screenWidth = 1920;
    std::int32_t screenHeight = 1080;
    double rateHz = 500;
    double binocularOffsetPx = 4;
    std::uint64_t seed = 1;
    std::optional<std::string> replayFile;
    std::int32_t startResult = 0;
    std::int32_t calibrateResult = 0;
    std::int64_t calibrationMs = 0;
    bool refuse = false;
    std::vector<ScheduledEvent> events;
    std::optional<std::int64_t> dropAfterMs;
    std::optional<std::uint64_t> sampleLimit;
    bool exitOnStdinEof = false;
    bool help = false;

    ServerOptions();
};

// The options, or the text of the first error ("--rate: expects 1 to 50000").
std::variant<ServerOptions, std::string> parseOptions(std::span<const std::string_view> arguments);

extern const std::string kUsage;

}  // namespace tyvarion::sim
