// Our own bitmap for the Linux build. It plays every part that a GDI bitmap
// plays on Windows: the DIB section the input file is loaded into, the
// screen-compatible bitmap (32 bits per pixel) and the source of the packed DIB
// that is written out. Pixels are kept at the bitmap's own depth so that what
// is written back has the depth that was read, as on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "formats/dib.h"
#include "platform/linux/files/file_mapping.h"

namespace paneloom::platform::lnx {

// One colour-table entry, laid out as in a .bmp file.
using RgbQuad = formats::RgbQuad;

// Memory for pixels, zero when it is made. A picture-sized block comes
// from the kernel as pages of its own, which are zero already: nothing
// passes over them to clear them, each page is first touched by whatever
// fills it (the read of the file), and huge pages are asked for so that
// filling them takes few page faults. Smaller blocks come from the heap,
// cleared. Making one throws std::bad_alloc when there is no memory.
// Pixels may also be a file's own bytes, mapped privately: its pages stay
// the file's cache's until they are written.
class PixelBytes {
public:
    PixelBytes() = default;
    explicit PixelBytes(std::size_t size);
    // `size` bytes from `offset` of the mapped file.
    PixelBytes(FileMapping mapping, std::size_t offset, std::size_t size);
    PixelBytes(const PixelBytes& other);
    PixelBytes(PixelBytes&& other) noexcept { swap(other); }
    PixelBytes& operator=(PixelBytes other) noexcept {
        swap(other);
        return *this;
    }
    ~PixelBytes();

    void swap(PixelBytes& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        mapping_.swap(other.mapping_);
    }

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::uint8_t& operator[](std::size_t i) { return data_[i]; }
    const std::uint8_t& operator[](std::size_t i) const { return data_[i]; }
    // Whether a mapped file's pages were lost (FileMapping::Lost): the
    // pixels are no longer the picture's.
    bool Lost() const { return mapping_.Lost(); }
    std::uint8_t* begin() { return data_; }
    std::uint8_t* end() { return data_ + size_; }
    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }

    friend bool operator==(const PixelBytes& a, const PixelBytes& b);
    friend bool operator!=(const PixelBytes& a, const PixelBytes& b) { return !(a == b); }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    FileMapping mapping_;  // where data_ lies when it is a file's
};

// Pixel layouts by depth:
//   1, 4, 8: indexes into `palette`, most significant bits first
//   16:      X1R5G5B5 little-endian words
//   24:      blue, green, red bytes
//   32:      blue, green, red, unused bytes
// Rows are kept bottom-up, the last row first, as a bottom-up DIB section
// and a .bmp file keep them, so that a file's rows and the rows written out
// are laid out as kept; each is padded to a multiple of 4 bytes. Row(y)
// counts from the top.
struct Dib {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 0;
    std::vector<RgbQuad> palette;  // 1, 4 and 8 bits per pixel only
    PixelBytes bits;

    // Allocates zeroed rows for the given geometry; false when the geometry is
    // invalid or its size overflows. Throws std::bad_alloc.
    bool Allocate(std::int32_t w, std::int32_t h, std::uint16_t bpp);
    // Takes `rows`, laid out as kept, for the given geometry; false, with
    // nothing taken, when they do not fit it.
    bool Adopt(std::int32_t w, std::int32_t h, std::uint16_t bpp, PixelBytes& rows);

    std::size_t Stride() const;
    // The geometry fits the rows, and the rows are still the picture's.
    bool Valid() const;

    std::uint8_t* Row(std::int32_t y) { return bits.data() + Stride() * static_cast<std::size_t>(height - 1 - y); }
    const std::uint8_t* Row(std::int32_t y) const {
        return bits.data() + Stride() * static_cast<std::size_t>(height - 1 - y);
    }

    // Colours are 0x00BBGGRR (red in the low byte), as a GDI colour reference.
    // Coordinates outside the bitmap read 0 and write nothing.
    std::uint32_t GetPixel(std::int32_t x, std::int32_t y) const;
    void SetPixel(std::int32_t x, std::int32_t y, std::uint32_t colour);

    // Index of the palette entry nearest to the colour (squared distance);
    // 0 when the palette is empty.
    std::uint32_t NearestIndex(std::uint32_t colour) const;

    // At 1, 4 and 8 bits per pixel: stores a palette index (its low bits),
    // as SetPixel stores the nearest one. Coordinates outside the bitmap
    // write nothing.
    void SetIndex(std::int32_t x, std::int32_t y, std::uint32_t index);

private:
    // NearestIndex's last answer and what it answered: text drawn in one
    // colour asks for the same colour glyph by glyph, and comparing the
    // palette is cheaper than searching it.
    struct NearestAnswer {
        bool valid = false;
        std::uint32_t colour = 0;
        std::uint32_t index = 0;
        std::vector<RgbQuad> palette;
    };
    mutable NearestAnswer lastNearest_;
};

// Bytes per row for a width and depth, padded to 4 bytes; 0 when it overflows.
std::size_t DibStride(std::int32_t width, std::uint16_t bitsPerPixel);

}  // namespace paneloom::platform::lnx
