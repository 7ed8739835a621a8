// The plug-in as the experiment host reaches it: the class registered under
// the ProgID, created in process through CoCreateInstance, and called through
// its IEyeTracker2 vtable.
#include "host-session/eye_tracker2_com.h"  // first: windows.h without the SendMessage macro

#include <cstdio>
#include <string>

#include "host-session/host_tracker.h"
#include "host-session/late_bound_tracker.h"
#include "platform/unique_handle.h"

namespace tyvarion::host {
namespace {

void releaseInterface(IUnknown* object) { object->Release(); }
using unique_unknown = unique_handle<IUnknown*, &releaseInterface>;

std::string hex(HRESULT result) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<ULONG>(result)));
    return text;
}

// The system's own text for a result code, on one line; empty if it has none.
std::string systemText(HRESULT result) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) text = utf16ToUtf8(buffer, length);
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.'))
        text.pop_back();
    return text;
}

std::string describe(const char* call, HRESULT result) {
    std::string text = std::string(call) + " returned " + hex(result);
    const std::string system = systemText(result);
    if (!system.empty()) text += " (" + system + ")";
    return text;
}

std::string text(const unique_bstr& message) {
    return message ? utf16ToUtf8(message.get(), SysStringLen(message.get())) : std::string();
}

// CoInitializeEx for the calling thread, undone at the end of its life.
class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

class ComTracker final : public HostTracker {
public:
    // Fills `error` and leaves the object unusable when any step fails.
    explicit ComTracker(std::string& error) {
        if (FAILED(apartment_.result())) {
            error = "COM could not be initialised: " + describe("CoInitializeEx", apartment_.result());
            return;
        }
        CLSID classId{};
        HRESULT result = ::CLSIDFromProgID(kTrackerProgId, &classId);
        if (FAILED(result)) {
            error = "the plug-in is not registered: no class has the ProgID \"eyetracker2.Tyvarion\" (" +
                    describe("CLSIDFromProgID", result) +
                    "). Register it with: regsvr32 TyvarionNBS.dll";
            return;
        }
        unique_unknown object;
        result = ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                    reinterpret_cast<void**>(object.put()));
        if (FAILED(result)) {
            error = "eyetracker2.Tyvarion could not be created: " + describe("CoCreateInstance", result);
            return;
        }
        IUnknown* tracker = nullptr;
        result = object.get()->QueryInterface(kIID_IEyeTracker2, reinterpret_cast<void**>(&tracker));
        if (FAILED(result) || tracker == nullptr) {
            error = "eyetracker2.Tyvarion does not offer IEyeTracker2: " +
                    describe("QueryInterface", result);
            return;
        }
        tracker_.reset(tracker);
    }

    bool usable() const { return static_cast<bool>(tracker_); }
    IEyeTracker2* eyeTracker2() const { return object(); }

    std::string description() const override {
        return "eyetracker2.Tyvarion through CoCreateInstance, IEyeTracker2 (early bound)";
    }

    ClientLibraryInUse clientLibrary() const override { return clientLibraryInUse(); }

    HRESULT setDisplayMode(LONG width, LONG height) override {
        return object()->SetDisplayMode(width, height);
    }
    Reply startData(EyeTracker2DataType type, EyeTracker2EyeType eye) override {
        unique_bstr message;
        const HRESULT result = object()->StartData(type, eye, message.put());
        return {result, text(message)};
    }
    Reply setTracking(bool on) override {
        unique_bstr message;
        const HRESULT result = object()->SetTracking(on ? VARIANT_TRUE : VARIANT_FALSE, message.put());
        return {result, text(message)};
    }
    Reply calibrate(EyeTracker2CalibrationType type) override {
        unique_bstr message;
        const HRESULT result = object()->Calibrate(type, nullptr, 0, 0, 0, message.put());
        return {result, text(message)};
    }
    Reply setRecording(bool on) override {
        unique_bstr message;
        const HRESULT result =
            object()->SetRecording(on ? VARIANT_TRUE : VARIANT_FALSE, message.put());
        return {result, text(message)};
    }
    HRESULT sendTrigger(LONG code) override { return object()->SendTrigger(code); }
    HRESULT sendString(const olestring& message) override {
        olestring copy = message;  // the method takes a non-const pointer
        return object()->SendString(copy.data());
    }
    HRESULT getEventCount(LONG& count) override { return object()->GetEventCount(&count); }
    HRESULT getEvents(LONG& count, EyeTracker2GeneralData* events) override {
        return object()->GetEvents(&count, events);
    }
    HRESULT getTime(ULONGLONG& time) override { return object()->GetTime(&time); }
    HRESULT getStatus(LONG& status) override { return object()->GetStatus(&status); }
    Reply getLastError() override {
        unique_bstr message;
        const HRESULT result = object()->GetLastError(message.put());
        return {result, text(message)};
    }

private:
    IEyeTracker2* object() const { return static_cast<IEyeTracker2*>(tracker_.get()); }

    // Declared first: the apartment outlives the interface pointer.
    ComApartment apartment_;
    unique_unknown tracker_;
};

}  // namespace

CreateResult createHostTracker(Binding binding) {
    CreateResult created;
    auto tracker = std::make_unique<ComTracker>(created.error);
    if (tracker->usable() && binding == Binding::late) {
        IEyeTracker2* object = tracker->eyeTracker2();
        return createLateBoundTracker(std::move(tracker), object);
    }
    if (tracker->usable()) created.tracker = std::move(tracker);
    return created;
}

}  // namespace tyvarion::host
