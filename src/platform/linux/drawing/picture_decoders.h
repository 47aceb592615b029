// JPEG, PNG and WebP pictures for the Linux build, decoded by libjpeg-turbo,
// libpng and libwebp into the same bitmap a .bmp makes: 24 bits per pixel,
// upright (the EXIF orientation of a JPEG applied), 8-bit sRGB channels
// (16-bit ones reduced, grey expanded, CMYK converted), transparency
// composited over black. The header is read first: a picture above the
// readers' limit (formats/picture.h) is refused before any pixel memory is
// taken, and a truncated or corrupt picture is refused as a whole. The
// libraries' errors never leave these functions: libjpeg's and libpng's
// handlers jump back here instead of ending the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/graphics.h"
#include "platform/linux/drawing/codec_libraries.h"
#include "platform/linux/drawing/dib.h"

namespace paneloom::platform::lnx {

// Each decodes a whole file held in memory; false, with `out` untouched,
// for anything it cannot decode, or when its library cannot be opened.
// Pure functions of the bytes.
// With `need`, a JPEG is decoded at the smallest of libjpeg's scales
// (1/8 to 8/8) that still gives at least what `need` asks for, upright.
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, Dib& out, const PictureNeed* need = nullptr,
                JpegSource library = SystemJpeg);
bool DecodePng(const std::uint8_t* data, std::size_t size, Dib& out);
bool DecodeWebp(const std::uint8_t* data, std::size_t size, Dib& out, WebpSource library = SystemWebp);

// Whichever of the three the bytes are (formats::SniffPicture); false for
// anything else.
bool DecodePicture(const std::uint8_t* data, std::size_t size, Dib& out, const PictureNeed* need = nullptr);

// Any picture file the Linux build reads, a regular file (never waiting on
// a FIFO) opened once and told by its first bytes: a .bmp through the .bmp
// reader, the others read whole and decoded with DecodePicture.
bool LoadPictureFile(const std::string& path, Dib& out, const PictureNeed* need = nullptr);

}  // namespace paneloom::platform::lnx
