// Bitmaps, palettes and device contexts: the drawing objects the run holds.
//
// Handles are opaque. On Windows they are the GDI handles themselves; on
// Linux they point at our own objects (see linux/drawing/objects.h).
//
// Packed device-independent bitmaps cross this seam as bytes laid out as in
// a .bmp file (formats/dib.h); every buffer comes with its size so that an
// implementation can check that it stays inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/seam.h"

namespace paneloom::platform {

struct BitmapObject;
struct DcObject;
struct PaletteObject;
using BitmapHandle = BitmapObject*;
using DcHandle = DcObject*;
using PaletteHandle = PaletteObject*;

// What GetObjectA tells of a bitmap (its BITMAP record), as far as the
// writer needs it.
struct BitmapRecord {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitsPerPixel = 0;
};

// One logical-palette entry (PALETTEENTRY).
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
};

// What a picture is loaded for when it is to be composed at a screen's
// size: the screen, and whether the picture will cover it (fill, stretch)
// or fit inside it.
struct PictureNeed {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool cover = false;
};

class Graphics {
public:
    virtual ~Graphics() = default;

    // Loads a picture file, whatever its name, as a device-independent
    // section: a .bmp at the file's own depth (LoadImageA with
    // LR_LOADFROMFILE | LR_CREATEDIBSECTION | LR_DEFAULTSIZE, once its
    // headers are known to point inside the file); any other format the
    // platform's codecs read (formats/picture.h tells them apart) at 24 bits
    // per pixel, upright, transparency over black. Null when the file cannot
    // be loaded, is truncated or corrupt, or its header describes more than
    // the readers' limit.
    virtual BitmapHandle LoadBitmapFile(const std::string& path) = 0;

    // LoadBitmapFile for a picture that is to be scaled to `need`: where the
    // codec can decode it smaller at its own quality (a JPEG's DCT scaling),
    // it may come out smaller, never below what `need` asks for. The same as
    // LoadBitmapFile where no codec can.
    virtual BitmapHandle LoadBitmapFileFor(const std::string& path, const PictureNeed& need) {
        (void)need;
        return LoadBitmapFile(path);
    }

    // A memory device context compatible with the screen; null on failure.
    virtual DcHandle CreateScreenCompatibleDC() = 0;

    // Selects a bitmap into a memory context and returns the one it replaces
    // (null when the selection failed).
    virtual BitmapHandle SelectBitmap(DcHandle dc, BitmapHandle bitmap) = 0;

    virtual void DeleteDC(DcHandle dc) = 0;
    virtual void DeleteBitmap(BitmapHandle bitmap) = 0;
    virtual void DeletePalette(PaletteHandle palette) = 0;

    // The screen's device context (GetDC with no window); null on failure.
    // Every context obtained here goes back through ReleaseScreenDC.
    virtual DcHandle GetScreenDC() = 0;
    virtual void ReleaseScreenDC(DcHandle dc) = 0;

    // A logical palette holding `entries` (CreatePalette); null on failure.
    virtual PaletteHandle CreateLogicalPalette(const std::vector<PaletteEntry>& entries) = 0;

    // The system's stock default palette. It is never deleted.
    virtual PaletteHandle DefaultPalette() = 0;

    // Selects a palette into a context, not forced to the background, and
    // returns the one it replaces (null on failure).
    virtual PaletteHandle SelectDcPalette(DcHandle dc, PaletteHandle palette) = 0;

    // Maps the context's selected palette onto the device (RealizePalette).
    virtual void RealizeDcPalette(DcHandle dc) = 0;

    // CreateDIBitmap(dc, header, CBM_INIT, bits, info, DIB_RGB_COLORS): a
    // bitmap compatible with `dc`, initialised from a packed description.
    // `info` starts with the 40-byte information header, followed by its
    // masks and colour table; at most `infoSize` bytes of it are read, and
    // at most `bitsSize` bytes of `bits`. With `bits` null, CreateDIBitmap
    // without CBM_INIT: the bitmap of the header's size, its pixels to be
    // set by SetDeviceIndependentBits. Null on failure.
    virtual BitmapHandle CreateDeviceBitmap(DcHandle dc, const std::uint8_t* info, std::size_t infoSize,
                                            const std::uint8_t* bits, std::size_t bitsSize) = 0;

    // SetDIBits(dc, bitmap, firstLine, lines, bits, info, DIB_RGB_COLORS):
    // sets the scan lines firstLine .. firstLine + lines - 1 (line 0 is the
    // bottom one) of a bitmap made from the same description, from rows of
    // uncompressed bottom-up pixels in `bits` (at most `bitsSize` bytes).
    // Returns the lines set, 0 on failure.
    virtual int SetDeviceIndependentBits(DcHandle dc, BitmapHandle bitmap, std::uint32_t firstLine,
                                         std::uint32_t lines, const std::uint8_t* bits, std::size_t bitsSize,
                                         const std::uint8_t* info, std::size_t infoSize) = 0;

    // GetObjectA's BITMAP record; false when the bitmap cannot be described.
    virtual bool GetBitmapRecord(BitmapHandle bitmap, BitmapRecord& record) = 0;

    // GetDIBits(dc, bitmap, firstLine, lines, bits, info, DIB_RGB_COLORS).
    // `info` holds a prepared information header with room for its colour
    // table (`infoSize` bytes). With `bits` null only the header (its image
    // size) and colour table are completed; otherwise the rows are written
    // to `bits` too, never more than `bitsSize` bytes. Returns the number of
    // lines delivered (nonzero for a completed header), 0 on failure.
    virtual int GetDeviceIndependentBits(DcHandle dc, BitmapHandle bitmap, std::uint32_t firstLine,
                                         std::uint32_t lines, std::uint8_t* bits, std::size_t bitsSize,
                                         std::uint8_t* info, std::size_t infoSize) = 0;

    // The bitmap's own pixel rows where they already are, byte for byte,
    // what GetDeviceIndependentBits delivers for the completed header in
    // `info`: every scan line, line 0 first, one after the other. Valid
    // until the bitmap is drawn on or deleted. Null where the rows must be
    // fetched; the Windows build always fetches them, as GDI keeps a
    // bitmap's memory to itself.
    virtual const std::uint8_t* RowsInPlace(BitmapHandle bitmap, const std::uint8_t* info, std::size_t infoSize) = 0;

    // The same rows, to be written where they are, so that a picture made
    // at the screen's size is not copied in. Null where RowsInPlace is, and
    // by default.
    virtual std::uint8_t* WritableRowsInPlace(BitmapHandle, const std::uint8_t*, std::size_t) { return nullptr; }
};

template <>
Graphics& RealImpl<Graphics>();

}  // namespace paneloom::platform
