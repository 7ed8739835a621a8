#include "client/check/pe_image.h"

#include <cstring>

namespace tyvarion::client_check {
namespace {

constexpr std::uint16_t kDllFlag = 0x2000;
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint16_t kMagicPe32Plus = 0x20b;
constexpr std::size_t kExportDirectory = 0;
constexpr std::size_t kImportDirectory = 1;
constexpr std::size_t kDelayImportDirectory = 13;
// Far more than any real DLL has; a corrupt count must not make us loop for long.
constexpr std::uint32_t kMaxNames = 1u << 20;
constexpr std::size_t kMaxNameLength = 4096;

struct Directory {
    std::uint32_t address = 0;
    std::uint32_t size = 0;
};

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    bool has(std::size_t offset, std::size_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    std::uint16_t u16(std::size_t offset) const {
        return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
    }
    std::uint32_t u32(std::size_t offset) const {
        return static_cast<std::uint32_t>(u16(offset)) | static_cast<std::uint32_t>(u16(offset + 2)) << 16;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
};

Machine machineOf(std::uint16_t code) {
    switch (code) {
        case 0x014c: return Machine::x86;
        case 0x8664: return Machine::x64;
        case 0xaa64: return Machine::arm64;
        default: return Machine::other;
    }
}

// The file offset of `size` bytes at `address`, when a section's data holds them.
std::optional<std::size_t> fileOffset(const PeImage& image, std::uint32_t address, std::size_t size) {
    for (const PeSection& section : image.sections) {
        if (address < section.virtualAddress) continue;
        const std::uint64_t into = address - section.virtualAddress;
        if (into + size > section.rawSize) continue;
        const std::uint64_t offset = section.rawOffset + into;
        if (offset + size > image.bytes.size()) return std::nullopt;
        return static_cast<std::size_t>(offset);
    }
    return std::nullopt;
}

std::optional<std::uint32_t> u32At(const PeImage& image, std::uint32_t address) {
    const auto offset = fileOffset(image, address, 4);
    if (!offset) return std::nullopt;
    return Reader(image.bytes).u32(*offset);
}

std::optional<std::string> stringAt(const PeImage& image, std::uint32_t address) {
    const auto offset = fileOffset(image, address, 1);
    if (!offset) return std::nullopt;
    std::string text;
    for (std::size_t i = *offset; i < image.bytes.size() && text.size() < kMaxNameLength; ++i) {
        if (image.bytes[i] == 0) return text;
        text.push_back(static_cast<char>(image.bytes[i]));
    }
    return std::nullopt;
}

void readExports(PeImage& image, Directory directory) {
    if (directory.address == 0 || !fileOffset(image, directory.address, 40)) return;
    const std::uint32_t names = u32At(image, directory.address + 24).value_or(0);
    const std::uint32_t functions = u32At(image, directory.address + 20).value_or(0);
    const std::uint32_t functionTable = u32At(image, directory.address + 28).value_or(0);
    const std::uint32_t nameTable = u32At(image, directory.address + 32).value_or(0);
    const std::uint32_t ordinalTable = u32At(image, directory.address + 36).value_or(0);
    for (std::uint32_t i = 0; i < names && i < kMaxNames; ++i) {
        const auto nameAddress = u32At(image, nameTable + 4 * i);
        if (!nameAddress) break;
        auto name = stringAt(image, *nameAddress);
        if (!name) continue;
        PeExport entry{std::move(*name), 0};
        const auto ordinalOffset = fileOffset(image, ordinalTable + 2 * i, 2);
        if (ordinalOffset) {
            const std::uint16_t ordinal = Reader(image.bytes).u16(*ordinalOffset);
            if (ordinal < functions) {
                const std::uint32_t address = u32At(image, functionTable + 4 * ordinal).value_or(0);
                // An address inside the export directory names another DLL's export.
                const bool forwarder =
                    address >= directory.address && address - directory.address < directory.size;
                entry.address = forwarder ? 0 : address;
            }
        }
        image.exports.push_back(std::move(entry));
    }
}

// Descriptors of `stride` bytes, the DLL's name at `nameField`, ended by a zero name.
void readImports(PeImage& image, Directory directory, std::uint32_t stride, std::uint32_t nameField) {
    if (directory.address == 0) return;
    for (std::uint32_t i = 0; i < kMaxNames; ++i) {
        const auto nameAddress = u32At(image, directory.address + i * stride + nameField);
        if (!nameAddress || *nameAddress == 0) return;
        if (auto name = stringAt(image, *nameAddress)) image.imports.push_back(std::move(*name));
    }
}

}  // namespace

std::optional<double> PeImage::doubleAt(std::uint32_t address) const {
    if (const auto offset = fileOffset(*this, address, sizeof(double))) {
        double value = 0;
        std::memcpy(&value, bytes.data() + *offset, sizeof value);
        return value;
    }
    for (const PeSection& section : sections) {
        const std::uint64_t end = static_cast<std::uint64_t>(section.virtualAddress) + section.virtualSize;
        if (address >= section.virtualAddress && address + sizeof(double) <= end) return 0.0;
    }
    return std::nullopt;
}

std::variant<PeImage, std::string> readPeImage(std::vector<std::uint8_t> bytes) {
    const Reader file(bytes);
    if (!file.has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return std::string("no MZ header");
    const std::uint32_t pe = file.u32(0x3c);
    if (!file.has(pe, 24) || std::memcmp(bytes.data() + pe, "PE\0\0", 4) != 0)
        return std::string("no PE header");
    const std::size_t coff = pe + 4;
    const std::uint16_t sectionCount = file.u16(coff + 2);
    const std::uint16_t optionalSize = file.u16(coff + 16);
    const std::size_t optional = coff + 20;
    if (optionalSize < 2 || !file.has(optional, optionalSize)) return std::string("truncated optional header");
    const std::uint16_t magic = file.u16(optional);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) return std::string("unknown optional header");
    const std::size_t countField = optional + (magic == kMagicPe32 ? 92 : 108);
    const std::size_t directories = countField + 4;
    if (countField + 4 > optional + optionalSize) return std::string("truncated optional header");
    const std::uint32_t directoryCount = file.u32(countField);
    const std::size_t table = optional + optionalSize;
    if (!file.has(table, std::size_t{40} * sectionCount)) return std::string("truncated section table");

    PeImage image;
    image.machineCode = file.u16(coff);
    image.machine = machineOf(image.machineCode);
    image.dll = (file.u16(coff + 18) & kDllFlag) != 0;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t header = table + 40 * i;
        image.sections.push_back(
            PeSection{file.u32(header + 12), file.u32(header + 8), file.u32(header + 20), file.u32(header + 16)});
    }
    auto directory = [&](std::size_t index) {
        const std::size_t at = directories + 8 * index;
        if (index >= directoryCount || at + 8 > optional + optionalSize) return Directory{};
        return Directory{file.u32(at), file.u32(at + 4)};
    };
    const Directory exports = directory(kExportDirectory);
    const Directory imports = directory(kImportDirectory);
    const Directory delayImports = directory(kDelayImportDirectory);
    image.bytes = std::move(bytes);
    readExports(image, exports);
    readImports(image, imports, 20, 12);
    readImports(image, delayImports, 32, 4);
    return image;
}

}  // namespace tyvarion::client_check
