#pragma once
// What a Windows DLL's file says about itself, read from its headers, its
// export table and its import tables without loading it, on any system. The
// file is untrusted: every offset is checked against its size, and a file
// that is not a PE image is refused with a reason.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tyvarion::client_check {

enum class Machine { x86, x64, arm64, other };

struct PeExport {
    std::string name;
    std::uint32_t address = 0;  // relative to the image's base; 0 for a forwarder
};

struct PeSection {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawOffset = 0;
    std::uint32_t rawSize = 0;
};

class PeImage {
public:
    Machine machine = Machine::other;
    std::uint16_t machineCode = 0;
    bool dll = false;
    std::vector<PeExport> exports;  // named exports, in the table's order
    std::vector<std::string> imports;  // DLLs it needs at load time, then its delay-loaded ones

    // The eight bytes at `address` as the loader maps them: from the file, or
    // zero where a section extends past its data; nullopt outside every section.
    std::optional<double> doubleAt(std::uint32_t address) const;

    std::vector<std::uint8_t> bytes;
    std::vector<PeSection> sections;
};

// The image, or why the bytes are not a PE image ("no MZ header", "truncated
// section table"...). A PE image that is no DLL is returned with dll false.
std::variant<PeImage, std::string> readPeImage(std::vector<std::uint8_t> bytes);

}  // namespace tyvarion::client_check
