#pragma once
// The two objects through which the client library reaches the tracker object.
// Both are called on the library's own thread and forward to their owner.

#include <cstdint>

#include "client/tyapi.h"

namespace tyvarion {
class Tyvarion;
}

namespace tyapi {

class GazeListener final : public TYApi::TYGazeSampleCallback {
public:
    explicit GazeListener(tyvarion::Tyvarion* tracker) : owner(tracker) {}
    void onGazeSample(const TYGazeSample& sample) override;

    tyvarion::Tyvarion* owner;  // not owned
};

class DeviceEventListener final : public TYApi::TYDeviceEventCallback {
public:
    explicit DeviceEventListener(tyvarion::Tyvarion* tracker) : owner(tracker) {}
    void onDeviceEvent(std::int32_t code) override;

    tyvarion::Tyvarion* owner;  // not owned
};

}  // namespace tyapi
