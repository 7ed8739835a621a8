#pragma once
// Listeners that keep what the client library delivers, for the simulator's tests.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "client/callback_slots.h"
#include "client/tyapi.h"

namespace tyvarion::sim::testing {

// Generous: a condition that holds arrives long before; only a fault waits it out.
inline constexpr std::chrono::seconds kPatience{60};

class Recorder : public tyapi::TYApi::TYGazeSampleCallback, public tyapi::TYApi::TYDeviceEventCallback {
public:
    Recorder()
        : TYGazeSampleCallback(tyapi::GazeSampleSlots<Recorder>::table.slots),
          TYDeviceEventCallback(tyapi::DeviceEventSlots<Recorder>::table.slots) {}
    virtual ~Recorder() = default;

    virtual void onGazeSample(const tyapi::TYGazeSample& sample) {
        if (closed_.load()) lateCalls_.fetch_add(1);
        std::lock_guard lock(mutex_);
        samples_.push_back(sample);
        changed_.notify_all();
    }
    void onDeviceEvent(std::int32_t code) {
        if (closed_.load()) lateCalls_.fetch_add(1);
        std::lock_guard lock(mutex_);
        events_.push_back(code);
        samplesAtEvent_.push_back(samples_.size());
        changed_.notify_all();
    }

    // Calls after this count as late (the client should be gone).
    void close() { closed_.store(true); }
    int lateCalls() const { return lateCalls_.load(); }

    // Waits until `done` holds over the samples and events (or kPatience passes).
    bool waitFor(const std::function<bool(const std::vector<tyapi::TYGazeSample>&,
                                          const std::vector<std::int32_t>&)>& done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return done(samples_, events_); });
    }
    bool waitForSamples(std::size_t count) {
        return waitFor([count](const auto& samples, const auto&) { return samples.size() >= count; });
    }
    bool waitForEvent(std::int32_t code) {
        return waitFor([code](const auto&, const auto& events) {
            for (std::int32_t event : events)
                if (event == code) return true;
            return false;
        });
    }

    std::vector<tyapi::TYGazeSample> samples() {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    std::vector<std::int32_t> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // How many samples had arrived when each event arrived.
    std::vector<std::size_t> samplesAtEvents() {
        std::lock_guard lock(mutex_);
        return samplesAtEvent_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<tyapi::TYGazeSample> samples_;
    std::vector<std::int32_t> events_;
    std::vector<std::size_t> samplesAtEvent_;
    std::atomic<bool> closed_{false};
    std::atomic<int> lateCalls_{0};
};

// Lets whatever is in flight arrive before a test checks that nothing more came.
inline void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

}  // namespace tyvarion::sim::testing
