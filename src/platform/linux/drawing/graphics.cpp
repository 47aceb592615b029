#include "platform/graphics.h"

#include <new>

#include "platform/linux/drawing/objects.h"
#include "platform/linux/drawing/packed_dib.h"
#include "platform/linux/drawing/picture_decoders.h"

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

PaletteObject* StockPalette() {
    // GDI's default palette: the 20 colours every palette device reserves.
    static PaletteObject* stock = [] {
        static const unsigned char colours[20][3] = {
            {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00}, {0x00, 0x00, 0x80},
            {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0xC0, 0xDC, 0xC0}, {0xA6, 0xCA, 0xF0},
            {0xFF, 0xFB, 0xF0}, {0xA0, 0xA0, 0xA4}, {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00},
            {0xFF, 0xFF, 0x00}, {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
        };
        auto* palette = new PaletteObject;
        for (const auto& c : colours) palette->entries.push_back(RgbQuad{c[2], c[1], c[0], 0});
        palette->stock = true;
        return palette;
    }();
    return stock;
}

}  // namespace lnx

namespace {

class LinuxGraphics final : public Graphics {
public:
    BitmapHandle LoadBitmapFile(const std::string& path) override {
        auto* bitmap = new BitmapObject;
        if (!lnx::LoadPictureFile(path, bitmap->dib)) {
            delete bitmap;
            return nullptr;
        }
        return bitmap;
    }

    BitmapHandle LoadBitmapFileFor(const std::string& path, const PictureNeed& need) override {
        auto* bitmap = new BitmapObject;
        if (!lnx::LoadPictureFile(path, bitmap->dib, &need)) {
            delete bitmap;
            return nullptr;
        }
        return bitmap;
    }

    DcHandle CreateScreenCompatibleDC() override {
        auto* dc = new DcObject;
        dc->selected = lnx::StockBitmap();
        dc->palette = lnx::StockPalette();
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

    void DeletePalette(PaletteHandle palette) override {
        if (palette != nullptr && !palette->stock) delete palette;
    }

    // The screen is a context without a bitmap of its own: 32 bits per
    // pixel, 96 pixels per inch.
    DcHandle GetScreenDC() override {
        auto* dc = new DcObject;
        dc->palette = lnx::StockPalette();
        return dc;
    }

    void ReleaseScreenDC(DcHandle dc) override { delete dc; }

    PaletteHandle CreateLogicalPalette(const std::vector<PaletteEntry>& entries) override {
        if (entries.empty() || entries.size() > 256) return nullptr;
        auto* palette = new PaletteObject;
        for (const PaletteEntry& e : entries) palette->entries.push_back(lnx::RgbQuad{e.blue, e.green, e.red, 0});
        return palette;
    }

    PaletteHandle DefaultPalette() override { return lnx::StockPalette(); }

    PaletteHandle SelectDcPalette(DcHandle dc, PaletteHandle palette) override {
        if (dc == nullptr || palette == nullptr) return nullptr;
        PaletteObject* previous = dc->palette;
        dc->palette = palette;
        return previous;
    }

    // A 32-bit screen has no hardware palette to map onto.
    void RealizeDcPalette(DcHandle) override {}

    BitmapHandle CreateDeviceBitmap(DcHandle dc, const std::uint8_t* info, std::size_t infoSize,
                                    const std::uint8_t* bits, std::size_t bitsSize) override {
        if (dc == nullptr) return nullptr;
        try {
            auto* bitmap = new BitmapObject;
            if (!lnx::UnpackToScreen(info, infoSize, bits, bitsSize, bitmap->dib)) {
                delete bitmap;
                return nullptr;
            }
            return bitmap;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    int SetDeviceIndependentBits(DcHandle dc, BitmapHandle bitmap, std::uint32_t firstLine, std::uint32_t lines,
                                 const std::uint8_t* bits, std::size_t bitsSize, const std::uint8_t* info,
                                 std::size_t infoSize) override {
        if (dc == nullptr || bitmap == nullptr || bitmap->stock) return 0;
        return lnx::SetScreenRows(bitmap->dib, firstLine, lines, bits, bitsSize, info, infoSize);
    }

    bool GetBitmapRecord(BitmapHandle bitmap, BitmapRecord& record) override {
        if (bitmap == nullptr || !bitmap->dib.Valid()) return false;
        record.width = bitmap->dib.width;
        record.height = bitmap->dib.height;
        record.planes = 1;
        record.bitsPerPixel = bitmap->dib.bitsPerPixel;
        return true;
    }

    int GetDeviceIndependentBits(DcHandle dc, BitmapHandle bitmap, std::uint32_t firstLine, std::uint32_t lines,
                                 std::uint8_t* bits, std::size_t bitsSize, std::uint8_t* info,
                                 std::size_t infoSize) override {
        if (dc == nullptr || bitmap == nullptr) return 0;
        const std::vector<lnx::RgbQuad> none;
        const std::vector<lnx::RgbQuad>& palette = dc->palette != nullptr ? dc->palette->entries : none;
        try {
            return lnx::PackRows(bitmap->dib, palette, firstLine, lines, bits, bitsSize, info, infoSize);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }

    const std::uint8_t* RowsInPlace(BitmapHandle bitmap, const std::uint8_t* info, std::size_t infoSize) override {
        if (bitmap == nullptr) return nullptr;
        return lnx::PackedRowsInPlace(bitmap->dib, info, infoSize);
    }

    std::uint8_t* WritableRowsInPlace(BitmapHandle bitmap, const std::uint8_t* info, std::size_t infoSize) override {
        if (bitmap == nullptr || bitmap->stock || lnx::PackedRowsInPlace(bitmap->dib, info, infoSize) == nullptr) {
            return nullptr;
        }
        return bitmap->dib.bits.data();
    }
};

}  // namespace

template <>
Graphics& RealImpl<Graphics>() {
    static LinuxGraphics graphics;
    return graphics;
}

}  // namespace paneloom::platform
