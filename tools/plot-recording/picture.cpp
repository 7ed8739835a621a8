// Gathering what the picture shows, one line of the recording at a time.
#include <algorithm>

#include "plot-recording/plot.h"

namespace tyvarion::plot {

Picture::Picture(const PlotOptions& options)
    : options_(options),
      // Steps of half a picture pixel: what the screen panel can show.
      left_(0.5 / gazeScale(options)),
      right_(left_),
      grid_(options.screenWidth, options.screenHeight),
      dwells_(options.dwell) {}

void Picture::addSample(const tools::RecordedSample& sample) {
    if (lastIndex_) {
        const std::int64_t step = static_cast<std::int64_t>(sample.index) - *lastIndex_;
        if (step > 1) missing_ += static_cast<std::size_t>(step - 1);
    }
    lastIndex_ = sample.index;
    if (!firstMicros_) firstMicros_ = sample.timeMicros;
    lastMicros_ = sample.timeMicros;
    ++samples_;
    const auto gaze = gazeOf(sample);
    gazeX_.add(sample.timeMicros, gaze ? std::optional(gaze->x) : std::nullopt);
    gazeY_.add(sample.timeMicros, gaze ? std::optional(gaze->y) : std::nullopt);
    pupilLeft_.add(sample.timeMicros, sample.pupilLeftMm);
    pupilRight_.add(sample.timeMicros, sample.pupilRightMm);
    left_.add(sample.left);
    right_.add(sample.right);
    grid_.add(gaze);
    dwells_.add(TimedPoint{sample.timeMicros, gaze});
}

void Picture::addText(const tools::TextLine& line, const std::optional<tools::RecordedSample>& above) {
    ++(line.kind == tools::TextKind::trigger ? triggers_ : messages_);
    events_.push_back(Event{line.kind, line.text, line.value,
                            above ? std::optional(above->timeMicros) : std::nullopt});
}

std::string plotRecording(const tools::Recording& recording, const PlotOptions& options) {
    Picture picture(options);
    std::size_t next = 0;
    for (const tools::TextLine& line : recording.texts) {
        for (; next < line.samplesBefore && next < recording.samples.size(); ++next)
            picture.addSample(recording.samples[next]);
        picture.addText(line, next == 0 ? std::nullopt : std::optional(recording.samples[next - 1]));
    }
    for (; next < recording.samples.size(); ++next) picture.addSample(recording.samples[next]);
    return picture.draw();
}

}  // namespace tyvarion::plot
