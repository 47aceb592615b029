#include "render/bitmap_file.h"

#include <algorithm>
#include <limits>
#include <new>

#include "common/format.h"
#include "formats/dib.h"
#include "formats/dib_rle.h"
#include "log/error_log.h"

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
// bits come straight after the information header (of whichever form), the
// masks that follow a 40-byte one (BI_BITFIELDS above 8 bits) and the
// colour table, wherever bfOffBits points. Everything else here refuses,
// from the header alone, what the system would be handed but could not
// read safely: only a file that holds all that its header describes
// (`blockSize` bytes follow the file header), and a bitmap within the
// readers' limit at the screen's depth of at most 32 bits. For RLE data
// without a size the rest of the file is the stream. `form` is the size of
// the header as the file has it; `h` holds its fields in the 40-byte form.
bool PlanInput(const formats::InfoHeader& h, std::uint32_t form, std::uint64_t blockSize, InputLayout& layout) {
    if (!formats::DescribesReadablePixels(h)) return false;
    const bool core = form == formats::kCoreHeaderSize;
    if (core && h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24) return false;
    const std::uint64_t entrySize = core ? formats::kRgbTripleSize : formats::kRgbQuadSize;
    const std::uint64_t masks = h.compression == formats::kBiBitfields && form == formats::kInfoHeaderSize
                                    ? formats::kMaskBytes
                                    : 0;

    layout.colourCount = formats::ColourCount(h);
    if (h.bitCount <= 8) {
        if (layout.colourCount > 256) return false;
        layout.bitsOffset = form + entrySize * layout.colourCount;
    } else {
        layout.bitsOffset = form + formats::kRgbQuadSize * std::uint64_t{h.clrUsed} + masks;
    }
    if (layout.bitsOffset > blockSize) return false;
    const std::uint64_t available = blockSize - layout.bitsOffset;
    const std::uint64_t rows = h.height < 0 ? -std::int64_t{h.height} : h.height;
    if (formats::RowStride(h.width, 32) > formats::kMaxPixelBytes / rows) return false;

    if (formats::IsRle(h.compression)) {
        if (h.sizeImage > available) return false;
        layout.bitsSize = h.sizeImage != 0 ? h.sizeImage : available;
        return layout.bitsSize <= formats::kMaxPixelBytes;
    }
    const std::uint64_t stride = formats::RowStride(h.width, h.bitCount);
    if (stride == 0 || stride > available / rows) return false;
    layout.bitsSize = stride * rows;
    return true;
}

// An RLE stream must end inside its bytes; its size is written into the
// header so that the system reads no further.
bool CheckRleStream(std::vector<std::uint8_t>& info, const std::uint8_t* stream, std::size_t length) {
    formats::InfoHeader h = formats::InfoHeader::Read(info.data());
    const std::int64_t rows = h.height;  // RLE is bottom-up only
    const bool ends = formats::WalkRle(stream, length, formats::RleFormOf(h.compression), h.width, rows,
                                       [](std::int64_t, std::int64_t, unsigned) {});
    if (!ends) return false;
    h.sizeImage = static_cast<std::uint32_t>(length);
    h.Write(info.data());
    return true;
}

// Reads exactly `size` bytes; false when the file ends first (it changed
// since its headers were read).
bool ReadExactly(platform::ReadableFile& file, void* buffer, std::size_t size) {
    return file.Read(buffer, size) == size;
}

// Scan lines are fetched and written, or read and set, in bands of about
// this many bytes: one small buffer, reused, that stays in the processor's
// cache.
constexpr std::size_t kBandBytes = std::size_t{1} << 19;

// How many lines of `stride` bytes make a band: at least one.
std::uint32_t BandLines(std::uint64_t stride, std::uint32_t lines) {
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(lines, kBandBytes / stride)));
}

// Moves `lines` rows of `stride` bytes a band at a time through one buffer:
// `move` (first line, line count, buffer, its bytes) fills the buffer and
// passes it on. False when the buffer cannot be had or a band fails.
template <typename Move>
bool MoveInBands(std::uint64_t stride, std::uint32_t lines, Move move) {
    const std::uint32_t band = BandLines(stride, lines);
    std::unique_ptr<std::uint8_t[]> rows(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(stride * band)]);
    if (rows == nullptr) return false;
    for (std::uint32_t first = 0; first < lines;) {
        const std::uint32_t count = std::min(band, lines - first);
        if (!move(first, count, rows.get(), static_cast<std::size_t>(stride * count))) return false;
        first += count;
    }
    return true;
}

