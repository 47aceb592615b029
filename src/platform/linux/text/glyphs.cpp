#include "platform/linux/text/glyphs.h"

#include FT_OUTLINE_H
#include FT_SIZES_H

#include <algorithm>
#include <utility>

#include "common/saturate.h"
#include "platform/linux/drawing/compositing.h"
#include "platform/linux/text/metrics.h"

namespace paneloom::platform::lnx {

namespace {

// FreeType's span records hold 16-bit positions; glyph pixels are clipped to
// this range around their origin, twice the largest em (kMaxFontPixels).
constexpr std::int64_t kSpanLimit = 32767;

// A glyph whose box holds at most this many pixels keeps its coverage once
// rendered, so that each further use is a blend of that mask (at 16 points
// every glyph fits many times over). Larger glyphs are rasterised straight
// into the bitmap each time, clipped to it, so no glyph-sized buffer is
// ever made for them. The masks count against the caches' budget.
constexpr std::int64_t kMaskPixels = 4096;

// What one glyph's entry in a cache takes, about: the entry, the hash
// table's link and bucket, and the allocator's own words around the node.
constexpr std::size_t kEntryBytes = sizeof(std::pair<const FT_UInt, Glyph>) + 4 * sizeof(void*);

std::int64_t BoxPixels(const Glyph& glyph) {
    return (std::int64_t{glyph.xMax} - glyph.xMin) * (std::int64_t{glyph.yMax} - glyph.yMin);
}

// Rasterising straight into the bitmap.
struct SpanTarget {
    Dib* dib;
    std::int64_t originX;
    std::int64_t baseline;
    std::uint32_t colour;
};

void DrawSpans(int y, int count, const FT_Span* spans, void* user) {
    const auto* target = static_cast<const SpanTarget*>(user);
    // Scanline y covers [y, y + 1) above the baseline, i.e. the row just
    // above the baseline is y = 0.
    const std::int64_t row = target->baseline - 1 - y;
    for (int i = 0; i < count; ++i)
        PaintCoverageRun(*target->dib, target->originX + spans[i].x, row, spans[i].len, spans[i].coverage,
                         target->colour);
}

// Rendering a glyph into its own coverage mask.
void MaskSpans(int y, int count, const FT_Span* spans, void* user) {
    Glyph& glyph = *static_cast<Glyph*>(user);
    const std::int64_t width = std::int64_t{glyph.xMax} - glyph.xMin;
    const std::int64_t row = std::int64_t{glyph.yMax} - 1 - y;
    if (row < 0 || row >= std::int64_t{glyph.yMax} - glyph.yMin) return;
    for (int i = 0; i < count; ++i) {
        const FT_Span& span = spans[i];
        for (unsigned k = 0; k < span.len; ++k) {
            const std::int64_t col = std::int64_t{span.x} + k - glyph.xMin;
            if (col < 0 || col >= width) continue;
            glyph.mask[static_cast<std::size_t>(row * width + col)] = span.coverage;
        }
    }
}

FT_Raster_Params ClippedRaster(FT_SpanFunc spans, void* user, std::int64_t xMin, std::int64_t xMax,
                               std::int64_t yMin, std::int64_t yMax) {
    FT_Raster_Params params{};
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = spans;
    params.user = user;
    params.clip_box.xMin = static_cast<FT_Pos>(xMin);
    params.clip_box.xMax = static_cast<FT_Pos>(xMax);
    params.clip_box.yMin = static_cast<FT_Pos>(yMin);
    params.clip_box.yMax = static_cast<FT_Pos>(yMax);
    return params;
}

}  // namespace

void GlyphBudget::MakeRoom(std::size_t bytes) {
    if (used_ + bytes <= capacity_) return;
    for (GlyphCache* cache : caches_) cache->Drop();
}

std::unique_ptr<GlyphCache> GlyphCache::Make(std::shared_ptr<Face> face, std::int32_t em, bool syntheticBold,
                                             std::shared_ptr<GlyphBudget> budget) {
    FT_Size size = nullptr;
    if (!face || !budget || FT_New_Size(face->face, &size) != 0) return nullptr;
    if (FT_Activate_Size(size) != 0 || FT_Set_Pixel_Sizes(face->face, 0, static_cast<FT_UInt>(em)) != 0) {
        FT_Done_Size(size);
        return nullptr;
    }
    const auto strength = static_cast<FT_Pos>(EmboldenStrength(em));
    return std::unique_ptr<GlyphCache>(
        new GlyphCache(std::move(face), size, em, syntheticBold, strength, std::move(budget)));
}

GlyphCache::GlyphCache(std::shared_ptr<Face> face, FT_Size size, std::int32_t em, bool syntheticBold,
                       FT_Pos emboldenStrength, std::shared_ptr<GlyphBudget> budget)
    : face_(std::move(face)), size_(size), em_(em), syntheticBold_(syntheticBold),
      emboldenStrength_(emboldenStrength), budget_(std::move(budget)) {
    budget_->caches_.push_back(this);
}

GlyphCache::~GlyphCache() {
    Drop();
    auto& caches = budget_->caches_;
    caches.erase(std::remove(caches.begin(), caches.end(), this), caches.end());
    if (shaping_ != nullptr) shapingLibrary_->hb_font_destroy(shaping_);
    FT_Done_Size(size_);
}

void GlyphCache::Drop() {
    // Swapped out, so that the table's buckets go too.
    std::unordered_map<FT_UInt, Glyph>().swap(glyphs_);
    budget_->used_ -= bytes_;
    bytes_ = 0;
}

hb_font_t* GlyphCache::ShapingFont(const ShapingLibrary& hb) {
    if (shaping_ == nullptr) {
        hb_face_t* face = face_->ShapingFace(hb);
        if (face == nullptr) return nullptr;
        shaping_ = hb.hb_font_create(face);
        shapingLibrary_ = &hb;
        const int scale = static_cast<int>(std::min<std::int64_t>(std::int64_t{em_} * 64, 0x7FFFFFFF));
        hb.hb_font_set_scale(shaping_, scale, scale);
        hb.hb_font_set_ppem(shaping_, static_cast<unsigned>(em_), static_cast<unsigned>(em_));
    }
    return shaping_;
}

bool GlyphCache::Load(FT_UInt index) {
    // Fonts of other sizes share the face; each loads at its own.
    if (FT_Activate_Size(size_) != 0) return false;
    const FT_Face face = face_->face;
    // Outlines only: they are what is scaled, emboldened and clipped.
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (syntheticBold_ && slot->format == FT_GLYPH_FORMAT_OUTLINE)
        FT_Outline_Embolden(&slot->outline, emboldenStrength_);
    return true;
}

const Glyph& GlyphCache::Get(FT_UInt index) { return Entry(index); }

Glyph& GlyphCache::Entry(FT_UInt index) {
    if (const auto found = glyphs_.find(index); found != glyphs_.end()) return found->second;
    budget_->MakeRoom(kEntryBytes);
    Glyph& glyph = glyphs_[index];
    bytes_ += kEntryBytes;
    budget_->used_ += kEntryBytes;
    if (!Load(index)) return glyph;
    const FT_GlyphSlot slot = face_->face->glyph;
    glyph.advance = SaturateToInt32(CharacterAdvance(slot->advance.x, syntheticBold_));
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points > 0) {
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        glyph.xMin = SaturateToInt32(FloorPixels(box.xMin));
        glyph.xMax = SaturateToInt32(CeilPixels(box.xMax));
        glyph.yMin = SaturateToInt32(FloorPixels(box.yMin));
        glyph.yMax = SaturateToInt32(CeilPixels(box.yMax));
        glyph.hasOutline = glyph.xMax > glyph.xMin && glyph.yMax > glyph.yMin;
    }
    return glyph;
}

