// The programs' shared command-line parser: this project's messages over CLI11.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command-line/command_line.h"

namespace tyvarion::tools {
namespace {

struct Parsed {
    std::optional<std::string> error;
    bool flag = false;
    bool help = false;
    std::vector<std::string> values;  // every value taken, "name=value"
    std::vector<std::string> positionals;
};

Parsed parse(std::vector<std::string_view> arguments) {
    Parsed parsed;
    CommandLine line;
    line.flag("--flag", parsed.flag);
    line.positionals("recording", parsed.positionals);
    line.option("-o,--output", [&](std::string_view value) {
        parsed.values.push_back("output=" + std::string(value));
        return std::string();
    });
    line.option("--count", [&](std::string_view value) {
        const auto count = numberIn<int>(value, -5, 5);
        if (!count) return expects("--count", "-5 to 5");
        parsed.values.push_back("count=" + std::to_string(*count));
        return std::string();
    });
    line.repeatable("--event", [&](std::string_view value) {
        parsed.values.push_back("event=" + std::string(value));
        return std::string();
    });
    parsed.error = line.parse(arguments);
    parsed.help = line.helpRequested();
    return parsed;
}

TEST(CommandLine, TakesOptionsFlagsAndPositionalsInAnyOrder) {
    const Parsed parsed = parse({"a.csv", "--count", "-3", "--flag", "-o", "x.svg", "--event", "1@0", "b.csv",
                                 "--event=4@250", "--output=y.svg"});
    EXPECT_EQ(parsed.error, std::nullopt);
    EXPECT_TRUE(parsed.flag);
    EXPECT_FALSE(parsed.help);
    // A repeated option: the last value; a repeatable one: each in order.
    EXPECT_EQ(parsed.values, (std::vector<std::string>{"output=y.svg", "count=-3", "event=1@0", "event=4@250"}));
    EXPECT_EQ(parsed.positionals, (std::vector<std::string>{"a.csv", "b.csv"}));

    const Parsed nothing = parse({});
    EXPECT_EQ(nothing.error, std::nullopt);
    EXPECT_FALSE(nothing.flag);
    EXPECT_TRUE(nothing.values.empty());
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"a.csv", "--help"}).help);
}

TEST(CommandLine, ErrorsInTheProjectsWords) {
    EXPECT_EQ(parse({"--count", "6"}).error, "--count: expects -5 to 5");
    EXPECT_EQ(parse({"--count", "1.0"}).error, "--count: expects -5 to 5");
    EXPECT_EQ(parse({"--count=7"}).error, "--count: expects -5 to 5");
    EXPECT_EQ(parse({"--count="}).error, "--count: missing value");
    // The next argument is the value, even when it looks like an option.
    EXPECT_EQ(parse({"--count", "--flag"}).error, "--count: expects -5 to 5");
    EXPECT_EQ(parse({"--count"}).error, "--count: missing value");
    EXPECT_EQ(parse({"a.csv", "-o"}).error, "-o: missing value");
    EXPECT_EQ(parse({"--colour", "red"}).error, "unknown option --colour");
    EXPECT_EQ(parse({"a.csv", "-x"}).error, "unknown option -x");
    EXPECT_EQ(parse({"--help", "--verbose"}).error, "unknown option --verbose");
}

TEST(CommandLine, NumbersSizesAndTheOneRecording) {
    EXPECT_EQ(numberIn<int>("1000", 1, 1000), 1000);
    EXPECT_EQ(numberIn<int>("010", 1, 1000), 10);  // decimal, never octal
    for (const char* bad : {"", "0", "1001", "+5", "0x10", "5 ", "1e3"}) EXPECT_EQ(numberIn<int>(bad, 1, 1000), std::nullopt) << bad;
    EXPECT_EQ(numberIn<double>("0.5", 0, 1), 0.5);
    for (const char* bad : {"nan", "inf", "-inf", "1.5", "."}) EXPECT_EQ(numberIn<double>(bad, 0, 1), std::nullopt) << bad;
    EXPECT_EQ(sizeIn<int>("800x600", 1, 100000), (std::pair{800, 600}));
    for (const char* bad : {"800", "800x", "x600", "0x600", "800x600x2", "800X600"})
        EXPECT_EQ(sizeIn<int>(bad, 1, 100000), std::nullopt) << bad;

    EXPECT_EQ(std::get<std::string>(oneRecording({})), "no recording given");
    EXPECT_EQ(std::get<std::string>(oneRecording({"a.csv", "b.csv"})), "more than one recording given");
    EXPECT_EQ(std::get<std::filesystem::path>(oneRecording({"a.csv"})), std::filesystem::path("a.csv"));
}

}  // namespace
}  // namespace tyvarion::tools
