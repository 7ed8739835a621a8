// The portable tracker object, constructed directly, behind HostTracker.
#include "host-session/host_tracker.h"

#include <new>

#include "platform/unique_handle.h"
#include "tracker/tyvarion.h"

namespace tyvarion::host {
namespace {

std::string text(const unique_bstr& message) {
    return message ? utf16ToUtf8(message.get()) : std::string();
}

class NativeTracker final : public HostTracker {
public:
    std::string description() const override {
        return "the portable tracker object, constructed in this process";
    }

    HRESULT setDisplayMode(LONG width, LONG height) override {
        return tracker_.SetDisplayMode(width, height);
    }
    Reply startData(EyeTracker2DataType type, EyeTracker2EyeType eye) override {
        unique_bstr message;
        const HRESULT result = tracker_.StartData(type, eye, message.put());
        return {result, text(message)};
    }
    Reply setTracking(bool on) override {
        unique_bstr message;
        const HRESULT result = tracker_.SetTracking(on ? VARIANT_TRUE : VARIANT_FALSE, message.put());
        return {result, text(message)};
    }
    Reply calibrate(EyeTracker2CalibrationType type) override {
        unique_bstr message;
        const HRESULT result = tracker_.Calibrate(type, nullptr, 0, 0, 0, message.put());
        return {result, text(message)};
    }
    Reply setRecording(bool on) override {
        unique_bstr message;
        const HRESULT result = tracker_.SetRecording(on ? VARIANT_TRUE : VARIANT_FALSE, message.put());
        return {result, text(message)};
    }
    HRESULT sendTrigger(LONG code) override { return tracker_.SendTrigger(code); }
    HRESULT sendString(const olestring& message) override {
        olestring copy = message;  // the method takes a non-const pointer
        return tracker_.SendString(copy.data());
    }
    HRESULT getEventCount(LONG& count) override { return tracker_.GetEventCount(&count); }
    HRESULT getEvents(LONG& count, EyeTracker2GeneralData* events) override {
        return tracker_.GetEvents(&count, events);
    }
    HRESULT getTime(ULONGLONG& time) override { return tracker_.GetTime(&time); }
    HRESULT getStatus(LONG& status) override { return tracker_.GetStatus(&status); }
    Reply getLastError() override {
        unique_bstr message;
        const HRESULT result = tracker_.GetLastError(message.put());
        return {result, text(message)};
    }

private:
    Tyvarion tracker_;
};

}  // namespace

CreateResult createHostTracker(Binding binding) {
    CreateResult created;
    if (binding == Binding::late) {
        created.error = "--late-bound needs COM: late binding is offered by the Windows build only";
        return created;
    }
    try {
        created.tracker = std::make_unique<NativeTracker>();
    } catch (const std::bad_alloc&) {
        created.error = "the tracker object could not be created: out of memory";
    } catch (const std::exception& error) {
        created.error = std::string("the tracker object could not be created: ") + error.what();
    }
    return created;
}

}  // namespace tyvarion::host
