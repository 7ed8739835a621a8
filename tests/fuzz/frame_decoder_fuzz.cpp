// Feeds arbitrary bytes to the frame decoder the way a reader does: frame
// after frame until one is incomplete or malformed. Every frame it accepts
// must lie within the input and within the largest frame, and must encode
// back to exactly the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "protocol/frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tyvarion::sim;
    std::span<const std::uint8_t> rest(data, size);
    std::vector<std::uint8_t> again;
    for (;;) {
        const DecodeResult result = decodeFrame(rest);
        if (result.status != DecodeStatus::Complete) break;
        if (result.size < kFrameHeaderSize || result.size > rest.size() || result.size > kMaxFrameSize)
            std::abort();
        if (const auto* batch = std::get_if<SampleBatch>(&result.frame)) {
            if (batch->size() == 0 || batch->size() > kMaxSamplesPerFrame) std::abort();
        }
        again.clear();
        appendFrame(again, result.frame);
        if (again.size() != result.size || std::memcmp(again.data(), rest.data(), result.size) != 0)
            std::abort();
        rest = rest.subspan(result.size);
    }
    return 0;
}