void GlyphCache::RenderMask(Glyph& glyph) {
    glyph.maskTried = true;
    const FT_GlyphSlot slot = face_->face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
    const auto bytes = static_cast<std::size_t>(BoxPixels(glyph));
    glyph.mask.assign(bytes, 0);
    FT_Raster_Params params = ClippedRaster(MaskSpans, &glyph, glyph.xMin, glyph.xMax, glyph.yMin, glyph.yMax);
    ++budget_->rasterised_;
    glyph.masked = FT_Outline_Render(face_->library->Handle(), &slot->outline, &params) == 0;
    if (!glyph.masked) {
        std::vector<std::uint8_t>().swap(glyph.mask);
        return;
    }
    bytes_ += bytes;
    budget_->used_ += bytes;
}

void GlyphCache::Draw(Dib& dib, FT_UInt index, std::int64_t penX, std::int64_t baseline, std::uint32_t colour) {
    const Glyph* glyph = &Get(index);
    if (!glyph->hasOutline) return;
    // The part of the glyph's box that lands in the bitmap, relative to its
    // origin.
    const std::int64_t xMin = std::max<std::int64_t>({glyph->xMin, -penX, -kSpanLimit});
    const std::int64_t xMax = std::min<std::int64_t>({glyph->xMax, dib.width - penX, kSpanLimit});
    const std::int64_t yMin = std::max<std::int64_t>({glyph->yMin, baseline - dib.height, -kSpanLimit});
    const std::int64_t yMax = std::min<std::int64_t>({glyph->yMax, baseline, kSpanLimit});
    if (xMin >= xMax || yMin >= yMax) return;
    const auto maskBytes = static_cast<std::size_t>(BoxPixels(*glyph));
    if (!glyph->maskTried && BoxPixels(*glyph) <= kMaskPixels && kEntryBytes + maskBytes <= budget_->capacity_) {
        // Room for the mask first: making it may drop this very glyph,
        // which is then loaded again.
        budget_->MakeRoom(kEntryBytes + maskBytes);
        Glyph& entry = Entry(index);
        if (Load(index)) RenderMask(entry);
        entry.maskTried = true;
        glyph = &entry;
    }
    if (glyph->masked) {
        const CoverageMask mask{glyph->mask.data(), std::int64_t{glyph->xMax} - glyph->xMin,
                                std::int64_t{glyph->yMax} - glyph->yMin};
        PaintCoverageMask(dib, mask, penX + glyph->xMin, baseline - glyph->yMax, colour);
        return;
    }
    // Too large for a mask: loaded again (another glyph may be in the slot)
    // and rasterised straight into the bitmap, clipped to it, so that no
    // glyph-sized buffer is made.
    if (!Load(index)) return;
    FT_GlyphSlot slot = face_->face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
    SpanTarget target{&dib, penX, baseline, colour};
    FT_Raster_Params params = ClippedRaster(DrawSpans, &target, xMin, xMax, yMin, yMax);
    ++budget_->rasterised_;
    FT_Outline_Render(face_->library->Handle(), &slot->outline, &params);
}

}  // namespace paneloom::platform::lnx
