#include "platform/gdi.h"

#include "platform/linux/bmp_decoder.h"
#include "platform/linux/gdi_objects.h"

namespace paneloom::platform {

namespace lnx {

BitmapObject* StockBitmap() {
    static BitmapObject* stock = [] {
        auto* bitmap = new BitmapObject;
        bitmap->dib.Allocate(1, 1, 1);
        bitmap->dib.palette = {RgbQuad{0, 0, 0, 0}, RgbQuad{255, 255, 255, 0}};
        bitmap->stock = true;
        return bitmap;
    }();
    return stock;
}

}  // namespace lnx

namespace {

class LinuxGraphics final : public Graphics {
public:
    BitmapHandle LoadBitmapFile(const std::string& path) override {
        auto* bitmap = new BitmapObject;
        if (!lnx::DecodeBmpFile(path, bitmap->dib)) {
            delete bitmap;
            return nullptr;
        }
        return bitmap;
    }

    DcHandle CreateScreenCompatibleDC() override {
        auto* dc = new DcObject;
        dc->selected = lnx::StockBitmap();
        return dc;
    }

    BitmapHandle SelectBitmap(DcHandle dc, BitmapHandle bitmap) override {
        if (dc == nullptr || bitmap == nullptr) return nullptr;
        BitmapObject* previous = dc->selected;
        dc->selected = bitmap;
        return previous;
    }

    void DeleteDC(DcHandle dc) override { delete dc; }

    void DeleteBitmap(BitmapHandle bitmap) override {
        if (bitmap != nullptr && !bitmap->stock) delete bitmap;
    }

    void DeletePalette(PaletteHandle palette) override { delete palette; }
};

}  // namespace

template <>
Graphics& RealImpl<Graphics>() {
    static LinuxGraphics graphics;
    return graphics;
}

}  // namespace paneloom::platform
