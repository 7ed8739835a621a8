// One thread floods gaze samples through the listener, as the client library
// does, while the host's thread polls, changes the data selection and the
// display size, switches recording and sends triggers; device events arrive on
// the library's thread midway. Asserts that no event is lost, duplicated,
// reordered or split from the rest of its sample.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <string>
#include <thread>
#include <vector>

#include "fake_tyapi.h"
#include "pipeline/data_kinds.h"
#include "recording_support.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using testing_support::utf8;
using namespace tyvarion;

namespace {

// Every position at three quarters of the 1920 x 1080 screen: (480, 270)
// unscaled, (200, 150) on an 800 x 600 display.
tyapi::TYGazeSample floodSample(std::int64_t time) {
    tyapi::TYGazeSample sample = fake::validSample(time, static_cast<std::int32_t>(time));
    sample.porX = sample.porLeftX = sample.porRightX = 1440.0;
    sample.porY = sample.porLeftY = sample.porRightY = 810.0;
    return sample;
}

int rowOf(const EyeTracker2GeneralData& event) {
    if (event.type == ET2_DT_POSITION) {
        switch (event.eye) {
            case ET2_ET_DEFAULT: return 0;
            case ET2_ET_LEFT: return 1;
            case ET2_ET_RIGHT: return 2;
        }
    } else if (event.type == ET2_DT_PUPIL) {
        switch (event.eye) {
            case ET2_ET_LEFT: return 3;
            case ET2_ET_RIGHT: return 4;
            case ET2_ET_DEFAULT: return 5;
        }
    }
    return -1;
}

// Follows the stream of fetched events. Every sample makes at least one event
// (the default-eye position stays selected), so the samples' time stamps
// must follow each other without a gap, each sample's rows in row order.
class EventStream {
public:
    void take(const EyeTracker2GeneralData* events, LONG count) {
        for (LONG i = 0; i < count && error_.empty(); ++i) takeOne(events[i]);
    }

    std::uint64_t lastTime() const { return lastTime_; }
    const std::string& error() const { return error_; }
    // The rows each sample made, indexed by time stamp.
    DataKinds rowsOf(std::uint64_t time) const { return rows_[time]; }

private:
    void takeOne(const EyeTracker2GeneralData& event) {
        const int row = rowOf(event);
        const auto fail = [&](const std::string& what) {
            error_ = what + " at time " + std::to_string(event.time) + ", row " +
                     std::to_string(row);
        };
        if (row < 0) return fail("unknown event");
        if (event.time == lastTime_ + 1) {
            rows_.push_back(0);
            lastTime_ = event.time;
            lastRow_ = -1;
        } else if (event.time != lastTime_) {
            return fail("gap, duplicate or reordering after time " + std::to_string(lastTime_));
        }
        if (row <= lastRow_) return fail("row out of order or repeated");
        lastRow_ = row;
        rows_.back() |= DataKinds{1} << row;
        if (event.subType != 0 || event.data2 != 0.0 || event.data3 != 0.0)
            return fail("stray field");
        if (row < 3) {
            // A new display width may meet the old height within one sample.
            const bool unscaled = event.xData == 480.0 && event.yData == 270.0;
            const bool scaled = event.xData == 200.0 && (event.yData == 150.0 || event.yData == 0.0);
            if (!(unscaled || scaled) || event.data1 != 0.0) return fail("wrong position");
        } else {
            const double diameter[] = {4.0, 6.0, 5.0};
            if (event.xData != diameter[row - 3] || event.yData != event.xData ||
                event.data1 != 113.1)
                return fail("wrong pupil");
        }
    }

    std::vector<DataKinds> rows_{0};  // time stamps start at 1
    std::uint64_t lastTime_ = 0;
    int lastRow_ = -1;
    std::string error_;
};

// The kinds each phase selects; the default-eye position is always among them.
const DataKinds kPhaseKinds[] = {
    kPositionDefault,
    kAllDataKinds,
    kPositionDefault | kPupilLeft | kPositionRight,
    kPositionDefault | kPupilDefault,
    kPositionDefault | kPositionLeft | kPupilRight | kPupilDefault,
};

struct Phase {
    std::uint64_t first;  // first and last sample made wholly under `kinds`
    std::uint64_t last;
    DataKinds kinds;
};

class Host {
public:
    explicit Host(Tyvarion& tracker) : tracker_(tracker) {}

    // Fetches everything queued, in one call.
    void drain() {
        LONG count = 0;
        ASSERT_HR(S_OK, tracker_.GetEventCount(&count));
        buffer_.resize(static_cast<std::size_t>(count) + 64);
        LONG fetched = static_cast<LONG>(buffer_.size());
        ASSERT_HR(S_OK, tracker_.GetEvents(&fetched, buffer_.data()));
        ASSERT_GE(fetched, count);  // intake may have added whole samples since
        stream.take(buffer_.data(), fetched);
        if (fetched == static_cast<LONG>(buffer_.size())) drain();
    }

