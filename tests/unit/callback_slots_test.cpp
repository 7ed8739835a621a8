// The listeners' two-slot tables, called the way the client library calls
// them: the first word of the object points to the table, slot 0 is the
// scalar deleting destructor, slot 1 the callback. And the missing-value
// marker that a bound library brings.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "client/callback_slots.h"
#include "client/tyapi.h"
#include "fake_tyapi.h"
#include "pipeline/listeners.h"
#include "pipeline/gaze_events.h"
#include "recording/line_format.h"

namespace {

using tyapi::TYApi;

struct Counts {
    int destroyed = 0;
    int freed = 0;
    std::vector<std::int32_t> calls;
};
Counts counts;

// Two callback bases, the second at an offset: the tables must find the
// whole object from either.
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

    void onGazeSample(const tyapi::TYGazeSample& sample) noexcept { counts.calls.push_back(sample.index); }
    void onDeviceEvent(std::int32_t code) noexcept { counts.calls.push_back(-code); }

    int marker = 4242;
};

template <typename Callback>
const typename Callback::Slots& slotsOf(Callback* listener) {
    return **reinterpret_cast<const typename Callback::Slots* const*>(listener);
}

TEST(CallbackSlots, SlotOneReachesTheListenerThroughEitherBase) {
    counts = {};
    CountingListener listener;
    TYApi::TYGazeSampleCallback* gaze = &listener;
    TYApi::TYDeviceEventCallback* device = &listener;
    ASSERT_NE(static_cast<void*>(gaze), static_cast<void*>(device));

    tyapi::TYGazeSample sample = fake::validSample(1, 17);
    slotsOf(gaze).onGazeSample(gaze, sample);
    slotsOf(device).onDeviceEvent(device, 3);
    gaze->onGazeSample(sample);  // the dispatcher the project's clients use
    device->onDeviceEvent(4);
    EXPECT_EQ((std::vector<std::int32_t>{17, -3, 17, -4}), counts.calls);
    EXPECT_EQ(0, counts.destroyed);
}

// The maker's compiled code may read the word before slot 0 as the class's
// run-time type information; the plug-in's tables hold null there.
TEST(CallbackSlots, TheWordBeforeEachTableIsNull) {
    CountingListener listener;
    TYApi::TYGazeSampleCallback* gaze = &listener;
    TYApi::TYDeviceEventCallback* device = &listener;
    EXPECT_EQ(nullptr, reinterpret_cast<const void* const*>(&slotsOf(gaze))[-1]);
    EXPECT_EQ(nullptr, reinterpret_cast<const void* const*>(&slotsOf(device))[-1]);
    tyapi::GazeListener plugin(nullptr);
    EXPECT_EQ(nullptr, reinterpret_cast<const void* const*>(&slotsOf<TYApi::TYGazeSampleCallback>(&plugin))[-1]);
    EXPECT_EQ(sizeof(void*) == 8 ? 16u : 8u, alignof(tyapi::ScreenConfig));
}

TEST(CallbackSlots, SlotZeroDestroysAndFreesOnlyWithFlagBitZero) {
    counts = {};
    {
        alignas(CountingListener) unsigned char storage[sizeof(CountingListener)];
        auto* listener = ::new (storage) CountingListener;
        TYApi::TYGazeSampleCallback* gaze = listener;
        EXPECT_EQ(static_cast<void*>(gaze), slotsOf(gaze).destroy(gaze, 0));
        EXPECT_EQ(1, counts.destroyed);
        EXPECT_EQ(0, counts.freed);
    }
    {
        auto* listener = std::make_unique<CountingListener>().release();
        TYApi::TYDeviceEventCallback* device = listener;
        EXPECT_EQ(static_cast<void*>(device), slotsOf(device).destroy(device, 1));
        EXPECT_EQ(2, counts.destroyed);
        EXPECT_EQ(1, counts.freed);  // the whole object, though reached through its second base
    }
    {
        auto* listener = std::make_unique<CountingListener>().release();
        TYApi::TYGazeSampleCallback* gaze = listener;
        slotsOf(gaze).destroy(gaze, 3);  // bit 1 (an array) means nothing for one object
        EXPECT_EQ(3, counts.destroyed);
        EXPECT_EQ(2, counts.freed);
    }
}

TEST(BoundMarker, ABoundLibrarysMarkerDecidesWhatIsMissing) {
    tyapi::TYGazeSample sample = fake::validSample(1500, 42);
    sample.porX = -1.0;
    sample.pupilRadiusLeft = -1.0;
    const tyvarion::DisplayGeometry geometry{1920, 1080, 0, 0};
    const auto countEvents = [&] {
        tyvarion::GazeEvents events;
        return tyvarion::makeGazeEvents(sample, tyvarion::kAllDataKinds, geometry, events);
    };
    EXPECT_EQ(6u, countEvents());
    EXPECT_EQ("1500;42;-1;540;958;540;-2;962;540;6;\n", tyvarion::SampleLine(sample).text());

    tyapi::setInvalidValue(-1.0);
    const std::size_t withMarker = countEvents();
    const std::string line(tyvarion::SampleLine(sample).text());
    tyapi::setInvalidValue(tyapi::TYInvalidValue);

    // Now the binocular point and the left pupil are missing, and so the mean.
    EXPECT_EQ(3u, withMarker);
    EXPECT_EQ("1500;42;INVALID;INVALID;958;540;INVALID;962;540;6;\n", line);
}

}  // namespace
