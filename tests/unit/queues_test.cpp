// The two rings behind the host's event queue and the recording queue: order
// kept across wrap-around and growth, the recording queue's bound, and the
// writer's exchange of rings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pipeline/event_queue.h"
#include "recording/record_queue.h"

using namespace tyvarion;

namespace {

void appendEvents(EventQueue& queue, ULONGLONG first, std::size_t count) {
    queue.reserveBack(count);
    for (std::size_t i = 0; i < count; ++i) queue.appendZeroed().time = first + i;
}

std::vector<ULONGLONG> takeTimes(EventQueue& queue, std::size_t wanted) {
    std::vector<EyeTracker2GeneralData> events(wanted);
    events.resize(queue.takeFront(events.data(), wanted));
    std::vector<ULONGLONG> times;
    for (const auto& event : events) times.push_back(event.time);
    return times;
}

std::vector<ULONGLONG> range(ULONGLONG first, ULONGLONG last) {
    std::vector<ULONGLONG> values;
    for (ULONGLONG value = first; value <= last; ++value) values.push_back(value);
    return values;
}

RecordingEntry textEntry(const std::string& text) { return RecordingEntry{std::nullopt, text}; }

std::vector<std::string> contents(const RecordQueue& queue) {
    std::vector<std::string> texts;
    for (const RecordingEntry& entry : queue)
        texts.push_back(entry.sample ? "sample " + std::to_string(entry.sample->index) : *entry.text);
    return texts;
}

}  // namespace

TEST(EventQueue, KeepsOrderWhenItGrowsWhileWrappedAround) {
    EventQueue queue;
    EXPECT_EQ(0u, queue.capacity());
    appendEvents(queue, 1, 50);
    EXPECT_EQ(kEventQueueFirstCapacity, queue.capacity());
    EXPECT_EQ(range(1, 40), takeTimes(queue, 40));
    // The back wraps to the front of the storage, then the ring must grow.
    appendEvents(queue, 51, 50);
    EXPECT_EQ(60u, queue.size());
    EXPECT_EQ(kEventQueueFirstCapacity, queue.capacity());
    appendEvents(queue, 101, 10);
    EXPECT_EQ(2 * kEventQueueFirstCapacity, queue.capacity());
    EXPECT_EQ(range(41, 45), takeTimes(queue, 5));
    EXPECT_EQ(range(46, 110), takeTimes(queue, 1000));
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(std::vector<ULONGLONG>{}, takeTimes(queue, 4));
}

TEST(EventQueue, AppendedEventsAreZeroedIncludingPadding) {
    EventQueue queue;
    appendEvents(queue, 1, 1);
    std::vector<EyeTracker2GeneralData> taken(1);
    ASSERT_EQ(1u, queue.takeFront(taken.data(), 1));
    std::memset(&taken[0], 0xAB, sizeof taken[0]);  // the slot's old bytes
    appendEvents(queue, 2, 1);
    EyeTracker2GeneralData expected{};
    expected.time = 2;
    ASSERT_EQ(1u, queue.takeFront(taken.data(), 1));
    EXPECT_EQ(0, std::memcmp(&expected, &taken[0], sizeof expected));
}

TEST(EventQueue, StorageOfAHostFarBehindIsGivenBackOnceEmptied) {
    EventQueue queue;
    appendEvents(queue, 1, kEventQueueShrinkAbove);
    EXPECT_EQ(kEventQueueShrinkAbove, queue.capacity());
    appendEvents(queue, kEventQueueShrinkAbove + 1, 1);
    EXPECT_EQ(2 * kEventQueueShrinkAbove, queue.capacity());
    takeTimes(queue, kEventQueueShrinkAbove);
    EXPECT_EQ(2 * kEventQueueShrinkAbove, queue.capacity());  // not empty yet
    EXPECT_EQ(std::vector<ULONGLONG>{kEventQueueShrinkAbove + 1}, takeTimes(queue, 1));
    EXPECT_EQ(0u, queue.capacity());
    appendEvents(queue, 7, 1);
    EXPECT_EQ(std::vector<ULONGLONG>{7}, takeTimes(queue, 1));
    // A queue of ordinary size keeps its storage.
    EXPECT_EQ(kEventQueueFirstCapacity, queue.capacity());
}

