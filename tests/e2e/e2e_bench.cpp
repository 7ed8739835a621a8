// End to end at the rates a tracker streams: for each rate, the simulated
// server sends `seconds` worth of samples through the client library, sample
// intake and the recording writer into a real file, while the host polls
// GetEvents at 60 Hz. Each rate runs in a process of its own, so that peak
// memory and processor time belong to that rate alone. Prints one table and
// whether the targets held; exits 1 when one did not.
//
//   tyvarion-e2e-bench [--rates 2000,10000,50000] [--seconds 10]
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "stream_run.h"

namespace {

namespace fs = std::filesystem;
using tyvarion::e2e::StreamOptions;
using tyvarion::e2e::StreamResult;

// Resident memory may grow by this much after the first second, beyond the
// events the host had not fetched yet: allocator and stream buffers settling.
constexpr std::uint64_t kFlatMemorySlackKiB = 2048;

bool readAll(int descriptor, void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = read(descriptor, bytes, size);
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

StreamResult runInChild(const StreamOptions& options) {
    StreamResult result;
    result.rate = options.rate;
    int channel[2];
    if (pipe(channel) != 0) {
        std::snprintf(result.error, sizeof result.error, "pipe: %s", std::strerror(errno));
        return result;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const StreamResult measured = tyvarion::e2e::runStream(options);
        const bool written = write(channel[1], &measured, sizeof measured) == sizeof measured;
        _exit(written ? 0 : 1);
    }
    close(channel[1]);
    if (child < 0 || !readAll(channel[0], &result, sizeof result)) {
        std::snprintf(result.error, sizeof result.error, "the run at %d Hz ended without a result",
                      options.rate);
        result.ok = false;
    }
    close(channel[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return result;
}

std::vector<std::int32_t> parseRates(const char* text) {
    std::vector<std::int32_t> rates;
    for (const char* p = text; *p != '\0';) {
        char* end = nullptr;
        const long rate = std::strtol(p, &end, 10);
        if (end == p || rate < 1 || rate > 50000) return {};
        rates.push_back(static_cast<std::int32_t>(rate));
        p = *end == ',' ? end + 1 : end;
        if (*end != ',' && *end != '\0') return {};
    }
    return rates;
}

double percentOf(std::uint64_t part, std::uint64_t whole) {
    return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::int32_t> rates{2000, 10000, 50000};
    int seconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--rates" && i + 1 < argc) {
            rates = parseRates(argv[++i]);
        } else if (option == "--seconds" && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            rates.clear();
        }
        if (rates.empty() || seconds < 1) {
            std::fprintf(stderr, "usage: tyvarion-e2e-bench [--rates 2000,10000,50000] [--seconds 10]\n");
            return 2;
        }
    }

    std::vector<StreamResult> results;
    for (const std::int32_t rate : rates) {
        StreamOptions options;
        options.rate = rate;
        options.seconds = seconds;
        options.documents = fs::temp_directory_path() /
                            ("tyvarion-e2e-" + std::to_string(getpid()) + "-" + std::to_string(rate));
        fs::create_directories(options.documents);
        std::fprintf(stderr, "e2e: %d Hz for %d s\n", rate, seconds);
        results.push_back(runInChild(options));
        std::error_code ignored;
        fs::remove_all(options.documents, ignored);
    }

    std::printf("%-8s %10s %11s %10s %9s %9s %10s %10s %10s %9s %9s %10s\n", "rate/Hz", "sent",
                "events", "lines", "missing", "missing%", "p50 ms", "p99 ms", "max ms", "peak MiB",
                "grew KiB", "cpu us/smp");
    bool targetsHeld = true;
    for (const StreamResult& r : results) {
        if (!r.ok) {
            std::printf("%-8d failed: %s\n", r.rate, r.error);
            targetsHeld = false;
            continue;
        }
        std::printf("%-8d %10" PRIu64 " %11" PRIu64 " %10" PRIu64 " %9" PRIu64 " %9.4f %10.2f %10.2f %10.2f %9.1f %9" PRIu64 " %10.2f\n",
                    r.rate, r.sent, r.eventsFetched, r.lines, r.missing, percentOf(r.missing, r.sent),
                    r.delayP50Micros / 1000.0, r.delayP99Micros / 1000.0, r.delayMaxMicros / 1000.0,
                    r.peakResidentKiB / 1024.0, r.residentGrowthKiB, r.processorMicrosPerSample);
    }
    std::printf("\n");
    for (const StreamResult& r : results) {
        if (!r.ok) continue;
        // Unfetched events are the host's to take; the rest must stay flat.
        const std::uint64_t unfetchedKiB = r.mostEventsQueued * 64 / 1024;
        const bool flat = r.residentGrowthKiB <= unfetchedKiB + kFlatMemorySlackKiB;
        const bool complete = r.rate <= 10000 ? r.missing == 0 : percentOf(r.missing, r.sent) < 0.1;
        std::printf("%6d Hz: %s %s, memory %s (grew %" PRIu64 " KiB, at most %" PRIu64
                    " KiB of events waiting), teardown %.1f ms\n",
                    r.rate, complete ? "held:" : "MISSED:",
                    r.rate <= 10000 ? "no sample missing" : "under 0.1 % missing",
                    flat ? "flat" : "NOT FLAT", r.residentGrowthKiB, unfetchedKiB, r.teardownMillis);
        targetsHeld = targetsHeld && complete && flat;
    }
    std::printf("%s\n", targetsHeld ? "targets held" : "a target was missed");
    return targetsHeld ? 0 : 1;
}