    // Fetches at most `wanted` events; returns how many came.
    LONG fetch(LONG wanted) {
        buffer_.resize(static_cast<std::size_t>(wanted));
        LONG fetched = wanted;
        EXPECT_HR(S_OK, tracker_.GetEvents(&fetched, buffer_.data()));
        EXPECT_LE(fetched, wanted);
        stream.take(buffer_.data(), fetched);
        return fetched;
    }

    // Starts and stops kinds one call at a time until `kinds` is selected, or
    // for as long as the connection lasts.
    void select(DataKinds kinds) {
        const std::pair<EyeTracker2DataType, EyeTracker2EyeType> calls[] = {
            {ET2_DT_POSITION, ET2_ET_DEFAULT}, {ET2_DT_POSITION, ET2_ET_LEFT},
            {ET2_DT_POSITION, ET2_ET_RIGHT},   {ET2_DT_PUPIL, ET2_ET_LEFT},
            {ET2_DT_PUPIL, ET2_ET_RIGHT},      {ET2_DT_PUPIL, ET2_ET_DEFAULT},
        };
        for (int row = 0; row < 6; ++row) {
            const DataKinds kind = DataKinds{1} << row;
            if ((kinds & kind) == (selected & kind)) continue;
            const auto [type, eye] = calls[row];
            tyvarion::unique_bstr message;
            const HRESULT hr = (kinds & kind) ? tracker_.StartData(type, eye, message.put())
                                              : tracker_.StopData(type, eye, message.put());
            if (expectConnectedResult(hr, message)) selected ^= kind;
        }
    }

    void switchRecording(bool on) {
        tyvarion::unique_bstr message;
        expectConnectedResult(tracker_.SetRecording(on ? VARIANT_TRUE : VARIANT_FALSE,
                                                    message.put()),
                              message);
    }

    // S_OK and no message while connected; once refused, refused for good.
    bool expectConnectedResult(HRESULT hr, const tyvarion::unique_bstr& message) {
        if (hr == S_FALSE) {
            EXPECT_EQ("not connected to Tyvarion server", utf8(message));
            disconnected = true;
            return false;
        }
        EXPECT_FALSE(disconnected) << "accepted after a refusal: " << testing_support::hex(hr);
        EXPECT_HR(S_OK, hr);
        EXPECT_EQ("", utf8(message));
        return hr == S_OK;
    }

    EventStream stream;
    DataKinds selected = 0;
    bool disconnected = false;

private:
    Tyvarion& tracker_;
    std::vector<EyeTracker2GeneralData> buffer_;
};

}  // namespace

