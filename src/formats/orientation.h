// How a photo is meant to stand: the EXIF orientation tag, which cameras and
// phones write instead of turning the pixels. Neither libjpeg nor the
// Windows codecs apply it, so it is read here once for both builds, from
// the JPEG's APP1 segment, and every decoder places its pixels through
// Orientation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace paneloom::formats {

// The orientation tag of a JPEG file's EXIF segment (1 to 8); 1, upright,
// when the file has none or it cannot be read. Looks only at the segments
// before the first frame, each checked to lie inside `size`.
int JpegExifOrientation(const std::uint8_t* data, std::size_t size);

// Where each stored pixel of a `width` x `height` picture goes in the upright
// picture. Tags 5 to 8 swap the axes.
class Orientation {
public:
    Orientation(int tag, std::int32_t width, std::int32_t height)
        : tag_(tag >= 1 && tag <= 8 ? tag : 1), width_(width), height_(height) {}

    bool Upright() const { return tag_ == 1; }
    bool SwapsAxes() const { return tag_ >= 5; }
    std::int32_t UprightWidth() const { return SwapsAxes() ? height_ : width_; }
    std::int32_t UprightHeight() const { return SwapsAxes() ? width_ : height_; }

    // The upright position of stored pixel (x, y), both counted from the
    // top left.
    void Place(std::int32_t x, std::int32_t y, std::int32_t& ux, std::int32_t& uy) const {
        const std::int32_t rx = width_ - 1 - x;
        const std::int32_t ry = height_ - 1 - y;
        switch (tag_) {
            case 2: ux = rx; uy = y; break;    // mirrored
            case 3: ux = rx; uy = ry; break;   // turned half round
            case 4: ux = x; uy = ry; break;    // upside down mirrored
            case 5: ux = y; uy = x; break;     // transposed
            case 6: ux = ry; uy = x; break;    // to be turned clockwise
            case 7: ux = ry; uy = rx; break;   // transversed
            case 8: ux = y; uy = rx; break;    // to be turned anticlockwise
            default: ux = x; uy = y; break;
        }
    }

private:
    int tag_;
    std::int32_t width_;
    std::int32_t height_;
};

}  // namespace paneloom::formats
