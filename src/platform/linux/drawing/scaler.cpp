// The Linux scaler: pixman's separable convolution, the filter cairo draws
// scaled pictures with. The library is opened at the first scaling, so a
// run that scales nothing never loads it.
#include "platform/scaler.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/linux/drawing/dib.h"
#include "platform/linux/process/shared_library.h"

namespace paneloom::platform {

namespace {

// The few pixman functions the scaler calls.
struct Pixman {
    decltype(&pixman_image_create_bits) createBits = nullptr;
    decltype(&pixman_image_unref) unref = nullptr;
    decltype(&pixman_image_set_transform) setTransform = nullptr;
    decltype(&pixman_image_set_filter) setFilter = nullptr;
    decltype(&pixman_image_set_repeat) setRepeat = nullptr;
    decltype(&pixman_image_composite32) composite = nullptr;
    decltype(&pixman_filter_create_separable_convolution) createConvolution = nullptr;
};

// Null when the library or one of its functions is missing.
const Pixman* LoadPixman() {
    static const Pixman* loaded = []() -> const Pixman* {
        void* library = lnx::OpenSharedLibrary("libpixman-1.so.0");
        if (library == nullptr) return nullptr;
        static Pixman pixman;
        const bool found = lnx::FindFunction(library, "pixman_image_create_bits", pixman.createBits) &&
                           lnx::FindFunction(library, "pixman_image_unref", pixman.unref) &&
                           lnx::FindFunction(library, "pixman_image_set_transform", pixman.setTransform) &&
                           lnx::FindFunction(library, "pixman_image_set_filter", pixman.setFilter) &&
                           lnx::FindFunction(library, "pixman_image_set_repeat", pixman.setRepeat) &&
                           lnx::FindFunction(library, "pixman_image_composite32", pixman.composite) &&
                           lnx::FindFunction(library, "pixman_filter_create_separable_convolution",
                                             pixman.createConvolution);
        return found ? &pixman : nullptr;
    }();
    return loaded;
}

// pixman keeps coordinates in 16.16 fixed point.
constexpr std::int32_t kMaxSide = 32767;

// Up to this much shrinking (source pixels per output pixel) the bilinear
// filter still reads every source pixel, as cairo judges it.
constexpr double kBilinearShrink = 4.0 / 3.0;

// Up to this much, two bilinear steps do; beyond it the convolution
// averages.
constexpr double kTwoSteps = kBilinearShrink * kBilinearShrink;

// An axis that shrinks averages a box of source pixels read through a
// linear filter; one that grows only reads through the filter.
pixman_kernel_t Reconstruct(double scale) { return scale > 1.0 ? PIXMAN_KERNEL_LINEAR : PIXMAN_KERNEL_CUBIC; }
pixman_kernel_t Sample(double scale) { return scale > 1.0 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_IMPULSE; }

class PixmanScaler final : public Scaler {
public:
    bool Scale(const Pixels& source, const ScaledPart& part, Pixels& result) override {
        if (source.width < 1 || source.height < 1 ||
            source.data.size() != static_cast<std::size_t>(source.width) * static_cast<std::size_t>(source.height)) {
            return false;
        }
        return ScaleRows(RowsOf(source), part, result);
    }

    bool ScaleRows(const PixelRows& source, const ScaledPart& part, Pixels& result) override {
        if (!part.Valid()) return false;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(part.width) * static_cast<std::size_t>(part.height));
        if (!ScaleInto(source, part, reinterpret_cast<std::uint8_t*>(pixels.data()),
                       static_cast<std::ptrdiff_t>(part.width) * 4)) {
            return false;
        }
        result.width = part.width;
        result.height = part.height;
        result.data.swap(pixels);
        return true;
    }

