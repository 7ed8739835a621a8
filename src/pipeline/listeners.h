#pragma once
// The two objects through which the client library reaches the tracker object.
// Both are called on the library's own thread, forward to their owner and
// let nothing escape into the library. The library calls them through their
// two-slot tables (client/callback_slots.h): slot 0 the destructor, slot 1
// onGazeSample or onDeviceEvent.

#include <cstdint>

#include "client/callback_slots.h"
#include "client/tyapi.h"

namespace tyvarion {
class Tyvarion;
}

namespace tyapi {

class GazeListener final : public TYApi::TYGazeSampleCallback {
public:
    explicit GazeListener(tyvarion::Tyvarion* tracker) noexcept
        : TYGazeSampleCallback(GazeSampleSlots<GazeListener>::table.slots), owner(tracker) {}
    void onGazeSample(const TYGazeSample& sample) noexcept;

    tyvarion::Tyvarion* owner;  // not owned
};

class DeviceEventListener final : public TYApi::TYDeviceEventCallback {
public:
    explicit DeviceEventListener(tyvarion::Tyvarion* tracker) noexcept
        : TYDeviceEventCallback(DeviceEventSlots<DeviceEventListener>::table.slots), owner(tracker) {}
    void onDeviceEvent(std::int32_t code) noexcept;

    tyvarion::Tyvarion* owner;  // not owned
};

}  // namespace tyapi
