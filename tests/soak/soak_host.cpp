#include "soak_host.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/unique_handle.h"

namespace tyvarion::soak {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNotConnected = "not connected to Tyvarion server";

std::string text(const unique_bstr& message) {
    return message ? utf16ToUtf8(message.get(), SysStringLen(message.get())) : "(null)";
}

std::string hex(long value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(value) & 0xFFFFFFFFul);
    return buffer;
}

// Message pieces with the UTF-8 the file must show for them.
struct Piece {
    const OLECHAR* wide;
    const char* narrow;
};
const Piece kPieces[] = {
    {OLESTR("soak"), "soak"},       {OLESTR(" "), " "},           {OLESTR(";"), ";"},
    {OLESTR("\t"), "\t"},           {OLESTR("\u00e9t\u00e9"), "\xc3\xa9t\xc3\xa9"},
    {OLESTR("\u65e5\u672c"), "\xe6\x97\xa5\xe6\x9c\xac"},  {OLESTR("\U0001F600"), "\xf0\x9f\x98\x80"},
    {OLESTR("trigger: 7"), "trigger: 7"},
};

const LONG kTypes[] = {0, 1, 2, 3, 4, 5, 6, -1, 7, INT_MAX, INT_MIN};
const LONG kEyes[] = {0, 1, 2, 3, -1, INT_MAX};
const LONG kSizes[] = {0, 1, 800, 1920, 1080, -600, INT_MAX, INT_MIN};
const LONG kCounts[] = {-7, 0, 1, 5, 6, 64, 1000, 100000};

bool isStatus(LONG status) {
    return status == 0x40 || status == 0x07 || status == 0x0F || status == 0x10 || status == 0x18;
}
bool recordingIn(LONG status) { return status != 0x40 && (status & 0x08) != 0; }

}  // namespace

SoakHost::SoakHost(SoakTracker& tracker, std::mt19937_64& random, fs::path folder)
    : tracker_(tracker), random_(random), folder_(std::move(folder)) {}

void SoakHost::fail(const std::string& what) {
    if (failure_.empty()) failure_ = what;
}

LONG SoakHost::status() {
    LONG value = -1;
    const HRESULT result = tracker_.GetStatus(&value);
    if (result != S_OK) fail("GetStatus returned " + hex(result));
    checkStatus(value);
    return value;
}

void SoakHost::checkStatus(LONG value) {
    if (!isStatus(value)) fail("status " + hex(value));
}

void SoakHost::fetch(LONG wanted) {
    if (wanted > 0 && static_cast<std::size_t>(wanted) > events_.size())
        events_.resize(static_cast<std::size_t>(wanted));
    LONG count = wanted;
    const HRESULT result = tracker_.GetEvents(&count, events_.data());
    if (result != S_OK) return fail("GetEvents returned " + hex(result));
    if (count < 0 || count > std::max<LONG>(wanted, 0))
        return fail("GetEvents gave " + std::to_string(count) + " for " + std::to_string(wanted));
    for (LONG i = 0; i < count; ++i) {
        const EyeTracker2GeneralData& event = events_[static_cast<std::size_t>(i)];
        if (event.time < lastEventTime_) fail("event times went back");
        if (event.type != 0 && event.type != 4) fail("event type " + std::to_string(event.type));
        lastEventTime_ = event.time;
    }
    eventsFetched_ += static_cast<std::uint64_t>(count);
}

void SoakHost::drain() {
    for (;;) {
        LONG queued = 0;
        if (tracker_.GetEventCount(&queued) != S_OK) return fail("GetEventCount failed");
        if (queued == 0) return;
        fetch(queued);
        if (!failure_.empty()) return;
    }
}