// Skips `count` bytes of the file.
bool Skip(platform::ReadableFile& file, std::uint64_t count) {
    std::uint8_t discard[4096];
    while (count != 0) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof discard));
        if (!ReadExactly(file, discard, size)) return false;
        count -= size;
    }
    return true;
}

// The input file from its start to its pixel bits: the information header
// with the masks and colour table that the system reads and the logical
// palette takes (`info`), once the headers are known to describe a bitmap
// that the file holds. False when they do not. Every header form the
// format defines is read (the OS/2 core header of 12 bytes, the 40-byte one,
// V4 of 108 and V5 of 124 bytes); `info` always has the 40-byte form the
// system takes, with the masks of a V4 or V5 header after it and a core
// header's colour triples widened to quads.
bool ReadHeaders(platform::ReadableFile& file, InputLayout& layout, std::vector<std::uint8_t>& info) {
    const std::uint64_t length = file.Size();
    if (length < formats::kFileHeaderSize) return false;
    const std::uint64_t blockSize = length - formats::kFileHeaderSize;
    std::uint8_t header[formats::kV5HeaderSize] = {};
    if (blockSize < 4 || !ReadExactly(file, header, 4)) return false;
    const std::uint32_t form = ReadU32(header);
    if (form != formats::kCoreHeaderSize && form != formats::kInfoHeaderSize && form != formats::kV4HeaderSize &&
        form != formats::kV5HeaderSize) {
        return false;
    }
    if (blockSize < form || !ReadExactly(file, header + 4, form - 4)) return false;
    const bool core = form == formats::kCoreHeaderSize;
    formats::InfoHeader h = core ? formats::InfoHeader::ReadCore(header) : formats::InfoHeader::Read(header);
    if (!PlanInput(h, form, blockSize, layout)) return false;

    // What the system reads after the header (masks, colour table) and the
    // entries the logical palette takes; anything else before the pixel
    // bits is skipped.
    const std::uint64_t paletteEntries = layout.colourCount <= 256 ? layout.colourCount : 0;
    const std::size_t tableBytes = static_cast<std::size_t>(
        std::max<std::uint64_t>(formats::MasksAndTableBytes(h), formats::kRgbQuadSize * paletteEntries));
    h.size = formats::kInfoHeaderSize;
    info.assign(formats::kInfoHeaderSize + tableBytes, 0);
    h.Write(info.data());
    std::uint64_t consumed = form;
    if (core) {
        // Triples: only the entries the palette takes lie before the bits.
        std::vector<std::uint8_t> triples(static_cast<std::size_t>(formats::kRgbTripleSize * paletteEntries));
        if (!ReadExactly(file, triples.data(), triples.size())) return false;
        for (std::size_t i = 0; i < paletteEntries; ++i) {
            formats::RgbQuad::ReadTriple(triples.data() + formats::kRgbTripleSize * i)
                .Write(info.data() + formats::kInfoHeaderSize + formats::kRgbQuadSize * i);
        }
        consumed += triples.size();
    } else {
        std::size_t at = formats::kInfoHeaderSize;
        if (form != formats::kInfoHeaderSize && h.compression == formats::kBiBitfields) {
            std::copy(header + formats::kInfoHeaderSize, header + formats::kInfoHeaderSize + formats::kMaskBytes,
                      info.begin() + formats::kInfoHeaderSize);
            at += formats::kMaskBytes;
        }
        if (!ReadExactly(file, info.data() + at, info.size() - at)) return false;
        consumed += info.size() - at;
    }
    if (consumed > layout.bitsOffset) return false;
    return Skip(file, layout.bitsOffset - consumed);
}

// Gives the screen context back with the palette it had selected before.
void ReleaseScreen(platform::Graphics& graphics, platform::DcHandle screen, platform::PaletteHandle previous) {
    if (previous != nullptr) graphics.SelectDcPalette(screen, previous);
    if (screen != nullptr) graphics.ReleaseScreenDC(screen);
}

// The drawing objects LoadBMPImage makes, released unless they are handed
// out, also when a read fails with an exception.
struct MadeObjects {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::PaletteHandle palette = nullptr;
    platform::DcHandle screen = nullptr;
    platform::PaletteHandle previous = nullptr;
    platform::BitmapHandle bitmap = nullptr;

    ~MadeObjects() {
        ReleaseScreen(graphics, screen, previous);
        if (bitmap != nullptr) graphics.DeleteBitmap(bitmap);
        if (palette != nullptr) graphics.DeletePalette(palette);
    }
};

