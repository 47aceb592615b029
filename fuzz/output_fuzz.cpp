// The content of an output element as anyone may write it, laid out and
// drawn for real: line conversion, item collection, attribute reading and
// the text output of this build on a small bitmap (the text engine on
// Linux), with any sizes, weights, spacings and positions. The bitmap's
// depth follows the input's length, so every depth the loader gives is
// drawn on: true colour at 32, 24 and 16 bits, and palette pictures whose
// colour table is full, clamped short or empty. The text is the Linux
// build's 8-bit text: UTF-8 of any script (the seeds mix Latin, Cyrillic,
// Chinese, Arabic, Hebrew and Devanagari, with marks, joiners and
// bidirectional controls), with any byte that is not well-formed UTF-8
// standing alone, so the faces per character, shaping and right-to-left
// order are fed too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/run_settings.h"
#include "platform/graphics.h"
#include "platform/linux/drawing/objects.h"
#include "render/output.h"
#include "render/text_items.h"

// Fontconfig keeps a few allocations from parsing its configuration for the
// life of the process; they are its own, made once.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// A 96 x 48 bitmap of that depth with `colours` entries in its colour table.
paneloom::platform::BitmapObject* MakeBitmap(std::uint16_t bitsPerPixel, int colours) {
    auto* bitmap = new paneloom::platform::BitmapObject;
    bitmap->dib.Allocate(96, 48, bitsPerPixel);
    for (int i = 0; i < colours; ++i) {
        const auto level = static_cast<std::uint8_t>(255 * i / (colours > 1 ? colours - 1 : 1));
        bitmap->dib.palette.push_back({level, static_cast<std::uint8_t>(255 - level), level, 0});
    }
    return bitmap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paneloom;
    std::string content(reinterpret_cast<const char*>(data), size);
    const std::size_t zero = content.find('\0');
    if (zero != std::string::npos) content.resize(zero);

    static platform::Graphics& graphics = platform::Get<platform::Graphics>();
    static platform::BitmapObject* const bitmaps[] = {
        MakeBitmap(32, 0), MakeBitmap(24, 0), MakeBitmap(16, 0), MakeBitmap(8, 5), MakeBitmap(4, 0), MakeBitmap(1, 2),
    };
    platform::BitmapObject* bitmap = bitmaps[size % (sizeof bitmaps / sizeof bitmaps[0])];
    platform::DcHandle dc = graphics.CreateScreenCompatibleDC();
    platform::BitmapHandle previous = graphics.SelectBitmap(dc, bitmap);

    RunSettings settings;
    settings.textStartY = 4;
    std::string lines;
    std::string placed;
    ConvertTextLines(content, lines, settings);
    CollectTextAt(content, placed);
    DrawTextItems(dc, lines + placed, settings);

    graphics.SelectBitmap(dc, previous);
    graphics.DeleteDC(dc);
    return 0;
}
