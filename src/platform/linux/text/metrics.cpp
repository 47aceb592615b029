#include "platform/linux/text/metrics.h"

#include <algorithm>

#include "common/utf8.h"
#include "common/saturate.h"

namespace paneloom::platform::lnx {

namespace {

// LOGFONTA holds 32 bytes of face name including the terminator.
constexpr std::size_t kFaceNameLimit = 31;

// GDI simulates bold when the weight asked for is above this and the face
// found is not bold itself.
constexpr int kSyntheticBoldAbove = 550;
// A face at least this heavy (semibold and up) already counts as bold.
constexpr int kBoldFaceWeight = 600;

// a / b rounded half up, for a >= 0 and b > 0.
std::int64_t RoundDiv(std::int64_t a, std::int64_t b) { return (2 * a + b) / (2 * b); }

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

}  // namespace

std::int64_t MadeHeight(std::int32_t height) {
    return std::clamp<std::int64_t>(height == 0 ? kDefaultFontHeight : height, -kMaxFontPixels, kMaxFontPixels);
}

int EffectiveWeight(std::int32_t weight) {
    if (weight <= 0) return kNormalWeight;
    return std::min<std::int32_t>(weight, 1000);
}

std::string RequestedFaceName(const std::string& face) {
    const std::string_view name(face.data(), std::min(face.find('\0'), face.size()));
    // A character that the cut to 31 bytes would split is left out whole.
    return ToWellFormedUtf8(name.substr(0, BoundaryAtOrBefore(name, kFaceNameLimit)));
}

FontMetrics SizeFont(const FaceMetrics& face, std::int64_t madeHeight, int weight) {
    // Faces read from a file always have both; the bounds only keep a
    // degenerate record from dividing by zero.
    const std::int64_t upem = std::max<std::int64_t>(face.unitsPerEm, 1);
    const std::int64_t units = std::max<std::int64_t>(face.ascent + face.descent, 1);
    std::int64_t em = 0;
    std::int64_t ascent = 0;
    std::int64_t descent = 0;
    if (madeHeight < 0) {
        em = std::min<std::int64_t>(-madeHeight, kMaxFontPixels);
        ascent = RoundDiv(face.ascent * em, upem);
        descent = RoundDiv(face.descent * em, upem);
    } else {
        const std::int64_t cell = std::min<std::int64_t>(madeHeight, kMaxFontPixels);
        em = std::clamp<std::int64_t>(RoundDiv(upem * cell, units), 1, kMaxFontPixels);
        ascent = RoundDiv(face.ascent * cell, units);
        descent = cell - ascent;
    }
    FontMetrics font;
    font.em = static_cast<std::int32_t>(em);
    font.ascent = SaturateToInt32(ascent);
    font.descent = SaturateToInt32(descent);
    font.syntheticBold = weight > kSyntheticBoldAbove && face.weight < kBoldFaceWeight && !face.boldStyle;
    return font;
}

std::int64_t FloorPixels(std::int64_t position) { return FloorDiv(position, 64); }

std::int64_t CeilPixels(std::int64_t position) { return -FloorDiv(-position, 64); }

std::int64_t CharacterAdvance(std::int64_t hintedAdvance, bool syntheticBold) {
    // Hinting already puts the advance on whole pixels; round in case it
    // did not.
    return FloorPixels(hintedAdvance + 32) + (syntheticBold ? 1 : 0);
}

std::int64_t EmboldenStrength(std::int32_t em) { return std::int64_t{em} * 64 / 24; }

}  // namespace paneloom::platform::lnx
