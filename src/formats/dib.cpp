#include "formats/dib.h"

#include <limits>

namespace paneloom::formats {

bool IsSupportedDepth(std::uint32_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

bool DescribesReadablePixels(const InfoHeader& header) {
    if (header.width <= 0 || header.height == 0 || header.height == std::numeric_limits<std::int32_t>::min()) {
        return false;
    }
    if (!IsSupportedDepth(header.bitCount)) return false;
    const bool topDown = header.height < 0;
    switch (header.compression) {
        case kBiRgb:
            return true;
        case kBiBitfields:
            return header.bitCount == 16 || header.bitCount == 32;
        case kBiRle8:
            return header.bitCount == 8 && !topDown;
        case kBiRle4:
            return header.bitCount == 4 && !topDown;
        default:
            return false;
    }
}

std::uint64_t ColourCount(const InfoHeader& header) {
    if (header.clrUsed != 0) return header.clrUsed;
    return header.bitCount < 64 ? std::uint64_t{1} << header.bitCount : std::numeric_limits<std::uint64_t>::max();
}

std::uint32_t TableEntriesRead(const InfoHeader& header) {
    if (header.bitCount > 8) return 0;
    const std::uint32_t full = std::uint32_t{1} << header.bitCount;
    return header.clrUsed != 0 && header.clrUsed < full ? header.clrUsed : full;
}

std::size_t MasksAndTableBytes(const InfoHeader& header) {
    const std::size_t masks = header.compression == kBiBitfields ? kMaskBytes : 0;
    return masks + kRgbQuadSize * TableEntriesRead(header);
}

std::size_t FullTableBytes(std::uint32_t bitCount) { return bitCount <= 8 ? kRgbQuadSize << bitCount : 0; }

}  // namespace paneloom::formats
