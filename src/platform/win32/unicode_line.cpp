#include "platform/win32/unicode_line.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "platform/win32/fallback_faces.h"
#include "platform/win32/uniscribe.h"

namespace paneloom::platform {

namespace {

constexpr WORD kMissingGlyph = 0xFFFF;

// Characters that no face needs to have: controls, format characters and
// halves of surrogate pairs (GDI measures faces by 16-bit characters). They
// stay in the run around them.
bool NeedsNoFace(wchar_t character) {
    return character < 0x20 || (character >= 0x200B && character <= 0x200F) ||
           (character >= 0x202A && character <= 0x202E) || (character >= 0xD800 && character <= 0xDFFF) ||
           character == 0xFEFF;
}

// Nonspacing marks go with the character before them.
bool IsMark(wchar_t character) {
    return (character >= 0x0300 && character <= 0x036F) || (character >= 0x064B && character <= 0x065F) ||
           character == 0x0670 || (character >= 0x20D0 && character <= 0x20FF) || (character >= 0xFE20 && character <= 0xFE2F);
}

// The fonts of one line: the selected one and each fallback face it needs,
// made with the selected font's height and weight, with Uniscribe's cache
// of each.
class LineFonts {
public:
    LineFonts(HDC dc, const Uniscribe* uniscribe) : dc_(dc), uniscribe_(uniscribe) {
        const HFONT selected = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
        if (selected == nullptr || GetObjectW(selected, sizeof base_, &base_) == 0) base_ = LOGFONTW{};
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        fonts_.push_back(Entry{selected, nullptr, face, false});
    }

    ~LineFonts() {
        for (Entry& entry : fonts_) {
            if (entry.cache != nullptr && uniscribe_ != nullptr) uniscribe_->freeCache(&entry.cache);
            if (entry.owned) DeleteObject(entry.font);
        }
    }

    LineFonts(const LineFonts&) = delete;
    LineFonts& operator=(const LineFonts&) = delete;

    const std::wstring& PrimaryFace() const { return fonts_[0].face; }

    // The index of the font of `face`, made on first use; 0 (the selected
    // font) where it cannot be made.
    int IndexOf(const std::wstring& face) {
        for (std::size_t i = 0; i < fonts_.size(); ++i) {
            if (fonts_[i].face == face) return static_cast<int>(i);
        }
        if (face.size() >= LF_FACESIZE) return 0;
        LOGFONTW request = base_;
        std::fill(std::begin(request.lfFaceName), std::end(request.lfFaceName), L'\0');
        face.copy(request.lfFaceName, LF_FACESIZE - 1);
        request.lfCharSet = DEFAULT_CHARSET;
        const HFONT font = CreateFontIndirectW(&request);
        if (font == nullptr) return 0;
        fonts_.push_back(Entry{font, nullptr, face, true});
        return static_cast<int>(fonts_.size() - 1);
    }

    HFONT Font(int index) const { return fonts_[static_cast<std::size_t>(index)].font; }
    SCRIPT_CACHE* Cache(int index) { return &fonts_[static_cast<std::size_t>(index)].cache; }
    HDC Dc() const { return dc_; }

private:
    struct Entry {
        HFONT font;
        SCRIPT_CACHE cache;
        std::wstring face;
        bool owned;
    };
    HDC dc_;
    const Uniscribe* uniscribe_;
    LOGFONTW base_{};
    std::vector<Entry> fonts_;
};

// A run of characters drawn in one font with one script analysis.
struct Segment {
    int begin = 0;
    int end = 0;
    int font = 0;
    SCRIPT_ANALYSIS analysis{};
    bool shaped = false;
    // Placed: glyphs with their advances (character extra included) for a
    // shaped run; the width alone for a run GDI lays out itself.
    std::vector<WORD> glyphs;
    std::vector<int> advances;
    std::vector<GOFFSET> offsets;
    std::int64_t width = 0;
};

class Line {
public:
    Line(HDC dc, const std::wstring& text) : dc_(dc), text_(text), uniscribe_(LoadUniscribe()), fonts_(dc, uniscribe_) {}

