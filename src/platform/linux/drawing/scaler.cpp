// The Linux scaler: pixman's separable convolution, the filter cairo draws
// scaled pictures with. The library is opened at the first scaling, so a
// run that scales nothing never loads it.
#include "platform/scaler.h"

#include <dlfcn.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

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

    bool Complete() const {
        return createBits && unref && setTransform && setFilter && setRepeat && composite &&
               createConvolution;
    }
};

template <typename Function>
void Bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
}

// Null when the library or one of its functions is missing.
const Pixman* LoadPixman() {
    static const Pixman* loaded = []() -> const Pixman* {
        void* library = ::dlopen("libpixman-1.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return nullptr;
        static Pixman pixman;
        Bind(library, "pixman_image_create_bits", pixman.createBits);
        Bind(library, "pixman_image_unref", pixman.unref);
        Bind(library, "pixman_image_set_transform", pixman.setTransform);
        Bind(library, "pixman_image_set_filter", pixman.setFilter);
        Bind(library, "pixman_image_set_repeat", pixman.setRepeat);
        Bind(library, "pixman_image_composite32", pixman.composite);
        Bind(library, "pixman_filter_create_separable_convolution", pixman.createConvolution);
        return pixman.Complete() ? &pixman : nullptr;
    }();
    return loaded;
}

// pixman keeps coordinates in 16.16 fixed point.
constexpr std::int32_t kMaxSide = 32767;

// Up to this much shrinking (source pixels per output pixel) the bilinear
// filter, two source pixels wide, still reads every source pixel with a
// weight of at least a quarter; beyond it the convolution averages. A 4K
// screen stretched from a 3:2 photo decoded at 6/8 shrinks by 1.39 down.
constexpr double kBilinearShrink = 1.5;

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

        // pixman takes rows top-down only: rows kept bottom-up are given
        // from the lowest, and the transform turns them upright.
        const bool sourceUp = source.stride < 0;
        const bool targetUp = stride < 0;
        // pixman only reads a source image's bits.
        pixman_image_t* from = pixman->createBits(PIXMAN_x8r8g8b8, source.width, source.height,
                                                  Lowest(const_cast<std::uint8_t*>(source.first), source.stride, source.height),
                                                  static_cast<int>(std::abs(source.stride)));
        pixman_image_t* to = pixman->createBits(PIXMAN_x8r8g8b8, part.width, part.height,
                                                Lowest(first, stride, part.height), static_cast<int>(std::abs(stride)));
        bool done = false;
        if (from != nullptr && to != nullptr) {
            // Source pixels per output pixel on each axis.
            const double scaleX = static_cast<double>(source.width) / part.scaledWidth;
            const double scaleY = static_cast<double>(source.height) / part.scaledHeight;
            // Output row v (a pixel centre, counted in memory) shows the
            // scaled picture's row top + v, or top + height - v where the
            // output is kept bottom-up; that is the source's row
            // scaleY times it, counted from the source's other end where it
            // is kept bottom-up.
            const double targetSign = targetUp ? -1.0 : 1.0;
            const double sourceSign = sourceUp ? -1.0 : 1.0;
            const double rowAtZero = scaleY * (part.top + (targetUp ? part.height : 0));
            pixman_transform_t transform{};
            transform.matrix[0][0] = pixman_double_to_fixed(scaleX);
            transform.matrix[0][2] = pixman_double_to_fixed(scaleX * part.left);
            transform.matrix[1][1] = pixman_double_to_fixed(sourceSign * targetSign * scaleY);
            transform.matrix[1][2] = pixman_double_to_fixed(sourceSign * rowAtZero + (sourceUp ? source.height : 0));
            transform.matrix[2][2] = pixman_fixed_1;
            pixman->setTransform(from, &transform);
            pixman->setRepeat(from, PIXMAN_REPEAT_PAD);

            if (scaleX <= kBilinearShrink && scaleY <= kBilinearShrink) {
                // Growing, or shrinking by little: every source pixel still
                // reaches the output through the bilinear filter, which
                // pixman runs on its fast paths. The picture comes here
                // from a JPEG decoded at nearly the screen's size.
                if (pixman->setFilter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0)) {
                    pixman->composite(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, part.width, part.height);
                    done = true;
                }
            } else {
                // Shrinking: each output pixel averages the box of source
                // pixels it covers, read through a linear filter.
                int count = 0;
                pixman_fixed_t* parameters = pixman->createConvolution(
                    &count, pixman_double_to_fixed(std::max(scaleX, 1.0)), pixman_double_to_fixed(std::max(scaleY, 1.0)),
                    Reconstruct(scaleX), Reconstruct(scaleY), Sample(scaleX), Sample(scaleY), 1, 1);
                if (parameters != nullptr &&
                    pixman->setFilter(from, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, parameters, count)) {
                    pixman->composite(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0, part.width, part.height);
                    done = true;
                }
                std::free(parameters);
            }
        }
        if (from != nullptr) pixman->unref(from);
        if (to != nullptr) pixman->unref(to);
        return done;
    }

private:
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
