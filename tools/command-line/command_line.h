#pragma once
// The command line of every program here, parsed by CLI11 and answered in
// this project's words: "unknown option --x", "--x: missing value", and each
// option's own refusal ("--trials: expects 1 to 1000"). A bad command line is
// one line and "see --help", never the whole help.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace CLI {
class App;
}

namespace tyvarion::tools {

// Takes one value of an option; returns why it is refused (the whole line,
// "--trials: expects 1 to 1000"), or empty when taken.
using TakeValue = std::function<std::string(std::string_view value)>;

class CommandLine {
public:
    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // `names` as CLI11 takes them: "--refuse" or "-o,--output".
    void flag(const std::string& names, bool& target);
    // The value of the last occurrence is taken.
    void option(const std::string& names, TakeValue take);
    // Every occurrence is taken, in order.
    void repeatable(const std::string& names, TakeValue take);
    // Arguments that are not options, in order (recordings).
    void positionals(const std::string& name, std::vector<std::string>& target);

    // Nullopt when the whole command line was taken; else the first error.
    // -h and --help are always known; helpRequested() says if one was given.
    std::optional<std::string> parse(std::span<const std::string_view> arguments);
    bool helpRequested() const { return help_; }

private:
    std::unique_ptr<CLI::App> app_;
    bool help_ = false;
};

// "NAME: expects WHAT", the refusal of most options.
inline std::string expects(std::string_view name, std::string_view what) {
    return std::string(name) + ": expects " + std::string(what);
}

// A decimal number that is the whole text, finite, within [low, high].
template <typename T>
std::optional<T> numberIn(std::string_view text, T low, T high) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    if (value < low || value > high) return std::nullopt;
    return value;
}

// "WIDTHxHEIGHT", each a whole number within [low, high].
template <typename T>
std::optional<std::pair<T, T>> sizeIn(std::string_view text, T low, T high) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const auto width = numberIn<T>(text.substr(0, x), low, high);
    const auto height = numberIn<T>(text.substr(x + 1), low, high);
    if (!width || !height) return std::nullopt;
    return std::pair{*width, *height};
}

// The one recording a recording tool reads, from its positional arguments;
// else why not: "no recording given" or "more than one recording given".
std::variant<std::filesystem::path, std::string> oneRecording(const std::vector<std::string>& positionals);

// Prints "PROGRAM: ERROR" and "see --help" to standard error; returns the
// exit status of a bad command line, 2.
int refuseCommandLine(const char* program, const std::string& error);

}  // namespace tyvarion::tools
