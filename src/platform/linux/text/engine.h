// The Linux build's text engine: the font mapper and text output that GDI
// provides on Windows, built on fontconfig (which face), FreeType (its
// metrics and glyphs), HarfBuzz and FriBidi (shaping and the order of
// right-to-left text), drawing onto our own Dib.
//
// It is shaped after GDI so that the device-context layer above it can pass
// through what a Windows program asks for: a logical font (height, weight,
// face name), a text colour, a background colour and mode, and an extra
// spacing after each character. The metrics follow GDI's rules so that a
// layout measured on Windows fits the same way here:
//   - a negative height asks for the em (character) height in pixels, a
//     positive height for the cell height, zero for the default size;
//   - the cell is the font's Windows ascent plus descent (OS/2 usWinAscent and
//     usWinDescent), each scaled to the em and rounded on its own;
//   - text is placed by the top of its cell; the baseline lies `Ascent` below;
//   - text bytes are the Linux build's 8-bit text: UTF-8, each byte outside a
//     well-formed sequence standing for its Windows-1252 character;
//   - a character the font's face lacks is drawn from the first face
//     fontconfig offers that has it, at the same em and on the same baseline,
//     so the cell stays the font's own (GDI's font linking);
//   - Latin, Greek, Cyrillic and CJK characters each advance by their hinted
//     advance in whole pixels, plus the character extra, with no kerning or
//     ligatures; runs of scripts that join or reorder (Arabic, Hebrew, the
//     Indic scripts) are shaped with HarfBuzz, each cluster followed by the
//     extra, and right-to-left runs are ordered by the Unicode bidirectional
//     algorithm in a left-to-right line.
//
// Its parts: font_mapper.h (which face, and which for a missing character),
// faces.h and metrics.h (what GDI reads from the face and how it sizes it),
// runs.h (levels, scripts and the order of runs), glyphs.h (loading and
// rasterising), and the compositing onto the bitmap beside the Dib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/cp1252.h"
#include "platform/linux/drawing/dib.h"
#include "platform/linux/text/metrics.h"
#include "platform/linux/text/shaping_library.h"
#include "platform/text_output.h"

namespace paneloom::platform::lnx {

// What a GDI logical font carries that matters here.
struct LogFontSpec {
    std::int32_t height = 0;  // < 0: em height, > 0: cell height, 0: default
    std::int32_t weight = 0;  // 0 to 1000; 0 means normal (400)
    std::string face;         // 8-bit text as above; only the first 31 bytes count
};

using platform::BackgroundMode;

// The drawing attributes that a GDI device context holds for text output.
// The defaults are those of a fresh context.
struct DrawState {
    std::uint32_t textColor = 0x000000;  // 0x00BBGGRR
    std::uint32_t bkColor = 0xFFFFFF;    // 0x00BBGGRR
    BackgroundMode backgroundMode = BackgroundMode::kOpaque;
    std::int32_t charExtra = 0;  // pixels added after every character
};

// A font as the engine made it: the face that was found and its metrics at
// the requested size. Fonts are shared and immutable to their users; they may
// outlive the engine's own objects safely.
class Font {
public:
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The face that fontconfig chose.
    const std::string& File() const;
    int FaceIndex() const;
    const std::string& Family() const;  // UTF-8
    // The face name the match was asked for, as UTF-8, after the cut to
    // 31 bytes; empty asks for the system's default face.
    const std::string& RequestedFace() const;

    std::int32_t EmPixels() const;
    std::int32_t Ascent() const;   // cell top to baseline
    std::int32_t Descent() const;  // baseline to cell bottom
    std::int32_t CellHeight() const;
    // True when the face has no bold of its own and bold was asked for: the
    // outlines are thickened and each advance grows by one pixel, as GDI
    // does when it simulates bold.
    bool SyntheticBold() const;

private:
    friend class TextEngine;
    struct State;
    explicit Font(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

using platform::TextExtent;

class TextEngine {
public:
    // The process's engine. Fontconfig's configuration and the FreeType
    // library are loaded the first time it is asked for.
    static TextEngine& Instance();

    // An engine of its own, with HarfBuzz and FriBidi from `shaping`
    // rather than the system's.
    explicit TextEngine(ShapingSource shaping);
    ~TextEngine();
    TextEngine(const TextEngine&) = delete;
    TextEngine& operator=(const TextEngine&) = delete;

    // Keeps which face files the face names stand for between runs, in the
    // memo at `path` (face_memo.h), so that a run whose faces are known
    // loads no fontconfig configuration. Asked for before the first font.
    void KeepFaceAnswersIn(std::string path);

    // Maps a logical font to a face as GDI's font mapper does: the named
    // family or its metric-compatible substitute, else the system's fallback.
    // nullptr only when no usable face can be found at all.
    std::shared_ptr<Font> CreateFont(const LogFontSpec& spec);

    // GetTextExtentPoint32A: cx is the width of what Draw draws, the extra
    // after each character (or shaped cluster) included, saturated to the
    // 32-bit range; cy is the cell height.
    TextExtent Measure(const Font& font, const std::string& text, std::int32_t charExtra);

    // TextOutA with the context's default alignment: (x, y) is the top-left
    // corner of the text cell. In opaque mode the cell (Measure's width by
    // the cell height) is first filled with bkColor. Glyphs are blended in
    // textColor above 8 bits per pixel; at 8 bits or fewer a pixel takes the
    // palette colour nearest textColor where the glyph covers at least half of
    // it. Everything is clipped to the bitmap.
    void Draw(Dib& dib, const Font& font, std::int32_t x, std::int32_t y, const std::string& text,
              const DrawState& state);

    std::int32_t CellHeight(const Font& font) const;
    std::int32_t Ascent(const Font& font) const;

    // The glyph memory that the engine's fonts share: what it holds now,
    // the most it may hold, and how many glyph outlines have been
    // rasterised so far (measuring rasterises none; drawing only those that
    // land on the bitmap).
    struct GlyphMemory {
        std::size_t bytes = 0;
        std::size_t capacity = 0;
        std::uint64_t rasterised = 0;
        std::size_t fallbackCharacters = 0;  // the font mapper's remembered answers
    };
    GlyphMemory GlyphMemoryUse() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A byte outside well-formed UTF-8 is read as its Windows-1252 character.
using paneloom::Cp1252ToUnicode;

}  // namespace paneloom::platform::lnx
