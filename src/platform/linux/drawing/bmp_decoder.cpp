#include "platform/linux/drawing/bmp_decoder.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>
#include <vector>

#include "formats/dib.h"
#include "formats/dib_channels.h"
#include "formats/dib_rle.h"
#include "platform/linux/files/file_reader.h"

namespace paneloom::platform::lnx {

namespace {

using formats::InfoHeader;

// Everything the headers say that decoding needs, already checked for sense.
struct Layout {
    InfoHeader header;  // the core form in the 40-byte one's fields
    std::int32_t height = 0;  // number of rows, always positive
    bool topDown = false;
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue; BI_BITFIELDS only
    std::uint64_t tableOffset = 0;       // first colour-table entry
    std::uint64_t entrySize = formats::kRgbQuadSize;
    std::uint64_t colourCount = 0;       // declared entries, 8 bits per pixel or less
    std::uint64_t extraTable = 0;        // biClrUsed entries above 8 bits per pixel
};

bool IsKnownHeaderSize(std::uint32_t size) {
    return size == formats::kCoreHeaderSize || size == formats::kInfoHeaderSize || size == formats::kV4HeaderSize ||
           size == formats::kV5HeaderSize;
}

// The decisions are made from the file's first bytes (`head`, which holds
// min(size, kHeadBytes) of them) and its size: every read below lies in
// the headers, the masks after a 40-byte header and a table of at most 256
// entries, and each is checked against `size` first.
constexpr std::size_t kHeadBytes =
    formats::kFileHeaderSize + formats::kV5HeaderSize + formats::kMaskBytes + 256 * formats::kRgbQuadSize;

bool ReadLayout(const std::uint8_t* data, std::uint64_t size, Layout& layout) {
    if (size < formats::kFileHeaderSize + 4 || !formats::HasBmpSignature(data)) return false;
    const std::uint8_t* info = data + formats::kFileHeaderSize;
    const std::uint32_t headerSize = ReadU32(info);
    if (!IsKnownHeaderSize(headerSize) || size - formats::kFileHeaderSize < headerSize) return false;

    InfoHeader& h = layout.header;
    layout.tableOffset = formats::kFileHeaderSize + headerSize;
    if (headerSize == formats::kCoreHeaderSize) {
        h = InfoHeader::ReadCore(info);
        layout.entrySize = formats::kRgbTripleSize;
        if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24) return false;
    } else {
        h = InfoHeader::Read(info);
        if (h.compression == formats::kBiBitfields) {
            // A 40-byte header is followed by the three masks; the V4 and V5
            // headers carry them inside, at the same place.
            if (headerSize == formats::kInfoHeaderSize) {
                if (size - formats::kFileHeaderSize - headerSize < formats::kMaskBytes) return false;
                layout.tableOffset += formats::kMaskBytes;
            }
            for (int i = 0; i < 3; ++i) layout.masks[i] = ReadU32(info + formats::kInfoHeaderSize + 4 * i);
        }
    }
    if (h.planes != 1 || !formats::DescribesReadablePixels(h)) return false;
    layout.topDown = h.height < 0;
    layout.height = layout.topDown ? -h.height : h.height;