// Uncompressed bottom-up rows go from the file to the bitmap a band at a
// time, through one small buffer: SetDIBits for each band into a bitmap
// made without its bits, so the file is never held whole beside it.
bool SetRowsInBands(platform::ReadableFile& file, const std::vector<std::uint8_t>& info, MadeObjects& made) {
    const formats::InfoHeader h = formats::InfoHeader::Read(info.data());
    return MoveInBands(formats::RowStride(h.width, h.bitCount), static_cast<std::uint32_t>(h.height),
                       [&](std::uint32_t first, std::uint32_t count, std::uint8_t* rows, std::size_t size) {
                           return ReadExactly(file, rows, size) &&
                                  made.graphics.SetDeviceIndependentBits(made.screen, made.bitmap, first, count, rows,
                                                                         size, info.data(), info.size()) ==
                                      static_cast<int>(count);
                       });
}

// A picture in another format, decoded by the platform loader into a
// section of its own, and then brought to the screen's depth as a .bmp's
// rows are, a band at a time. Such a picture has no colour table, so no
// palette.
bool LoadPictureAtScreenDepth(const std::string& path, platform::BitmapHandle& bitmap) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    struct Decoded {
        platform::Graphics& graphics;
        platform::BitmapHandle bitmap;
        ~Decoded() {
            if (bitmap != nullptr) graphics.DeleteBitmap(bitmap);
        }
    } decoded{graphics, graphics.LoadBitmapFile(path)};
    platform::BitmapRecord record;
    if (decoded.bitmap == nullptr || !graphics.GetBitmapRecord(decoded.bitmap, record)) return false;
    const std::uint32_t bitCount = std::uint32_t{record.planes} * record.bitsPerPixel;
    if (record.width <= 0 || record.height <= 0 || !formats::IsSupportedDepth(bitCount)) return false;

    formats::InfoHeader h;
    h.size = formats::kInfoHeaderSize;
    h.width = record.width;
    h.height = record.height;
    h.planes = 1;
    h.bitCount = static_cast<std::uint16_t>(bitCount);
    h.compression = formats::kBiRgb;
    std::vector<std::uint8_t> info(formats::kInfoHeaderSize + formats::FullTableBytes(bitCount), 0);
    h.Write(info.data());

    MadeObjects made;
    made.screen = graphics.GetScreenDC();
    if (made.screen == nullptr) return false;
    made.bitmap = graphics.CreateDeviceBitmap(made.screen, info.data(), info.size(), nullptr, 0);
    if (made.bitmap == nullptr) return false;
    const bool moved = MoveInBands(
        formats::RowStride(h.width, h.bitCount), static_cast<std::uint32_t>(h.height),
        [&](std::uint32_t first, std::uint32_t count, std::uint8_t* rows, std::size_t size) {
            return graphics.GetDeviceIndependentBits(made.screen, decoded.bitmap, first, count, rows, size, info.data(),
                                                     info.size()) == static_cast<int>(count) &&
                   graphics.SetDeviceIndependentBits(made.screen, made.bitmap, first, count, rows, size, info.data(),
                                                     info.size()) == static_cast<int>(count);
        });
    if (!moved) return false;
    bitmap = made.bitmap;
    made.bitmap = nullptr;
    return true;
}

}  // namespace

bool LoadBMPImage(const std::string& path, platform::BitmapHandle& bitmap, platform::PaletteHandle& palette) {
    std::unique_ptr<platform::ReadableFile> file = platform::Get<platform::Files>().OpenForReading(path);
    if (file == nullptr) return false;
    std::uint8_t fileHeader[formats::kFileHeaderSize] = {};
    const std::size_t got = file->Read(fileHeader, sizeof fileHeader);
    if (got < 2 || !formats::HasBmpSignature(fileHeader)) {
        // Not a .bmp: a picture in whatever other format the platform reads.
        file.reset();
        return LoadPictureAtScreenDepth(path, bitmap);
    }
    if (got < sizeof fileHeader) return false;
    InputLayout layout;
    std::vector<std::uint8_t> info;
    if (!ReadHeaders(*file, layout, info)) return false;
    const formats::InfoHeader h = formats::InfoHeader::Read(info.data());
    const bool rle = formats::IsRle(h.compression);

    // Compressed and top-down rows are handed to the system whole; an RLE
    // stream is smaller than its picture.
    const bool whole = rle || h.height < 0;
    std::unique_ptr<std::uint8_t[]> bits;
    const auto bitsSize = static_cast<std::size_t>(layout.bitsSize);
    if (whole) {
        bits.reset(new (std::nothrow) std::uint8_t[bitsSize]);
        if (bits == nullptr || !ReadExactly(*file, bits.get(), bitsSize)) return false;  // cannot be held in memory
        if (rle && !CheckRleStream(info, bits.get(), bitsSize)) return false;
    }

    MadeObjects made;
    if (layout.colourCount <= 256) {
        std::vector<platform::PaletteEntry> entries(static_cast<std::size_t>(layout.colourCount));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto quad = formats::RgbQuad::Read(info.data() + formats::kInfoHeaderSize + formats::kRgbQuadSize * i);
            entries[i] = platform::PaletteEntry{quad.red, quad.green, quad.blue, 0};
        }
        made.palette = made.graphics.CreateLogicalPalette(entries);
    }

    made.screen = made.graphics.GetScreenDC();
    if (made.screen == nullptr) return false;
    if (made.palette != nullptr) {
        made.previous = made.graphics.SelectDcPalette(made.screen, made.palette);
        made.graphics.RealizeDcPalette(made.screen);
    }
    made.bitmap = made.graphics.CreateDeviceBitmap(made.screen, info.data(), info.size(), bits.get(), whole ? bitsSize : 0);
    // A bitmap the system could not make is of no use downstream.
    if (made.bitmap == nullptr) return false;
    if (!whole && !SetRowsInBands(*file, info, made)) return false;

    bitmap = made.bitmap;
    made.bitmap = nullptr;
    if (made.palette != nullptr) palette = made.palette;
    made.palette = nullptr;
    return true;
}

