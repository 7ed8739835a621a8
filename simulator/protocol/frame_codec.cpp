#include "protocol/frame_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace tyvarion::sim {
namespace {

// Little-endian byte access, written out so that the wire format does not
// depend on the host's byte order or on alignment.
template <typename T>
void put(std::uint8_t* out, T value) {
    using U = std::make_unsigned_t<std::conditional_t<std::is_floating_point_v<T>,
                                                      std::int64_t, T>>;
    U bits;
    if constexpr (std::is_floating_point_v<T>) {
        bits = std::bit_cast<std::uint64_t>(value);
    } else {
        bits = static_cast<U>(value);
    }
    for (std::size_t i = 0; i < sizeof(U); ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

template <typename T>
T get(const std::uint8_t* in) {
    using U = std::make_unsigned_t<std::conditional_t<std::is_floating_point_v<T>,
                                                      std::int64_t, T>>;
    U bits = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i) bits |= static_cast<U>(static_cast<U>(in[i]) << (8 * i));
    if constexpr (std::is_floating_point_v<T>) {
        return std::bit_cast<double>(static_cast<std::uint64_t>(bits));
    } else {
        return static_cast<T>(bits);
    }
}

// Writes a frame's header and reserves its body; returns the body.
std::uint8_t* beginFrame(std::vector<std::uint8_t>& out, FrameType type, std::size_t bodySize) {
    const std::size_t start = out.size();
    out.resize(start + kFrameHeaderSize + bodySize);
    std::uint8_t* frame = out.data() + start;
    put<std::uint32_t>(frame, static_cast<std::uint32_t>(1 + bodySize));
    frame[4] = static_cast<std::uint8_t>(type);
    return frame + kFrameHeaderSize;
}

struct Encoder {
    std::vector<std::uint8_t>& out;

    void operator()(const Hello& hello) const {
        const std::size_t nameLength = std::min(hello.clientName.size(), kMaxClientNameLength);
        std::uint8_t* body = beginFrame(out, FrameType::Hello, 4 + nameLength);
        put<std::uint16_t>(body, hello.version);
        put<std::uint16_t>(body + 2, static_cast<std::uint16_t>(nameLength));
        if (nameLength != 0) std::memcpy(body + 4, hello.clientName.data(), nameLength);
    }
    void operator()(const ScreenRequest& request) const {
        put<std::uint32_t>(beginFrame(out, FrameType::ScreenRequest, 4), request.id);
    }
    void operator()(const StartRequest& request) const {
        std::uint8_t* body = beginFrame(out, FrameType::StartRequest, 8);
        put<std::uint32_t>(body, request.id);
        put<std::int32_t>(body + 4, request.mode);
    }
    void operator()(const StopRequest& request) const {
        put<std::uint32_t>(beginFrame(out, FrameType::StopRequest, 4), request.id);
    }
    void operator()(const CalibrateRequest& request) const {
        std::uint8_t* body = beginFrame(out, FrameType::CalibrateRequest, 8);
        put<std::uint32_t>(body, request.id);
        put<std::int32_t>(body + 4, request.mode);
    }
    void operator()(const Welcome& welcome) const {
        put<std::uint16_t>(beginFrame(out, FrameType::Welcome, 2), welcome.version);
    }
    void operator()(const ScreenAnswer& answer) const {
        std::uint8_t* body = beginFrame(out, FrameType::ScreenAnswer, 12);
        put<std::uint32_t>(body, answer.id);
        put<std::int32_t>(body + 4, answer.width);
        put<std::int32_t>(body + 8, answer.height);
    }
    void operator()(const StartAnswer& answer) const {
        std::uint8_t* body = beginFrame(out, FrameType::StartAnswer, 8);
        put<std::uint32_t>(body, answer.id);
        put<std::int32_t>(body + 4, answer.result);
    }
    void operator()(const StopAnswer& answer) const {
        put<std::uint32_t>(beginFrame(out, FrameType::StopAnswer, 4), answer.id);
    }
    void operator()(const CalibrateAnswer& answer) const {
        std::uint8_t* body = beginFrame(out, FrameType::CalibrateAnswer, 8);
        put<std::uint32_t>(body, answer.id);
        put<std::int32_t>(body + 4, answer.result);
    }
    void operator()(const SampleBatch& batch) const {
        // Re-encoding a decoded batch; batches are normally built with appendSamples.
        std::uint8_t* body = beginFrame(out, FrameType::Samples, 2 + batch.size() * kSampleRecordSize);
        put<std::uint16_t>(body, static_cast<std::uint16_t>(batch.size()));
        for (std::size_t i = 0; i < batch.size(); ++i)
            encodeSample(batch[i], body + 2 + i * kSampleRecordSize);
    }
    void operator()(const DeviceEventFrame& event) const {
        put<std::int32_t>(beginFrame(out, FrameType::DeviceEvent, 4), event.code);
    }
};

DecodeResult malformed() { return DecodeResult{DecodeStatus::Malformed, 0, Frame{}}; }

// The body of a fixed-size frame must have exactly that size.
bool fixedSize(std::span<const std::uint8_t> body, std::size_t expected) {
    return body.size() == expected;
}

}  // namespace

void encodeSample(const tyapi::TYGazeSample& sample, std::uint8_t* record) {
    put<std::int64_t>(record + 0, sample.timestampMicroSec);
    put<std::int32_t>(record + 8, sample.index);
    std::memcpy(record + 12, sample.reserved12, sizeof sample.reserved12);
    put<double>(record + 32, sample.porX);
    put<double>(record + 40, sample.porY);
    put<double>(record + 48, sample.porLeftX);
    put<double>(record + 56, sample.porLeftY);
    std::memcpy(record + 64, sample.reserved64, sizeof sample.reserved64);
    put<double>(record + 88, sample.pupilRadiusLeft);
    put<double>(record + 96, sample.porRightX);
    put<double>(record + 104, sample.porRightY);
    std::memcpy(record + 112, sample.reserved112, sizeof sample.reserved112);
    put<double>(record + 136, sample.pupilRadiusRight);
}

tyapi::TYGazeSample decodeSample(const std::uint8_t* record) {
    tyapi::TYGazeSample sample;
    sample.timestampMicroSec = get<std::int64_t>(record + 0);
    sample.index = get<std::int32_t>(record + 8);
    std::memcpy(sample.reserved12, record + 12, sizeof sample.reserved12);
    sample.porX = get<double>(record + 32);
    sample.porY = get<double>(record + 40);
    sample.porLeftX = get<double>(record + 48);
    sample.porLeftY = get<double>(record + 56);
    std::memcpy(sample.reserved64, record + 64, sizeof sample.reserved64);
    sample.pupilRadiusLeft = get<double>(record + 88);
    sample.porRightX = get<double>(record + 96);
    sample.porRightY = get<double>(record + 104);
    std::memcpy(sample.reserved112, record + 112, sizeof sample.reserved112);
    sample.pupilRadiusRight = get<double>(record + 136);
    return sample;
}

tyapi::TYGazeSample SampleBatch::operator[](std::size_t index) const {
    return decodeSample(records_.data() + index * kSampleRecordSize);
}

DecodeResult decodeFrame(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) return DecodeResult{};
    const std::uint32_t length = get<std::uint32_t>(bytes.data());
    // Judge the announced length before waiting for the bytes, so that a peer
    // cannot make the reader buffer more than one largest frame.
    if (length < 1 || length > kMaxFrameSize - 4) return malformed();
    if (bytes.size() < 4 + std::size_t{length}) return DecodeResult{};

