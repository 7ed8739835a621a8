#pragma once
// What the session needs of a tracker object, the way the experiment host
// reaches it: through COM on Windows (com_tracker_win32.cpp), by constructing
// the portable object elsewhere (native_tracker.cpp). Messages come back as
// UTF-8, exactly as the plug-in wrote them.
//
// One thread (the session's) makes every call, as the host does.

#include <memory>
#include <string>

#include "host-session/client_library_in_use.h"
#include "platform/com_types.h"
#include "platform/text.h"
#include "tracker/eye_tracker2.h"

namespace tyvarion::host {

// A method's result code and the message it returned.
struct Reply {
    HRESULT result = S_OK;
    std::string message;
};

class HostTracker {
public:
    virtual ~HostTracker() = default;

    // How the object was reached, for the session's first line.
    virtual std::string description() const = 0;

    virtual HRESULT setDisplayMode(LONG width, LONG height) = 0;
    virtual Reply startData(EyeTracker2DataType type, EyeTracker2EyeType eye) = 0;
    virtual Reply setTracking(bool on) = 0;
    virtual Reply calibrate(EyeTracker2CalibrationType type) = 0;
    virtual Reply setRecording(bool on) = 0;
    virtual HRESULT sendTrigger(LONG code) = 0;
    virtual HRESULT sendString(const olestring& message) = 0;
    virtual HRESULT getEventCount(LONG& count) = 0;
    // `count` in: room in `events`; out: records written.
    virtual HRESULT getEvents(LONG& count, EyeTracker2GeneralData* events) = 0;
    virtual HRESULT getTime(ULONGLONG& time) = 0;
    virtual HRESULT getStatus(LONG& status) = 0;
    virtual Reply getLastError() = 0;

    // The client library the object uses, for the hint when it is not
    // connected: the simulated tracker's unless the plug-in runs in this
    // process through COM.
    virtual ClientLibraryInUse clientLibrary() const { return {}; }
};

// How the driver reaches the plug-in: through the vtable, or late-bound
// through IDispatch (the COM build only).
enum class Binding { early, late };

struct CreateResult {
    std::unique_ptr<HostTracker> tracker;  // null on failure
    std::string error;                     // what went wrong, for the user
};

// Creates the tracker object: by ProgID through CoCreateInstance on Windows,
// by constructing the portable object elsewhere.
CreateResult createHostTracker(Binding binding);

}  // namespace tyvarion::host
