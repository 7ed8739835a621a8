// GetEvents draining a long queue in batches, as a host polls it. Target: at
// least 10 million events per second in batches of 64.
#include <benchmark/benchmark.h>

#include <vector>

#include "fake_tyapi.h"
#include "platform/unique_handle.h"
#include "tracker/tyvarion.h"

using namespace tyvarion;

namespace {

// Samples queued at a time (six events each), outside the measured time.
constexpr int kSamplesPerFill = 1 << 17;

void fill(Tyvarion& tracker) {
    tyapi::TYGazeSample sample = fake::validSample();
    for (int i = 0; i < kSamplesPerFill; ++i) {
        sample.timestampMicroSec = i;
        tracker.handleGazeSample(sample);
    }
}

void GetEvents(benchmark::State& state) {
    const auto batch = static_cast<LONG>(state.range(0));
    fake::FakeClient::reset();
    Tyvarion tracker;
    for (auto type : {ET2_DT_POSITION, ET2_DT_PUPIL}) {
        for (auto eye : {ET2_ET_DEFAULT, ET2_ET_LEFT, ET2_ET_RIGHT}) {
            unique_bstr message;
            tracker.StartData(type, eye, message.put());
        }
    }
    std::vector<EyeTracker2GeneralData> events(static_cast<std::size_t>(batch));
    fill(tracker);
    LONG queued = kSamplesPerFill * 6;
    std::int64_t fetched = 0;
    for (auto _ : state) {
        if (queued < batch) {
            state.PauseTiming();
            fill(tracker);
            tracker.GetEventCount(&queued);
            state.ResumeTiming();
        }
        LONG count = batch;
        tracker.GetEvents(&count, events.data());
        benchmark::DoNotOptimize(events.data());
        queued -= count;
        fetched += count;
    }
    state.SetItemsProcessed(fetched);
}

}  // namespace

BENCHMARK(GetEvents)->ArgName("batch")->Arg(64)->Arg(1)->Arg(1024);

BENCHMARK_MAIN();
