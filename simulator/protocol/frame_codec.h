#pragma once
// The wire format between the simulated client library and the simulated
// server: length-prefixed little-endian frames over TCP. Pure functions over
// byte spans, shared by both ends and by the fuzz target.
//
// Frame: u32 length (bytes that follow: the type and the body), u8 type, body.
// Every type has a fixed body size except Hello (a bounded name) and Samples
// (a bounded count of 144-byte records); anything else is malformed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "client/tyapi.h"

namespace tyvarion::sim {

inline constexpr std::uint16_t kProtocolVersion = 1;
inline constexpr std::size_t kFrameHeaderSize = 5;
inline constexpr std::size_t kMaxClientNameLength = 256;
inline constexpr std::size_t kSampleRecordSize = 144;
inline constexpr std::size_t kMaxSamplesPerFrame = 256;
inline constexpr std::size_t kMaxFrameSize =
    kFrameHeaderSize + 2 + kMaxSamplesPerFrame * kSampleRecordSize;

enum class FrameType : std::uint8_t {
    Hello = 0x01,
    ScreenRequest = 0x02,
    StartRequest = 0x03,
    StopRequest = 0x04,
    CalibrateRequest = 0x05,
    Welcome = 0x81,
    ScreenAnswer = 0x82,
    StartAnswer = 0x83,
    StopAnswer = 0x84,
    CalibrateAnswer = 0x85,
    Samples = 0x90,
    DeviceEvent = 0x91,
};

// Client to server.
struct Hello {
    std::uint16_t version = kProtocolVersion;
    std::string_view clientName;  // at most kMaxClientNameLength bytes
};
struct ScreenRequest { std::uint32_t id = 0; };
struct StartRequest { std::uint32_t id = 0; std::int32_t mode = 0; };
struct StopRequest { std::uint32_t id = 0; };
struct CalibrateRequest { std::uint32_t id = 0; std::int32_t mode = 0; };

// Server to client.
struct Welcome { std::uint16_t version = kProtocolVersion; };
struct ScreenAnswer { std::uint32_t id = 0; std::int32_t width = 0; std::int32_t height = 0; };
struct StartAnswer { std::uint32_t id = 0; std::int32_t result = 0; };
struct StopAnswer { std::uint32_t id = 0; };
struct CalibrateAnswer { std::uint32_t id = 0; std::int32_t result = 0; };
struct DeviceEventFrame { std::int32_t code = 0; };

// A decoded batch of samples: a view of the encoded records in the receive
// buffer, decoded one at a time so that a batch costs no allocation.
class SampleBatch {
public:
    SampleBatch() = default;
    explicit SampleBatch(std::span<const std::uint8_t> records) : records_(records) {}
    std::size_t size() const { return records_.size() / kSampleRecordSize; }
    tyapi::TYGazeSample operator[](std::size_t index) const;

private:
    std::span<const std::uint8_t> records_;
};

using Frame = std::variant<Hello, ScreenRequest, StartRequest, StopRequest, CalibrateRequest,
                           Welcome, ScreenAnswer, StartAnswer, StopAnswer, CalibrateAnswer,
                           SampleBatch, DeviceEventFrame>;

enum class DecodeStatus {
    Complete,    // one frame decoded; `size` bytes consumed
    Incomplete,  // a valid prefix: more bytes are needed
    Malformed,   // the connection cannot continue
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Incomplete;
    std::size_t size = 0;
    Frame frame;
};

// Decodes the first frame in `bytes`. Views in the result (the client name,
// the sample records) point into `bytes`.
DecodeResult decodeFrame(std::span<const std::uint8_t> bytes);

// Appends one encoded frame. A client name longer than kMaxClientNameLength
// is cut to that length.
void appendFrame(std::vector<std::uint8_t>& out, const Frame& frame);

// Appends Samples frames, kMaxSamplesPerFrame records at most in each.
void appendSamples(std::vector<std::uint8_t>& out, std::span<const tyapi::TYGazeSample> samples);

// One record in its wire layout, and back.
void encodeSample(const tyapi::TYGazeSample& sample, std::uint8_t* record);
tyapi::TYGazeSample decodeSample(const std::uint8_t* record);

}  // namespace tyvarion::sim
