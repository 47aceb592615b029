// Font files opened with FreeType: the library, and each face with what GDI
// reads from it (its metrics and how a character finds its glyph), and the
// face's OpenType tables for HarfBuzz where a script needs shaping.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <memory>
#include <string>

#include "platform/linux/text/shaping_library.h"
#include <utility>

#include "platform/linux/text/metrics.h"

namespace paneloom::platform::lnx {

// The FreeType library. Everything that holds a FreeType object holds the
// library too, so that fonts kept past the engine's end stay valid.
class FreeTypeLibrary {
public:
    FreeTypeLibrary();
    ~FreeTypeLibrary();
    FreeTypeLibrary(const FreeTypeLibrary&) = delete;
    FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;

    // Null when FreeType could not be started.
    FT_Library Handle() const { return library_; }

private:
    FT_Library library_ = nullptr;
};

// How the characters of a text find their glyphs in a face.
enum class CharMapping {
    kUnicode,  // the character
    kSymbol,   // a symbol font's private-use code U+F000 plus the
               // character's Windows-1252 byte
    kNative,   // the character's Windows-1252 byte, in the char map the face
               // opened with
};

// One face of a font file, open and unsized.
struct Face {
    std::shared_ptr<FreeTypeLibrary> library;  // declared first: released last
    FT_Face face = nullptr;
    CharMapping mapping = CharMapping::kUnicode;
    FaceMetrics metrics;

    Face() = default;
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;
    ~Face();

    // The glyph of a character; 0 (the missing glyph) when the face has none.
    FT_UInt GlyphIndex(char32_t code) const;

    // The face's tables for HarfBuzz, made on first use; null for a face
    // without them (a Type 1 font), whose text is drawn character by
    // character.
    hb_face_t* ShapingFace(const ShapingLibrary& hb);

private:
    hb_face_t* shaping_ = nullptr;
    const ShapingLibrary* shapingLibrary_ = nullptr;  // that made shaping_
    bool shapingTried_ = false;
};

// The faces opened so far by file and index, kept for the life of the
// store: a run asks for the same few again and again.
class FaceStore {
public:
    FaceStore();

    // FreeType started.
    bool Ready() const { return library_->Handle() != nullptr; }

    // The face, opened on first use; null when it cannot be read or has no
    // scalable outlines (GDI's height rules need outlines to scale).
    std::shared_ptr<Face> Open(const std::string& file, int index);

private:
    std::shared_ptr<FreeTypeLibrary> library_;
    std::map<std::pair<std::string, int>, std::shared_ptr<Face>> faces_;
};

}  // namespace paneloom::platform::lnx
