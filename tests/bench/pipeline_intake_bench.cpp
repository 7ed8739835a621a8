// Sample intake on the library's thread, against a floor: copying the sample
// and appending six host records to a deque under an uncontended mutex. The
// intake with every kind selected and recording on should cost at most twice
// the floor.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "fake_tyapi.h"
#include "tracker/tyvarion.h"

using namespace tyvarion;

namespace {

// Both sides empty their queue now and then, outside the measured time, as a
// host would between samples.
constexpr std::int64_t kDrainEvery = 4096;

// The recording files go to a scratch folder.
class ScratchDocuments {
public:
    ScratchDocuments()
        : folder_(std::filesystem::temp_directory_path() /
                  ("pipeline_intake_bench_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
        ::setenv("XDG_DOCUMENTS_DIR", folder_.c_str(), 1);
    }
    ~ScratchDocuments() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ScratchDocuments(const ScratchDocuments&) = delete;
    ScratchDocuments& operator=(const ScratchDocuments&) = delete;

private:
    std::filesystem::path folder_;
};

void FloorBaseline(benchmark::State& state) {
    std::mutex mutex;
    std::deque<EyeTracker2GeneralData> queue;
    tyapi::TYGazeSample sample = fake::validSample();
    tyapi::TYGazeSample copy;
    EyeTracker2GeneralData records[6] = {};
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
        if (++n % kDrainEvery == 0) {
            state.PauseTiming();
            queue.clear();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void HandleGazeSample(benchmark::State& state) {
    const bool recordingOn = state.range(0) != 0;
    ScratchDocuments documents;
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
    if (recordingOn) {
        unique_bstr message;
        if (tracker.SetRecording(VARIANT_TRUE, message.put()) != S_OK ||
            SysStringLen(message.get()) != 0) {
            state.SkipWithError("SetRecording failed");
            return;
        }
    }

    tyapi::TYGazeSample sample = fake::validSample();
    benchmark::DoNotOptimize(&sample);
    std::vector<EyeTracker2GeneralData> drained(kDrainEvery * 6);
    std::int64_t n = 0;
    for (auto _ : state) {
        sample.timestampMicroSec = ++n;
        tracker.handleGazeSample(sample);
        if (n % kDrainEvery == 0) {
            state.PauseTiming();
            LONG count = static_cast<LONG>(drained.size());
            tracker.GetEvents(&count, drained.data());
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(FloorBaseline);
BENCHMARK(HandleGazeSample)->ArgName("recording")->Arg(1)->Arg(0);

BENCHMARK_MAIN();
