// Pictures in the formats other than .bmp, made by the tests, the
// benchmarks and the fuzz targets from a grid of colours, so that a test
// can compare what a decoder makes with what went in. PNG files are written
// here byte by byte (stored deflate blocks), apart from any library the
// program decodes with; JPEG and WebP files come from the platform's
// encoders (libjpeg and libwebp on Linux, the Windows Imaging Component on
// Windows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paneloom::testing {

// width x height colours, top row first, each 0xAABBGGRR: a GDI colour
// (red in the low byte) with its opacity in the top byte.
struct ColourGrid {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> colours;

    std::uint32_t At(std::int32_t x, std::int32_t y) const {
        return colours[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    std::uint32_t& At(std::int32_t x, std::int32_t y) {
        return colours[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// Opaque colours of a deterministic pattern: smooth enough for JPEG to keep
// them close, varied enough that a row or column out of place shows.
ColourGrid PatternGrid(std::int32_t width, std::int32_t height, unsigned seed = 1);

// The grid's colours in grey (each channel the same), opaque.
ColourGrid GreyGrid(const ColourGrid& grid);

// Blocks of few colours (at most 16), for palette pictures.
ColourGrid FewColourGrid(std::int32_t width, std::int32_t height);

// The grid as a 24-bit bottom-up .bmp (opacity ignored).
std::string GridAsBmp(const ColourGrid& grid);

// The colour a picture shows of a grid colour: over black, by its opacity.
std::uint32_t OverBlack(std::uint32_t colour);

struct PngForm {
    int colourType = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int bitDepth = 8;    // 1, 2, 4, 8 or 16 as the colour type allows
    bool interlaced = false;
    // Grey and RGB: a tRNS chunk making this colour (0x00BBGGRR) transparent.
    // Palette: tRNS gives each entry the opacity of its colour in the grid.
    bool transparency = false;
    std::uint32_t transparentColour = 0;
};

// The grid as a PNG of that form. Grey forms take the red channel; low
// depths keep the top bits of each sample; a palette holds the grid's
// distinct colours (at most 2^bitDepth of them).
std::string GridAsPng(const ColourGrid& grid, const PngForm& form);

struct JpegForm {
    bool progressive = false;
    bool grey = false;
    bool cmyk = false;  // Adobe's inverted CMYK
    int quality = 95;
};

// The grid as a JPEG; empty where the build's encoder cannot make that form
// (the Windows Imaging Component makes baseline colour only).
std::string GridAsJpeg(const ColourGrid& grid, const JpegForm& form = JpegForm());

// The grid as a TIFF made by the Windows Imaging Component; empty
// on Linux, which reads no TIFF.
std::string GridAsTiff(const ColourGrid& grid);

// A JPEG with an EXIF segment carrying orientation `tag` right after its
// start marker.
std::string WithExifOrientation(const std::string& jpeg, int tag, bool bigEndian = false);

// The grid as a lossless WebP (with its alpha channel when `alpha`); empty
// on Windows.
std::string GridAsWebp(const ColourGrid& grid, bool alpha = false);

// A PNG header claiming a picture of that size, with a valid IHDR and one
// tiny IDAT, for tests of the size limit.
std::string GiantPngHeader(std::uint32_t width, std::uint32_t height);

// A baseline JPEG's start claiming that size: markers up to the start of
// its scan, no pixels.
std::string GiantJpegHeader(std::uint16_t width, std::uint16_t height);

}  // namespace paneloom::testing