TEST(RecordQueue, GrowsInOrderUpToTheBoundThenDropsTheOldest) {
    RecordQueue queue;
    EXPECT_EQ(kRecordQueueFirstCapacity, queue.capacity());
    // Wrap the ring around before it has to grow.
    for (int i = 0; i < 100; ++i) queue.push(textEntry("early"));
    for (int i = 0; i < 100; ++i) queue.pop_front();
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < kRecordQueueKeep + 2; ++i) {
        const std::string text = "line " + std::to_string(i);
        if (i % 1000 == 999) {
            tyapi::TYGazeSample sample{};
            sample.index = static_cast<std::int32_t>(i);
            queue.push(sample);
            expected.push_back("sample " + std::to_string(i));
        } else {
            queue.push(textEntry(text));
            expected.push_back(text);
        }
    }
    EXPECT_EQ(kRecordQueueKeep, queue.capacity());
    EXPECT_EQ(kRecordQueueKeep, queue.size());
    expected.erase(expected.begin(), expected.begin() + 2);
    EXPECT_EQ(expected, contents(queue));
}

TEST(RecordQueue, SwappingEntriesHandsOverEverythingAndLeavesTheWriterState) {
    RecordQueue producers;
    RecordQueue writer;
    for (int i = 0; i < 300; ++i) producers.push(textEntry(std::to_string(i)));
    producers.setWriterState(WriterState::asleep);

    producers.swapEntries(writer);
    EXPECT_TRUE(producers.empty());
    EXPECT_EQ(kRecordQueueFirstCapacity, producers.capacity());
    EXPECT_EQ(WriterState::asleep, producers.writerState());
    EXPECT_EQ(WriterState::busy, writer.writerState());
    ASSERT_EQ(300u, writer.size());
    EXPECT_EQ("0", writer.begin()->text);

    // Each side goes on with its own ring.
    producers.push(textEntry("next"));
    writer.clear();
    EXPECT_EQ(std::vector<std::string>{"next"}, contents(producers));
    EXPECT_TRUE(writer.empty());
    EXPECT_EQ(2 * kRecordQueueFirstCapacity, writer.capacity());
}

TEST(RecordQueue, ProducersWakeASleepingWriterOnceAndALingeringOneAtTheMark) {
    RecordQueue queue;
    queue.setWakeMark(3);

    // Busy: it looks at the queue before it waits again.
    queue.push(textEntry("0"));
    EXPECT_FALSE(queue.claimWriterWakeUp());

    // Asleep: the first entry wakes it; the writer then counts as woken.
    queue.setWriterState(WriterState::asleep);
    queue.push(textEntry("1"));
    EXPECT_TRUE(queue.claimWriterWakeUp());
    EXPECT_EQ(WriterState::busy, queue.writerState());
    queue.push(textEntry("2"));
    EXPECT_FALSE(queue.claimWriterWakeUp());

    // Lingering: only the entry that reaches the mark wakes it.
    queue.clear();
    queue.setWriterState(WriterState::lingering);
    queue.push(textEntry("3"));
    EXPECT_FALSE(queue.claimWriterWakeUp());
    queue.push(textEntry("4"));
    EXPECT_FALSE(queue.claimWriterWakeUp());
    EXPECT_EQ(WriterState::lingering, queue.writerState());
    queue.push(textEntry("5"));
    EXPECT_TRUE(queue.claimWriterWakeUp());
    EXPECT_EQ(WriterState::busy, queue.writerState());
    queue.push(textEntry("6"));
    EXPECT_FALSE(queue.claimWriterWakeUp());
}
