// Resampling a picture to another size, with a filter made for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Rows of 32-bit pixels where they already are (a bitmap's own rows):
// blue, green, red and an unused byte in memory. Row y of the picture, from
// the top, starts at `first + y * stride`; a negative stride is a picture
// kept bottom-up.
struct PixelRows {
    const std::uint8_t* first = nullptr;
    std::ptrdiff_t stride = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    const std::uint32_t* Row(std::int32_t y) const {
        return reinterpret_cast<const std::uint32_t*>(first + stride * static_cast<std::ptrdiff_t>(y));
    }
};

// The rows of pixels kept in `pixels`.
inline PixelRows RowsOf(const Pixels& pixels) {
    return {reinterpret_cast<const std::uint8_t*>(pixels.data.data()), static_cast<std::ptrdiff_t>(pixels.width) * 4,
            pixels.width, pixels.height};
}

class Scaler {
public:
    virtual ~Scaler() = default;

    // The part of `source` resampled to the part's scaled size, each output
    // pixel an average over the source area it covers (a filter made for
    // it, never the nearest source pixel alone). False, with `result`
    // untouched, when it cannot be done.
    virtual bool Scale(const Pixels& source, const ScaledPart& part, Pixels& result) = 0;

    // The same from rows where they are, so that a large picture is not
    // copied first. By default the rows are copied into pixels for Scale.
    virtual bool ScaleRows(const PixelRows& source, const ScaledPart& part, Pixels& result) {
        if (source.first == nullptr || source.width < 1 || source.height < 1) return false;
        Pixels copy;
        copy.width = source.width;
        copy.height = source.height;
        copy.data.resize(static_cast<std::size_t>(source.width) * static_cast<std::size_t>(source.height));
        for (std::int32_t y = 0; y < source.height; ++y) {
            const std::uint32_t* row = source.Row(y);
            std::uint32_t* out = &copy.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(source.width)];
            for (std::int32_t x = 0; x < source.width; ++x) out[x] = row[x] & 0xFFFFFFu;
        }
        return Scale(copy, part, result);
    }

    // The same into rows where they are: part.width x part.height pixels,
    // row y from the top at `first + y * stride`. By default through
    // ScaleRows and copied.
    virtual bool ScaleInto(const PixelRows& source, const ScaledPart& part, std::uint8_t* first, std::ptrdiff_t stride) {
        Pixels scaled;
        if (first == nullptr || !ScaleRows(source, part, scaled)) return false;
        for (std::int32_t y = 0; y < part.height; ++y) {
            std::memcpy(first + stride * static_cast<std::ptrdiff_t>(y),
                        &scaled.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(part.width)],
                        static_cast<std::size_t>(part.width) * 4);
        }
        return true;
    }
};

template <>
Scaler& RealImpl<Scaler>();

}  // namespace paneloom::platform
