// A 32-bit bitmap of the platform's own kind, filled with one colour and
// selected into a fresh memory device context, for tests that draw for real.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/graphics.h"

namespace paneloom::testing {

class Canvas {
public:
    Canvas(std::int32_t width, std::int32_t height, std::uint32_t fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    platform::DcHandle dc() const;
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // 0x00BBGGRR; everything drawn so far included.
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) const;

private:
    struct State;
    std::int32_t width_;
    std::int32_t height_;
    std::unique_ptr<State> state_;
};

}  // namespace paneloom::testing
