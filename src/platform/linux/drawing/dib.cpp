#include "platform/linux/drawing/dib.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "formats/dib_channels.h"

namespace paneloom::platform::lnx {

namespace {

std::uint32_t Pack(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16);
}

std::uint8_t Red(std::uint32_t c) { return static_cast<std::uint8_t>(c & 0xFF); }
std::uint8_t Green(std::uint32_t c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
std::uint8_t Blue(std::uint32_t c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// Blocks of this size and more get pages of their own.
constexpr std::size_t kPageBlockBytes = std::size_t{1} << 20;

}  // namespace

PixelBytes::PixelBytes(std::size_t size) : size_(size) {
    if (size == 0) return;
    if (size < kPageBlockBytes) {
        data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
        if (data_ == nullptr) throw std::bad_alloc();
        return;
    }
    void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    ::madvise(block, size, MADV_HUGEPAGE);
    data_ = static_cast<std::uint8_t*>(block);
}

PixelBytes::PixelBytes(FileMapping mapping, std::size_t offset, std::size_t size) {
    if (!mapping.mapped() || offset > mapping.size() || size > mapping.size() - offset) return;
    data_ = mapping.data() + offset;
    size_ = size;
    mapping_.swap(mapping);
}

PixelBytes::PixelBytes(const PixelBytes& other) : PixelBytes(other.size_) {
    if (size_ != 0) std::memcpy(data_, other.data_, size_);
}

PixelBytes::~PixelBytes() {
    if (data_ == nullptr || mapping_.mapped()) return;
    if (size_ < kPageBlockBytes) {
        std::free(data_);
    } else {
        ::munmap(data_, size_);
    }
}

bool operator==(const PixelBytes& a, const PixelBytes& b) {
    return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
}

std::size_t DibStride(std::int32_t width, std::uint16_t bitsPerPixel) {
    if (!formats::IsSupportedDepth(bitsPerPixel)) return 0;
    const std::uint64_t stride = formats::RowStride(width, bitsPerPixel);
    if (stride > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return 0;
    return static_cast<std::size_t>(stride);
}

namespace {

// The bytes of a bitmap of that geometry; 0 when it is invalid or too large.
std::uint64_t RowBytes(std::int32_t w, std::int32_t h, std::uint16_t bpp) {
    const std::size_t stride = DibStride(w, bpp);
    if (stride == 0 || h <= 0) return 0;
    const std::uint64_t total = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(h);
    return total > (std::uint64_t{1} << 31) ? 0 : total;
}

}  // namespace

bool Dib::Allocate(std::int32_t w, std::int32_t h, std::uint16_t bpp) {
    const std::uint64_t total = RowBytes(w, h, bpp);
    if (total == 0) return false;
    PixelBytes fresh(static_cast<std::size_t>(total));
    bits.swap(fresh);
    width = w;
    height = h;
    bitsPerPixel = bpp;
    return true;
}

bool Dib::Adopt(std::int32_t w, std::int32_t h, std::uint16_t bpp, PixelBytes& rows) {
    const std::uint64_t total = RowBytes(w, h, bpp);
    if (total == 0 || rows.size() != total) return false;
    bits.swap(rows);
    width = w;
    height = h;
    bitsPerPixel = bpp;
    return true;
}

std::size_t Dib::Stride() const { return DibStride(width, bitsPerPixel); }

bool Dib::Valid() const {
    const std::size_t stride = Stride();
    return stride != 0 && height > 0 && bits.size() == stride * static_cast<std::size_t>(height) && !bits.Lost();
}

std::uint32_t Dib::GetPixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height || !Valid()) return 0;
    const std::uint8_t* row = Row(y);
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8: {
            const unsigned perByte = 8u / bitsPerPixel;
            const std::uint8_t byte = row[static_cast<std::size_t>(x) / perByte];
            const unsigned shift = 8u - bitsPerPixel * (static_cast<unsigned>(x) % perByte + 1);
            const unsigned index = (byte >> shift) & ((1u << bitsPerPixel) - 1);
            if (index >= palette.size()) return 0;
            const RgbQuad& q = palette[index];
            return Pack(q.red, q.green, q.blue);
        }
        case 16: {
            const std::uint16_t v = static_cast<std::uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
            auto widen = [](unsigned five) { return formats::WidenTo8Bits(five, 5); };
            return Pack(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
        }
        case 24:
            return Pack(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
        case 32:
            return Pack(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
        default:
            return 0;
    }
}

void Dib::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t colour) {
    if (x < 0 || y < 0 || x >= width || y >= height || !Valid()) return;
    std::uint8_t* row = Row(y);
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8:
            SetIndex(x, y, NearestIndex(colour));
            break;
        case 16: {
            const unsigned v = ((Red(colour) >> 3) << 10) | ((Green(colour) >> 3) << 5) | (Blue(colour) >> 3);
            row[2 * x] = static_cast<std::uint8_t>(v & 0xFF);
            row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            break;
        }
        case 24:
            row[3 * x] = Blue(colour);
            row[3 * x + 1] = Green(colour);
            row[3 * x + 2] = Red(colour);
            break;
        case 32:
            row[4 * x] = Blue(colour);
            row[4 * x + 1] = Green(colour);
            row[4 * x + 2] = Red(colour);
            row[4 * x + 3] = 0;
            break;
        default:
            break;
    }
}

void Dib::SetIndex(std::int32_t x, std::int32_t y, std::uint32_t index) {
    if (x < 0 || y < 0 || x >= width || y >= height || bitsPerPixel > 8 || !Valid()) return;
    const unsigned perByte = 8u / bitsPerPixel;
    std::uint8_t& byte = Row(y)[static_cast<std::size_t>(x) / perByte];
    const unsigned shift = 8u - bitsPerPixel * (static_cast<unsigned>(x) % perByte + 1);
    const unsigned mask = ((1u << bitsPerPixel) - 1) << shift;
    byte = static_cast<std::uint8_t>((byte & ~mask) | ((index & ((1u << bitsPerPixel) - 1)) << shift));
}

std::uint32_t Dib::NearestIndex(std::uint32_t colour) const {
    static_assert(sizeof(RgbQuad) == 4, "palette entries compare as bytes");
    const NearestAnswer& last = lastNearest_;
    if (last.valid && last.colour == colour && last.palette.size() == palette.size() &&
        (palette.empty() || std::memcmp(last.palette.data(), palette.data(), palette.size() * sizeof(RgbQuad)) == 0)) {
        return last.index;
    }
    std::uint32_t best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const long dr = static_cast<long>(palette[i].red) - Red(colour);
        const long dg = static_cast<long>(palette[i].green) - Green(colour);
        const long db = static_cast<long>(palette[i].blue) - Blue(colour);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<std::uint32_t>(i);
            if (d == 0) break;
        }
    }
    lastNearest_.valid = true;
    lastNearest_.colour = colour;
    lastNearest_.index = best;
    lastNearest_.palette = palette;
    return best;
}

}  // namespace paneloom::platform::lnx