    if (h.bitCount <= 8) {
        layout.colourCount = formats::ColourCount(h);
        if (layout.colourCount > (std::uint64_t{1} << h.bitCount)) return false;
    } else {
        layout.extraTable = h.clrUsed;
    }
    return true;
}

// Where the pixel data starts: bfOffBits, or right after the colour table
// when bfOffBits is 0. Never inside the headers or masks, never past the end.
bool FindPixelOffset(const std::uint8_t* data, std::uint64_t size, const Layout& layout, std::uint64_t& offset) {
    const std::uint32_t offBits = formats::FileHeader::Read(data).offBits;
    if (offBits != 0) {
        offset = offBits;
    } else {
        const std::uint64_t entries = layout.header.bitCount <= 8 ? layout.colourCount : layout.extraTable;
        offset = layout.tableOffset + entries * layout.entrySize;
    }
    return offset >= layout.tableOffset && offset <= size;
}

// The colour table, clamped to the entries that lie before the pixel data.
bool ReadPalette(const std::uint8_t* data, const Layout& layout, std::uint64_t pixelOffset,
                 std::vector<RgbQuad>& palette) {
    const std::uint64_t room = (pixelOffset - layout.tableOffset) / layout.entrySize;
    const std::uint64_t entries = std::min(layout.colourCount, room);
    if (entries == 0) return false;  // indexes with no colours at all
    palette.resize(static_cast<std::size_t>(entries));
    const std::uint8_t* p = data + layout.tableOffset;
    for (RgbQuad& q : palette) {
        q = layout.entrySize == formats::kRgbQuadSize ? RgbQuad::Read(p) : RgbQuad::ReadTriple(p);
        p += layout.entrySize;
    }
    return true;
}

// Where the bitmap keeps a row of the file: in the file's order for a
// bottom-up file, the other way round for a top-down one.
std::size_t KeptRowFor(const Layout& layout, std::int64_t fileRow) {
    return static_cast<std::size_t>(layout.topDown ? layout.height - 1 - fileRow : fileRow);
}

void CopyRows(const std::uint8_t* src, const Layout& layout, Dib& dib) {
    const std::size_t stride = dib.Stride();
    for (std::int64_t r = 0; r < layout.height; ++r) {
        std::copy_n(src + stride * static_cast<std::size_t>(r), stride,
                    dib.bits.data() + stride * KeptRowFor(layout, r));
    }
}

bool HasUsableMasks(const Layout& layout) {
    for (std::uint32_t mask : layout.masks) {
        if (!formats::IsContiguousMask(mask, layout.header.bitCount)) return false;
    }
    return true;
}

// Bit-field pixels become the ones our bitmap keeps: X1R5G5B5 at 16 bits
// (each channel at 8 bits, then its top 5, as GDI's loader stores them) and
// blue, green, red, unused at 32, so the alpha channel is dropped. `src`
// holds `count` rows of the file from row `first` on.
void ConvertBitfields(const std::uint8_t* src, std::int64_t first, std::int64_t count, const Layout& layout,
                      Dib& dib) {
    const unsigned bpp = layout.header.bitCount;
    const formats::Channel red = formats::Channel::FromMask(layout.masks[0]);
    const formats::Channel green = formats::Channel::FromMask(layout.masks[1]);
    const formats::Channel blue = formats::Channel::FromMask(layout.masks[2]);
    const std::size_t stride = dib.Stride();
    const std::size_t width = static_cast<std::size_t>(layout.header.width);
    for (std::int64_t r = 0; r < count; ++r) {
        const std::uint8_t* in = src + stride * static_cast<std::size_t>(r);
        std::uint8_t* out = dib.bits.data() + stride * KeptRowFor(layout, first + r);
        if (bpp == 16) {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = ReadU16(in + 2 * x);
                const unsigned v = ((red.To8Bits(pixel) >> 3u) << 10) | ((green.To8Bits(pixel) >> 3u) << 5) |
                                   (blue.To8Bits(pixel) >> 3u);
                WriteU16(out + 2 * x, static_cast<std::uint16_t>(v));
            }
        } else {
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint32_t pixel = ReadU32(in + 4 * x);
                out[4 * x] = blue.To8Bits(pixel);
                out[4 * x + 1] = green.To8Bits(pixel);
                out[4 * x + 2] = red.To8Bits(pixel);
                out[4 * x + 3] = 0;
            }
        }
    }
}

// Decodes a BI_RLE8 or BI_RLE4 stream into the zeroed bitmap, as indexes at
// the bitmap's own depth.
bool DecodeRle(const std::uint8_t* stream, std::size_t length, formats::RleForm form, Dib& dib) {
    const bool fourBit = form == formats::RleForm::Rle4;
    const std::size_t stride = dib.Stride();
    return formats::WalkRle(stream, length, form, dib.width, dib.height,
                            [&](std::int64_t x, std::int64_t row, unsigned index) {
                                std::uint8_t* line = dib.bits.data() + stride * static_cast<std::size_t>(row);
                                const auto px = static_cast<std::size_t>(x);
                                if (!fourBit) {
                                    line[px] = static_cast<std::uint8_t>(index);
                                    return;
                                }
                                std::uint8_t& byte = line[px / 2];
                                byte = (px % 2 == 0) ? static_cast<std::uint8_t>((byte & 0x0Fu) | (index << 4))
                                                     : static_cast<std::uint8_t>((byte & 0xF0u) | index);
                            });
}

