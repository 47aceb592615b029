// The Linux scaler: pixman's separable convolution, the filter cairo draws
// scaled pictures with. The library is opened at the first scaling, so a
// run that scales nothing never loads it.
#include "platform/scaler.h"

#include <dlfcn.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
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
    decltype(&pixman_transform_init_scale) initScale = nullptr;
    decltype(&pixman_filter_create_separable_convolution) createConvolution = nullptr;

    bool Complete() const {
        return createBits && unref && setTransform && setFilter && setRepeat && composite && initScale &&
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
        Bind(library, "pixman_transform_init_scale", pixman.initScale);
        Bind(library, "pixman_filter_create_separable_convolution", pixman.createConvolution);
        return pixman.Complete() ? &pixman : nullptr;
    }();
    return loaded;
}

// pixman keeps coordinates in 16.16 fixed point.
constexpr std::int32_t kMaxSide = 32767;

// Up to this much shrinking (source pixels per output pixel) the bilinear
// filter still reads every source pixel, as cairo judges it.
constexpr double kBilinearShrink = 4.0 / 3.0;

// An axis that shrinks averages a box of source pixels read through a
// linear filter; one that grows only reads through the filter.
pixman_kernel_t Reconstruct(double scale) { return scale > 1.0 ? PIXMAN_KERNEL_LINEAR : PIXMAN_KERNEL_CUBIC; }
pixman_kernel_t Sample(double scale) { return scale > 1.0 ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_IMPULSE; }

class PixmanScaler final : public Scaler {
public:
    bool Scale(const Pixels& source, const ScaledPart& part, Pixels& result) override {
        if (!part.Valid() || source.width < 1 || source.height < 1 || source.width > kMaxSide ||
            source.height > kMaxSide || part.scaledWidth > kMaxSide || part.scaledHeight > kMaxSide ||
            source.data.size() != static_cast<std::size_t>(source.width) * static_cast<std::size_t>(source.height)) {
            return false;
        }
        const Pixman* pixman = LoadPixman();
        if (pixman == nullptr) return false;

        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(part.width) * static_cast<std::size_t>(part.height));
        // pixman only reads a source image's bits.
        pixman_image_t* from = pixman->createBits(PIXMAN_x8r8g8b8, source.width, source.height,
                                                  const_cast<std::uint32_t*>(source.data.data()), source.width * 4);
        pixman_image_t* to = pixman->createBits(PIXMAN_x8r8g8b8, part.width, part.height, pixels.data(), part.width * 4);
        bool done = false;
        if (from != nullptr && to != nullptr) {
            // Source pixels per output pixel on each axis.
            const double scaleX = static_cast<double>(source.width) / part.scaledWidth;
            const double scaleY = static_cast<double>(source.height) / part.scaledHeight;
            pixman_transform_t transform;
            pixman->initScale(&transform, pixman_double_to_fixed(scaleX), pixman_double_to_fixed(scaleY));
            pixman->setTransform(from, &transform);
            pixman->setRepeat(from, PIXMAN_REPEAT_PAD);

            if (scaleX <= kBilinearShrink && scaleY <= kBilinearShrink) {
                // Growing, or shrinking by little: every source pixel still
                // reaches the output through the bilinear filter, which
                // pixman runs on its fast paths. The picture comes here
                // from a JPEG decoded at nearly the screen's size.
                if (pixman->setFilter(from, PIXMAN_FILTER_BILINEAR, nullptr, 0)) {
                    pixman->composite(PIXMAN_OP_SRC, from, nullptr, to, part.left, part.top, 0, 0, 0, 0,
                                      part.width, part.height);
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
                    pixman->composite(PIXMAN_OP_SRC, from, nullptr, to, part.left, part.top, 0, 0, 0, 0,
                                      part.width, part.height);
                    done = true;
                }
                std::free(parameters);
            }
        }
        if (from != nullptr) pixman->unref(from);
        if (to != nullptr) pixman->unref(to);
        if (!done) return false;
        result.width = part.width;
        result.height = part.height;
        result.data.swap(pixels);
        return true;
    }
};

}  // namespace

template <>
Scaler& RealImpl<Scaler>() {
    static PixmanScaler scaler;
    return scaler;
}

}  // namespace paneloom::platform