DibConversion::DibConversion(platform::DcHandle screen, platform::PaletteHandle previous,
                             platform::BitmapHandle bitmap, std::vector<std::uint8_t> info, std::uint64_t imageSize)
    : screen_(screen), previous_(previous), bitmap_(bitmap), info_(std::move(info)), imageSize_(imageSize) {}

DibConversion::~DibConversion() {
    ReleaseScreen(platform::Get<platform::Graphics>(), screen_, previous_);
}

std::uint32_t DibConversion::Lines() const {
    return static_cast<std::uint32_t>(formats::InfoHeader::Read(info_.data()).height);
}

std::uint64_t DibConversion::Stride() const {
    const formats::InfoHeader header = formats::InfoHeader::Read(info_.data());
    return formats::RowStride(header.width, header.bitCount);
}

std::uint32_t DibConversion::FetchRows(std::uint32_t first, std::uint32_t count, std::uint8_t* rows) {
    const std::uint64_t stride = Stride();
    const auto size = static_cast<std::size_t>(stride * count);
    const int got = platform::Get<platform::Graphics>().GetDeviceIndependentBits(
        screen_, bitmap_, first, count, rows, size, info_.data(), info_.size());
    const std::uint32_t delivered = got <= 0 ? 0 : std::min(static_cast<std::uint32_t>(got), count);
    std::fill(rows + static_cast<std::size_t>(stride * delivered), rows + size, std::uint8_t{0});
    return delivered;
}

const std::uint8_t* DibConversion::RowsInPlace() const {
    return platform::Get<platform::Graphics>().RowsInPlace(bitmap_, info_.data(), info_.size());
}

std::unique_ptr<DibConversion> BitmapToDIB(platform::BitmapHandle bitmap, platform::PaletteHandle palette) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::PaletteHandle chosen = palette != nullptr ? palette : graphics.DefaultPalette();

    platform::BitmapRecord record;
    if (!graphics.GetBitmapRecord(bitmap, record)) return nullptr;
    formats::InfoHeader header;
    header.size = formats::kInfoHeaderSize;
    header.width = record.width;
    header.height = record.height;
    header.planes = 1;
    const std::uint32_t bitCount = std::uint32_t{record.planes} * record.bitsPerPixel;
    if (record.width <= 0 || record.height <= 0 || bitCount == 0 || bitCount > 32) return nullptr;
    header.bitCount = static_cast<std::uint16_t>(bitCount);
    header.compression = formats::kBiRgb;
    const std::size_t table = formats::FullTableBytes(bitCount);

    platform::DcHandle screen = graphics.GetScreenDC();
    if (screen == nullptr) return nullptr;
    platform::PaletteHandle previous = graphics.SelectDcPalette(screen, chosen);
    graphics.RealizeDcPalette(screen);

    try {
        std::vector<std::uint8_t> info(formats::kInfoHeaderSize + table, 0);
        header.Write(info.data());
        const auto lines = static_cast<std::uint32_t>(record.height);
        graphics.GetDeviceIndependentBits(screen, bitmap, 0, lines, nullptr, 0, info.data(), info.size());

        const formats::InfoHeader completed = formats::InfoHeader::Read(info.data());
        const std::uint64_t rows = formats::RowStride(completed.width, completed.bitCount) * lines;
        const std::uint64_t image = completed.sizeImage != 0 ? completed.sizeImage : rows;
        // The rows must fit the image, and the whole file the 32 bits of its
        // size field.
        if (completed.size == formats::kInfoHeaderSize && completed.bitCount == header.bitCount &&
            completed.width == header.width && completed.height == header.height && rows != 0 && image >= rows &&
            image <= std::numeric_limits<std::uint32_t>::max() - formats::kFileHeaderSize - info.size()) {
            return std::make_unique<DibConversion>(screen, previous, bitmap, std::move(info), image);
        }
    } catch (const std::bad_alloc&) {
    }
    ReleaseScreen(graphics, screen, previous);
    return nullptr;
}

