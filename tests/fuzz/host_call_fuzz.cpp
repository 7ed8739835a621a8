// Drives a tracker object the way no host should: arbitrary sequences of
// every IEyeTracker2 method with arbitrary arguments (enumerations out of
// range, negative and huge counts, null pointers, unpaired surrogates, very
// long strings), gaze samples of arbitrary bytes and arbitrary device events
// between them, recording into real files. Every call must keep its contract:
// one of its result codes, outputs written only when asked for, status one of
// the five codes, events whole. The object is then released.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz_tyapi.h"
#include "platform/unique_handle.h"
#include "tracker/tyvarion.h"

namespace {

using namespace tyvarion;

[[noreturn]] void broken(const char* method, const char* what, long value) {
    std::fprintf(stderr, "%s: %s (0x%08lX)\n", method, what, static_cast<unsigned long>(value) & 0xFFFFFFFFul);
    std::abort();
}

void expectResult(const char* method, HRESULT result, std::initializer_list<HRESULT> allowed) {
    for (HRESULT each : allowed) {
        if (result == each) return;
    }
    broken(method, "unexpected result", result);
}

// The documents folder of this process; recording files are removed after
// each input.
const std::filesystem::path& documents() {
    static const std::filesystem::path folder = [] {
        const auto made = std::filesystem::temp_directory_path() / ("tyvarion-host-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(made);
        setenv("XDG_DOCUMENTS_DIR", made.c_str(), 1);
        return made;
    }();
    return folder;
}

// A UTF-16 text of arbitrary units, now and then repeated into a very long one.
olestring nextText(FuzzedDataProvider& input) {
    olestring text;
    const std::size_t units = input.ConsumeIntegralInRange<std::size_t>(0, 64);
    for (std::size_t i = 0; i < units && input.remaining_bytes() > 0; ++i) {
        auto unit = static_cast<OLECHAR>(input.ConsumeIntegral<std::uint16_t>());
        if (unit == 0) unit = 0xD800;  // no early end: surrogates are more interesting
        text += unit;
    }
    if (!text.empty() && input.ConsumeBool()) {
        const std::size_t repeats = input.ConsumeIntegralInRange<std::size_t>(1, 100000 / text.size());
        olestring longText;
        longText.reserve(text.size() * repeats);
        for (std::size_t i = 0; i < repeats; ++i) longText += text;
        text.swap(longText);
    }
    return text;
}

// A string argument: null, or a text that lives until the call returns.
OLECHAR* nextString(FuzzedDataProvider& input, olestring& storage) {
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0) return nullptr;
    storage = nextText(input);
    return storage.data();
}

// A BSTR output, null when the input says so.
BSTR* nextOutput(FuzzedDataProvider& input, unique_bstr& storage) {
    return input.ConsumeIntegralInRange<int>(0, 7) == 0 ? nullptr : storage.put();
}

void checkMessageOutput(const char* method, HRESULT result, BSTR* output, const unique_bstr& storage) {
    if (output == nullptr) {
        if (result != E_POINTER) broken(method, "null output accepted", result);
        return;
    }
    if (result == E_POINTER) broken(method, "E_POINTER for a valid output", result);
    if (!storage) broken(method, "no message written", result);
}

bool isStatus(LONG status) {
    return status == 0x40 || status == 0x07 || status == 0x0F || status == 0x10 || status == 0x18;
}

void fetch(Tyvarion& tracker, FuzzedDataProvider& input) {
    LONG queued = 0;
    expectResult("GetEventCount", tracker.GetEventCount(&queued), {S_OK});
    if (queued < 0) broken("GetEventCount", "negative count", queued);
    LONG count = input.ConsumeIntegral<LONG>();
    if (input.ConsumeIntegralInRange<int>(0, 15) == 0) {
        expectResult("GetEvents", tracker.GetEvents(nullptr, nullptr), {E_POINTER});
        return;
    }
    // The host's array holds what it asks for, up to what is there to take.
    const std::size_t room = count > 0 ? static_cast<std::size_t>(std::min(count, queued)) : 0;
    std::vector<EyeTracker2GeneralData> events(room);
    const LONG asked = count;
    const HRESULT result = tracker.GetEvents(&count, room > 0 || input.ConsumeBool() ? events.data() : nullptr);
    if (result == E_POINTER) {
        if (room > 0 || asked <= 0) broken("GetEvents", "E_POINTER with an array", result);
        return;
    }
    expectResult("GetEvents", result, {S_OK});
    if (count < 0 || static_cast<std::size_t>(count) > room) broken("GetEvents", "count out of range", count);
    for (LONG i = 0; i < count; ++i) {
        const EyeTracker2GeneralData& event = events[static_cast<std::size_t>(i)];
        if ((event.type != ET2_DT_POSITION && event.type != ET2_DT_PUPIL) || event.eye < 0 || event.eye > 2 ||
            event.subType != 0)
            broken("GetEvents", "not an event of this plug-in", event.type);
    }
}

void sample(FuzzedDataProvider& input) {
    tyapi::TYGazeSample value{};
    const std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(sizeof value);
    if (!bytes.empty()) std::memcpy(&value, bytes.data(), bytes.size());
    fuzz_client::deliverSample(value);
}

void call(Tyvarion& tracker, FuzzedDataProvider& input) {
    unique_bstr message;
    olestring text;
    olestring text2;
    const auto enumValue = [&] { return input.ConsumeIntegral<std::int32_t>(); };
    switch (input.ConsumeIntegralInRange<int>(0, 26)) {
        case 0: {
            LONG caps = 0;
            const bool null = input.ConsumeBool();
            expectResult("GetCaps", tracker.GetCaps(null ? nullptr : &caps), {null ? E_POINTER : S_OK});
            if (!null && caps != 0x43) broken("GetCaps", "mask", caps);
            return;
        }
        case 1: {
            VARIANT_BOOL value = 0;
            const bool null = input.ConsumeBool();
            expectResult("IsMultithreaded", tracker.IsMultithreaded(null ? nullptr : &value), {null ? E_POINTER : S_OK});
            return;
        }
        case 2:
            expectResult("SetDisplayMode", tracker.SetDisplayMode(input.ConsumeIntegral<LONG>(), input.ConsumeIntegral<LONG>()), {S_OK});
            return;
        case 3: expectResult("Execute", tracker.Execute(), {S_OK}); return;
        case 4: {
            ULONGLONG time = 0;
            const bool null = input.ConsumeBool();
            expectResult("GetTime", tracker.GetTime(null ? nullptr : &time), {null ? E_POINTER : S_OK});
            return;
        }
        case 5: {
            LONG status = -1;
            const bool null = input.ConsumeBool();
            expectResult("GetStatus", tracker.GetStatus(null ? nullptr : &status), {null ? E_POINTER : S_OK});
            if (!null && !isStatus(status)) broken("GetStatus", "not a status", status);
            return;
        }
        case 6: {
            BSTR* output = nextOutput(input, message);
            checkMessageOutput("GetLastError", tracker.GetLastError(output), output, message);
            return;
        }
        case 7: case 8: fetch(tracker, input); return;
        case 9: {
            const auto type = static_cast<EyeTracker2DataType>(enumValue());
            const auto eye = static_cast<EyeTracker2EyeType>(enumValue());
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.StartData(type, eye, output);
            expectResult("StartData", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("StartData", result, output, message);
            return;
        }
        case 10: {
            const auto type = static_cast<EyeTracker2DataType>(enumValue());
            const auto eye = static_cast<EyeTracker2EyeType>(enumValue());
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.StopData(type, eye, output);
            expectResult("StopData", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("StopData", result, output, message);
            return;
        }
        case 11: {
            const auto on = input.ConsumeIntegral<VARIANT_BOOL>();
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.SetTracking(on, output);
            expectResult("SetTracking", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("SetTracking", result, output, message);
            return;
        }
        case 12: {
            const auto on = input.ConsumeIntegral<VARIANT_BOOL>();
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.SetRecording(on, output);
            expectResult("SetRecording", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("SetRecording", result, output, message);
            return;
        }
        case 13: {
            const auto type = static_cast<EyeTracker2CalibrationType>(enumValue());
            int display = 0;
            const double p1 = input.ConsumeFloatingPoint<double>();
            const double p2 = input.ConsumeFloatingPoint<double>();
            const double p3 = input.ConsumeFloatingPoint<double>();
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.Calibrate(type, input.ConsumeBool() ? &display : nullptr, p1, p2, p3, output);
            expectResult("Calibrate", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("Calibrate", result, output, message);
            return;
        }
        case 14: {
            LONG points[8] = {};
            const LONG count = input.ConsumeIntegral<LONG>();
            const auto eye = static_cast<EyeTracker2EyeType>(enumValue());
            OLECHAR* parameters = nextString(input, text);
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.StartCalibration(count, input.ConsumeBool() ? points : nullptr, eye, parameters, output);
            expectResult("StartCalibration", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("StartCalibration", result, output, message);
            return;
        }
        case 15: {
            LONG index = 0, x = 0, y = 0;
            const bool nullPoint = input.ConsumeBool();
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.GetCalibrationPoint(nullPoint ? nullptr : &index, nullPoint ? nullptr : &x,
                                                               nullPoint ? nullptr : &y, output);
            expectResult("GetCalibrationPoint", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("GetCalibrationPoint", result, output, message);
            return;
        }
        case 16: {
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.AcceptPoint(output);
            expectResult("AcceptPoint", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("AcceptPoint", result, output, message);
            return;
        }
        case 17: {
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.StopCalibration(output);
            expectResult("StopCalibration", result, {S_OK, S_FALSE, E_POINTER});
            checkMessageOutput("StopCalibration", result, output, message);
            return;
        }
        case 18: expectResult("SendTrigger", tracker.SendTrigger(input.ConsumeIntegral<LONG>()), {S_OK}); return;
        case 19: expectResult("SendString", tracker.SendString(nextString(input, text)), {S_OK}); return;
        case 20: {
            LONG answer = 12345;
            OLECHAR* command = nextString(input, text);
            expectResult("SendCommand", tracker.SendCommand(command, input.ConsumeBool() ? &answer : nullptr), {E_NOTIMPL});
            if (answer != 12345) broken("SendCommand", "wrote its output", answer);
            return;
        }
        case 21: {
            OLECHAR* sent = nextString(input, text);
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.SendMessage(sent, output);
            expectResult("SendMessage", result, {S_OK, E_POINTER});
            checkMessageOutput("SendMessage", result, output, message);
            return;
        }
        case 22: {
            OLECHAR* name = nextString(input, text);
            OLECHAR* value = nextString(input, text2);
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.SetParameter(name, value, output);
            expectResult("SetParameter", result, {S_OK, E_POINTER});
            checkMessageOutput("SetParameter", result, output, message);
            return;
        }
        case 23: {
            OLECHAR* name = nextString(input, text);
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.GetParameter(name, output);
            expectResult("GetParameter", result, {S_OK, E_POINTER});
            checkMessageOutput("GetParameter", result, output, message);
            return;
        }
        case 24: {
            const LONG id = input.ConsumeIntegral<LONG>();
            BSTR* output = nextOutput(input, message);
            const HRESULT result = tracker.SetAOISet(id, output);
            expectResult("SetAOISet", result, {E_NOTIMPL, E_POINTER});
            if (output != nullptr && !message) broken("SetAOISet", "no message written", result);
            return;
        }
        case 25: sample(input); return;
        default: fuzz_client::deliverDeviceEvent(input.ConsumeIntegral<std::int32_t>()); return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path& folder = documents();
    FuzzedDataProvider input(data, size);
    fuzz_client::Script& script = fuzz_client::script();
    script.connectResult = input.ConsumeIntegralInRange<int>(0, 7) == 0 ? tyapi::CONNECT_FAILED : tyapi::CONNECT_SUCCESS;
    script.screenWidth = input.ConsumeBool() ? 1920 : input.ConsumeIntegral<std::int32_t>();
    script.screenHeight = input.ConsumeBool() ? 1080 : input.ConsumeIntegral<std::int32_t>();
    script.startResult = input.ConsumeIntegralInRange<int>(-1, 6);
    script.calibrateResult = input.ConsumeIntegralInRange<int>(-1, 6);
    {
        auto tracker = std::make_unique<Tyvarion>();
        while (input.remaining_bytes() > 0) call(*tracker, input);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder / "Tyvarion", ignored);
    return 0;
}
