// PNG, the picture format every viewer and browser shows: the platform's
// own encoder (libpng on Linux, the imaging component's on Windows).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/seam.h"

namespace paneloom::platform {

class PngEncoder {
public:
    virtual ~PngEncoder() = default;

    // Encodes `width` x `height` pixels given as 8-bit red, green and blue,
    // rows top first with no padding, into the bytes of a PNG file. False
    // when the encoder is missing or fails.
    virtual bool Encode(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb,
                        std::vector<std::uint8_t>& png) = 0;
};

template <>
PngEncoder& RealImpl<PngEncoder>();

}  // namespace paneloom::platform
