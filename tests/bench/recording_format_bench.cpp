// One sample line, formatted by the recording writer and, side by side in the
// same run, with snprintf("%.6g") as a stream with default settings would.
// Both must give the same bytes; the program stops if they differ.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "client/tyapi.h"
#include "recording/line_format.h"

namespace {

// Screen pixels and pupil radii as a tracker delivers them, one value in
// twenty missing.
std::vector<tyapi::TYGazeSample> makeSamples() {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> pixels(-50.0, 1970.0);
    std::uniform_real_distribution<double> radii(1.0, 4.0);
    std::bernoulli_distribution missing(0.05);
    const auto pixel = [&] { return missing(random) ? tyapi::TYInvalidValue : pixels(random); };
    std::vector<tyapi::TYGazeSample> samples(4096);
    std::int64_t timestamp = 1'709'647'629'000'000;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        tyapi::TYGazeSample& sample = samples[i];
        sample = tyapi::TYGazeSample{};
        sample.timestampMicroSec = timestamp += 1667;
        sample.index = static_cast<std::int32_t>(i);
        sample.porX = pixel();
        sample.porY = pixels(random);
        sample.porLeftX = pixel();
        sample.porLeftY = pixels(random);
        sample.pupilRadiusLeft = missing(random) ? tyapi::TYInvalidValue : radii(random);
        sample.porRightX = pixel();
        sample.porRightY = pixels(random);
        sample.pupilRadiusRight = radii(random);
    }
    return samples;
}

int printPair(char* out, std::size_t room, double x, double y) {
    if (x == tyapi::TYInvalidValue) return std::snprintf(out, room, "INVALID;INVALID;");
    return std::snprintf(out, room, "%.6g;%.6g;", x, y);
}

int printDiameter(char* out, std::size_t room, double radius) {
    if (radius == tyapi::TYInvalidValue) return std::snprintf(out, room, "INVALID;");
    return std::snprintf(out, room, "%.6g;", 2 * radius);
}

std::size_t printLine(const tyapi::TYGazeSample& sample, char* out, std::size_t room) {
    int length = std::snprintf(out, room, "%lld;%d;",
                               static_cast<long long>(sample.timestampMicroSec), sample.index);
    length += printPair(out + length, room - length, sample.porX, sample.porY);
    length += printPair(out + length, room - length, sample.porLeftX, sample.porLeftY);
    length += printDiameter(out + length, room - length, sample.pupilRadiusLeft);
    length += printPair(out + length, room - length, sample.porRightX, sample.porRightY);
    length += printDiameter(out + length, room - length, sample.pupilRadiusRight);
    length += std::snprintf(out + length, room - length, "\n");
    return static_cast<std::size_t>(length);
}

const std::vector<tyapi::TYGazeSample>& samples() {
    static const std::vector<tyapi::TYGazeSample> all = [] {
        std::vector<tyapi::TYGazeSample> made = makeSamples();
        char printed[512];
        for (const tyapi::TYGazeSample& sample : made) {
            const std::string expected(printed, printLine(sample, printed, sizeof printed));
            if (tyvarion::SampleLine(sample).text() != expected) {
                std::fprintf(stderr, "lines differ for index %d: \"%s\"\n", sample.index,
                             expected.c_str());
                std::exit(1);
            }
        }
        return made;
    }();
    return all;
}

void BM_SampleLine_Writer(benchmark::State& state) {
    const auto& all = samples();
    std::size_t i = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const tyvarion::SampleLine line(all[i++ % all.size()]);
        benchmark::DoNotOptimize(line.text().data());
        bytes += line.text().size();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_SampleLine_Writer);

void BM_SampleLine_Snprintf(benchmark::State& state) {
    const auto& all = samples();
    std::size_t i = 0;
    std::size_t bytes = 0;
    char line[512];
    for (auto _ : state) {
        bytes += printLine(all[i++ % all.size()], line, sizeof line);
        benchmark::DoNotOptimize(line);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_SampleLine_Snprintf);

}  // namespace

BENCHMARK_MAIN();
