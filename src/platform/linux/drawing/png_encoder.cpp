#include "platform/png_encoder.h"

#include <png.h>

namespace paneloom::platform {

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void NoFlush(png_structp) {}

// libpng reports its errors by long jump; this object owns what it made.
struct WriteStruct {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    ~WriteStruct() { png_destroy_write_struct(&png, &info); }
};

bool EncodeRows(WriteStruct& write, std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb,
                std::vector<std::uint8_t>& png) {
    // Nothing that needs destroying is made between here and the long jump.
    if (setjmp(png_jmpbuf(write.png))) return false;
    png_set_write_fn(write.png, &png, AppendBytes, NoFlush);
    png_set_IHDR(write.png, write.info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(write.png, write.info);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (std::uint32_t y = 0; y < height; ++y) {
        png_write_row(write.png, const_cast<png_bytep>(rgb.data() + y * stride));
    }
    png_write_end(write.png, nullptr);
    return true;
}

class LibpngEncoder final : public PngEncoder {
public:
    bool Encode(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgb,
                std::vector<std::uint8_t>& png) override {
        if (width == 0 || height == 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3) return false;
        WriteStruct write;
        if (write.png == nullptr || write.info == nullptr) return false;
        png.clear();
        return EncodeRows(write, width, height, rgb, png);
    }
};

}  // namespace

template <>
PngEncoder& RealImpl<PngEncoder>() {
    static LibpngEncoder encoder;
    return encoder;
}

}  // namespace paneloom::platform