// Everything the headers decide, checked against the file's size before any
// pixel is read or any memory is taken for them.
struct Plan {
    Layout layout;
    std::uint64_t pixelOffset = 0;
    std::uint64_t pixelBytes = 0;  // the rows, or the RLE stream
    std::vector<RgbQuad> palette;
};

bool PlanDecode(const std::uint8_t* head, std::uint64_t size, Plan& plan) {
    Layout& layout = plan.layout;
    if (!ReadLayout(head, size, layout)) return false;
    if (!FindPixelOffset(head, size, layout, plan.pixelOffset)) return false;

    const InfoHeader& h = layout.header;
    const std::size_t stride = DibStride(h.width, h.bitCount);
    if (stride == 0) return false;
    const std::uint64_t total = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(layout.height);
    if (total > kMaxBmpPixelBytes) return false;
    if (h.bitCount <= 8 && !ReadPalette(head, layout, plan.pixelOffset, plan.palette)) return false;
    if (h.compression == formats::kBiBitfields && !HasUsableMasks(layout)) return false;

    const std::uint64_t available = size - plan.pixelOffset;
    if (formats::IsRle(layout.header.compression)) {
        if (h.sizeImage > available) return false;
        plan.pixelBytes = h.sizeImage != 0 ? h.sizeImage : available;
        return plan.pixelBytes <= kMaxBmpFileBytes;
    }
    // Uncompressed rows have the same stride in the file as in memory.
    if (available < total) return false;
    plan.pixelBytes = total;
    return true;
}

bool MakeBitmap(Plan& plan, Dib& dib) {
    const InfoHeader& h = plan.layout.header;
    if (!dib.Allocate(h.width, plan.layout.height, h.bitCount)) return false;
    dib.palette = std::move(plan.palette);
    return true;
}

// Reads `size` bytes at `offset` whole; false on an error or a short read
// (a file that shrank while it was read).
bool ReadAt(int fd, std::uint64_t offset, void* buffer, std::size_t size) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

