// Laying text onto a Dib: the background of a text cell, and glyph coverage
// (0 to 255 per pixel) in the text colour, as GDI's TextOutA puts them on
// a bitmap. Above 8 bits per pixel coverage is blended with what the pixel
// holds; at 8 bits or fewer a pixel takes the palette colour nearest the
// text colour where the glyph covers at least half of it.
//
// Positions are 64-bit and may lie anywhere: everything is clipped to the
// bitmap, so a cell or glyph far outside it writes nothing.
#pragma once

#include <cstdint>

#include "platform/linux/drawing/dib.h"

namespace paneloom::platform::lnx {

// Coverage of a rectangle, one byte per pixel, top row first.
struct CoverageMask {
    const std::uint8_t* coverage = nullptr;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// Fills [left, right) x [top, bottom) with `colour`; at 8 bits per pixel or
// fewer with the palette colour nearest to it.
void FillRect(Dib& dib, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
              std::uint32_t colour);

// Lays `colour` over `length` pixels of row `y` from column `x`, all at the
// same coverage: one span of a rasteriser.
void PaintCoverageRun(Dib& dib, std::int64_t x, std::int64_t y, unsigned length, unsigned coverage,
                      std::uint32_t colour);

// Lays `colour` over the pixels under `mask`, its top-left corner at
// (left, top).
void PaintCoverageMask(Dib& dib, const CoverageMask& mask, std::int64_t left, std::int64_t top,
                       std::uint32_t colour);

}  // namespace paneloom::platform::lnx