    const auto type = static_cast<FrameType>(bytes[4]);
    const std::span<const std::uint8_t> body = bytes.subspan(kFrameHeaderSize, length - 1);
    const std::uint8_t* b = body.data();
    const std::size_t size = 4 + std::size_t{length};
    auto done = [size](Frame frame) { return DecodeResult{DecodeStatus::Complete, size, frame}; };

    switch (type) {
    case FrameType::Hello: {
        if (body.size() < 4) return malformed();
        const std::uint16_t nameLength = get<std::uint16_t>(b + 2);
        if (nameLength > kMaxClientNameLength || body.size() != 4 + std::size_t{nameLength})
            return malformed();
        return done(Hello{get<std::uint16_t>(b),
                          std::string_view(reinterpret_cast<const char*>(b + 4), nameLength)});
    }
    case FrameType::ScreenRequest:
        if (!fixedSize(body, 4)) return malformed();
        return done(ScreenRequest{get<std::uint32_t>(b)});
    case FrameType::StartRequest:
        if (!fixedSize(body, 8)) return malformed();
        return done(StartRequest{get<std::uint32_t>(b), get<std::int32_t>(b + 4)});
    case FrameType::StopRequest:
        if (!fixedSize(body, 4)) return malformed();
        return done(StopRequest{get<std::uint32_t>(b)});
    case FrameType::CalibrateRequest:
        if (!fixedSize(body, 8)) return malformed();
        return done(CalibrateRequest{get<std::uint32_t>(b), get<std::int32_t>(b + 4)});
    case FrameType::Welcome:
        if (!fixedSize(body, 2)) return malformed();
        return done(Welcome{get<std::uint16_t>(b)});
    case FrameType::ScreenAnswer:
        if (!fixedSize(body, 12)) return malformed();
        return done(ScreenAnswer{get<std::uint32_t>(b), get<std::int32_t>(b + 4),
                                 get<std::int32_t>(b + 8)});
    case FrameType::StartAnswer:
        if (!fixedSize(body, 8)) return malformed();
        return done(StartAnswer{get<std::uint32_t>(b), get<std::int32_t>(b + 4)});
    case FrameType::StopAnswer:
        if (!fixedSize(body, 4)) return malformed();
        return done(StopAnswer{get<std::uint32_t>(b)});
    case FrameType::CalibrateAnswer:
        if (!fixedSize(body, 8)) return malformed();
        return done(CalibrateAnswer{get<std::uint32_t>(b), get<std::int32_t>(b + 4)});
    case FrameType::Samples: {
        if (body.size() < 2) return malformed();
        const std::uint16_t count = get<std::uint16_t>(b);
        if (count == 0 || count > kMaxSamplesPerFrame ||
            body.size() != 2 + std::size_t{count} * kSampleRecordSize)
            return malformed();
        return done(SampleBatch(body.subspan(2)));
    }
    case FrameType::DeviceEvent:
        if (!fixedSize(body, 4)) return malformed();
        return done(DeviceEventFrame{get<std::int32_t>(b)});
    }
    return malformed();
}

void appendFrame(std::vector<std::uint8_t>& out, const Frame& frame) {
    std::visit(Encoder{out}, frame);
}

void appendSamples(std::vector<std::uint8_t>& out, std::span<const tyapi::TYGazeSample> samples) {
    while (!samples.empty()) {
        const std::size_t count = std::min(samples.size(), kMaxSamplesPerFrame);
        std::uint8_t* body = beginFrame(out, FrameType::Samples, 2 + count * kSampleRecordSize);
        put<std::uint16_t>(body, static_cast<std::uint16_t>(count));
        for (std::size_t i = 0; i < count; ++i)
            encodeSample(samples[i], body + 2 + i * kSampleRecordSize);
        samples = samples.subspan(count);
    }
}

}  // namespace tyvarion::sim
