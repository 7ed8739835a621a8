#pragma once
// The two objects through which the client library reaches the tracker object.
// Both are called on the library's own thread, forward to their owner and
// let nothing escape into the library.

#include <cstdint>

#include "client/tyapi.h"

namespace tyvarion {
class Tyvarion;
}

namespace tyapi {

class GazeListener final : public TYApi::TYGazeSampleCallback {
public:
    explicit GazeListener(tyvarion::Tyvarion* tracker) : owner(tracker) {}
    void onGazeSample(const TYGazeSample& sample) noexcept override;

    tyvarion::Tyvarion* owner;  // not owned
};

class DeviceEventListener final : public TYApi::TYDeviceEventCallback {
public:
    explicit DeviceEventListener(tyvarion::Tyvarion* tracker) : owner(tracker) {}
    void onDeviceEvent(std::int32_t code) noexcept override;

    tyvarion::Tyvarion* owner;  // not owned
};

}  // namespace tyapi
