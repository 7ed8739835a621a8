#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "protocol/frame_codec.h"

namespace tyvarion::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes encode(const Frame& frame) {
    Bytes bytes;
    appendFrame(bytes, frame);
    return bytes;
}

tyapi::TYGazeSample distinctSample(std::int32_t index) {
    tyapi::TYGazeSample sample;
    std::memset(&sample, 0, sizeof sample);
    sample.timestampMicroSec = 1700000000123456 + index;
    sample.index = index;
    sample.porX = 959.5;
    sample.porY = -540.25;
    sample.porLeftX = 957;
    sample.porLeftY = tyapi::TYInvalidValue;
    sample.pupilRadiusLeft = 3.2;
    sample.porRightX = 1e-300;
    sample.porRightY = 0.1;
    sample.pupilRadiusRight = 3.25;
    sample.reserved12[0] = 0xAB;
    sample.reserved64[23] = 0xCD;
    sample.reserved112[5] = 0xEF;
    return sample;
}

DecodeResult decode(const Bytes& bytes) { return decodeFrame(std::span(bytes.data(), bytes.size())); }

TEST(FrameCodec, EncodesEachFrameLittleEndian) {
    EXPECT_EQ(encode(Hello{1, "ab"}), (Bytes{0x07, 0, 0, 0, 0x01, 0x01, 0x00, 0x02, 0x00, 'a', 'b'}));
    EXPECT_EQ(encode(StartRequest{0x01020304, -2}),
              (Bytes{0x09, 0, 0, 0, 0x03, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(encode(ScreenAnswer{7, 1920, 1080}),
              (Bytes{0x0D, 0, 0, 0, 0x82, 7, 0, 0, 0, 0x80, 0x07, 0, 0, 0x38, 0x04, 0, 0}));
    EXPECT_EQ(encode(Welcome{1}), (Bytes{0x03, 0, 0, 0, 0x81, 0x01, 0x00}));
    EXPECT_EQ(encode(DeviceEventFrame{1}), (Bytes{0x05, 0, 0, 0, 0x91, 0x01, 0, 0, 0}));
}

TEST(FrameCodec, EveryFrameRoundTrips) {
    const std::vector<Frame> frames = {
        Hello{1, "NBS Presentation"}, ScreenRequest{1},   StartRequest{2, 0},
        StopRequest{3},               CalibrateRequest{4, 9}, Welcome{1},
        ScreenAnswer{5, 1280, 720},   StartAnswer{6, 4},  StopAnswer{7},
        CalibrateAnswer{8, -1},       DeviceEventFrame{3},
    };
    for (const Frame& frame : frames) {
        SCOPED_TRACE(frame.index());
        const Bytes bytes = encode(frame);
        const DecodeResult result = decode(bytes);
        ASSERT_EQ(result.status, DecodeStatus::Complete);
        EXPECT_EQ(result.size, bytes.size());
        ASSERT_EQ(result.frame.index(), frame.index());
        EXPECT_EQ(encode(result.frame), bytes);
    }
    const Bytes helloBytes = encode(Hello{1, "NBS Presentation"});
    const DecodeResult hello = decode(helloBytes);  // the name is a view into the bytes
    EXPECT_EQ(std::get<Hello>(hello.frame).clientName, "NBS Presentation");
}

TEST(FrameCodec, SampleRecordsKeepEveryByte) {
    const tyapi::TYGazeSample sample = distinctSample(42);
    std::uint8_t record[kSampleRecordSize];
    encodeSample(sample, record);
    // Field positions on the wire are those of the 144-byte record.
    EXPECT_EQ(record[8], 42);
    EXPECT_EQ(record[12], 0xAB);
    EXPECT_EQ(0, std::memcmp(record, &sample, sizeof sample));  // the host is little-endian
    const tyapi::TYGazeSample back = decodeSample(record);
    EXPECT_EQ(0, std::memcmp(&back, &sample, sizeof sample));
}

TEST(FrameCodec, SamplesSplitIntoFramesOfAtMost256) {
    std::vector<tyapi::TYGazeSample> samples;
    for (int i = 0; i < 300; ++i) samples.push_back(distinctSample(i));
    Bytes bytes;
    appendSamples(bytes, samples);
    ASSERT_EQ(bytes.size(), 2 * (kFrameHeaderSize + 2) + 300 * kSampleRecordSize);

    std::span<const std::uint8_t> rest(bytes);
    std::vector<std::size_t> batchSizes;
    int next = 0;
    while (!rest.empty()) {
        const DecodeResult result = decodeFrame(rest);
        ASSERT_EQ(result.status, DecodeStatus::Complete);
        const auto& batch = std::get<SampleBatch>(result.frame);
        batchSizes.push_back(batch.size());
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const tyapi::TYGazeSample sample = batch[i];
            const tyapi::TYGazeSample expected = distinctSample(next++);
            EXPECT_EQ(0, std::memcmp(&sample, &expected, sizeof sample));
        }
        rest = rest.subspan(result.size);
    }
    EXPECT_EQ(batchSizes, (std::vector<std::size_t>{256, 44}));
}

TEST(FrameCodec, EveryPrefixIsIncomplete) {
    std::vector<tyapi::TYGazeSample> samples = {distinctSample(1), distinctSample(2)};
    Bytes bytes;
    appendSamples(bytes, samples);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const DecodeResult result = decodeFrame(std::span(bytes.data(), length));
        EXPECT_EQ(result.status, DecodeStatus::Incomplete) << "prefix of " << length;
    }
    EXPECT_EQ(decode(bytes).status, DecodeStatus::Complete);
}

TEST(FrameCodec, RejectsMalformedFrames) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"zero length", {0x00, 0, 0, 0}},
        // Judged from the header alone: the reader never waits for these bytes.
        {"oversized length", {0x01, 0x00, 0x01, 0x00, 0x90}},
        {"length 0xFFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"unknown type", {0x01, 0, 0, 0, 0x42}},
        {"type 0", {0x01, 0, 0, 0, 0x00}},
        {"request body short", {0x04, 0, 0, 0, 0x03, 1, 0, 0}},
        {"request body long", {0x06, 0, 0, 0, 0x02, 1, 0, 0, 0, 0}},
        {"hello without name length", {0x03, 0, 0, 0, 0x01, 1, 0}},
        {"hello name longer than announced", {0x08, 0, 0, 0, 0x01, 1, 0, 2, 0, 'a', 'b', 'c'}},
        {"hello name over 256", {}},
        {"empty sample batch", {0x03, 0, 0, 0, 0x90, 0, 0}},
        {"sample batch over 256", {}},
        {"sample batch one byte short", {}},
    };
    for (const Case& c : cases) {
        Bytes bytes = c.bytes;
        const std::string what = c.what;
        if (what == "hello name over 256") {
            bytes = {0x06, 0x01, 0, 0, 0x01, 1, 0, 0x01, 0x01};  // name of 257 bytes
            bytes.resize(4 + 0x106, 'x');
        } else if (what == "sample batch over 256") {
            const std::size_t length = 1 + 2 + 257 * kSampleRecordSize;
            bytes = {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                     static_cast<std::uint8_t>(length >> 16), 0, 0x90, 0x01, 0x01};
            bytes.resize(4 + length);
        } else if (what == "sample batch one byte short") {
            const std::size_t length = 1 + 2 + kSampleRecordSize - 1;
            bytes = {static_cast<std::uint8_t>(length), 0, 0, 0, 0x90, 0x01, 0x00};
            bytes.resize(4 + length);
        }
        EXPECT_EQ(decode(bytes).status, DecodeStatus::Malformed) << what;
    }
}

TEST(FrameCodec, LongClientNamesAreCut) {
    const std::string name(300, 'n');
    const Bytes bytes = encode(Hello{1, name});
    const DecodeResult result = decode(bytes);
    ASSERT_EQ(result.status, DecodeStatus::Complete);
    EXPECT_EQ(std::get<Hello>(result.frame).clientName, std::string(256, 'n'));
}

}  // namespace
}  // namespace tyvarion::sim