TEST(PipelineFlood, HostPollsAndSwitchesWhileSamplesFlood) {
    // The recording files go to a folder of the test's own.
    recording_support::ScratchFolder documents;
    recording_support::ScopedDocumentsFolder documentsSetting(documents.path());
    FakeClient::reset();
    Tyvarion tracker;
    Host host(tracker);
    {
        tyvarion::unique_bstr message;
        ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    }
    host.select(kPositionDefault);  // before the first sample: every sample makes an event

    constexpr int kPhases = 40;
    std::atomic<int> phasesDone{0};
    std::atomic<int> deviceEventsDelivered{0};
    std::atomic<std::int64_t> samplesMade{0};
    // The last sample the host has fetched. The flood keeps at most
    // kMostAhead samples ahead of it: far more than any tracker makes while a
    // host looks away, yet a bound, so that a host thread the scheduler holds
    // back (a loaded machine, a 32-bit Wine) never lets the queue outgrow the
    // address space, where intake drops a sample whose events find no room.
    constexpr std::int64_t kMostAhead = 100000;
    std::atomic<std::int64_t> hostReached{0};
    const auto noteHostProgress = [&] { hostReached = static_cast<std::int64_t>(host.stream.lastTime()); };
    // Joined on every way out of the test, a failed assertion included.
    std::jthread library([&](std::stop_token stop) {
        for (std::int64_t time = 1; !stop.stop_requested(); ++time) {
            while (time - hostReached > kMostAhead && !stop.stop_requested()) std::this_thread::yield();
            FakeClient::deliverSample(floodSample(time));
            samplesMade = time;
            // Between two samples, once the host has come a quarter of the way,
            // and again at three quarters.
            const int delivered = deviceEventsDelivered;
            if (delivered == 0 && phasesDone >= kPhases / 4) {
                FakeClient::deliverDeviceEvent(tyapi::DEVICE_EVENT_TRACKING_STOPPED);
                deviceEventsDelivered = 1;
            } else if (delivered == 1 && phasesDone >= kPhases * 3 / 4) {
                FakeClient::deliverDeviceEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST);
                deviceEventsDelivered = 2;
            }
        }
    });
    // The host goes on once the device event of its stage has arrived, so that
    // both arrive while it works.
    const auto awaitDeviceEvents = [&](int count) {
        while (deviceEventsDelivered < count) std::this_thread::yield();
    };

    std::vector<Phase> phases;
    const LONG batches[] = {1, 7, 64, 5, 100, 3};
    LONG lastStatus = 0x07;
    for (int p = 0; p < kPhases && !testing::Test::HasFatalFailure(); ++p) {
        // Everything queued so far was made before the selection changes.
        host.drain();
        host.select(kPhaseKinds[p % std::size(kPhaseKinds)]);
        host.drain();
        noteHostProgress();
        // From here until the next change every sample makes exactly these kinds.
        const DataKinds kinds = host.selected;
        const int perSample = std::popcount(kinds);
        Phase phase{host.stream.lastTime() + 1, 0, kinds};
        long fetchedInPhase = 0;
        host.switchRecording(p % 2 == 0);

        for (int i = 0; i < 60; ++i) {
            LONG count = -1;
            ASSERT_HR(S_OK, tracker.GetEventCount(&count));
            // Whole samples only: what was fetched plus what waits.
            ASSERT_EQ(0, (fetchedInPhase + count) % perSample)
                << "phase " << p << ", " << fetchedInPhase << " fetched, " << count
                << " queued, " << perSample << " per sample";
            fetchedInPhase += host.fetch(batches[i % std::size(batches)]);
            noteHostProgress();
            ASSERT_EQ("", host.stream.error());
            if (i % 10 == 0) {
                ASSERT_HR(S_OK, i % 20 == 0 ? tracker.SetDisplayMode(800, 600)
                                            : tracker.SetDisplayMode(0, 0));
            }
            ASSERT_HR(S_OK, tracker.SendTrigger(p * 100 + i));
            LONG status = -1;
            ASSERT_HR(S_OK, tracker.GetStatus(&status));
            // Tracking stops and the connection goes, never the other way.
            const bool wasTracking = (lastStatus & 0x07) == 0x07;
            ASSERT_TRUE(lastStatus != 0x40 || status == 0x40) << status;
            ASSERT_TRUE(wasTracking || (status & 0x07) != 0x07) << status;
            lastStatus = status;
        }
        host.drain();
        noteHostProgress();
        phase.last = host.stream.lastTime();
        phases.push_back(phase);
        phasesDone = p + 1;
        if (p + 1 == kPhases / 4) awaitDeviceEvents(1);
        if (p + 1 == kPhases * 3 / 4) awaitDeviceEvents(2);
    }
    library.request_stop();
    library.join();
    host.drain();
    ASSERT_EQ("", host.stream.error());

    // Every sample made arrived, and each phase's samples carry its kinds.
    EXPECT_EQ(static_cast<std::uint64_t>(samplesMade.load()), host.stream.lastTime());
    EXPECT_TRUE(host.disconnected);
    EXPECT_EQ(0x40, lastStatus);
    std::uint64_t checked = 0;
    DataKinds before = kPositionDefault;
    std::uint64_t previousLast = 0;
    for (const Phase& phase : phases) {
        // While the selection changes, a sample makes what stays selected and
        // perhaps some of what comes and goes.
        for (std::uint64_t time = previousLast + 1; time < phase.first; ++time) {
            const DataKinds rows = host.stream.rowsOf(time);
            ASSERT_EQ(before & phase.kinds, rows & before & phase.kinds) << "sample " << time;
            ASSERT_EQ(0u, rows & ~(before | phase.kinds)) << "sample " << time;
        }
        for (std::uint64_t time = phase.first; time <= phase.last; ++time) {
            ASSERT_EQ(phase.kinds, host.stream.rowsOf(time)) << "sample " << time;
            ++checked;
        }
        before = phase.kinds;
        previousLast = phase.last;
    }
    for (std::uint64_t time = previousLast + 1; time <= host.stream.lastTime(); ++time)
        ASSERT_EQ(before, host.stream.rowsOf(time)) << "sample " << time;
    for (std::uint64_t time = 1; time <= host.stream.lastTime(); ++time)
        ASSERT_NE(0u, host.stream.rowsOf(time) & kPositionDefault) << "sample " << time;
    RecordProperty("samples", static_cast<int>(host.stream.lastTime()));
    RecordProperty("checkedWithinPhases", static_cast<int>(checked));
    EXPECT_GT(checked, 0u);
}
