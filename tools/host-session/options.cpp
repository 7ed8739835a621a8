#include "host-session/options.h"

#include "command-line/command_line.h"

namespace tyvarion::host {

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
    "A trial in which no sample with a value arrives for over 1 s while the plug-in\n"
    "is connected, tracking and recording is flagged: a line then, and \"stream\n"
    "stalled\" in the summary. The summary names the recording file this session's\n"
    "object wrote, also beside another session's.\n"
    "Exit status: 0 when the session ran to its end, 1 when the plug-in refused, the\n"
    "session broke off or its recording is incomplete, 2 for a bad command line, 130\n"
    "when interrupted.\n"
    "\n"
    "Status values (GetStatus, at the end of each trial line):\n"
    "  0x0F  connected, tracking, recording: the only state a trial runs in\n"
    "  0x07  connected, tracking, not recording\n"
    "  0x18  connected, recording, not tracking (device event 4 stopped tracking)\n"
    "  0x10  connected, neither tracking nor recording\n"
    "  0x40  not connected to the eye-tracking server: none was reached, or the\n"
    "        connection was lost (device event 1 or 3); it stays so until the\n"
    "        plug-in object is released\n"
    "\n"
    "What the simulated server's scripted options make the plug-in answer\n"
    "(tyvarion-sim-server; scripts/demo passes them on):\n"
    "  --start-result N      the server's answer when tracking is requested;\n"
    "                        SetTracking(true) then answers\n"
    "                          0      S_OK     \"\" (tracking; the default)\n"
    "                          1      S_FALSE  \"not connected to Tyvarion server\"\n"
    "                          2      S_FALSE  \"no eye tracking device connected\"\n"
    "                          3      S_FALSE  \"invalid framerate mode\"\n"
    "                          4      S_FALSE  \"eye tracker is already running in different frame rate mode\"\n"
    "                          other  S_FALSE  \"unspecified error\"\n"
    "                        A refusal is also what GetLastError returns. 1 is the\n"
    "                        server's scripted word that the client is not connected,\n"
    "                        although it is: the plug-in passes it on as it is.\n"
    "  --calibrate-result N  the server's answer to a calibration; Calibrate answers\n"
    "                        S_OK with\n"
    "                          0      \"\" (calibrated; the default)\n"
    "                          1      \"failed to calibrate: not connected\"\n"
    "                          2      \"failed to calibrate: not tracking\"\n"
    "                          3      \"failed to calibrate: invalid calibration mode\"\n"
    "                          4      \"failed to calibrate: already calibrating\"\n"
    "                          other  \"failed to calibrate\"\n"
    "  --event CODE@MS       device event CODE, MS milliseconds after tracking starts:\n"
    "                          1 or 3  connection lost: status 0x40; the methods that\n"
    "                                  need the server answer S_FALSE \"not connected to\n"
    "                                  Tyvarion server\", SetTracking answers S_OK \"not\n"
    "                                  connected to the Tyvarion server\"; the recording\n"
    "                                  file stays open until the object is released\n"
    "                          4       tracking stopped: status 0x18 while recording\n"
    "                          other   no effect\n"
    "Any refusal or message, and any status but 0x0F during a trial, ends the\n"
    "session with an explanation and exit status 1.\n";

std::variant<SessionOptions, std::string> parseOptions(std::span<const std::string_view> arguments) {
    using tools::expects;
    using tools::numberIn;
    SessionOptions options;
    bool lateBound = false;
    tools::CommandLine line;
    line.flag("--late-bound", lateBound);
    line.option("--trials", [&](std::string_view value) {
        const auto trials = numberIn<int>(value, 1, 1000);
        if (!trials) return expects("--trials", "1 to 1000");
        options.trials = *trials;
        return std::string();
    });
    line.option("--trial-ms", [&](std::string_view value) {
        const auto ms = numberIn<int>(value, 1, 3600000);
        if (!ms) return expects("--trial-ms", "1 to 3600000");
        options.trialMs = *ms;
        return std::string();
    });
    line.option("--frame-rate", [&](std::string_view value) {
        const auto rate = numberIn<double>(value, 1, 1000);
        if (!rate) return expects("--frame-rate", "1 to 1000");
        options.frameRateHz = *rate;
        return std::string();
    });
    line.option("--display", [&](std::string_view value) {
        const auto size = tools::sizeIn<LONG>(value, 1, 100000);
        if (!size) return expects("--display", "WIDTHxHEIGHT in pixels, 1 to 100000 each");
        options.displayWidth = size->first;
        options.displayHeight = size->second;
        return std::string();
    });
    line.option("--recording-path-file", [&](std::string_view value) {
        if (value.empty()) return expects("--recording-path-file", "a file name");
        options.recordingPathFile = std::string(value);
        return std::string();
    });
    if (auto error = line.parse(arguments)) return *std::move(error);
    options.help = line.helpRequested();
    if (lateBound) options.binding = Binding::late;
    return options;
}

}  // namespace tyvarion::host
