// The recording writer into a real file: samples go in through the client's
// callback as in the product (sample intake, the bounded queue, the writer
// thread), at a steady offered rate or as fast as the producer can. Each run
// reports the lines that reached the file per second and how many samples were
// dropped on the way. TYVARION_BENCH_WRITER_MARK, when set, replaces the
// writer's wake mark, to measure other choices.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../unit/recording_support.h"
#include "fake_tyapi.h"
#include "platform/unique_handle.h"
#include "tracker/tyvarion.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kSamplesPerRun = 2'000'000;

fs::path benchFolder() {
    static const fs::path folder = [] {
        const fs::path made =
            fs::temp_directory_path() / ("tyvarion-writer-bench-" + std::to_string(getpid()));
        fs::create_directories(made);
        setenv("XDG_DOCUMENTS_DIR", made.c_str(), 1);
        return made;
    }();
    return folder;
}

// Lines in every recording file of the folder, less the two header lines of
// each; the files are removed afterwards.
std::int64_t takeRecordedLines() {
    const fs::path folder = benchFolder() / "Tyvarion" / "NBS Presentation";
    std::int64_t lines = 0;
    std::vector<char> chunk(1 << 20);
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            lines += std::count(chunk.data(), chunk.data() + in.gcount(), '\n');
        }
        lines -= 2;
        in.close();
        fs::remove(entry.path());
    }
    return lines;
}

bool setRecording(tyvarion::Tyvarion& tracker, VARIANT_BOOL on) {
    tyvarion::unique_bstr message;
    return tracker.SetRecording(on, message.put()) == S_OK && SysStringLen(message.get()) == 0;
}

// Offered rate in samples per second, on a fixed schedule (a producer held up
// catches up, as a client library delivering a backlog does); 0 offers them as
// fast as the producer can.
void recordSamples(benchmark::State& state) {
    const std::int64_t rate = state.range(0);
    benchFolder();
    fake::FakeClient::reset();
    tyvarion::Tyvarion tracker;
    if (const char* mark = std::getenv("TYVARION_BENCH_WRITER_MARK")) {
        tyvarion::RecordingProbe::setWriterPacing(tracker, std::strtoull(mark, nullptr, 10),
                                                  tyvarion::kWriterDeadline);
    }

    std::vector<tyapi::TYGazeSample> samples;
    for (int i = 0; i < 1024; ++i) {
        tyapi::TYGazeSample sample = fake::validSample(1'709'647'629'000'000 + i, i);
        sample.porX += i * 0.37;
        sample.porY -= i * 0.21;
        sample.porLeftX += i * 0.41;
        sample.pupilRadiusLeft += i * 0.001;
        samples.push_back(sample);
    }

    const auto period = rate > 0 ? std::chrono::nanoseconds(1'000'000'000 / rate)
                                 : std::chrono::nanoseconds(0);
    // How far the producer fell behind its schedule at worst. It catches up
    // faster than the offered rate, so drops after a long delay say nothing
    // about the writer at that rate.
    Clock::duration longestBehind{};
    std::int64_t offered = 0;
    std::int64_t written = 0;
    double seconds = 0;
    for (auto _ : state) {
        if (!setRecording(tracker, VARIANT_TRUE)) {
            state.SkipWithError("the recording did not start");
            return;
        }
        const Clock::time_point start = Clock::now();
        Clock::time_point next = start;
        for (std::int64_t i = 0; i < kSamplesPerRun; ++i) {
            if (rate > 0) {
                Clock::time_point now = Clock::now();
                while (now < next) now = Clock::now();
                longestBehind = std::max(longestBehind, now - next);
                next += period;
            }
            tyapi::TYGazeSample& sample = samples[static_cast<std::size_t>(i) % samples.size()];
            sample.index = static_cast<std::int32_t>(i);
            fake::FakeClient::deliverSample(sample);
        }
        setRecording(tracker, VARIANT_FALSE);  // writes what is queued, closes the file
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        offered += kSamplesPerRun;
        written += takeRecordedLines();
    }
    state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(written) / seconds);
    state.counters["offered_per_s"] = benchmark::Counter(static_cast<double>(offered) / seconds);
    state.counters["dropped"] = benchmark::Counter(static_cast<double>(offered - written));
    state.counters["behind_ms"] =
        benchmark::Counter(std::chrono::duration<double, std::milli>(longestBehind).count());
}
BENCHMARK(recordSamples)
    ->ArgName("rate")
    ->Arg(250'000)
    ->Arg(500'000)
    ->Arg(1'000'000)
    ->Arg(2'000'000)
    ->Arg(0)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
