#pragma once
// The tracker object behind IEyeTracker2. It owns the client of the
// eye-tracking server, the two listeners, the event queue for the host, the
// recording queue, file and writer thread.
//
// Threads:
// - the host's thread: construction, finalRelease, destruction and every
//   IEyeTracker2 method;
// - the client library's thread: handleGazeSample and onDeviceEvent, through
//   the listeners;
// - writerThread: writerLoop.
//
// Locks: eventMutex guards eventQueue and the device events' changes of
// connected, tracking and recording; recordMutex guards recordQueue and
// recordFile, whose stream the writer alone uses, without the lock, while it
// holds entries taken from the queue. No code path holds both. Flags and sizes that the host writes and
// the library's thread reads without a common lock are atomic.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "client/tyapi.h"
#include "platform/com_types.h"
#include "pipeline/event_queue.h"
#include "platform/text.h"
#include "recording/record_queue.h"
#include "recording/writer_pacing.h"
#include "tracker/eye_tracker2.h"
#include "tracker/last_error.h"

namespace tyapi {
class GazeListener;
class DeviceEventListener;
}  // namespace tyapi

namespace tyvarion {

class RecordingStream;

// A recording file closed after a failed write: what its stop reports.
struct IncompleteFile {
    std::uint64_t linesLost = 0;
    std::uint32_t failure = 0;  // the system's error code
    bool endsWithWholeLine = true;
    // "the recording file is incomplete: ..."; throws only std::bad_alloc.
    olestring message() const;
};

class Tyvarion {
public:
    // Connects once; a failed connection leaves the object not connected.
    // Throws only when a resource cannot be created.
    Tyvarion();
    // Runs finalRelease if it has not run, then stops the writer and closes the
    // recording file.
    ~Tyvarion();

    Tyvarion(const Tyvarion&) = delete;
    Tyvarion& operator=(const Tyvarion&) = delete;
    Tyvarion(Tyvarion&&) = delete;
    Tyvarion& operator=(Tyvarion&&) = delete;

    // The first step of teardown: drops the connection and destroys the client,
    // after which no callback arrives.
    void finalRelease() noexcept;

    // IEyeTracker2, in vtable order. No method throws.
    HRESULT GetCaps(LONG* caps) noexcept;
    HRESULT IsMultithreaded(VARIANT_BOOL* multiThreaded) noexcept;
    HRESULT SetDisplayMode(LONG width, LONG height) noexcept;
    HRESULT Execute() noexcept;
    HRESULT GetTime(ULONGLONG* time) noexcept;
    HRESULT GetStatus(LONG* status) noexcept;
    HRESULT GetLastError(BSTR* message) noexcept;
    HRESULT GetEventCount(LONG* count) noexcept;
    HRESULT GetEvents(LONG* count, EyeTracker2GeneralData* events) noexcept;
    HRESULT StartData(EyeTracker2DataType type, EyeTracker2EyeType eye,
                      BSTR* returnValue) noexcept;
    HRESULT StopData(EyeTracker2DataType type, EyeTracker2EyeType eye, BSTR* returnValue) noexcept;
    HRESULT SetTracking(VARIANT_BOOL trackingOn, BSTR* returnValue) noexcept;
    HRESULT SetRecording(VARIANT_BOOL recordingOn, BSTR* returnValue) noexcept;
    // The host's calibration display is neither used nor released.
    HRESULT Calibrate(EyeTracker2CalibrationType calibrationType, const void* calibrationDisplay,
                      double parameter1, double parameter2, double parameter3,
                      BSTR* returnValue) noexcept;
    HRESULT StartCalibration(LONG pointCount, LONG* points, EyeTracker2EyeType eye,
                             LPWSTR parameters, BSTR* returnValue) noexcept;
    HRESULT GetCalibrationPoint(LONG* pointIndex, LONG* x, LONG* y, BSTR* returnValue) noexcept;
    HRESULT AcceptPoint(BSTR* returnValue) noexcept;
    HRESULT StopCalibration(BSTR* returnValue) noexcept;
    HRESULT SendTrigger(LONG code) noexcept;
    HRESULT SendString(LPWSTR message) noexcept;
    HRESULT SendCommand(LPWSTR message, LONG* returnValue) noexcept;
    HRESULT SendMessage(LPWSTR message, BSTR* response) noexcept;
    HRESULT SetParameter(LPWSTR name, LPWSTR value, BSTR* returnValue) noexcept;
    HRESULT GetParameter(LPWSTR name, BSTR* value) noexcept;
    HRESULT SetAOISet(LONG id, BSTR* returnValue) noexcept;