void SoakHost::setRecording(bool on) {
    unique_bstr message;
    const HRESULT result = tracker_.SetRecording(on ? VARIANT_TRUE : VARIANT_FALSE, message.put());
    if (result == S_FALSE) {
        if (text(message) != kNotConnected) fail("SetRecording refused with \"" + text(message) + "\"");
        return;
    }
    if (result != S_OK || text(message) != "") {
        return fail("SetRecording(" + std::to_string(on) + ") gave " + hex(result) + " \"" + text(message) + "\"");
    }
    log_.push_back(std::string("SetRecording(") + (on ? "1" : "0") + ")");
    openFile_.reset();
    if (!on) return;
    // The new file is the one this host has not seen yet.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        const bool known = std::any_of(recordings_.begin(), recordings_.end(),
                                       [&](const RecordingBooks& books) { return books.file == entry.path(); });
        if (known || entry.path().extension() != ".csv") continue;
        if (openFile_) return fail("two new recording files");
        recordings_.push_back({entry.path(), {}});
        openFile_ = recordings_.size() - 1;
        log_.push_back("  opened " + entry.path().filename().string());
    }
    if (!openFile_) fail("SetRecording(1) succeeded without a new file in " + folder_.string());
}

void SoakHost::sendText(bool trigger) {
    std::string line;
    olestring wide;
    const LONG before = status();
    HRESULT result = S_OK;
    if (trigger) {
        const std::int32_t code = (nextTrigger_++ % 2 == 0) ? nextTrigger_ : -nextTrigger_;
        line = "trigger: " + std::to_string(code);
        result = tracker_.SendTrigger(code);
    } else {
        line = "message: m" + std::to_string(nextMessage_);
        for (char c : std::to_string(nextMessage_++)) wide += static_cast<OLECHAR>(c);
        wide.insert(wide.begin(), static_cast<OLECHAR>('m'));
        const int pieces = static_cast<int>(random_() % 5);
        for (int i = 0; i < pieces; ++i) {
            const Piece& piece = kPieces[random_() % std::size(kPieces)];
            wide += piece.wide;
            line += piece.narrow;
        }
        result = tracker_.SendString(wide.data());
    }
    const LONG after = status();
    log_.push_back(line + ", status " + hex(before) + " before, " + hex(after) + " after");
    if (result != S_OK) fail(line + " returned " + hex(result));
    if (!recordingIn(before)) {
        if (recordingIn(after)) fail("recording rose during " + line);
        return;
    }
    if (!openFile_) return fail("recording without a file of this host's");
    // A device event between the two status reads may have ended the
    // recording before the line was queued.
    recordings_[*openFile_].texts.push_back({line, recordingIn(after)});
}