    bool ScaleInto(const PixelRows& source, const ScaledPart& part, std::uint8_t* first, std::ptrdiff_t stride) override {
        if (!part.Valid() || !Fits(source.first, source.stride, source.width, source.height) ||
            !Fits(first, stride, part.width, part.height) || part.scaledWidth > kMaxSide ||
            part.scaledHeight > kMaxSide) {
            return false;
        }
        const Pixman* pixman = LoadPixman();
        if (pixman == nullptr) return false;

        // Source pixels per output pixel on each axis.
        const double scaleX = static_cast<double>(source.width) / part.scaledWidth;
        const double scaleY = static_cast<double>(source.height) / part.scaledHeight;
        // pixman takes rows top-down only: rows kept bottom-up are given
        // from the lowest, and the transform counts them from the other
        // end. Output row v (a pixel centre, counted in memory) shows the
        // scaled picture's row top + v, or top + height - v where the
        // output is kept bottom-up; that is the source's row scaleY times
        // it, counted from the source's other end where it is kept
        // bottom-up.
        const Image from{Lowest(const_cast<std::uint8_t*>(source.first), source.stride, source.height),
                         std::abs(source.stride), source.width, source.height};
        const Image to{Lowest(first, stride, part.height), std::abs(stride), part.width, part.height};
        const double sourceSign = source.stride < 0 ? -1.0 : 1.0;
        const double sourceEnd = source.stride < 0 ? source.height : 0.0;
        const double targetSign = stride < 0 ? -1.0 : 1.0;
        const double targetEnd = stride < 0 ? part.height : 0.0;
        const Axis across{scaleX, scaleX * part.left};
        const Axis down{sourceSign * targetSign * scaleY, sourceSign * scaleY * (part.top + targetEnd) + sourceEnd};
        if (scaleX <= kBilinearShrink && scaleY <= kBilinearShrink) {
            // Growing, or shrinking by little: every source pixel still
            // reaches the output through the bilinear filter, which pixman
            // runs on its fast paths. The picture comes here from a JPEG
            // decoded at nearly the screen's size.
            return Pass(*pixman, from, to, across, down, false);
        }
        // Shrinking by much: each output pixel averages the box of source
        // pixels it covers.
        if (scaleX > kTwoSteps || scaleY > kTwoSteps) return Pass(*pixman, from, to, across, down, true);

        // Shrinking by up to twice the bilinear filter's reach on an axis
        // (a 3:2 photo decoded at 6/8 and stretched onto a 16:9 screen
        // shrinks by 1.39 down): two bilinear steps, each within its reach,
        // so that every source pixel still counts; pixman's convolution
        // takes three times as long. The first step makes rows top-down.
        const std::int32_t middleWidth =
            scaleX > kBilinearShrink ? static_cast<std::int32_t>(std::ceil(source.width / std::sqrt(scaleX))) : source.width;
        const std::int32_t middleHeight =
            scaleY > kBilinearShrink ? static_cast<std::int32_t>(std::ceil(source.height / std::sqrt(scaleY))) : source.height;
        // Pixel memory as a bitmap gets it: fresh pages, not cleared twice.
        lnx::PixelBytes middle;
        try {
            middle = lnx::PixelBytes(static_cast<std::size_t>(middleWidth) * static_cast<std::size_t>(middleHeight) * 4);
        } catch (const std::bad_alloc&) {
            return false;
        }
        const Image between{reinterpret_cast<std::uint32_t*>(middle.data()), static_cast<std::ptrdiff_t>(middleWidth) * 4,
                            middleWidth, middleHeight};
        const double firstX = static_cast<double>(source.width) / middleWidth;
        const double firstY = static_cast<double>(source.height) / middleHeight;
        const double thenX = static_cast<double>(middleWidth) / part.scaledWidth;
        const double thenY = static_cast<double>(middleHeight) / part.scaledHeight;
        return Pass(*pixman, from, between, Axis{firstX, 0.0}, Axis{sourceSign * firstY, sourceEnd}, false) &&
               Pass(*pixman, between, to, Axis{thenX, thenX * part.left},
                    Axis{targetSign * thenY, thenY * (part.top + targetEnd)}, false);
    }

private:
    // Rows top-down from `lowest`, `stride` bytes apart.
    struct Image {
        std::uint32_t* lowest;
        std::ptrdiff_t stride;
        std::int32_t width, height;
    };

    // Where an output pixel centre c reads the source on one axis:
    // scale * c + offset.
    struct Axis {
        double scale;
        double offset;
    };

    // One composite from `from` into the whole of `to`: bilinear, or a
    // separable convolution that, on each axis that shrinks, averages the
    // box of source pixels an output pixel covers, read through a linear
    // filter, and reads an axis that grows through a cubic one.
    static bool Pass(const Pixman& pixman, const Image& from, const Image& to, const Axis& x, const Axis& y,
                     bool convolution) {
        // pixman only reads a source image's bits.
        pixman_image_t* source =
            pixman.createBits(PIXMAN_x8r8g8b8, from.width, from.height, from.lowest, static_cast<int>(from.stride));
        pixman_image_t* target =
            pixman.createBits(PIXMAN_x8r8g8b8, to.width, to.height, to.lowest, static_cast<int>(to.stride));
        bool done = false;
        if (source != nullptr && target != nullptr) {
            pixman_transform_t transform{};
            transform.matrix[0][0] = pixman_double_to_fixed(x.scale);
            transform.matrix[0][2] = pixman_double_to_fixed(x.offset);
            transform.matrix[1][1] = pixman_double_to_fixed(y.scale);
            transform.matrix[1][2] = pixman_double_to_fixed(y.offset);
            transform.matrix[2][2] = pixman_fixed_1;
            pixman.setTransform(source, &transform);
            pixman.setRepeat(source, PIXMAN_REPEAT_PAD);
            if (!convolution) {
                done = pixman.setFilter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
            } else {
                const double sx = std::abs(x.scale);
                const double sy = std::abs(y.scale);
                int count = 0;
                pixman_fixed_t* parameters = pixman.createConvolution(
                    &count, pixman_double_to_fixed(std::max(sx, 1.0)), pixman_double_to_fixed(std::max(sy, 1.0)),
                    Reconstruct(sx), Reconstruct(sy), Sample(sx), Sample(sy), 1, 1);
                done = parameters != nullptr &&
                       pixman.setFilter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, parameters, count);
                std::free(parameters);
            }
            if (done) pixman.composite(PIXMAN_OP_SRC, source, nullptr, target, 0, 0, 0, 0, 0, 0, to.width, to.height);
        }
        if (source != nullptr) pixman.unref(source);
        if (target != nullptr) pixman.unref(target);
        return done;
    }

    // Rows pixman can take: 32-bit pixels, at most kMaxSide a side, each
    // row room for its pixels, the stride a whole number of pixels.
    static bool Fits(const std::uint8_t* first, std::ptrdiff_t stride, std::int32_t width, std::int32_t height) {
        return first != nullptr && width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
               stride % 4 == 0 && std::abs(stride) >= static_cast<std::ptrdiff_t>(width) * 4 &&
               std::abs(stride) <= std::ptrdiff_t{INT32_MAX};
    }

    // The row of the lowest address.
    static std::uint32_t* Lowest(std::uint8_t* first, std::ptrdiff_t stride, std::int32_t height) {
        return reinterpret_cast<std::uint32_t*>(stride < 0 ? first + stride * (height - 1) : first);
    }
};

}  // namespace

template <>
Scaler& RealImpl<Scaler>() {
    static PixmanScaler scaler;
    return scaler;
}

}  // namespace paneloom::platform