// Uncompressed rows go from the file straight into the bitmap: its rows
// have the file's layout, and a top-down file's rows are only placed in
// the other order, a batch of rows a call.
bool ReadRows(int fd, const Plan& plan, Dib& dib) {
    const Layout& layout = plan.layout;
    const std::size_t stride = dib.Stride();
    if (!layout.topDown) return ReadAt(fd, plan.pixelOffset, dib.bits.data(), dib.bits.size());
    iovec rows[IOV_MAX];
    std::uint64_t offset = plan.pixelOffset;
    for (std::int64_t first = 0; first < layout.height;) {
        const std::int64_t count = std::min<std::int64_t>(IOV_MAX, layout.height - first);
        for (std::int64_t i = 0; i < count; ++i) {
            rows[i].iov_base = dib.bits.data() + stride * KeptRowFor(layout, first + i);
            rows[i].iov_len = stride;
        }
        std::size_t wanted = stride * static_cast<std::size_t>(count);
        std::size_t done = 0;
        int next = 0;
        while (done < wanted) {
            const ssize_t n = ::preadv(fd, rows + next, static_cast<int>(count) - next, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
            // Past the rows already whole, and into the one that is not.
            std::size_t left = static_cast<std::size_t>(n);
            while (next < count && left >= rows[next].iov_len) left -= rows[next++].iov_len;
            if (next < count) {
                rows[next].iov_base = static_cast<std::uint8_t*>(rows[next].iov_base) + left;
                rows[next].iov_len -= left;
            }
        }
        offset += wanted;
        first += count;
    }
    return true;
}

// Smaller pictures are read: mapping a few pages saves little.
constexpr std::uint64_t kMappedRowsBytes = std::uint64_t{1} << 20;

bool MapsRows(const Plan& plan) {
    const Layout& layout = plan.layout;
    return layout.header.compression == formats::kBiRgb && !layout.topDown && plan.pixelBytes >= kMappedRowsBytes;
}

// Uncompressed bottom-up rows are laid out in the file as the bitmap keeps
// them: the bitmap takes the file's own pages, mapped privately, so they
// are neither read into fresh memory nor, when written out, copied first.
// False when the file cannot be mapped; it is read then.
bool MapRows(int fd, Plan& plan, Dib& dib) {
    const auto offset = static_cast<std::size_t>(plan.pixelOffset);
    const auto size = static_cast<std::size_t>(plan.pixelBytes);
    FileMapping mapping;
    if (!mapping.Map(fd, offset + size)) return false;
    PixelBytes rows(std::move(mapping), offset, size);
    const InfoHeader& h = plan.layout.header;
    if (!dib.Adopt(h.width, plan.layout.height, h.bitCount, rows)) return false;
    dib.palette = std::move(plan.palette);
    return true;
}

// Bit-field rows pass through one small buffer, a band at a time.
bool ReadBitfieldRows(int fd, const Plan& plan, Dib& dib) {
    const std::size_t stride = dib.Stride();
    const std::int64_t band = std::max<std::int64_t>(1, static_cast<std::int64_t>((std::size_t{1} << 18) / stride));
    const std::int64_t height = plan.layout.height;
    std::vector<std::uint8_t> buffer(stride * static_cast<std::size_t>(std::min(band, height)));
    for (std::int64_t first = 0; first < height;) {
        const std::int64_t count = std::min(band, height - first);
        const std::size_t size = stride * static_cast<std::size_t>(count);
        if (!ReadAt(fd, plan.pixelOffset + stride * static_cast<std::uint64_t>(first), buffer.data(), size)) {
            return false;
        }
        ConvertBitfields(buffer.data(), first, count, plan.layout, dib);
        first += count;
    }
    return true;
}

}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, Dib& out) {
    if (data == nullptr) return false;
    Plan plan;
    if (!PlanDecode(data, size, plan)) return false;
    Dib dib;
    if (!MakeBitmap(plan, dib)) return false;
    const std::uint8_t* pixels = data + plan.pixelOffset;
    const Layout& layout = plan.layout;
    if (formats::IsRle(layout.header.compression)) {
        if (!DecodeRle(pixels, static_cast<std::size_t>(plan.pixelBytes), formats::RleFormOf(layout.header.compression),
                       dib)) {
            return false;
        }
    } else if (layout.header.compression == formats::kBiRgb) {
        CopyRows(pixels, layout, dib);
    } else {
        ConvertBitfields(pixels, 0, layout.height, layout, dib);
    }
    out = std::move(dib);
    return true;
}

bool DecodeBmpFile(const std::string& path, Dib& out) {
    struct stat info {};
    const int fd = OpenRegularFile(path, O_RDONLY, info);
    if (fd < 0) return false;
    const bool decoded = DecodeBmpFrom(fd, static_cast<std::uint64_t>(info.st_size), out);
    ::close(fd);
    return decoded;
}

bool DecodeBmpFrom(int fd, std::uint64_t size, Dib& out) {
    bool decoded = false;
    try {
        std::uint8_t head[kHeadBytes];
        const auto headSize = static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeadBytes));
        Plan plan;
        Dib dib;
        const bool planned = ReadAt(fd, 0, head, headSize) && PlanDecode(head, size, plan);
        if (planned && MapsRows(plan)) decoded = MapRows(fd, plan, dib);
        if (planned && !decoded && MakeBitmap(plan, dib)) {
            const Layout& layout = plan.layout;
            if (formats::IsRle(layout.header.compression)) {
                // The stream is no larger than the file; its pixels may be.
                std::vector<std::uint8_t> stream(static_cast<std::size_t>(plan.pixelBytes));
                decoded = ReadAt(fd, plan.pixelOffset, stream.data(), stream.size()) &&
                          DecodeRle(stream.data(), stream.size(), formats::RleFormOf(layout.header.compression), dib);
            } else if (layout.header.compression == formats::kBiRgb) {
                decoded = ReadRows(fd, plan, dib);
            } else {
                decoded = ReadBitfieldRows(fd, plan, dib);
            }
        }
        if (decoded) out = std::move(dib);
    } catch (const std::bad_alloc&) {
        decoded = false;
    }
    return decoded;
}

}  // namespace paneloom::platform::lnx
