// The glyph caches on a face of the machine's (Arial's substitute): what
// they rasterise and what they hold against the budget they share.
#include "platform/linux/text/glyphs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "platform/linux/text/engine.h"
#include "platform/linux/text/faces.h"
#include "platform/linux/white_dib.h"

namespace paneloom::platform::lnx {
namespace {

using testing::InkBox;
using testing::kBlack;
using testing::kWhite;
using testing::WhiteDib;

// Arial's face, opened afresh in a store of the test's own.
std::shared_ptr<Face> ArialFace(FaceStore& store) {
    const auto font = TextEngine::Instance().CreateFont({-16, 400, "Arial"});
    return font ? store.Open(font->File(), font->FaceIndex()) : nullptr;
}

TEST(GlyphCache, OnlyAGlyphThatLandsIsRasterisedAndASmallOneOnce) {
    FaceStore store;
    const auto face = ArialFace(store);
    ASSERT_NE(face, nullptr);
    const FT_UInt h = face->GlyphIndex(U'H');
    struct Case {
        const char* what;
        std::int32_t em;
        std::int64_t penX;
        std::int64_t baseline;
        std::uint64_t firstDraw;   // outlines rasterised by the first draw
        std::uint64_t secondDraw;  // and by the same draw again
    };
    const Case cases[] = {
        {"small, inside", 16, 10, 40, 1, 0},
        {"small, partly off the left edge", 16, -5, 40, 1, 0},
        {"small, left of the bitmap", 16, -40, 40, 0, 0},
        {"small, right of it", 16, 64, 40, 0, 0},
        {"small, above it", 16, 10, 0, 0, 0},
        {"small, below it", 16, 10, 100, 0, 0},
        {"large: straight into the bitmap each time", 120, -10, 100, 1, 1},
        {"large, off the bitmap", 120, 64, 100, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto budget = std::make_shared<GlyphBudget>(kGlyphCacheBytes);
        const auto cache = GlyphCache::Make(face, c.em, false, budget);
        ASSERT_NE(cache, nullptr);
        EXPECT_GT(cache->Get(h).advance, 0);
        EXPECT_EQ(budget->Rasterised(), 0u);  // metrics only

        Dib dib = WhiteDib(64, 64, 32);
        cache->Draw(dib, h, c.penX, c.baseline, kBlack);
        EXPECT_EQ(budget->Rasterised(), c.firstDraw);
        EXPECT_EQ(InkBox(dib, kWhite).count > 0, c.firstDraw > 0);
        const std::size_t held = budget->Used();
        cache->Draw(dib, h, c.penX, c.baseline, kBlack);
        EXPECT_EQ(budget->Rasterised(), c.firstDraw + c.secondDraw);
        EXPECT_EQ(budget->Used(), held);
    }
}

TEST(GlyphCache, CachesSharingABudgetStayWithinItAndDrawAlikeAfterDroppingTheirGlyphs) {
    FaceStore store;
    const auto face = ArialFace(store);
    ASSERT_NE(face, nullptr);
    const auto glyphCount = static_cast<FT_UInt>(face->face->num_glyphs);
    ASSERT_GT(glyphCount, 500u);
    const FT_UInt h = face->GlyphIndex(U'H');
    for (const std::size_t capacity : {std::size_t{16} << 10, std::size_t{256} << 10, kGlyphCacheBytes}) {
        SCOPED_TRACE(capacity);
        const auto budget = std::make_shared<GlyphBudget>(capacity);
        auto small = GlyphCache::Make(face, 16, false, budget);
        auto bold = GlyphCache::Make(face, 30, true, budget);
        ASSERT_NE(small, nullptr);
        ASSERT_NE(bold, nullptr);
        Dib first = WhiteDib(64, 64, 32);
        small->Draw(first, h, 10, 40, kBlack);
        bold->Draw(first, h, 20, 60, kBlack);

        // Every glyph of the face in both, measured and drawn.
        Dib scrap = WhiteDib(64, 64, 32);
        for (FT_UInt index = 0; index < glyphCount; ++index) {
            small->Get(index);
            bold->Draw(scrap, index, 20, 50, kBlack);
            ASSERT_LE(budget->Used(), capacity) << index;
        }
        EXPECT_GT(budget->Used(), 0u);

        // What is drawn again is drawn the same, loaded afresh or not.
        Dib again = WhiteDib(64, 64, 32);
        small->Draw(again, h, 10, 40, kBlack);
        bold->Draw(again, h, 20, 60, kBlack);
        EXPECT_TRUE(again.bits == first.bits);

        // A cache that goes gives its share back.
        bold.reset();
        small.reset();
        EXPECT_EQ(budget->Used(), 0u);
    }
}

}  // namespace
}  // namespace paneloom::platform::lnx
