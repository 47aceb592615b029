#include "drawing/canvas.h"

#include <windows.h>

namespace paneloom::testing {

struct Canvas::State {
    HBITMAP bitmap = nullptr;
    std::uint8_t* bits = nullptr;
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
};

Canvas::Canvas(std::int32_t width, std::int32_t height, std::uint32_t fill)
    : width_(width), height_(height), state_(std::make_unique<State>()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    state_->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    state_->bits = static_cast<std::uint8_t*>(bits);
    if (state_->bits != nullptr) {
        for (std::int32_t i = 0; i < width * height; ++i) {
            std::uint8_t* p = state_->bits + 4 * static_cast<std::size_t>(i);
            p[0] = static_cast<std::uint8_t>(fill >> 16);
            p[1] = static_cast<std::uint8_t>(fill >> 8);
            p[2] = static_cast<std::uint8_t>(fill);
            p[3] = 0;
        }
    }
    state_->dc = CreateCompatibleDC(nullptr);
    state_->previous = SelectObject(state_->dc, state_->bitmap);
}

Canvas::~Canvas() {
    SelectObject(state_->dc, state_->previous);
    DeleteDC(state_->dc);
    DeleteObject(state_->bitmap);
}

platform::DcHandle Canvas::dc() const { return reinterpret_cast<platform::DcHandle>(state_->dc); }

std::uint32_t Canvas::Pixel(std::int32_t x, std::int32_t y) const {
    if (state_->bits == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    GdiFlush();
    const std::uint8_t* p = state_->bits + 4 * (static_cast<std::size_t>(y) * width_ + x);
    return static_cast<std::uint32_t>(p[2]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[0]) << 16);
}

}  // namespace paneloom::testing
