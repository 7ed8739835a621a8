#pragma once
// The host's event queue: first in, first out, with no bound. The owner's
// eventMutex guards every call.
//
// A ring that doubles when it is full and keeps its storage while it is in
// use, so that a steady stream costs no allocation per sample: a deque of
// 64-byte records allocates a block every eight events and frees it again as
// the host takes them. Storage grown past kEventQueueShrinkAbove (a host that
// fell far behind) is given back once the host has emptied the queue.

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

#include "tracker/eye_tracker2.h"

namespace tyvarion {

inline constexpr std::size_t kEventQueueFirstCapacity = 64;
inline constexpr std::size_t kEventQueueShrinkAbove = 64 * 1024;

class EventQueue {
public:
    bool empty() const noexcept { return count_ == 0; }
    std::size_t size() const noexcept { return count_; }
    std::size_t capacity() const noexcept { return capacity_; }

    // Makes room for `more` events at the back. Throws std::bad_alloc and
    // changes nothing when the storage cannot grow.
    void reserveBack(std::size_t more) {
        if (capacity_ - count_ < more) grow(count_ + more);
    }

    // Appends a zeroed event, padding included, in room made by reserveBack.
    EyeTracker2GeneralData& appendZeroed() noexcept {
        EyeTracker2GeneralData& event = slots_[(head_ + count_++) & (capacity_ - 1)];
        std::memset(&event, 0, sizeof event);
        return event;
    }

    // Copies up to `wanted` of the oldest events into `out`, in order, and
    // removes them; returns how many.
    std::size_t takeFront(EyeTracker2GeneralData* out, std::size_t wanted) noexcept {
        const std::size_t taken = std::min(wanted, count_);
        const std::size_t first = std::min(taken, capacity_ - head_);
        std::copy_n(slots_.get() + head_, first, out);
        std::copy_n(slots_.get(), taken - first, out + first);
        head_ = (head_ + taken) & (capacity_ - 1);
        count_ -= taken;
        if (count_ == 0) {
            head_ = 0;
            if (capacity_ > kEventQueueShrinkAbove) {
                slots_.reset();
                capacity_ = 0;
            }
        }
        return taken;
    }

private:
    void grow(std::size_t needed) {
        std::size_t capacity = std::max(capacity_ * 2, kEventQueueFirstCapacity);
        while (capacity < needed) capacity *= 2;
        auto slots = std::make_unique_for_overwrite<EyeTracker2GeneralData[]>(capacity);
        const std::size_t first = std::min(count_, capacity_ - head_);
        std::copy_n(slots_.get() + head_, first, slots.get());
        std::copy_n(slots_.get(), count_ - first, slots.get() + first);
        slots_ = std::move(slots);
        capacity_ = capacity;
        head_ = 0;
    }

    // The capacity is 0 or a power of two, so that positions wrap by a mask.
    std::unique_ptr<EyeTracker2GeneralData[]> slots_;
    std::size_t capacity_ = 0;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

}  // namespace tyvarion