const char* SoakHost::step() {
    unique_bstr message;
    const auto pick = [&](const auto& values) { return values[random_() % std::size(values)]; };
    const auto typeOf = [&] { return static_cast<EyeTracker2DataType>(pick(kTypes)); };
    const auto eyeOf = [&] { return static_cast<EyeTracker2EyeType>(pick(kEyes)); };
    const auto expectAnswer = [&](HRESULT result, const char* name) {
        if (result != S_OK && result != S_FALSE) fail(std::string(name) + " returned " + hex(result));
        if (result == S_FALSE && text(message) != kNotConnected)
            fail(std::string(name) + " refused with \"" + text(message) + "\"");
    };
    switch (random_() % 32) {
        case 0: case 1: case 2: case 3:
            fetch(pick(kCounts));
            return "GetEvents";
        case 4: {
            LONG count = -1;
            if (tracker_.GetEventCount(&count) != S_OK || count < 0) fail("GetEventCount");
            return "GetEventCount";
        }
        case 5: case 6:
            expectAnswer(tracker_.StartData(typeOf(), eyeOf(), message.put()), "StartData");
            return "StartData";
        case 7:
            expectAnswer(tracker_.StopData(typeOf(), eyeOf(), message.put()), "StopData");
            return "StopData";
        case 8:
            if (tracker_.SetDisplayMode(pick(kSizes), pick(kSizes)) != S_OK) fail("SetDisplayMode");
            return "SetDisplayMode";
        case 9: case 10: {
            const HRESULT result = tracker_.SetTracking(random_() % 4 != 0 ? VARIANT_TRUE : VARIANT_FALSE, message.put());
            if (result != S_OK && result != S_FALSE) fail("SetTracking returned " + hex(result));
            return "SetTracking";
        }
        case 11:
            expectAnswer(tracker_.Calibrate(static_cast<EyeTracker2CalibrationType>(pick(kTypes)), nullptr,
                                            1.5, -2.0, 0.0, message.put()),
                         "Calibrate");
            return "Calibrate";
        case 12: {
            LONG points[4] = {1, 2, 3, 4};
            olestring parameters = OLESTR("p=1");
            expectAnswer(tracker_.StartCalibration(pick(kCounts), points, eyeOf(), parameters.data(), message.put()),
                         "StartCalibration");
            LONG index = 0, x = 0, y = 0;
            expectAnswer(tracker_.GetCalibrationPoint(&index, &x, &y, message.put()), "GetCalibrationPoint");
            expectAnswer(tracker_.AcceptPoint(message.put()), "AcceptPoint");
            expectAnswer(tracker_.StopCalibration(message.put()), "StopCalibration");
            return "calibration placeholders";
        }
        case 13: case 14:
            setRecording(true);
            return "SetRecording(1)";
        case 15:
            setRecording(false);
            return "SetRecording(0)";
        case 16: case 17: case 18:
            sendText(true);
            return "SendTrigger";
        case 19: case 20:
            sendText(false);
            return "SendString";
        case 21: {
            olestring command = OLESTR("command");
            LONG answer = 0;
            if (tracker_.SendCommand(command.data(), &answer) != E_NOTIMPL) fail("SendCommand");
            if (tracker_.SendMessage(command.data(), message.put()) != S_OK) fail("SendMessage");
            olestring value = OLESTR("value");
            if (tracker_.SetParameter(command.data(), value.data(), message.put()) != S_OK) fail("SetParameter");
            if (tracker_.GetParameter(command.data(), message.put()) != S_OK) fail("GetParameter");
            if (tracker_.SetAOISet(pick(kCounts), message.put()) != E_NOTIMPL) fail("SetAOISet");
            return "command, message, parameters, AOI";
        }
        case 22: case 23:
            status();
            return "GetStatus";
        case 24: {
            if (tracker_.GetLastError(message.put()) != S_OK) fail("GetLastError");
            ULONGLONG time = 0;
            if (tracker_.GetTime(&time) != S_OK || time == 0) fail("GetTime");
            LONG caps = 0;
            VARIANT_BOOL multithreaded = 0;
            if (tracker_.GetCaps(&caps) != S_OK || caps != 0x43) fail("GetCaps");
            if (tracker_.IsMultithreaded(&multithreaded) != S_OK || multithreaded != 1) fail("IsMultithreaded");
            if (tracker_.Execute() != S_OK) fail("Execute");
            return "GetLastError, GetTime, GetCaps, IsMultithreaded, Execute";
        }
        case 25: {
            // Null outputs change nothing and are refused.
            if (tracker_.GetStatus(nullptr) != E_POINTER) fail("GetStatus(null)");
            if (tracker_.GetEvents(nullptr, nullptr) != E_POINTER) fail("GetEvents(null)");
            if (tracker_.SetRecording(VARIANT_TRUE, nullptr) != E_POINTER) fail("SetRecording(null)");
            // A null message is an empty one; sent only while it cannot be queued.
            const LONG before = status();
            if (!recordingIn(before)) {
                if (tracker_.SendString(nullptr) != S_OK) fail("SendString(null)");
                log_.push_back("SendString(null), status " + hex(before) + " before, " + hex(status()) + " after");
            }
            return "null pointers";
        }
        default:
            std::this_thread::sleep_for(std::chrono::microseconds(random_() % 3000));
            return "sleep";
    }
}

}  // namespace tyvarion::soak
