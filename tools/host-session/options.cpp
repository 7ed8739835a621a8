#include "host-session/options.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace tyvarion::host {
namespace {

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

}  // namespace

const char* const kUsage =
    "usage: host-session [options]\n"
    "Drives the eye-tracker plug-in as the experiment host does: display mode, gaze\n"
    "and pupil data, tracking, calibration, a recording with a trigger and a message\n"
    "per trial, polling the events at the host's frame rate. Prints a summary with\n"
    "a timing report.\n"
    "  --trials N         number of trials, 1 to 1000 (default 3)\n"
    "  --trial-ms MS      length of a trial in milliseconds, 1 to 3600000 (default 2000)\n"
    "  --frame-rate HZ    the host's polling rate, 1 to 1000 (default 60)\n"
    "  --display WxH      the host's display in pixels (default 1920x1080)\n"
    "  --recording-path-file FILE\n"
    "                     write the recording file's path (UTF-8) into FILE, for scripts\n"
    "  --late-bound       call the plug-in through IDispatch (Windows; needs the host's\n"
    "                     type library EyeTracker2Lib registered)\n"
    "Exit status: 0 when the session ran to its end, 1 when the plug-in refused or\n"
    "the session broke off, 2 for a bad command line, 130 when interrupted.\n";

std::variant<SessionOptions, std::string> parseOptions(std::span<const std::string_view> arguments) {
    SessionOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--late-bound") {
            options.binding = Binding::late;
            continue;
        }
        const bool known = name == "--trials" || name == "--trial-ms" || name == "--frame-rate" ||
                           name == "--display" || name == "--recording-path-file";
        if (!known) return "unknown option " + std::string(name);
        if (i + 1 == arguments.size()) return std::string(name) + ": missing value";
        const std::string_view value = arguments[++i];
        const auto fail = [&](const char* expectation) {
            return std::string(name) + ": expects " + expectation;
        };
        if (name == "--trials") {
            const auto trials = numberIn<int>(value, 1, 1000);
            if (!trials) return fail("1 to 1000");
            options.trials = *trials;
        } else if (name == "--trial-ms") {
            const auto ms = numberIn<int>(value, 1, 3600000);
            if (!ms) return fail("1 to 3600000");
            options.trialMs = *ms;
        } else if (name == "--frame-rate") {
            const auto rate = numberIn<double>(value, 1, 1000);
            if (!rate) return fail("1 to 1000");
            options.frameRateHz = *rate;
        } else if (name == "--recording-path-file") {
            if (value.empty()) return fail("a file name");
            options.recordingPathFile = std::string(value);
        } else if (name == "--display") {
            const std::size_t x = value.find('x');
            const auto width = x == std::string_view::npos
                                   ? std::nullopt
                                   : numberIn<LONG>(value.substr(0, x), 1, 100000);
            const auto height = x == std::string_view::npos
                                    ? std::nullopt
                                    : numberIn<LONG>(value.substr(x + 1), 1, 100000);
            if (!width || !height) return fail("WIDTHxHEIGHT in pixels, 1 to 100000 each");
            options.displayWidth = *width;
            options.displayHeight = *height;
        }
    }
    return options;
}

}  // namespace tyvarion::host
