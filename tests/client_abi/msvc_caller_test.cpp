// The plug-in's listeners called by code that clang compiled for the Microsoft
// target (msvc_listener_calls.cpp), the way the maker's library calls them.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>

#include "client/callback_slots.h"
#include "fake_tyapi.h"
#include "pipeline/listeners.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

using tyapi::TYApi;

extern "C" {
void msvcOnGazeSample(TYApi::TYGazeSampleCallback* listener, const tyapi::TYGazeSample* sample);
void msvcOnDeviceEvent(TYApi::TYDeviceEventCallback* listener, int code);
void msvcDestroyGazeListener(TYApi::TYGazeSampleCallback* listener);
void msvcDeleteGazeListener(TYApi::TYGazeSampleCallback* listener);
void msvcDestroyDeviceListener(TYApi::TYDeviceEventCallback* listener);
void msvcDeleteDeviceListener(TYApi::TYDeviceEventCallback* listener);
}

namespace {

struct Counts {
    int destroyed = 0;
    int freed = 0;
};
Counts counts;

class CountingListener final : public TYApi::TYGazeSampleCallback, public TYApi::TYDeviceEventCallback {
public:
    CountingListener()
        : TYGazeSampleCallback(tyapi::GazeSampleSlots<CountingListener>::table.slots),
          TYDeviceEventCallback(tyapi::DeviceEventSlots<CountingListener>::table.slots) {}
    ~CountingListener() { ++counts.destroyed; }
    static void operator delete(void* memory) {
        ++counts.freed;
        ::operator delete(memory);
    }
    void onGazeSample(const tyapi::TYGazeSample&) noexcept {}
    void onDeviceEvent(std::int32_t) noexcept {}
};

TEST(MsvcCaller, SampleThroughSlotOneBecomesEventsAndDeviceEventsAct) {
    fake::FakeClient::reset();
    tyvarion::Tyvarion tracker;
    tyvarion::unique_bstr answer;
    ASSERT_HR(S_OK, tracker.StartData(tyvarion::ET2_DT_POSITION, tyvarion::ET2_ET_DEFAULT, answer.put()));
    ASSERT_HR(S_OK, tracker.StartData(tyvarion::ET2_DT_PUPIL, tyvarion::ET2_ET_LEFT, answer.put()));

    const tyapi::TYGazeSample sample = fake::validSample(123456789, 7);
    msvcOnGazeSample(fake::FakeClient::gazeListener(), &sample);
    LONG count = 8;
    tyvarion::EyeTracker2GeneralData events[8]{};
    ASSERT_HR(S_OK, tracker.GetEvents(&count, events));
    ASSERT_EQ(2, count);
    EXPECT_EQ(tyvarion::ET2_DT_POSITION, events[0].type);
    EXPECT_EQ(123456789u, events[0].time);
    EXPECT_EQ(0.0, events[0].xData);  // the screen's centre
    EXPECT_EQ(0.0, events[0].yData);
    EXPECT_EQ(tyvarion::ET2_DT_PUPIL, events[1].type);
    EXPECT_EQ(4.0, events[1].xData);  // twice the radius of 2 mm

    LONG status = 0;
    msvcOnDeviceEvent(fake::FakeClient::deviceEventListener(), 4);
    ASSERT_HR(S_OK, tracker.GetStatus(&status));
    EXPECT_EQ(0x10, status);
    msvcOnDeviceEvent(fake::FakeClient::deviceEventListener(), 1);
    ASSERT_HR(S_OK, tracker.GetStatus(&status));
    EXPECT_EQ(0x40, status);
}

TEST(MsvcCaller, SlotZeroDestroysWithFlagsZeroAndFreesWithFlagsOne) {
    counts = {};
    alignas(CountingListener) unsigned char storage[sizeof(CountingListener)];
    msvcDestroyGazeListener(::new (storage) CountingListener);
    EXPECT_EQ(1, counts.destroyed);
    EXPECT_EQ(0, counts.freed);
    msvcDestroyDeviceListener(::new (storage) CountingListener);
    EXPECT_EQ(2, counts.destroyed);
    EXPECT_EQ(0, counts.freed);

    msvcDeleteGazeListener(std::make_unique<CountingListener>().release());
    EXPECT_EQ(3, counts.destroyed);
    EXPECT_EQ(1, counts.freed);
    msvcDeleteDeviceListener(std::make_unique<CountingListener>().release());
    EXPECT_EQ(4, counts.destroyed);
    EXPECT_EQ(2, counts.freed);

    // The plug-in's own listeners survive the same calls.
    msvcDeleteGazeListener(std::make_unique<tyapi::GazeListener>(nullptr).release());
    msvcDeleteDeviceListener(std::make_unique<tyapi::DeviceEventListener>(nullptr).release());
}

}  // namespace
