#pragma once
// A scripted HostTracker: answers each method as the test sets it, records
// every call in order, and serves events from a script of batches.

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "host-session/host_tracker.h"

namespace tyvarion::host::testing {

class FakeHostTracker final : public HostTracker {
public:
    // Answers; by default those of a tracker that is connected and tracking.
    Reply startDataReply{S_OK, {}};
    Reply setTrackingReply{S_OK, {}};
    Reply calibrateReply{S_OK, {}};
    Reply setRecordingReply{S_OK, {}};
    Reply stopRecordingReply{S_OK, {}};
    Reply lastErrorReply{S_OK, {}};
    LONG status = 0x0F;
    ULONGLONG time = 1'000'000;
    // Each GetEventCount/GetEvents pair takes the next batch; none left: no events.
    std::deque<std::vector<EyeTracker2GeneralData>> batches;

    std::vector<std::string> calls;

    std::string description() const override { return "fake"; }
    HRESULT setDisplayMode(LONG width, LONG height) override {
        calls.push_back("SetDisplayMode " + std::to_string(width) + "x" + std::to_string(height));
        return S_OK;
    }
    Reply startData(EyeTracker2DataType type, EyeTracker2EyeType eye) override {
        calls.push_back("StartData " + std::to_string(type) + " " + std::to_string(eye));
        return startDataReply;
    }
    Reply setTracking(bool on) override {
        calls.push_back(std::string("SetTracking ") + (on ? "on" : "off"));
        return on ? setTrackingReply : Reply{};
    }
    Reply calibrate(EyeTracker2CalibrationType type) override {
        calls.push_back("Calibrate " + std::to_string(type));
        return calibrateReply;
    }
    Reply setRecording(bool on) override {
        calls.push_back(std::string("SetRecording ") + (on ? "on" : "off"));
        return on ? setRecordingReply : stopRecordingReply;
    }
    HRESULT sendTrigger(LONG code) override {
        calls.push_back("SendTrigger " + std::to_string(code));
        return S_OK;
    }
    HRESULT sendString(const olestring& message) override {
        calls.push_back("SendString " + utf16ToUtf8(message.c_str()));
        return S_OK;
    }
    HRESULT getEventCount(LONG& count) override {
        while (!batches.empty() && batches.front().empty()) batches.pop_front();
        count = batches.empty() ? 0 : static_cast<LONG>(batches.front().size());
        return S_OK;
    }
    HRESULT getEvents(LONG& count, EyeTracker2GeneralData* events) override {
        std::vector<EyeTracker2GeneralData> batch = std::move(batches.front());
        batches.pop_front();
        count = std::min<LONG>(count, static_cast<LONG>(batch.size()));
        std::copy(batch.begin(), batch.begin() + count, events);
        return S_OK;
    }
    HRESULT getTime(ULONGLONG& now) override {
        now = time;
        return S_OK;
    }
    HRESULT getStatus(LONG& value) override {
        value = status;
        return S_OK;
    }
    Reply getLastError() override {
        calls.push_back("GetLastError");
        return lastErrorReply;
    }
};

inline EyeTracker2GeneralData event(EyeTracker2DataType type, EyeTracker2EyeType eye, ULONGLONG time,
                                    double x = 0, double y = 0) {
    EyeTracker2GeneralData data{};
    data.type = type;
    data.eye = eye;
    data.time = time;
    data.xData = x;
    data.yData = y;
    return data;
}

}  // namespace tyvarion::host::testing
