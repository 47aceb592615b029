#include "render/bitmap_file.h"

#include <algorithm>
#include <limits>
#include <new>

#include "formats/dib.h"
#include "formats/dib_rle.h"
#include "platform/files.h"

namespace paneloom {

namespace {

// Where the parts of an input file lie, counted from the start of the
// information header, once every one of them is known to be inside it.
struct InputLayout {
    std::uint64_t colourCount = 0;
    std::uint64_t bitsOffset = 0;
    std::uint64_t bitsSize = 0;
};

// The colour count and the offset of the pixel bits follow fixed rules: the
// bits come straight after the 40-byte header, the masks (BI_BITFIELDS above
// 8 bits) and the colour table, wherever bfOffBits points. Everything else
// here refuses what the system would be handed but could not read safely:
// only a file that holds all that its header describes is taken. For RLE
// data without a size the rest of the file is the stream, and that size is
// written into the header so the system reads no further.
bool ReadInputLayout(std::uint8_t* block, std::size_t size, InputLayout& layout) {
    if (size < formats::kInfoHeaderSize) return false;
    formats::InfoHeader h = formats::InfoHeader::Read(block);
    if (h.size != formats::kInfoHeaderSize) return false;  // other header forms are not read
    if (!formats::DescribesReadablePixels(h)) return false;

    layout.colourCount = formats::ColourCount(h);
    if (h.bitCount <= 8) {
        if (layout.colourCount > 256) return false;
        layout.bitsOffset = formats::kInfoHeaderSize + formats::kRgbQuadSize * layout.colourCount;
    } else {
        layout.bitsOffset = formats::kInfoHeaderSize + formats::kRgbQuadSize * std::uint64_t{h.clrUsed} +
                            (h.compression == formats::kBiBitfields ? formats::kMaskBytes : 0);
    }
    if (layout.bitsOffset > size) return false;
    const std::uint64_t available = size - layout.bitsOffset;
    const std::int64_t rows = h.height < 0 ? -std::int64_t{h.height} : h.height;

    if (h.compression == formats::kBiRle8 || h.compression == formats::kBiRle4) {
        if (h.sizeImage > available) return false;
        const std::uint64_t length = h.sizeImage != 0 ? h.sizeImage : available;
        if (length > std::numeric_limits<std::uint32_t>::max()) return false;
        const bool ends = formats::WalkRle(block + layout.bitsOffset, static_cast<std::size_t>(length),
                                           formats::RleFormOf(h.compression), h.width, rows,
                                           [](std::int64_t, std::int64_t, unsigned) {});
        if (!ends) return false;
        h.sizeImage = static_cast<std::uint32_t>(length);
        h.Write(block);
        layout.bitsSize = length;
    } else {
        const std::uint64_t stride = formats::RowStride(h.width, h.bitCount);
        if (stride == 0 || stride > available / static_cast<std::uint64_t>(rows)) return false;
        layout.bitsSize = stride * static_cast<std::uint64_t>(rows);
    }
    return true;
}

}  // namespace

bool LoadBMPImage(const std::string& path, platform::BitmapHandle& bitmap, platform::PaletteHandle& palette) {
    std::string file;
    try {
        if (!platform::Get<platform::Files>().ReadWholeExclusive(path, file)) return false;
    } catch (const std::bad_alloc&) {
        return false;  // cannot be held in memory
    }
    if (file.size() < formats::kFileHeaderSize) return false;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&file[0]);
    if (!formats::HasBmpSignature(bytes)) return false;

    std::uint8_t* block = bytes + formats::kFileHeaderSize;
    const std::size_t blockSize = file.size() - formats::kFileHeaderSize;
    InputLayout layout;
    if (!ReadInputLayout(block, blockSize, layout)) return false;

    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::PaletteHandle created = nullptr;
    if (layout.colourCount <= 256) {
        std::vector<platform::PaletteEntry> entries(static_cast<std::size_t>(layout.colourCount));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto quad = formats::RgbQuad::Read(block + formats::kInfoHeaderSize + formats::kRgbQuadSize * i);
            entries[i] = platform::PaletteEntry{quad.red, quad.green, quad.blue, 0};
        }
        created = graphics.CreateLogicalPalette(entries);
    }

    platform::DcHandle screen = graphics.GetScreenDC();
    if (screen == nullptr) {
        graphics.DeletePalette(created);
        return false;
    }
    platform::PaletteHandle previous = nullptr;
    if (created != nullptr) {
        previous = graphics.SelectDcPalette(screen, created);
        graphics.RealizeDcPalette(screen);
    }
    platform::BitmapHandle made =
        graphics.CreateDeviceBitmap(screen, block, static_cast<std::size_t>(layout.bitsOffset),
                                    block + layout.bitsOffset, static_cast<std::size_t>(layout.bitsSize));
    if (previous != nullptr) graphics.SelectDcPalette(screen, previous);
    graphics.ReleaseScreenDC(screen);

    // A bitmap the system could not make is of no use downstream.
    if (made == nullptr) {
        graphics.DeletePalette(created);
        return false;
    }
    bitmap = made;
    if (created != nullptr) palette = created;
    return true;
}

