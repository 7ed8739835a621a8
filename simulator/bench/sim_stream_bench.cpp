// Measures the simulated client and server over loopback (a benchmark, not a
// test): sustained throughput at 50,000 samples per second for 10 seconds
// with a check that nothing is lost, and the delay from each sample's
// timestampMicroSec to its listener call at 2,000 Hz.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "client/callback_slots.h"
#include "client/tyapi.h"
#include "harness/server_process.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t wallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class Collector : public tyapi::TYApi::TYGazeSampleCallback, public tyapi::TYApi::TYDeviceEventCallback {
public:
    explicit Collector(std::size_t expected)
        : TYGazeSampleCallback(tyapi::GazeSampleSlots<Collector>::table.slots),
          TYDeviceEventCallback(tyapi::DeviceEventSlots<Collector>::table.slots),
          expected_(expected) {
        delays_.reserve(expected);
    }

    void onGazeSample(const tyapi::TYGazeSample& sample) {
        const std::int64_t delay = wallMicros() - sample.timestampMicroSec;
        if (sample.index != static_cast<std::int32_t>(received_)) ++outOfOrder_;
        delays_.push_back(delay);
        if (++received_ == expected_) {
            std::lock_guard lock(mutex_);
            done_ = true;
            finished_.notify_all();
        }
    }
    void onDeviceEvent(std::int32_t code) {
        std::lock_guard lock(mutex_);
        lostConnection_ = code == tyapi::DEVICE_EVENT_CONNECTION_LOST;
        done_ = true;
        finished_.notify_all();
    }
    bool wait(std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        return finished_.wait_for(lock, limit, [this] { return done_; }) && !lostConnection_;
    }

    std::size_t received() const { return received_; }
    std::size_t outOfOrder() const { return outOfOrder_; }
    std::vector<std::int64_t> delays() const { return delays_; }  // after the client is gone

private:
    std::size_t expected_;
    std::size_t received_ = 0;  // written by the library's thread only
    std::size_t outOfOrder_ = 0;
    std::vector<std::int64_t> delays_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    bool lostConnection_ = false;
};

std::int64_t percentile(std::vector<std::int64_t> values, double p) {
    if (values.empty()) return 0;
    const std::size_t rank = std::min(values.size() - 1, static_cast<std::size_t>(p / 100.0 * values.size()));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank), values.end());
    return values[rank];
}

struct Run {
    std::size_t received = 0;
    std::size_t outOfOrder = 0;
    std::uint64_t serverSent = 0;
    double seconds = 0;
    std::vector<std::int64_t> delays;
    bool complete = false;
};

Run stream(int rate, std::size_t count) {
    tyvarion::sim::ServerProcess server({"--rate", std::to_string(rate), "--samples", std::to_string(count)});
    Run run;
    if (!server.running()) {
        std::fprintf(stderr, "server did not start: %s\n", server.output().c_str());
        return run;
    }
    server.useForClients();
    Collector collector(count);
    {
        tyapi::TYApi client("sim-bench");
        client.registerGazeSampleListener(&collector);
        client.registerDeviceEventListener(&collector);
        if (client.connect() != tyapi::CONNECT_SUCCESS) return run;
        const auto start = Clock::now();
        if (client.requestTracking(0) != tyapi::START_SUCCESS) return run;
        run.complete = collector.wait(std::chrono::seconds(10 + 2 * count / rate));
        run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    server.stop();
    run.received = collector.received();
    run.outOfOrder = collector.outOfOrder();
    run.serverSent = server.samplesSent().value_or(0);
    run.delays = collector.delays();
    return run;
}

void printDelays(const std::vector<std::int64_t>& delays) {
    std::printf("  delay timestamp -> listener (us): min %" PRId64 "  p50 %" PRId64 "  p90 %" PRId64
                "  p99 %" PRId64 "  p99.9 %" PRId64 "  max %" PRId64 "\n",
                delays.empty() ? 0 : *std::min_element(delays.begin(), delays.end()), percentile(delays, 50), percentile(delays, 90), percentile(delays, 99), percentile(delays, 99.9),
                delays.empty() ? 0 : *std::max_element(delays.begin(), delays.end()));
}

}  // namespace

int main() {
    bool ok = true;

    std::printf("throughput: 50000 Hz for 10 s (500000 samples)\n");
    const Run fast = stream(50000, 500000);
    std::printf("  received %zu of %" PRIu64 " sent, %zu out of order, %.2f s, %.0f samples/s\n", fast.received,
                fast.serverSent, fast.outOfOrder, fast.seconds, fast.received / (fast.seconds > 0 ? fast.seconds : 1));
    printDelays(fast.delays);
    ok = ok && fast.complete && fast.received == 500000 && fast.outOfOrder == 0;

    std::printf("latency: 2000 Hz for 10 s (20000 samples)\n");
    const Run slow = stream(2000, 20000);
    std::printf("  received %zu of %" PRIu64 " sent, %zu out of order, %.2f s\n", slow.received, slow.serverSent,
                slow.outOfOrder, slow.seconds);
    printDelays(slow.delays);
    ok = ok && slow.complete && slow.outOfOrder == 0 && percentile(slow.delays, 99) < 1000;

    // How long a connect takes to give up when nothing listens.
    tyvarion::sim::setClientEndpoint("127.0.0.1:1");
    tyapi::TYApi lonely("sim-bench");
    const auto before = Clock::now();
    const auto result = lonely.connect();
    std::printf("connect with no server: result %d after %.1f ms\n", static_cast<int>(result),
                std::chrono::duration<double, std::milli>(Clock::now() - before).count());

    std::printf(ok ? "PASS\n" : "FAIL\n");
    return ok ? 0 : 1;
}
