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

bool BmpHoldsItsBits(const std::uint8_t* head, std::size_t headSize, std::uint64_t fileSize) {
    if (head == nullptr || headSize < kFileHeaderSize + 4 || fileSize < headSize || !HasBmpSignature(head)) {
        return false;
    }
    const std::uint8_t* info = head + kFileHeaderSize;
    const std::uint32_t size = ReadU32(info);
    if (size != kCoreHeaderSize && size != kInfoHeaderSize && size != kV4HeaderSize && size != kV5HeaderSize) {
        return false;
    }
    const std::uint64_t masks = size == kInfoHeaderSize ? kMaskBytes : 0;
    if (headSize < kFileHeaderSize + size + masks && fileSize > headSize) return false;  // the caller read too little
    if (fileSize < kFileHeaderSize + size) return false;
    const bool core = size == kCoreHeaderSize;
    const InfoHeader h = core ? InfoHeader::ReadCore(info) : InfoHeader::Read(info);
    if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<std::int32_t>::min()) return false;

    std::uint64_t tableEnd = kFileHeaderSize + size;
    if (h.compression == kBiBitfields) tableEnd += masks;
    const std::uint64_t entries = h.bitCount <= 8 ? (core ? std::uint64_t{1} << h.bitCount : TableEntriesRead(h)) : 0;
    tableEnd += entries * (core ? kRgbTripleSize : kRgbQuadSize);
    if (tableEnd > fileSize) return false;

    const std::uint32_t offBits = FileHeader::Read(head).offBits;
    const std::uint64_t offset = offBits != 0 ? offBits : tableEnd;
    if (offset < kFileHeaderSize + size || offset > fileSize) return false;
    const std::uint64_t available = fileSize - offset;
    if (h.compression == kBiRgb || h.compression == kBiBitfields) {
        const std::uint64_t rows = h.height < 0 ? -std::int64_t{h.height} : h.height;
        const std::uint64_t stride = RowStride(h.width, h.bitCount);
        return stride != 0 && stride <= available / rows;
    }
    // Compressed bits: at least a byte of them, and all that biSizeImage
    // promises.
    return available != 0 && h.sizeImage <= available;
}

std::size_t FullTableBytes(std::uint32_t bitCount) { return bitCount <= 8 ? kRgbQuadSize << bitCount : 0; }

}  // namespace paneloom::formats
