#include "drawing/canvas.h"

#include "platform/linux/drawing/objects.h"

namespace paneloom::testing {

struct Canvas::State {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::BitmapObject* bitmap = nullptr;
    platform::DcHandle dc = nullptr;
    platform::BitmapHandle previous = nullptr;
};

Canvas::Canvas(std::int32_t width, std::int32_t height, std::uint32_t fill)
    : width_(width), height_(height), state_(std::make_unique<State>()) {
    state_->bitmap = new platform::BitmapObject;
    state_->bitmap->dib.Allocate(width, height, 32);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) state_->bitmap->dib.SetPixel(x, y, fill);
    state_->dc = state_->graphics.CreateScreenCompatibleDC();
    state_->previous = state_->graphics.SelectBitmap(state_->dc, state_->bitmap);
}

Canvas::~Canvas() {
    state_->graphics.SelectBitmap(state_->dc, state_->previous);
    state_->graphics.DeleteDC(state_->dc);
    state_->graphics.DeleteBitmap(state_->bitmap);
}

platform::DcHandle Canvas::dc() const { return state_->dc; }

std::uint32_t Canvas::Pixel(std::int32_t x, std::int32_t y) const { return state_->bitmap->dib.GetPixel(x, y); }

}  // namespace paneloom::testing