    // Called on the client library's thread, through the listeners.
    void handleGazeSample(const tyapi::TYGazeSample& sample);
    void onDeviceEvent(std::int32_t code);

private:
    // Private helpers of the recording subsystem (src/recording/) go here.
    // Host thread: queues a text line while recording and wakes the writer.
    void queueTextLine(std::string text);
    // Host thread: closes the open file and opens a new one; the message for
    // the host, empty on success.
    olestring startRecording();
    // Host thread: closes the open file and lowers `recording`; the message
    // for the host, empty unless the file is incomplete.
    olestring stopRecording();
    // Host thread, under eventMutex.
    void setRecordingFlag(bool on);
    // What the writer remembers between its waits.
    struct WriterWait {
        // The end of its linger after the last batch, while it lingers.
        std::optional<std::chrono::steady_clock::time_point> lingerUntil;
        // The earlier policy: the last wake-up came soon after the writer slept.
        bool streaming = false;
    };
    // Writer thread, recordMutex held: returns when queued entries are due or
    // a stop was asked (writer_pacing.h says when they are due).
    void waitForEntries(std::unique_lock<std::mutex>& lock, WriterWait& wait);
    // The earlier policy: returns as soon as an entry is queued.
    void waitForEachEntry(std::unique_lock<std::mutex>& lock, bool& streaming);
    // Writer thread, recordMutex held: waits a moment for an entry without
    // sleeping; true when one came or a stop was asked.
    bool pollRecordQueue(std::unique_lock<std::mutex>& lock);
    // The writer's clock for its deadline: the steady clock, moved on by tests.
    std::chrono::steady_clock::time_point writerNow() const noexcept;
    // recordMutex held through `lock`: writes the entries the writer has taken
    // for the open file and those still queued into it, in order, then closes
    // it. With no file open the queued entries are discarded. Returns the
    // account of a file that is incomplete.
    std::optional<IncompleteFile> closeRecordFile(std::unique_lock<std::mutex>& lock) noexcept;
    // recordMutex held: tells GetLastError and the debugger of the file's
    // first failed write, once.
    void tellWriteFailure(RecordingStream& file) noexcept;
    // Unit tests stall and resume the writer and look into the queue.
    friend struct RecordingProbe;

    // Private helpers of the gaze data pipeline (src/pipeline/) go here.
    // The six data flags as DataKind bits (pipeline/data_kinds.h).
    std::uint32_t selectedDataKinds() const noexcept;
    void setDataKinds(std::uint32_t kinds, bool on) noexcept;
    // StartData and StopData: refused while not connected, otherwise the
    // kinds switched and `answerText` returned.
    HRESULT switchDataKinds(std::uint32_t kinds, bool on, const OLECHAR* answerText,
                            BSTR* returnValue) noexcept;
    // Caller holds eventMutex: appends the sample's events, all of them or,
    // when the queue cannot grow, none.
    void queueGazeEvents(const tyapi::TYGazeSample& sample) noexcept;
    // Caller holds neither mutex: queues the copy for the writer and wakes it.
    void queueRecordedSample(const tyapi::TYGazeSample& copy);

    // Host thread, after a successful connect: raises `connected` unless a
    // device event lost the connection meanwhile; returns whether it did.
    bool markConnected();
    // Host thread: the count of tracking endings before requestTracking, and
    // after its success raising `tracking` unless one came meanwhile.
    std::uint64_t trackingEndingsSoFar();
    void markTracking(std::uint64_t endingsBefore);

    // Host thread: stores a refusal for GetLastError and returns it as well.
    HRESULT refuse(const OLECHAR* message, BSTR* returnValue);

    // Writer thread body; returns once stopWriter is set. `spare` is the empty
    // ring it exchanges with the queue's.
    void writerLoop(RecordQueue spare);
    // Teardown after finalRelease: stops and joins the writer, closes the file.
    void shutDownRecording() noexcept;

    std::atomic<bool> connected{false};
    std::atomic<bool> stopWriter{false};
    std::unique_ptr<tyapi::TYApi> api;
    std::unique_ptr<tyapi::GazeListener> gazeListener;
    std::unique_ptr<tyapi::DeviceEventListener> deviceEventListener;
    LastError lastError;
    EventQueue eventQueue;
    std::thread writerThread;
    std::condition_variable recordCondition;
    std::mutex recordMutex;
    RecordQueue recordQueue;
    std::unique_ptr<RecordingStream> recordFile;
    // How long the writer lingers after a batch, and how far tests have moved
    // its clock on; both guarded by recordMutex.
    std::chrono::steady_clock::duration writerDeadline{kWriterDeadline};
    std::chrono::steady_clock::duration writerClockShift{};
    std::mutex eventMutex;
    std::atomic<std::int32_t> displayWidth{0};
    std::atomic<std::int32_t> displayHeight{0};
    std::atomic<std::int32_t> screenWidth{0};
    std::atomic<std::int32_t> screenHeight{0};
    std::atomic<bool> positionDefaultOn{false};
    std::atomic<bool> positionLeftOn{false};
    std::atomic<bool> positionRightOn{false};
    std::atomic<bool> pupilDefaultOn{false};
    std::atomic<bool> pupilLeftOn{false};
    std::atomic<bool> pupilRightOn{false};
    std::atomic<bool> tracking{false};
    std::atomic<bool> recording{false};
    // What device events did while a call into the client ran, so that its
    // return cannot undo them; both guarded by eventMutex. The library may
    // deliver an event from inside connect, getActiveScreen or requestTracking.
    bool connectionLost = false;
    std::uint64_t trackingEndings = 0;  // events that ended tracking (1, 3, 4)
};

}  // namespace tyvarion
