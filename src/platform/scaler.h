// Resampling a picture to another size, with a filter made for it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/seam.h"

namespace paneloom::platform {

// A picture as the composing code handles it: 0x00RRGGBB pixels (blue,
// green, red, unused in memory), rows top-down and unpadded.
struct Pixels {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> data;

    std::uint32_t At(std::int32_t x, std::int32_t y) const {
        return data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// The part of a picture scaled to scaledWidth x scaledHeight that is to
// be delivered: `width` x `height` pixels from (left, top) of the scaled
// picture, so that a picture scaled to cover a screen is cropped as it is
// made.
struct ScaledPart {
    std::int32_t scaledWidth = 0;
    std::int32_t scaledHeight = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool Valid() const {
        return scaledWidth > 0 && scaledHeight > 0 && width > 0 && height > 0 && left >= 0 && top >= 0 &&
               left <= scaledWidth - width && top <= scaledHeight - height;
    }
};

class Scaler {
public:
    virtual ~Scaler() = default;

    // The part of `source` resampled to the part's scaled size, each output
    // pixel an average over the source area it covers (a filter made for
    // it, never the nearest source pixel alone). False, with `result`
    // untouched, when it cannot be done.
    virtual bool Scale(const Pixels& source, const ScaledPart& part, Pixels& result) = 0;
};

template <>
Scaler& RealImpl<Scaler>();

}  // namespace paneloom::platform
