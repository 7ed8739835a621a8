#include "host-session/progress.h"

namespace tyvarion::host {
namespace {

constexpr std::chrono::milliseconds kTerminalInterval{100};
constexpr std::chrono::milliseconds kPlainInterval{1000};

}  // namespace

std::string formatProgress(const ProgressState& state) {
    char text[200];
    char gaze[64] = "gaze -";
    if (state.gaze)
        std::snprintf(gaze, sizeof gaze, "gaze (%.1f, %.1f)", (*state.gaze)[0], (*state.gaze)[1]);
    char rate[32] = "-";
    if (state.eventsPerSecond) std::snprintf(rate, sizeof rate, "%.0f", *state.eventsPerSecond);
    std::snprintf(text, sizeof text, "trial %d/%d   %5.2f s   %5s events/s   %-22s   status 0x%02lX",
                  state.trial, state.trials, state.elapsedSeconds, rate, gaze,
                  static_cast<unsigned long>(state.status));
    return text;
}

void EventRate::add(Clock::time_point now, std::int64_t events) {
    if (!fetches_.empty()) afterFirst_ += events;
    fetches_.emplace_back(now, events);
    // Keep the window's first fetch at most kWindow old; the one that becomes
    // first no longer counts.
    while (fetches_.size() > 1 && now - fetches_[1].first >= kWindow) {
        fetches_.pop_front();
        afterFirst_ -= fetches_.front().second;
    }
}

std::optional<double> EventRate::perSecond() const {
    if (fetches_.size() < 2) return std::nullopt;
    const auto span = fetches_.back().first - fetches_.front().first;
    if (span < kFirstInterval) return std::nullopt;
    return static_cast<double>(afterFirst_) / std::chrono::duration<double>(span).count();
}

ProgressDisplay::ProgressDisplay(std::FILE* output, bool terminal)
    : output_(output), terminal_(terminal) {}

void ProgressDisplay::update(const ProgressState& state, Clock::time_point now) {
    const auto interval = terminal_ ? kTerminalInterval : kPlainInterval;
    if (!lastShown_) {
        // A plain line waits for the first interval: a line at 0 s says nothing.
        lastShown_ = now;
        if (!terminal_) return;
    } else if (now - *lastShown_ < interval) {
        return;
    } else {
        lastShown_ = now;
    }
    show(formatProgress(state), false);
}

void ProgressDisplay::finish(const ProgressState& state) {
    show(formatProgress(state), true);
    lastShown_.reset();
}

void ProgressDisplay::breakLine() {
    if (shownLength_ == 0) return;
    std::fputc('\n', output_);
    std::fflush(output_);
    shownLength_ = 0;
}

void ProgressDisplay::show(const std::string& line, bool final) {
    if (!terminal_) {
        std::fprintf(output_, "%s\n", line.c_str());
    } else {
        // Spaces rather than an erase sequence: every console understands them.
        const std::size_t padding = shownLength_ > line.size() ? shownLength_ - line.size() : 0;
        std::fprintf(output_, "\r%s%*s", line.c_str(), static_cast<int>(padding), "");
        shownLength_ = line.size();
        if (final) {
            std::fputc('\n', output_);
            shownLength_ = 0;
        }
    }
    std::fflush(output_);
}

}  // namespace tyvarion::host
