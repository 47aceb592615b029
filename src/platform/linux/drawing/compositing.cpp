#include "platform/linux/drawing/compositing.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace paneloom::platform::lnx {

namespace {

std::uint32_t Blend(std::uint32_t fg, std::uint32_t bg, unsigned coverage) {
    std::uint32_t out = 0;
    for (unsigned shift = 0; shift <= 16; shift += 8) {
        const unsigned f = (fg >> shift) & 0xFF;
        const unsigned b = (bg >> shift) & 0xFF;
        out |= ((f * coverage + b * (255 - coverage) + 127) / 255) << shift;
    }
    return out;
}

// A colour as it is laid on one bitmap: on a palette bitmap the index of
// the nearest palette colour, looked up once for all the pixels it covers.
struct Ink {
    std::uint32_t colour = 0;
    std::uint32_t index = 0;

    Ink(const Dib& dib, std::uint32_t c) : colour(c), index(dib.bitsPerPixel <= 8 ? dib.NearestIndex(c) : 0) {}
};

// One pixel, which lies inside the bitmap. 8-, 24- and 32-bit pixels are
// written in place: they are nearly every pixel of a run.
void PutCoverage(Dib& dib, std::int32_t x, std::int32_t y, const Ink& ink, unsigned coverage) {
    const std::uint32_t colour = ink.colour;
    if (coverage == 0) return;
    const std::uint16_t bpp = dib.bitsPerPixel;
    if (bpp == 32 || bpp == 24) {
        std::uint8_t* p = dib.Row(y) + static_cast<std::size_t>(x) * (bpp / 8);
        const unsigned fr = colour & 0xFF;
        const unsigned fg = (colour >> 8) & 0xFF;
        const unsigned fb = (colour >> 16) & 0xFF;
        if (coverage == 255) {
            p[0] = static_cast<std::uint8_t>(fb);
            p[1] = static_cast<std::uint8_t>(fg);
            p[2] = static_cast<std::uint8_t>(fr);
        } else {
            const unsigned rest = 255 - coverage;
            p[0] = static_cast<std::uint8_t>((fb * coverage + p[0] * rest + 127) / 255);
            p[1] = static_cast<std::uint8_t>((fg * coverage + p[1] * rest + 127) / 255);
            p[2] = static_cast<std::uint8_t>((fr * coverage + p[2] * rest + 127) / 255);
        }
        if (bpp == 32) p[3] = 0;
        return;
    }
    if (bpp == 8) {
        if (coverage >= 128) dib.Row(y)[x] = static_cast<std::uint8_t>(ink.index);
    } else if (bpp < 8) {
        if (coverage >= 128) dib.SetIndex(x, y, ink.index);
    } else if (coverage == 255) {
        dib.SetPixel(x, y, colour);
    } else {
        dib.SetPixel(x, y, Blend(colour, dib.GetPixel(x, y), coverage));
    }
}

}  // namespace

void FillRect(Dib& dib, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
              std::uint32_t colour) {
    const auto x0 = static_cast<std::int32_t>(std::clamp<std::int64_t>(left, 0, dib.width));
    const auto x1 = static_cast<std::int32_t>(std::clamp<std::int64_t>(right, 0, dib.width));
    const auto y0 = static_cast<std::int32_t>(std::clamp<std::int64_t>(top, 0, dib.height));
    const auto y1 = static_cast<std::int32_t>(std::clamp<std::int64_t>(bottom, 0, dib.height));
    if (x0 >= x1 || y0 >= y1) return;
    const std::uint16_t bpp = dib.bitsPerPixel;
    if (bpp == 32 || bpp == 24) {
        const std::size_t size = bpp / 8;
        const std::uint8_t pixel[4] = {static_cast<std::uint8_t>((colour >> 16) & 0xFF),
                                       static_cast<std::uint8_t>((colour >> 8) & 0xFF),
                                       static_cast<std::uint8_t>(colour & 0xFF), 0};
        for (std::int32_t py = y0; py < y1; ++py) {
            std::uint8_t* p = dib.Row(py) + static_cast<std::size_t>(x0) * size;
            for (std::int32_t px = x0; px < x1; ++px, p += size) std::memcpy(p, pixel, size);
        }
        return;
    }
    const Ink ink(dib, colour);
    if (bpp == 8) {
        for (std::int32_t py = y0; py < y1; ++py) {
            std::memset(dib.Row(py) + x0, static_cast<int>(ink.index), static_cast<std::size_t>(x1 - x0));
        }
        return;
    }
    for (std::int32_t py = y0; py < y1; ++py)
        for (std::int32_t px = x0; px < x1; ++px) PutCoverage(dib, px, py, ink, 255);
}

void PaintCoverageRun(Dib& dib, std::int64_t x, std::int64_t y, unsigned length, unsigned coverage,
                      std::uint32_t colour) {
    if (coverage == 0 || y < 0 || y >= dib.height) return;
    const std::int64_t first = std::max<std::int64_t>(x, 0);
    const std::int64_t end = std::min<std::int64_t>(x + length, dib.width);
    if (first >= end) return;
    const Ink ink(dib, colour);
    for (std::int64_t col = first; col < end; ++col)
        PutCoverage(dib, static_cast<std::int32_t>(col), static_cast<std::int32_t>(y), ink, coverage);
}

void PaintCoverageMask(Dib& dib, const CoverageMask& mask, std::int64_t left, std::int64_t top,
                       std::uint32_t colour) {
    const std::int64_t c0 = std::max<std::int64_t>(0, -left);
    const std::int64_t c1 = std::min<std::int64_t>(mask.width, std::int64_t{dib.width} - left);
    const std::int64_t r0 = std::max<std::int64_t>(0, -top);
    const std::int64_t r1 = std::min<std::int64_t>(mask.height, std::int64_t{dib.height} - top);
    if (r0 >= r1 || c0 >= c1) return;
    const Ink ink(dib, colour);
    for (std::int64_t r = r0; r < r1; ++r) {
        const std::uint8_t* coverage = mask.coverage + r * mask.width;
        for (std::int64_t c = c0; c < c1; ++c) {
            if (coverage[c] == 0) continue;
            PutCoverage(dib, static_cast<std::int32_t>(left + c), static_cast<std::int32_t>(top + r), ink,
                        coverage[c]);
        }
    }
}

}  // namespace paneloom::platform::lnx
