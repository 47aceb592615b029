// GDI's sizing rules on face numbers given here, so that they hold whatever
// fonts the machine has.
#include "platform/linux/text/metrics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace paneloom::platform::lnx {
namespace {

// Liberation Sans, metric-compatible with Arial: 1854 and 434 of 2048 units.
FaceMetrics LiberationSans() {
    FaceMetrics face;
    face.unitsPerEm = 2048;
    face.ascent = 1854;
    face.descent = 434;
    return face;
}

TEST(FontMetrics, NegativeHeightIsTheEmWithAscentAndDescentRoundedApart) {
    const FontMetrics sixteen = SizeFont(LiberationSans(), -16, kNormalWeight);
    EXPECT_EQ(sixteen.em, 16);
    EXPECT_EQ(sixteen.ascent, 14);  // 14.48
    EXPECT_EQ(sixteen.descent, 3);  // 3.39: the cell is 17, not the 18 of 17.87 rounded whole
    const FontMetrics sixteenPoints = SizeFont(LiberationSans(), -21, kNormalWeight);
    EXPECT_EQ(sixteenPoints.ascent, 19);  // 19.01
    EXPECT_EQ(sixteenPoints.descent, 4);  // 4.45
}

TEST(FontMetrics, PositiveHeightIsExactlyTheCell) {
    const FontMetrics twenty = SizeFont(LiberationSans(), 20, kNormalWeight);
    EXPECT_EQ(twenty.em, 18);  // 17.9
    EXPECT_EQ(twenty.ascent, 16);
    EXPECT_EQ(twenty.descent, 4);
    for (std::int64_t height = 1; height <= 300; ++height) {
        const FontMetrics font = SizeFont(LiberationSans(), height, kNormalWeight);
        ASSERT_EQ(font.ascent + font.descent, height);
        ASSERT_GE(font.em, 1);
    }
}

TEST(FontMetrics, HeightsAreMadeWithinBounds) {
    EXPECT_EQ(MadeHeight(0), kDefaultFontHeight);
    EXPECT_EQ(MadeHeight(-16), -16);
    EXPECT_EQ(MadeHeight(std::numeric_limits<std::int32_t>::min()), -kMaxFontPixels);
    EXPECT_EQ(MadeHeight(std::numeric_limits<std::int32_t>::max()), kMaxFontPixels);
    EXPECT_EQ(SizeFont(LiberationSans(), -kMaxFontPixels, kNormalWeight).em, kMaxFontPixels);
    const FontMetrics cell = SizeFont(LiberationSans(), kMaxFontPixels, kNormalWeight);
    EXPECT_EQ(cell.ascent + cell.descent, kMaxFontPixels);
    EXPECT_LE(cell.em, kMaxFontPixels);

    // A record with no units at all sizes without dividing by zero.
    EXPECT_EQ(SizeFont(FaceMetrics{0, 0, 0, kNormalWeight, false}, -16, kNormalWeight).em, 16);
    EXPECT_EQ(SizeFont(FaceMetrics{0, 0, 0, kNormalWeight, false}, 16, kNormalWeight).descent, 16);
}

TEST(FontMetrics, BoldIsSimulatedForHeavyRequestsOnFacesThatAreNotBold) {
    FaceMetrics regular = LiberationSans();
    EXPECT_TRUE(SizeFont(regular, -16, 551).syntheticBold);
    EXPECT_FALSE(SizeFont(regular, -16, 550).syntheticBold);
    FaceMetrics semibold = regular;
    semibold.weight = 600;
    EXPECT_FALSE(SizeFont(semibold, -16, 700).syntheticBold);
    FaceMetrics styledBold = regular;
    styledBold.boldStyle = true;
    EXPECT_FALSE(SizeFont(styledBold, -16, 700).syntheticBold);

    EXPECT_EQ(EffectiveWeight(0), kNormalWeight);  // FW_DONTCARE
    EXPECT_EQ(EffectiveWeight(-5), kNormalWeight);
    EXPECT_EQ(EffectiveWeight(700), 700);
    EXPECT_EQ(EffectiveWeight(5000), 1000);
}

TEST(FontMetrics, AdvancesAreWholePixelsAndOneMoreInSimulatedBold) {
    EXPECT_EQ(CharacterAdvance(9 * 64, false), 9);
    EXPECT_EQ(CharacterAdvance(9 * 64 + 31, false), 9);
    EXPECT_EQ(CharacterAdvance(9 * 64 + 32, false), 10);
    EXPECT_EQ(CharacterAdvance(-33, false), -1);
    EXPECT_EQ(CharacterAdvance(9 * 64, true), 10);

    EXPECT_EQ(FloorPixels(-1), -1);
    EXPECT_EQ(CeilPixels(-1), 0);
    EXPECT_EQ(FloorPixels(65), 1);
    EXPECT_EQ(CeilPixels(65), 2);
    EXPECT_EQ(CeilPixels(64), 1);
    EXPECT_EQ(EmboldenStrength(24), 64);  // one pixel at a 24-pixel em
}

TEST(FontMetrics, FaceNamesReachFontconfigAsUtf8) {
    EXPECT_EQ(RequestedFaceName("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(RequestedFaceName("\x80uro"), "\xE2\x82\xAC" "uro");  // three bytes in UTF-8
    EXPECT_EQ(RequestedFaceName(std::string(40, 'x')), std::string(31, 'x'));
}

}  // namespace
}  // namespace paneloom::platform::lnx