    // False where GDI draws the line alone as it stands: the selected face
    // has every character and no run needs shaping.
    bool LayOut();

    std::int64_t Width() const {
        std::int64_t width = 0;
        for (const Segment& segment : segments_) width += segment.width;
        return width;
    }

    void Draw(int x, int y);

private:
    bool Itemize(std::vector<SCRIPT_ITEM>& items, int& count) const;
    void Split(const SCRIPT_ITEM& item, int end, bool complex, const std::vector<WORD>& glyphs);
    void Place(Segment& segment);
    std::vector<int> VisualOrder() const;

    HDC dc_;
    const std::wstring& text_;
    const Uniscribe* uniscribe_;
    LineFonts fonts_;
    std::vector<Segment> segments_;
};

bool Line::Itemize(std::vector<SCRIPT_ITEM>& items, int& count) const {
    const int length = static_cast<int>(text_.size());
    items.assign(static_cast<std::size_t>(length) + 2, SCRIPT_ITEM{});
    SCRIPT_CONTROL control{};
    SCRIPT_STATE state{};
    return uniscribe_->itemize(text_.c_str(), length, length + 1, &control, &state, items.data(), &count) == S_OK &&
           count > 0;
}

bool Line::LayOut() {
    const int length = static_cast<int>(text_.size());
    if (length == 0) return false;
    std::vector<WORD> glyphs(static_cast<std::size_t>(length));
    if (GetGlyphIndicesW(dc_, text_.c_str(), length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
        return false;
    bool missing = false;
    for (int i = 0; i < length; ++i) missing |= glyphs[i] == kMissingGlyph && !NeedsNoFace(text_[i]);

    bool complex = false;
    std::vector<SCRIPT_ITEM> items;
    int count = 0;
    const SCRIPT_PROPERTIES** properties = nullptr;
    int scripts = 0;
    if (uniscribe_ != nullptr && Itemize(items, count) && uniscribe_->properties(&properties, &scripts) == S_OK) {
        for (int i = 0; i < count; ++i) {
            const SCRIPT_ANALYSIS& analysis = items[i].a;
            const bool scriptComplex = analysis.eScript < scripts && properties[analysis.eScript]->fComplex;
            complex |= scriptComplex || (analysis.s.uBidiLevel & 1) != 0;
        }
    } else {
        count = 0;
    }
    if (!missing && !complex) return false;

    if (count == 0) {
        // Without Uniscribe: one left-to-right run, the fallback faces still.
        SCRIPT_ITEM whole{};
        Split(whole, length, false, glyphs);
    } else {
        for (int i = 0; i < count; ++i) {
            const SCRIPT_ANALYSIS& analysis = items[i].a;
            const bool itemComplex = (analysis.eScript < scripts && properties[analysis.eScript]->fComplex) ||
                                     (analysis.s.uBidiLevel & 1) != 0;
            Split(items[i], items[i + 1].iCharPos, itemComplex, glyphs);
        }
    }
    for (Segment& segment : segments_) Place(segment);
    return true;
}

// Cuts one item into runs of one font each. A shaped item is kept whole in
// one face where one face has all its characters, so its letters join.
void Line::Split(const SCRIPT_ITEM& item, int end, bool complex, const std::vector<WORD>& glyphs) {
    FallbackFaces& fallback = FallbackFaces::Instance();
    // A copy: making a fallback font may move the list of fonts.
    const std::wstring primary = fonts_.PrimaryFace();
    const int begin = item.iCharPos;
    std::vector<int> fontOf(static_cast<std::size_t>(end - begin), 0);

    int whole = -1;
    if (complex) {
        std::wstring face;
        bool all = true;
        for (int i = begin; i < end && all; ++i) {
            if (glyphs[i] != kMissingGlyph || NeedsNoFace(text_[i])) continue;
            if (face.empty()) face = fallback.FaceFor(primary, text_[i]);
            all = !face.empty() && fallback.Has(face, text_[i]);
        }
        if (all) {
            whole = 0;
            if (!face.empty()) {
                // The face must draw the item's other characters too.
                for (int i = begin; i < end && all; ++i) {
                    all = NeedsNoFace(text_[i]) || IsMark(text_[i]) || fallback.Has(face, text_[i]);
                }
                whole = all ? fonts_.IndexOf(face) : -1;
            }
        }
    }
    for (int i = begin; i < end; ++i) {
        int& font = fontOf[static_cast<std::size_t>(i - begin)];
        if (whole >= 0) {
            font = whole;
        } else if (i > begin && (NeedsNoFace(text_[i]) || IsMark(text_[i]))) {
            font = fontOf[static_cast<std::size_t>(i - begin - 1)];
        } else if (glyphs[i] == kMissingGlyph && !NeedsNoFace(text_[i])) {
            const std::wstring face = fallback.FaceFor(primary, text_[i]);
            font = face.empty() ? 0 : fonts_.IndexOf(face);
        }
    }
    for (int i = begin; i < end;) {
        int j = i + 1;
        while (j < end && fontOf[static_cast<std::size_t>(j - begin)] == fontOf[static_cast<std::size_t>(i - begin)]) ++j;
        Segment segment;
        segment.begin = i;
        segment.end = j;
        segment.font = fontOf[static_cast<std::size_t>(i - begin)];
        segment.analysis = item.a;
        segment.shaped = complex && uniscribe_ != nullptr;
        segments_.push_back(std::move(segment));
        i = j;
    }
}

void Line::Place(Segment& segment) {
    const HGDIOBJ previous = SelectObject(dc_, fonts_.Font(segment.font));
    const int length = segment.end - segment.begin;
    const wchar_t* chars = text_.c_str() + segment.begin;
    if (segment.shaped) {
        std::vector<WORD> clusters(static_cast<std::size_t>(length));
        std::vector<SCRIPT_VISATTR> attributes;
        int capacity = length * 3 / 2 + 16;
        int count = 0;
        HRESULT result = E_OUTOFMEMORY;
        for (int attempt = 0; attempt < 4; ++attempt) {
            segment.glyphs.assign(static_cast<std::size_t>(capacity), 0);
            attributes.assign(static_cast<std::size_t>(capacity), SCRIPT_VISATTR{});
            result = uniscribe_->shape(dc_, fonts_.Cache(segment.font), chars, length, capacity, &segment.analysis,
                                       segment.glyphs.data(), clusters.data(), attributes.data(), &count);
            if (result == USP_E_SCRIPT_NOT_IN_FONT) {
                // Drawn unshaped rather than not at all.
                segment.analysis.eScript = SCRIPT_UNDEFINED;
                continue;
            }
            if (result != E_OUTOFMEMORY) break;
            capacity *= 2;
        }
        segment.advances.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
        segment.offsets.assign(static_cast<std::size_t>(std::max(count, 0)), GOFFSET{});
        ABC abc{};
        if (result == S_OK && count > 0 &&
            uniscribe_->place(dc_, fonts_.Cache(segment.font), segment.glyphs.data(), count, attributes.data(),
                              &segment.analysis, segment.advances.data(), segment.offsets.data(), &abc) == S_OK) {
            segment.glyphs.resize(static_cast<std::size_t>(count));
            // The character extra goes after each cluster (the characters
            // drawn as one), as GDI puts it after each character.
            const int extra = GetTextCharacterExtra(dc_);
            if (extra != 0) {
                for (int i = 0; i < length; ++i) {
                    if (i == 0 || clusters[i] != clusters[i - 1]) segment.advances[clusters[i]] += extra;
                }
            }
            for (int advance : segment.advances) segment.width += advance;
            SelectObject(dc_, previous);
            return;
        }
        segment.glyphs.clear();
        segment.advances.clear();
        segment.offsets.clear();
        segment.shaped = false;
    }
    SIZE size{};
    if (GetTextExtentPoint32W(dc_, chars, length, &size)) segment.width = size.cx;
    SelectObject(dc_, previous);
}

std::vector<int> Line::VisualOrder() const {
    const int count = static_cast<int>(segments_.size());
    std::vector<int> order(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) order[static_cast<std::size_t>(i)] = i;
    if (uniscribe_ == nullptr || count == 0) return order;
    std::vector<BYTE> levels(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) levels[static_cast<std::size_t>(i)] = static_cast<BYTE>(segments_[i].analysis.s.uBidiLevel);
    std::vector<int> visualToLogical(static_cast<std::size_t>(count));
    if (uniscribe_->layout(count, levels.data(), visualToLogical.data(), nullptr) == S_OK) return visualToLogical;
    return order;
}

void Line::Draw(int x, int y) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    const std::int64_t width = Width();
    // The cell is the selected face's, whatever faces the characters come
    // from, and is painted once; every run stands on its baseline.
    if (GetBkMode(dc_) == OPAQUE) {
        const std::int64_t right = std::min<std::int64_t>(INT_MAX, std::int64_t{x} + width);
        const RECT cell{x, y, static_cast<LONG>(right), static_cast<LONG>(std::min<std::int64_t>(INT_MAX, std::int64_t{y} + metrics.tmHeight))};
        ExtTextOutW(dc_, x, y, ETO_OPAQUE, &cell, L"", 0, nullptr);
    }
    const int mode = SetBkMode(dc_, TRANSPARENT);
    const UINT align = SetTextAlign(dc_, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
    const HGDIOBJ previous = GetCurrentObject(dc_, OBJ_FONT);
    const int baseline = static_cast<int>(std::min<std::int64_t>(INT_MAX, std::int64_t{y} + metrics.tmAscent));

    // Runs wholly off the bitmap, by more than a wide character, are left
    // out: GDI would render their glyphs all the same.
    std::int64_t limit = INT64_MAX;
    BITMAP bitmap{};
    const HGDIOBJ selected = GetCurrentObject(dc_, OBJ_BITMAP);
    if (selected != nullptr && GetObjectW(selected, sizeof bitmap, &bitmap) == sizeof bitmap) limit = bitmap.bmWidth;
    const std::int64_t margin = std::max<std::int64_t>({metrics.tmMaxCharWidth, metrics.tmHeight, 1}) * 2;

    std::int64_t pen = x;
    for (int index : VisualOrder()) {
        Segment& segment = segments_[static_cast<std::size_t>(index)];
        const std::int64_t start = pen;
        pen += segment.width;
        if (std::max(start, pen) <= -margin || std::min(start, pen) >= limit + margin) continue;
        if (start < INT_MIN || start > INT_MAX) continue;
        SelectObject(dc_, fonts_.Font(segment.font));
        if (segment.shaped) {
            // The advances carry the extra already.
            const int extra = SetTextCharacterExtra(dc_, 0);
            uniscribe_->textOut(dc_, fonts_.Cache(segment.font), static_cast<int>(start), baseline, 0, nullptr,
                                &segment.analysis, nullptr, 0, segment.glyphs.data(),
                                static_cast<int>(segment.glyphs.size()), segment.advances.data(), nullptr,
                                segment.offsets.data());
            SetTextCharacterExtra(dc_, extra);
        } else {
            ExtTextOutW(dc_, static_cast<int>(start), baseline, 0, nullptr, text_.c_str() + segment.begin,
                        static_cast<UINT>(segment.end - segment.begin), nullptr);
        }
    }
    SelectObject(dc_, previous);
    SetTextAlign(dc_, align);
    SetBkMode(dc_, mode);
}

}  // namespace

bool MeasureShapedLine(HDC dc, const std::wstring& text, SIZE& size) {
    Line line(dc, text);
    TEXTMETRICW metrics{};
    if (!line.LayOut() || !GetTextMetricsW(dc, &metrics)) return false;
    size.cx = static_cast<LONG>(std::clamp<std::int64_t>(line.Width(), INT_MIN, INT_MAX));
    size.cy = metrics.tmHeight;
    return true;
}

bool WriteShapedLine(HDC dc, int x, int y, const std::wstring& text) {
    Line line(dc, text);
    if (!line.LayOut()) return false;
    line.Draw(x, y);
    return true;
}

}  // namespace paneloom::platform
