// Memory running out on the client library's thread: the listener lets
// nothing escape, a sample whose events cannot be queued is dropped whole from
// the host's queue but still recorded, and intake goes on with the next one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <new>
#include <thread>
#include <vector>

#include "fake_tyapi.h"
#include "host_replies.h"
#include "recording_support.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

namespace {
// Allocations fail on the thread that sets this, and only there.
thread_local bool failAllocations = false;
}  // namespace

// The replacements pair malloc with free themselves; mingw's g++ does not see
// that through the global operators and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (failAllocations) throw std::bad_alloc();
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
// Arrays too: a sanitizer's runtime replaces these separately, so they would
// not reach the replacement above.
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

using fake::FakeClient;
using namespace tyvarion;
namespace fs = std::filesystem;

TEST(PipelineAllocationFailure, SampleIsDroppedWholeAndIntakeGoesOn) {
    FakeClient::reset();
    Tyvarion tracker;
    for (auto type : {ET2_DT_POSITION, ET2_DT_PUPIL}) {
        for (auto eye : {ET2_ET_DEFAULT, ET2_ET_LEFT, ET2_ET_RIGHT}) {
            unique_bstr message;
            ASSERT_HR(S_OK, tracker.StartData(type, eye, message.put()));
        }
    }

    std::thread library([] {
        FakeClient::deliverSample(fake::validSample(1));
        // Enough samples that the queue must grow while nothing can be allocated.
        failAllocations = true;
        for (std::int64_t time = 2; time <= 200; ++time)
            FakeClient::deliverSample(fake::validSample(time));
        failAllocations = false;
        for (std::int64_t time = 201; time <= 205; ++time)
            FakeClient::deliverSample(fake::validSample(time));
    });
    library.join();

    LONG count = 0;
    ASSERT_HR(S_OK, tracker.GetEventCount(&count));
    std::vector<EyeTracker2GeneralData> events(static_cast<std::size_t>(count));
    ASSERT_HR(S_OK, tracker.GetEvents(&count, events.data()));

    std::map<ULONGLONG, int> perSample;
    for (const auto& event : events) ++perSample[event.time];
    for (const auto& [time, made] : perSample) EXPECT_EQ(6, made) << "sample " << time;
    EXPECT_EQ(1u, perSample.count(1));
    for (ULONGLONG time = 201; time <= 205; ++time) EXPECT_EQ(1u, perSample.count(time));
    EXPECT_LT(perSample.size(), 205u);  // some samples were dropped
}

TEST(PipelineAllocationFailure, ASampleWhoseEventsAreDroppedIsStillRecorded) {
    namespace rs = recording_support;
    FakeClient::reset();
    rs::ScratchFolder scratch;
    rs::ScopedDocumentsFolder documentsSetting(scratch.path());
    std::size_t eventCount = 0;
    {
        Tyvarion tracker;
        unique_bstr message;
        ASSERT_HR(S_OK, tracker.StartData(ET2_DT_POSITION, ET2_ET_DEFAULT, message.put()));
        ASSERT_HR(S_OK, tracker.SetRecording(VARIANT_TRUE, message.put()));

        // Fewer samples than the recording queue holds from the start, so that
        // recording them needs no allocation.
        std::thread library([] {
            FakeClient::deliverSample(fake::validSample(1000, 0));
            failAllocations = true;
            for (int index = 1; index < 200; ++index)
                FakeClient::deliverSample(fake::validSample(1000 + index, index));
            failAllocations = false;
        });
        library.join();
        LONG count = 0;
        ASSERT_HR(S_OK, tracker.GetEventCount(&count));
        eventCount = static_cast<std::size_t>(count);
        ASSERT_HR(S_OK, tracker.SetRecording(VARIANT_FALSE, message.put()));
    }
    EXPECT_LT(eventCount, 200u);  // the host's queue could not hold them all

    const fs::path recordings = scratch.path() / "Tyvarion" / "NBS Presentation";
    const std::vector<std::string> names = rs::listFolder(recordings);
    ASSERT_EQ(1u, names.size());
    std::string expected = rs::kHeader;
    for (int index = 0; index < 200; ++index) {
        expected += testing_support::validSampleLine(index) + "\n";
    }
    EXPECT_EQ(rs::onDisk(expected), rs::readFile(recordings / names[0]));
}
