// Text output on a device context: the logical font, the colours and mode
// of the text cell, the spacing, measuring and writing a string.
//
// On Windows these are the GDI calls themselves; on Linux they drive our
// own text engine on the bitmap selected into the context. Colours are
// 0x00BBGGRR, as a GDI colour reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/graphics.h"
#include "platform/seam.h"

namespace paneloom::platform {

struct FontObject;
using FontHandle = FontObject*;

// GetDeviceCaps indexes.
inline constexpr int kLogPixelsX = 88;
inline constexpr int kLogPixelsY = 90;

// SetBkMode's modes, with GDI's numbers: whether the text cell is filled
// with the background colour before the glyphs are drawn (OPAQUE) or left as
// it is (TRANSPARENT).
enum class BackgroundMode { kTransparent = 1, kOpaque = 2 };

inline constexpr std::uint8_t kDefaultCharSet = 1;

// LOGFONTA holds 32 bytes of face name, terminator included.
inline constexpr std::size_t kFaceNameSize = 32;

// The largest character or cell height, in pixels, that a font is made with
// on either build; a larger height is made at this size. Up to it text is
// drawn at its true size (12288 points at 96 pixels per inch), far beyond
// any screen. Beyond it GDI's own limits begin: under Wine a glyph of 16384
// pixels takes some 180 MB while it is drawn and one of 32768 pixels 700 MB,
// and from 65536 pixels on the font is made one pixel high.
inline constexpr std::int32_t kMaxFontPixels = 16384;

// The fields of a logical font that the program sets; everything else a
// LOGFONTA holds stays zero.
struct LogFontRecord {
    std::int32_t height = 0;  // < 0: character height, > 0: cell height, 0: default size
    std::int32_t weight = 0;  // 0 to 1000, 400 normal, 700 bold
    std::uint8_t charSet = 0;
    char faceName[kFaceNameSize] = {};
};

struct DevicePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct TextExtent {
    std::int32_t cx = 0;
    std::int32_t cy = 0;
};

class TextOutput {
public:
    virtual ~TextOutput() = default;

    // GetDeviceCaps: kLogPixelsY is the pixels per logical inch vertically.
    virtual int DeviceCaps(DcHandle dc, int index) = 0;

    // DPtoLP: converts points in place from device to logical units.
    virtual bool DeviceToLogical(DcHandle dc, DevicePoint* points, int count) = 0;

    // CreateFontIndirectA; null on failure. A face that is not installed is
    // replaced by the platform's own font matching.
    virtual FontHandle CreateFontFromRecord(const LogFontRecord& record) = 0;

    // SelectObject with a font: returns the font it replaces, null on failure.
    virtual FontHandle SelectFontObject(DcHandle dc, FontHandle font) = 0;

    // DeleteObject with a font. A font still selected somewhere goes when it
    // is no longer selected.
    virtual void DeleteFontObject(FontHandle font) = 0;

    // SetBkColor, SetBkMode, SetTextColor, SetTextCharacterExtra: each sets
    // one attribute of the context for the text written after it and
    // returns the previous value.
    virtual std::uint32_t SetBackgroundColor(DcHandle dc, std::uint32_t color) = 0;
    virtual BackgroundMode SetBackgroundMode(DcHandle dc, BackgroundMode mode) = 0;
    virtual std::uint32_t SetForegroundColor(DcHandle dc, std::uint32_t color) = 0;
    virtual int SetCharacterExtra(DcHandle dc, int extra) = 0;

    // GetTextExtentPoint32A: the width of the string in the selected font,
    // the character extra after every character included, and the height of
    // its cell.
    virtual bool MeasureString(DcHandle dc, const std::string& text, TextExtent& extent) = 0;

    // TextOutA with the context's default alignment: (x, y) is the top-left
    // corner of the text cell; in opaque mode the cell is first painted in
    // the background colour.
    virtual bool WriteString(DcHandle dc, std::int32_t x, std::int32_t y, const std::string& text) = 0;
};

template <>
TextOutput& RealImpl<TextOutput>();

// Called once from main() before a run: lets the text layer keep what it
// learns about the machine's fonts between runs, in the user's own cache
// (Linux: which face files fontconfig names for the face names). Nothing
// else calls it, so tests keep nothing in the home of whoever runs them.
void UseUserCache();

}  // namespace paneloom::platform
