#include "formats/orientation.h"

#include <cstring>

namespace paneloom::formats {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

// The orientation in a TIFF structure (the EXIF payload after "Exif\0\0"):
// the byte order mark, the offset of the first directory, its entries.
int TiffOrientation(const std::uint8_t* tiff, std::size_t size) {
    if (size < 8) return 1;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I') {
        little = true;
    } else if (tiff[0] == 'M' && tiff[1] == 'M') {
        little = false;
    } else {
        return 1;
    }
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t { return little ? u16(at) | (u16(at + 2) << 16) : (u16(at) << 16) | u16(at + 2); };
    if (u16(2) != 42) return 1;
    const std::uint32_t directory = u32(4);
    if (directory > size - 2) return 1;
    const std::uint32_t entries = u16(directory);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint64_t entry = std::uint64_t{directory} + 2 + 12 * std::uint64_t{i};
        if (entry + 12 > size) return 1;
        const auto at = static_cast<std::size_t>(entry);
        if (u16(at) != kOrientationTag) continue;
        if (u16(at + 2) != kShortType || u32(at + 4) < 1) return 1;
        const std::uint32_t value = u16(at + 8);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

}  // namespace

int JpegExifOrientation(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return 1;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return 1;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        // The frame or the scan begins: no EXIF segment comes before it.
        if (marker == 0xDA || marker == 0xD9 || (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)) {
            return 1;
        }
        const std::size_t length = (data[at + 2] << 8) | data[at + 3];
        if (length < 2 || length > size - at - 2) return 1;
        const std::uint8_t* payload = data + at + 4;
        const std::size_t payloadSize = length - 2;
        if (marker == 0xE1 && payloadSize >= 6 && std::memcmp(payload, "Exif\0\0", 6) == 0) {
            return TiffOrientation(payload + 6, payloadSize - 6);
        }
        at += 2 + length;
    }
    return 1;
}

}  // namespace paneloom::formats
