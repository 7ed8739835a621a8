// End to end at the rates a tracker streams: for each rate, the simulated
// server sends `seconds` worth of samples through the client library, sample
// intake and the recording writer into a real file, while the host polls
// GetEvents at 60 Hz. Each rate runs in a process of its own, so that peak
// memory and processor time belong to that rate alone. Prints two tables, the
// stream and each thread's cost, and whether the targets held; exits 1 when one
// did not.
//
//   tyvarion-e2e-bench [--rates 2000,10000,50000] [--seconds 10] [--intake-ns NS]
//                      [--writer-mark N] [--writer-deadline-us US]
//
// --intake-ns is sample intake's cost per sample from its micro-benchmark; the
// thread table then shows intake's share of the client library's thread.
// --writer-mark and --writer-deadline-us replace the writer's built-in pacing,
// to measure other choices.
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "recording/writer_pacing.h"
#include "stream_run.h"

namespace {

namespace fs = std::filesystem;
using tyvarion::e2e::StreamOptions;
using tyvarion::e2e::StreamResult;
using tyvarion::kWriterDeadline;
using tyvarion::kWriterWakeMark;
using tyvarion::kWriterWakesPerEntry;

// The writer's targets while a tracker streams at up to 10,000 Hz: it wakes at
// most this often, and at 2,000 Hz it uses less than this share of a core.
constexpr double kMostWriterWakeUpsPerSecond = 100;
constexpr double kMostWriterPercentAt2000Hz = 0.2;

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
    double intakeNanos = 0;
    StreamOptions pacing;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--rates" && i + 1 < argc) {
            rates = parseRates(argv[++i]);
        } else if (option == "--seconds" && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else if (option == "--intake-ns" && i + 1 < argc) {
            intakeNanos = std::atof(argv[++i]);
        } else if (option == "--writer-mark" && i + 1 < argc) {
            pacing.writerWakeMark = std::atoll(argv[++i]);
        } else if (option == "--writer-deadline-us" && i + 1 < argc) {
            pacing.writerDeadlineMicros = std::atoll(argv[++i]);
        } else {
            rates.clear();
        }
        if (rates.empty() || seconds < 1) {
            std::fprintf(stderr,
                         "usage: tyvarion-e2e-bench [--rates 2000,10000,50000] [--seconds 10] "
                         "[--intake-ns NS] [--writer-mark N] [--writer-deadline-us US]\n");
            return 2;
        }
    }
    const bool customPacing = pacing.writerWakeMark > 0 || pacing.writerDeadlineMicros >= 0;

    std::vector<StreamResult> results;
    for (const std::int32_t rate : rates) {
        StreamOptions options = pacing;
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

    std::printf("\nper thread while the server streamed (processor time in %% of one core, wake-ups per second)\n");
    if (kWriterWakesPerEntry) {
        std::printf("writer: woken for every entry that finds it asleep (the earlier policy)\n");
    } else {
        const long long mark = pacing.writerWakeMark > 0 ? pacing.writerWakeMark
                                                         : static_cast<long long>(kWriterWakeMark);
        const long long deadline =
            pacing.writerDeadlineMicros >= 0
                ? pacing.writerDeadlineMicros
                : std::chrono::duration_cast<std::chrono::microseconds>(kWriterDeadline).count();
        std::printf("writer: woken in batches, wake mark %lld, deadline %lld us%s\n", mark, deadline,
                    customPacing ? " (set by options)" : "");
    }
    std::printf("%-8s %9s %9s %9s %9s %9s %9s %9s %9s\n", "rate/Hz", "writer %", "writer/s",
                "client %", "client/s", "intake %", "host %", "host/s", "preempt/s");
    for (const StreamResult& r : results) {
        if (!r.ok) continue;
        char intake[32] = "-";
        if (intakeNanos > 0) {
            std::snprintf(intake, sizeof intake, "%.4f",
                          100.0 * intakeNanos * 1e-9 * static_cast<double>(r.rate));
        }
        std::printf("%-8d %9.3f %9.1f %9.3f %9.1f %9s %9.3f %9.1f %9.1f\n", r.rate,
                    r.writer.processorPercent, r.writer.wakeUpsPerSecond, r.client.processorPercent,
                    r.client.wakeUpsPerSecond,
                    intake,
                    r.host.processorPercent, r.host.wakeUpsPerSecond,
                    r.writer.preemptionsPerSecond + r.client.preemptionsPerSecond + r.host.preemptionsPerSecond);
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
        if (r.rate > 10000) continue;
        // The earlier policy is measured for comparison: its figures are shown,
        // not held against the targets.
        const bool quiet = r.writer.wakeUpsPerSecond <= kMostWriterWakeUpsPerSecond;
        const bool cheap = r.rate != 2000 || r.writer.processorPercent < kMostWriterPercentAt2000Hz;
        std::printf("%6d Hz: writer %s %.1f wake-ups/s (at most %.0f)", r.rate,
                    quiet ? "held:" : "MISSED:", r.writer.wakeUpsPerSecond, kMostWriterWakeUpsPerSecond);
        if (r.rate == 2000) {
            std::printf(", %s %.3f %% of a core (under %.1f %%)", cheap ? "held:" : "MISSED:",
                        r.writer.processorPercent, kMostWriterPercentAt2000Hz);
        }
        std::printf("%s\n", kWriterWakesPerEntry ? " (earlier policy: not a target)" : "");
        if (!kWriterWakesPerEntry) targetsHeld = targetsHeld && quiet && cheap;
    }
    std::printf("%s\n", targetsHeld ? "targets held" : "a target was missed");
    return targetsHeld ? 0 : 1;
}
