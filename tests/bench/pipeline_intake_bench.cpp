// Sample intake on the library's thread, against a floor: copying the sample
// and appending six host records to a deque under an uncontended mutex. The
// intake with every kind selected and recording on should cost at most twice
// the floor.
//
// Recording is measured three ways. Uncontended, as the floor: the writer is
// held still, so that the recording mutex is free, and the bench takes the
// queued entries away each time it fetches the events, as the writer would.
// Overloaded: the writer held still and the queue left full, so that every
// sample drops the oldest entry. Contended: the writer running, taking the
// queue from the library's thread as often as it can.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

#include "../unit/recording_support.h"
#include "fake_tyapi.h"
#include "platform/unique_handle.h"
#include "tracker/tyvarion.h"

using namespace tyvarion;
using tyvarion::RecordingProbe;

namespace {

// Both sides have their events fetched every `drain` samples, outside the
// measured time, the same way: copied out into the host's array, then removed.
// With 256 the queue stays in the cache, as it does while a host polls each
// frame; with 4096 (1.5 MB of events) it does not, as when a host falls behind.
constexpr std::int64_t kDrainOften = 256;
constexpr std::int64_t kDrainSeldom = 4096;

enum Recording { kNotRecording = 0, kUncontended = 1, kQueueFull = 2, kWriterRunning = 3 };

void FloorBaseline(benchmark::State& state) {
    const std::int64_t drainEvery = state.range(0);
    std::mutex mutex;
    std::deque<EyeTracker2GeneralData> queue;
    tyapi::TYGazeSample sample = fake::validSample();
    tyapi::TYGazeSample copy;
    EyeTracker2GeneralData records[6] = {};
    std::vector<EyeTracker2GeneralData> drained(static_cast<std::size_t>(drainEvery) * 6);
    benchmark::DoNotOptimize(&sample);
    benchmark::DoNotOptimize(records);
    std::int64_t n = 0;
    for (auto _ : state) {
        {
            std::lock_guard lock(mutex);
            for (const auto& record : records) queue.push_back(record);
            copy = sample;
            benchmark::DoNotOptimize(&copy);
            benchmark::ClobberMemory();
        }
        if (++n % drainEvery == 0) {
            state.PauseTiming();
            std::copy(queue.begin(), queue.end(), drained.begin());
            queue.clear();
            benchmark::DoNotOptimize(drained.data());
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void HandleGazeSample(benchmark::State& state) {
    const auto mode = static_cast<Recording>(state.range(0));
    const std::int64_t drainEvery = state.range(1);
    recording_support::ScratchFolder documents;
    recording_support::ScopedDocumentsFolder documentsSetting(documents.path());
    fake::FakeClient::reset();
    Tyvarion tracker;
    for (auto type : {ET2_DT_POSITION, ET2_DT_PUPIL}) {
        for (auto eye : {ET2_ET_DEFAULT, ET2_ET_LEFT, ET2_ET_RIGHT}) {
            unique_bstr message;
            if (tracker.StartData(type, eye, message.put()) != S_OK) {
                state.SkipWithError("StartData failed");
                return;
            }
        }
    }
    tracker.SetDisplayMode(800, 600);
    if (mode != kNotRecording) {
        unique_bstr message;
        if (tracker.SetRecording(VARIANT_TRUE, message.put()) != S_OK ||
            SysStringLen(message.get()) != 0) {
            state.SkipWithError("SetRecording failed");
            return;
        }
    }
    const bool writerHeld = mode == kUncontended || mode == kQueueFull;
    if (writerHeld) RecordingProbe::stallWriter(tracker);

    tyapi::TYGazeSample sample = fake::validSample();
    benchmark::DoNotOptimize(&sample);
    std::vector<EyeTracker2GeneralData> drained(static_cast<std::size_t>(drainEvery) * 6);
    std::int64_t n = 0;
    for (auto _ : state) {
        sample.timestampMicroSec = ++n;
        tracker.handleGazeSample(sample);
        if (n % drainEvery == 0) {
            state.PauseTiming();
            LONG count = static_cast<LONG>(drained.size());
            tracker.GetEvents(&count, drained.data());
            if (mode == kUncontended) RecordingProbe::takeQueued(tracker);
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (writerHeld) RecordingProbe::resumeWriter(tracker);
}

}  // namespace

BENCHMARK(FloorBaseline)->ArgName("drain")->Arg(kDrainOften)->Arg(kDrainSeldom);
// recording 0: off; 1: on, uncontended; 2: on, queue full; 3: on, writer running.
BENCHMARK(HandleGazeSample)
    ->ArgNames({"recording", "drain"})
    ->ArgsProduct({{kUncontended, kNotRecording, kQueueFull, kWriterRunning},
                   {kDrainOften, kDrainSeldom}});

BENCHMARK_MAIN();
