// The writer writes the entries it took without recordMutex while restarts
// close files under it and teardown closes the last one. With the queue kept
// below its bound, every sample and every trigger must reach exactly one file,
// once, in order, and the files must follow each other without a gap.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "fake_tyapi.h"
#include "host_replies.h"
#include "recording_support.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using testing_support::setRecording;
using testing_support::validSampleLine;
using tyvarion::RecordingProbe;
using tyvarion::Tyvarion;
using tyvarion::unique_bstr;
namespace fs = std::filesystem;
namespace rs = recording_support;

namespace {

constexpr int kSamples = 60000;
constexpr int kFiles = 24;
// Far below the queue's bound, so that nothing may be dropped.
constexpr std::size_t kMostQueued = 2048;

}  // namespace

TEST(RecordingHandover, RestartsAndTeardownLoseDuplicateAndReorderNothing) {
    FakeClient::reset();
    rs::ScratchFolder scratch;
    const fs::path documents = scratch.path() / "Documents";
    fs::create_directory(documents);
    rs::ScopedDocumentsFolder documentsSetting(documents);
    rs::FixedClock clock;
    rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 10);

    int triggers = 0;
    {
        Tyvarion tracker;
        ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        std::atomic<int> delivered{0};
        std::thread intake([&] {
            for (int index = 0; index < kSamples; ++index) {
                if (index % 256 == 0) {
                    while (RecordingProbe::queued(tracker).size() > kMostQueued)
                        std::this_thread::yield();
                }
                FakeClient::deliverSample(fake::validSample(1000 + index, index));
                delivered = index + 1;
            }
        });
        // Each restart comes while samples stream, so that the writer often
        // still holds lines for the file being closed.
        for (int file = 1; file < kFiles; ++file) {
            while (delivered < file * (kSamples / kFiles)) std::this_thread::yield();
            EXPECT_HR(S_OK, tracker.SendTrigger(triggers++));
            rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 10 + file);
            EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
            EXPECT_HR(S_OK, tracker.SendTrigger(triggers++));
        }
        intake.join();
        EXPECT_HR(S_OK, tracker.SendTrigger(triggers++));
    }

    const fs::path recordings = documents / "Tyvarion" / "NBS Presentation";
    const std::vector<std::string> names = rs::listFolder(recordings);
    ASSERT_EQ(static_cast<std::size_t>(kFiles), names.size());
    const std::string header = rs::onDisk(rs::kHeader);
    int nextIndex = 0;
    int nextCode = 0;
    for (const std::string& name : names) {
        const std::string text = rs::readFile(recordings / name);
        ASSERT_EQ(header, text.substr(0, header.size())) << name;
        std::size_t position = header.size();
        while (position < text.size()) {
            const std::size_t end = text.find(rs::kLineEnd, position);
            ASSERT_NE(std::string::npos, end) << name << ": an unterminated line";
            const std::string line = text.substr(position, end - position);
            position = end + std::string(rs::kLineEnd).size();
            if (line.rfind("trigger: ", 0) == 0) {
                ASSERT_EQ("trigger: " + std::to_string(nextCode), line) << name;
                ++nextCode;
            } else {
                ASSERT_EQ(validSampleLine(nextIndex), line) << name;
                ++nextIndex;
            }
        }
    }
    EXPECT_EQ(kSamples, nextIndex);
    EXPECT_EQ(triggers, nextCode);
}
