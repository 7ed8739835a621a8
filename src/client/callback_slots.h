#pragma once
// The two-slot tables behind a listener class. A listener derives from
// TYGazeSampleCallback (or TYDeviceEventCallback), hands the base
// GazeSampleSlots<Self>::table.slots (or DeviceEventSlots<Self>::table.slots) and defines
// onGazeSample (onDeviceEvent) as a plain member function; the table's entries
// forward to it and to its destructor with the library's calling convention.

#include <cstdint>
#include <memory>

#include "client/tyapi.h"

namespace tyapi {

// Slot 0 as the maker's compiler builds it: destroy, then free when bit 0 of
// `flags` is set (the object came from `new`); returns the object's address.
template <class Listener, class Base>
void* destroyListener(Base* self, unsigned int flags) noexcept {
    auto* listener = static_cast<Listener*>(self);
    if ((flags & 1U) != 0) {
        std::default_delete<Listener>{}(listener);
    } else {
        std::destroy_at(listener);
    }
    return self;
}

template <class Listener>
struct GazeSampleSlots {
    static void* TYAPI_MEMBER_CALL destroy(TYApi::TYGazeSampleCallback* self, unsigned int flags) noexcept {
        return destroyListener<Listener>(self, flags);
    }
    static void TYAPI_MEMBER_CALL onGazeSample(TYApi::TYGazeSampleCallback* self,
                                               const TYGazeSample& sample) noexcept {
        static_cast<Listener*>(self)->onGazeSample(sample);
    }
    static constexpr SlotTable<TYApi::TYGazeSampleCallback::Slots> table{nullptr, {&destroy, &onGazeSample}};
};

template <class Listener>
struct DeviceEventSlots {
    static void* TYAPI_MEMBER_CALL destroy(TYApi::TYDeviceEventCallback* self, unsigned int flags) noexcept {
        return destroyListener<Listener>(self, flags);
    }
    static void TYAPI_MEMBER_CALL onDeviceEvent(TYApi::TYDeviceEventCallback* self,
                                                std::int32_t code) noexcept {
        static_cast<Listener*>(self)->onDeviceEvent(code);
    }
    static constexpr SlotTable<TYApi::TYDeviceEventCallback::Slots> table{nullptr, {&destroy, &onDeviceEvent}};
};

}  // namespace tyapi