namespace {

// The rows fetched from the system a band at a time through `rows` (room
// for `band` lines). Once the system delivers fewer lines than asked, the
// rest of the image is cleared, as a single call for all lines would leave
// it. False when it delivers nothing at all.
bool WriteFetchedRows(platform::FileSink& sink, DibConversion& dib, std::uint8_t* rows, std::uint32_t band) {
    const std::uint64_t stride = dib.Stride();
    const std::uint32_t lines = dib.Lines();
    bool delivering = true;
    for (std::uint32_t first = 0; first < lines;) {
        const std::uint32_t count = std::min(band, lines - first);
        const auto size = static_cast<std::size_t>(stride * count);
        if (delivering) {
            const std::uint32_t delivered = dib.FetchRows(first, count, rows);
            if (delivered == 0 && first == 0) return false;
            delivering = delivered == count;
        } else {
            std::fill(rows, rows + size, std::uint8_t{0});
        }
        sink.Write(rows, size);
        first += count;
    }
    return true;
}

}  // namespace

platform::ReplaceResult WriteDIBFile(const std::string& path, DibConversion& dib) {
    const formats::InfoHeader info = formats::InfoHeader::Read(dib.Info().data());
    formats::FileHeader file;
    file.fileSize = static_cast<std::uint32_t>(formats::kFileHeaderSize + dib.Info().size() + dib.ImageSize());
    file.offBits = static_cast<std::uint32_t>(formats::kFileHeaderSize + formats::kInfoHeaderSize +
                                              formats::FullTableBytes(info.bitCount));
    std::vector<std::uint8_t> headers(formats::kFileHeaderSize + dib.Info().size());
    file.Write(headers.data());
    std::copy(dib.Info().begin(), dib.Info().end(), headers.begin() + formats::kFileHeaderSize);

    const std::uint64_t stride = dib.Stride();
    const std::uint64_t rowBytes = stride * dib.Lines();
    const std::uint32_t band = BandLines(stride, dib.Lines());
    // Rows the system keeps as the file lays them out are written from
    // where they are; the band buffer is for rows fetched and for padding.
    const std::uint8_t* inPlace = dib.RowsInPlace();
    std::unique_ptr<std::uint8_t[]> rows;
    if (inPlace == nullptr || dib.ImageSize() > rowBytes) {
        rows.reset(new std::uint8_t[static_cast<std::size_t>(stride * band)]);
    }

    const platform::FileFiller fill = [&](platform::FileSink& sink) {
        sink.Write(headers.data(), headers.size());
        if (inPlace != nullptr) {
            sink.Write(inPlace, static_cast<std::size_t>(rowBytes));
        } else if (!WriteFetchedRows(sink, dib, rows.get(), band)) {
            return false;
        }
        // An image the system declared larger than its rows ends in zeros.
        std::uint64_t padding = dib.ImageSize() - rowBytes;
        if (padding != 0) std::fill(rows.get(), rows.get() + static_cast<std::size_t>(stride * band), std::uint8_t{0});
        while (padding != 0) {
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(padding, stride * band));
            sink.Write(rows.get(), size);
            padding -= size;
        }
        return true;
    };
    return platform::Get<platform::Files>().ReplaceWhole(path, fill);
}

bool WriteBMPImage(const std::string& path, platform::BitmapHandle bitmap, platform::PaletteHandle palette) {
    std::unique_ptr<DibConversion> dib = BitmapToDIB(bitmap, palette);
    if (dib == nullptr) return false;
    const platform::ReplaceResult result = WriteDIBFile(path, *dib);
    dib.reset();
    if (result == platform::ReplaceResult::GivenUp) return false;
    if (result == platform::ReplaceResult::NotWritable) {
        LogError(StringPrintf("Could not write <%s>!\n", path.c_str()));
        return false;
    }
    return true;
}

}  // namespace paneloom
