#pragma once
// The recording queue and its push rule, shared by every producer:
// intake on the client library's thread, SendTrigger and SendString on the
// host's thread. The writer thread is the only consumer: it takes all queued
// entries at once by exchanging rings, so that producers start again at the
// front of a ring that stays in the cache. The owner's recordMutex guards
// every call.
//
// Bound: when the queue holds more than kRecordQueueKeep - 1 entries, the
// oldest one is dropped before the new one is appended, so the queue never
// holds more than kRecordQueueKeep entries and the newest lines survive.
// The bound is set by what a busy machine does to the writer: the scheduler
// may keep it off the processor for several milliseconds at a time while the
// client library's thread goes on delivering samples. 16384 entries hold 16 ms
// of a 1 MHz stream (8 s at 2 kHz); 25 entries lost a third of a 10 kHz
// stream on a loaded two-core machine, and 4096 still lost a few hundred of
// every million lines at 1 MHz on a quiet one.
//
// The entries live in a ring that starts small and doubles, up to the bound,
// only when it fills, so that at a tracker's usual rates the queue stays a few
// kilobytes. Once grown, a push never allocates (a text line brings its own
// string); when growing fails the oldest entry is dropped as at the bound.
//
// Waking the writer: the queue also records how the writer waits, and the
// producer of an entry wakes it only when it must (claimWriterWakeUp): when it
// sleeps with nothing to do, or when it lingers after a batch and the queue has
// reached the wake mark. A lingering writer otherwise comes back by itself when
// its deadline passes, so a trickle of entries costs one wake-up per deadline
// instead of one per entry. The writer sets its state and waits under the same
// lock, so no wake-up can be missed.

#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>

#include "recording/recording_entry.h"
#include "recording/writer_pacing.h"

namespace tyvarion {

inline constexpr std::size_t kRecordQueueKeep = 16384;
inline constexpr std::size_t kRecordQueueFirstCapacity = 256;
// Capacities double from the first to the bound, and positions wrap by a mask.
static_assert((kRecordQueueKeep & (kRecordQueueKeep - 1)) == 0);
static_assert(kRecordQueueKeep % kRecordQueueFirstCapacity == 0);
// Room above the writer's wake mark bridges the delay before the woken writer runs.
static_assert(kWriterWakeMark <= kRecordQueueKeep / 16);

// How the writer thread waits, as producers need to know it.
enum class WriterState {
    busy,       // running, or already woken: it looks at the queue before it waits again
    lingering,  // waits for its deadline; a producer wakes it only at the wake mark
    asleep,     // waits with no deadline; the next entry must wake it
};

class RecordQueue {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = RecordingEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const RecordingEntry*;
        using reference = const RecordingEntry&;

        const_iterator() = default;
        reference operator*() const { return queue_->slot(offset_); }
        pointer operator->() const { return &queue_->slot(offset_); }
        const_iterator& operator++() {
            ++offset_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++offset_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return offset_ == other.offset_; }

    private:
        friend class RecordQueue;
        const_iterator(const RecordQueue* queue, std::size_t offset) : queue_(queue), offset_(offset) {}
        const RecordQueue* queue_ = nullptr;
        std::size_t offset_ = 0;
    };

    bool empty() const noexcept { return count_ == 0; }
    std::size_t size() const noexcept { return count_; }
    std::size_t capacity() const noexcept { return capacity_; }

    // Oldest first.
    const_iterator begin() const noexcept { return {this, 0}; }
    const_iterator end() const noexcept { return {this, count_}; }

    // Appends at the back, dropping the oldest entry when the queue is full.
    void push(RecordingEntry&& entry) noexcept { back() = std::move(entry); }
    void push(const tyapi::TYGazeSample& sample) noexcept {
        RecordingEntry& entry = back();
        entry.sample = sample;
        entry.text.reset();
    }
    // Removes the oldest entry and frees its text, if it has one.
    void pop_front() noexcept {
        slots_[head_].text.reset();
        head_ = (head_ + 1) & (capacity_ - 1);
        --count_;
    }
    void clear() noexcept {
        while (!empty()) pop_front();
        head_ = 0;
    }

    // Exchanges the entries, not the writer's state, with another queue: the
    // writer takes everything queued in one step and leaves producers an
    // empty ring.
    void swapEntries(RecordQueue& other) noexcept {
        slots_.swap(other.slots_);
        std::swap(capacity_, other.capacity_);
        std::swap(head_, other.head_);
        std::swap(count_, other.count_);
    }

    // Set by the writer, under the lock, before it waits and when it wakes.
    WriterState writerState() const noexcept { return writerState_; }
    void setWriterState(WriterState state) noexcept { writerState_ = state; }

    // The number of queued entries at which a lingering writer is woken;
    // kWriterWakeMark unless a test sets another.
    std::size_t wakeMark() const noexcept { return wakeMark_; }
    void setWakeMark(std::size_t mark) noexcept { wakeMark_ = mark; }

    // Called by a producer after its push: true when it must notify the
    // writer. The writer then counts as woken, so that the producers that
    // follow before it runs do not notify it again.
    bool claimWriterWakeUp() noexcept {
        const bool wake = writerState_ == WriterState::asleep ||
                          (writerState_ == WriterState::lingering && count_ >= wakeMark_);
        if (wake) writerState_ = WriterState::busy;
        return wake;
    }

private:
    // The slot of a new last entry. A dropped entry's slot is the one reused,
    // so whatever it held is overwritten or freed by the caller's assignment.
    RecordingEntry& back() noexcept {
        if (count_ == capacity_ && !grow()) {
            head_ = (head_ + 1) & (capacity_ - 1);
            --count_;
        }
        return slots_[(head_ + count_++) & (capacity_ - 1)];
    }

    // Doubles the ring, oldest entry first, unless it is at the bound or
    // there is no memory for it; true when there is room now.
    bool grow() noexcept {
        if (capacity_ == kRecordQueueKeep) return false;
        try {
            auto slots = std::make_unique<RecordingEntry[]>(capacity_ * 2);
            for (std::size_t offset = 0; offset < count_; ++offset)
                slots[offset] = std::move(slots_[(head_ + offset) & (capacity_ - 1)]);
            slots_ = std::move(slots);
            capacity_ *= 2;
            head_ = 0;
            return true;
        } catch (...) {
            return false;
        }
    }

    const RecordingEntry& slot(std::size_t offset) const noexcept {
        return slots_[(head_ + offset) & (capacity_ - 1)];
    }

    std::size_t capacity_ = kRecordQueueFirstCapacity;
    std::unique_ptr<RecordingEntry[]> slots_ = std::make_unique<RecordingEntry[]>(capacity_);
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    WriterState writerState_ = WriterState::busy;
    std::size_t wakeMark_ = kWriterWakeMark;
};

}  // namespace tyvarion
