#include "platform/linux/text/faces.h"

#include FT_TRUETYPE_TABLES_H

#include <algorithm>

#include "common/cp1252.h"

namespace paneloom::platform::lnx {

namespace {

// The OS/2 table's version where a face has no table at all.
constexpr FT_UShort kNoOs2Table = 0xFFFF;

const TT_OS2* WindowsMetricsTable(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    return os2 != nullptr && os2->version != kNoOs2Table ? os2 : nullptr;
}

// Ascent and descent in font units: the OS/2 Windows metrics, else the
// horizontal header, else what FreeType derived.
void ReadCellMetrics(FT_Face face, FaceMetrics& metrics) {
    const TT_OS2* os2 = WindowsMetricsTable(face);
    if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
        metrics.ascent = os2->usWinAscent;
        metrics.descent = os2->usWinDescent;
        return;
    }
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    std::int64_t ascent = hhea != nullptr ? hhea->Ascender : face->ascender;
    std::int64_t descent = hhea != nullptr ? -static_cast<std::int64_t>(hhea->Descender) : -face->descender;
    if (ascent + descent <= 0) {
        ascent = face->ascender;
        descent = -static_cast<std::int64_t>(face->descender);
    }
    metrics.ascent = std::max<std::int64_t>(ascent, 0);
    metrics.descent = std::max<std::int64_t>(descent, 0);
    if (metrics.ascent + metrics.descent <= 0) metrics.ascent = metrics.unitsPerEm;
}

// The face's weight class, else 700 or 400 by its style.
int ReadWeight(FT_Face face, bool boldStyle) {
    const TT_OS2* os2 = WindowsMetricsTable(face);
    if (os2 != nullptr && os2->usWeightClass >= 1 && os2->usWeightClass <= 1000) return os2->usWeightClass;
    return boldStyle ? 700 : kNormalWeight;
}

// The Windows-1252 byte of a character, for faces that are looked up by byte.
bool Cp1252Byte(char32_t code, unsigned char& byte) {
    const char mapped = UnicodeToCp1252(code);
    if (mapped == '?' && code != U'?') return false;
    byte = static_cast<unsigned char>(mapped);
    return true;
}

}  // namespace

FreeTypeLibrary::FreeTypeLibrary() {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
}

FreeTypeLibrary::~FreeTypeLibrary() {
    if (library_ != nullptr) FT_Done_FreeType(library_);
}

Face::~Face() {
    if (shaping_ != nullptr) shapingLibrary_->hb_face_destroy(shaping_);
    if (face != nullptr) FT_Done_Face(face);
}

FT_UInt Face::GlyphIndex(char32_t code) const {
    unsigned char byte = 0;
    switch (mapping) {
        case CharMapping::kUnicode:
            return FT_Get_Char_Index(face, code);
        case CharMapping::kSymbol:
            if (!Cp1252Byte(code, byte)) return FT_Get_Char_Index(face, code);
            if (const FT_UInt glyph = FT_Get_Char_Index(face, 0xF000u + byte); glyph != 0) return glyph;
            return FT_Get_Char_Index(face, byte);
        case CharMapping::kNative:
            return Cp1252Byte(code, byte) ? FT_Get_Char_Index(face, byte) : 0;
    }
    return 0;
}

hb_face_t* Face::ShapingFace(const ShapingLibrary& hb) {
    if (!shapingTried_) {
        shapingTried_ = true;
        // HarfBuzz reads the tables through FreeType, which it holds a
        // reference of.
        if (face != nullptr && FT_IS_SFNT(face)) {
            shaping_ = hb.hb_ft_face_create_referenced(face);
            shapingLibrary_ = &hb;
        }
    }
    return shaping_;
}

FaceStore::FaceStore() : library_(std::make_shared<FreeTypeLibrary>()) {}

std::shared_ptr<Face> FaceStore::Open(const std::string& file, int index) {
    const auto key = std::make_pair(file, index);
    if (auto it = faces_.find(key); it != faces_.end()) return it->second;
    if (!Ready()) return nullptr;
    auto face = std::make_shared<Face>();
    face->library = library_;
    if (FT_New_Face(library_->Handle(), file.c_str(), index, &face->face) != 0) {
        face->face = nullptr;
        return nullptr;
    }
    const FT_Face ft = face->face;
    if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0) return nullptr;
    if (FT_Select_Charmap(ft, FT_ENCODING_UNICODE) == 0) {
        face->mapping = CharMapping::kUnicode;
    } else if (FT_Select_Charmap(ft, FT_ENCODING_MS_SYMBOL) == 0) {
        face->mapping = CharMapping::kSymbol;
    } else {
        face->mapping = CharMapping::kNative;
    }
    FaceMetrics& metrics = face->metrics;
    metrics.unitsPerEm = ft->units_per_EM;
    ReadCellMetrics(ft, metrics);
    metrics.boldStyle = (ft->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    metrics.weight = ReadWeight(ft, metrics.boldStyle);
    faces_.emplace(key, face);
    return face;
}

}  // namespace paneloom::platform::lnx
