// The Linux text engine on its own, measured and drawn with any text and
// sizes: UTF-8 of any script (and bytes that are not UTF-8), marks and
// joiners in any number, right-to-left and shaped runs of any length, at
// any height, weight, spacing and position, on a small bitmap of any depth.
//
// Input: eight bytes of settings, then the text.
//   0  bits 0-1 the face (Arial, DejaVu Sans, the default, Nimbus Roman),
//      bit 2 opaque, bits 4-6 the depth (32, 24, 16, 8, 4, 1, 32, 8), bit 7 extreme
//      values: the height, spacing and position bytes below scaled up to the
//      32-bit range
//   1  the height (signed), 2 the spacing, 3 x, 4 y (all signed)
//   5  the bitmap's width, 6 its height (1 to 128 and 1 to 64)
//   7  the weight, in steps of five
// Besides what the sanitizers catch, it stops on a cell height other than
// the font's, on a measure that rasterises anything, and on glyph caches
// that hold more than their budget.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/text/engine.h"

// Fontconfig keeps a few allocations from parsing its configuration for the
// life of the process; they are its own, made once.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using paneloom::platform::lnx::BackgroundMode;
using paneloom::platform::lnx::Dib;
using paneloom::platform::lnx::DrawState;
using paneloom::platform::lnx::RgbQuad;
using paneloom::platform::lnx::TextEngine;

constexpr std::size_t kSettings = 8;
constexpr const char* kFaces[] = {"Arial", "DejaVu Sans", "", "Nimbus Roman"};
constexpr std::uint16_t kDepths[] = {32, 24, 16, 8, 4, 1, 32, 8};

void Check(bool holds) {
    if (!holds) std::abort();
}

void CheckMemory(const TextEngine::GlyphMemory& memory) { Check(memory.bytes <= memory.capacity); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kSettings) return 0;
    const std::uint8_t flags = data[0];
    const bool extreme = (flags & 0x80) != 0;
    const auto signedByte = [&](std::size_t i) { return static_cast<std::int32_t>(static_cast<std::int8_t>(data[i])); };
    const std::int32_t height = extreme ? signedByte(1) * 0x01000000 : signedByte(1);
    const std::int32_t extra = extreme ? signedByte(2) * 0x01000000 : signedByte(2);
    const std::int32_t x = extreme ? signedByte(3) * 0x01000000 : signedByte(3);
    const std::int32_t y = signedByte(4);
    const std::int32_t width = 1 + data[5] % 128;
    const std::int32_t rows = 1 + data[6] % 64;
    const std::int32_t weight = data[7] * 5;
    const std::string text(reinterpret_cast<const char*>(data) + kSettings, size - kSettings);

    TextEngine& engine = TextEngine::Instance();
    const auto font = engine.CreateFont({height, weight, kFaces[flags & 3]});
    if (!font) return 0;

    const std::uint64_t rasterised = engine.GlyphMemoryUse().rasterised;
    const auto extent = engine.Measure(*font, text, extra);
    Check(extent.cy == font->CellHeight());
    Check(engine.GlyphMemoryUse().rasterised == rasterised);
    CheckMemory(engine.GlyphMemoryUse());

    Dib dib;
    if (!dib.Allocate(width, rows, kDepths[(flags >> 4) & 7])) return 0;
    if (dib.bitsPerPixel <= 8) dib.palette = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}, RgbQuad{0, 0, 255, 0}};
    DrawState state;
    state.textColor = 0x0000FF;
    state.bkColor = 0xFFFFFF;
    state.backgroundMode = (flags & 4) != 0 ? BackgroundMode::kOpaque : BackgroundMode::kTransparent;
    state.charExtra = extra;
    engine.Draw(dib, *font, x, y, text, state);
    CheckMemory(engine.GlyphMemoryUse());
    return 0;
}