std::optional<DibBlock> BitmapToDIB(platform::BitmapHandle bitmap, platform::PaletteHandle palette) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::PaletteHandle chosen = palette != nullptr ? palette : graphics.DefaultPalette();

    platform::BitmapRecord record;
    if (!graphics.GetBitmapRecord(bitmap, record)) return std::nullopt;
    formats::InfoHeader header;
    header.size = formats::kInfoHeaderSize;
    header.width = record.width;
    header.height = record.height;
    header.planes = 1;
    const std::uint32_t bitCount = std::uint32_t{record.planes} * record.bitsPerPixel;
    if (record.width <= 0 || record.height <= 0 || bitCount == 0 || bitCount > 32) return std::nullopt;
    header.bitCount = static_cast<std::uint16_t>(bitCount);
    header.compression = formats::kBiRgb;
    const std::size_t table = formats::FullTableBytes(bitCount);

    platform::DcHandle screen = graphics.GetScreenDC();
    if (screen == nullptr) return std::nullopt;
    platform::PaletteHandle previous = graphics.SelectDcPalette(screen, chosen);
    graphics.RealizeDcPalette(screen);

    std::optional<DibBlock> result;
    try {
        DibBlock block(formats::kInfoHeaderSize + table, 0);
        header.Write(block.data());
        const auto lines = static_cast<std::uint32_t>(record.height);
        graphics.GetDeviceIndependentBits(screen, bitmap, 0, lines, nullptr, 0, block.data(), block.size());

        const formats::InfoHeader completed = formats::InfoHeader::Read(block.data());
        std::uint64_t image = completed.sizeImage;
        if (image == 0) {
            image = formats::RowStride(completed.width, completed.bitCount) * static_cast<std::uint64_t>(lines);
        }
        if (completed.size == formats::kInfoHeaderSize && completed.bitCount == header.bitCount && image != 0 &&
            image <= std::numeric_limits<std::uint32_t>::max() - block.size()) {
            block.resize(block.size() + static_cast<std::size_t>(image));
            std::uint8_t* bits = block.data() + formats::kInfoHeaderSize + table;
            const int got = graphics.GetDeviceIndependentBits(screen, bitmap, 0, lines, bits,
                                                              static_cast<std::size_t>(image), block.data(),
                                                              formats::kInfoHeaderSize + table);
            if (got > 0) {
                // Whatever the rows did not fill is cleared, never written
                // out as it was found in memory.
                const std::uint64_t filled =
                    formats::RowStride(completed.width, completed.bitCount) * static_cast<std::uint64_t>(got);
                if (filled < image) std::fill(bits + filled, bits + image, std::uint8_t{0});
                result = std::move(block);
            }
        }
    } catch (const std::bad_alloc&) {
        result.reset();
    }

    if (previous != nullptr) graphics.SelectDcPalette(screen, previous);
    graphics.ReleaseScreenDC(screen);
    return result;
}

bool WriteDIBFile(const std::string& path, const DibBlock* block) {
    if (block == nullptr || block->size() < formats::kInfoHeaderSize) return false;
    const formats::InfoHeader info = formats::InfoHeader::Read(block->data());
    formats::FileHeader file;
    file.fileSize = static_cast<std::uint32_t>(formats::kFileHeaderSize + block->size());
    file.offBits = static_cast<std::uint32_t>(formats::kFileHeaderSize + formats::kInfoHeaderSize +
                                              formats::FullTableBytes(info.bitCount));
    std::uint8_t header[formats::kFileHeaderSize];
    file.Write(header);

    const std::vector<platform::ByteSpan> pieces = {{header, sizeof header}, {block->data(), block->size()}};
    return platform::Get<platform::Files>().ReplaceAtomically(path, pieces);
}

bool WriteBMPImage(const std::string& path, platform::BitmapHandle bitmap, platform::PaletteHandle palette) {
    const std::optional<DibBlock> block = BitmapToDIB(bitmap, palette);
    if (!block) return false;
    WriteDIBFile(path, &*block);
    return true;
}

}  // namespace paneloom
