#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/endpoint.h"
#include "server/options.h"

namespace tyvarion::sim {
namespace {

std::variant<ServerOptions, std::string> parse(std::vector<std::string_view> arguments) {
    return parseOptions(arguments);
}

std::string errorOf(std::vector<std::string_view> arguments) {
    const auto parsed = parse(arguments);
    const auto* error = std::get_if<std::string>(&parsed);
    return error ? *error : "(no error)";
}

TEST(ServerOptions, Defaults) {
    const auto options = std::get<ServerOptions>(parse({}));
    EXPECT_EQ(options.port, kDefaultPort);
    EXPECT_EQ(options.screenWidth, 1920);
    EXPECT_EQ(options.screenHeight, 1080);
    EXPECT_EQ(options.rateHz, 500);
    EXPECT_EQ(options.startResult, 0);
    EXPECT_EQ(options.calibrateResult, 0);
    EXPECT_FALSE(options.refuse);
    EXPECT_FALSE(options.dropAfterMs);
    EXPECT_FALSE(options.sampleLimit);
    EXPECT_TRUE(options.events.empty());
}

TEST(ServerOptions, EveryOption) {
    const auto options = std::get<ServerOptions>(
        parse({"--port", "0", "--screen", "1280x720", "--rate", "50000", "--binocular-offset", "-2.5",
               "--seed", "18446744073709551615", "--replay", "a b.csv", "--start-result", "-7",
               "--calibrate-result", "4", "--calibration-ms", "1500", "--refuse", "--event", "4@250",
               "--event", "1@0", "--event", "3@connect", "--event", "1@screen", "--event", "4@start",
               "--drop-after-ms", "300", "--samples", "40000", "--exit-on-stdin-eof"}));
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.screenWidth, 1280);
    EXPECT_EQ(options.screenHeight, 720);
    EXPECT_EQ(options.rateHz, 50000);
    EXPECT_EQ(options.binocularOffsetPx, -2.5);
    EXPECT_EQ(options.seed, 18446744073709551615ULL);
    EXPECT_EQ(options.replayFile, "a b.csv");
    EXPECT_EQ(options.startResult, -7);
    EXPECT_EQ(options.calibrateResult, 4);
    EXPECT_EQ(options.calibrationMs, 1500);
    EXPECT_TRUE(options.refuse);
    using During = ScheduledEvent::During;
    EXPECT_EQ(options.events, (std::vector<ScheduledEvent>{{4, 250}, {1, 0}, {3, 0, During::connect},
                                                           {1, 0, During::screen}, {4, 0, During::start}}));
    EXPECT_EQ(options.dropAfterMs, 300);
    EXPECT_EQ(options.sampleLimit, 40000u);
    EXPECT_TRUE(options.exitOnStdinEof);
}

TEST(ServerOptions, Errors) {
    EXPECT_EQ(errorOf({"--rate", "0"}), "--rate: expects 1 to 50000");
    EXPECT_EQ(errorOf({"--rate", "50001"}), "--rate: expects 1 to 50000");
    EXPECT_EQ(errorOf({"--rate", "nan"}), "--rate: expects 1 to 50000");
    EXPECT_EQ(errorOf({"--port", "65536"}), "--port: expects 0 to 65535");
    EXPECT_EQ(errorOf({"--screen", "1920"}), "--screen: expects WIDTHxHEIGHT in pixels, 1 to 100000 each");
    EXPECT_EQ(errorOf({"--screen", "0x1080"}), "--screen: expects WIDTHxHEIGHT in pixels, 1 to 100000 each");
    EXPECT_EQ(errorOf({"--event", "4"}), "--event: expects CODE@MS");
    EXPECT_EQ(errorOf({"--event", "4@-1"}), "--event: expects CODE@MS");
    EXPECT_EQ(errorOf({"--event", "4@Start"}), "--event: expects CODE@MS");
    EXPECT_EQ(errorOf({"--start-result", "2147483648"}), "--start-result: expects an integer");
    EXPECT_EQ(errorOf({"--samples", "-1"}), "--samples: expects a non-negative integer");
    EXPECT_EQ(errorOf({"--drop-after-ms"}), "--drop-after-ms: missing value");
    EXPECT_EQ(errorOf({"--verbose"}), "unknown option --verbose");
    EXPECT_EQ(errorOf({"--seed", "-1"}), "--seed: expects a non-negative integer");
    EXPECT_EQ(errorOf({"--seed", "18446744073709551616"}), "--seed: expects a non-negative integer");
    EXPECT_EQ(errorOf({"--binocular-offset", "1000.5"}), "--binocular-offset: expects -1000 to 1000 pixels");
    EXPECT_EQ(errorOf({"--calibration-ms", "-1"}), "--calibration-ms: expects milliseconds, 0 or more");
    EXPECT_EQ(errorOf({"--replay", ""}), "--replay: expects a file name");
    EXPECT_EQ(errorOf({"--refuse", "4000"}), "unknown option 4000");
}

TEST(ServerOptions, TheUsageGivesTheDefaultPort) {
    EXPECT_NE(kUsage.find("(0: any free port; default " + std::to_string(kDefaultPort) + ")\n"), std::string::npos)
        << kUsage;
}

TEST(Endpoint, ParsesHostAndPort) {
    const auto endpoint = parseEndpoint("127.0.0.1:4000");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(endpoint->host, "127.0.0.1");
    EXPECT_EQ(endpoint->port, 4000);
    EXPECT_EQ(parseEndpoint("localhost:65535")->host, "localhost");
    for (const char* bad : {"", "127.0.0.1", ":4000", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536",
                            "127.0.0.1:40x", "127.0.0.1:-1"})
        EXPECT_FALSE(parseEndpoint(bad)) << bad;
}

}  // namespace
}  // namespace tyvarion::sim
