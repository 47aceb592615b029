#include "platform/gdi.h"

#include <windows.h>

namespace paneloom::platform {

namespace {

HBITMAP ToHandle(BitmapHandle bitmap) { return reinterpret_cast<HBITMAP>(bitmap); }
HDC ToHandle(DcHandle dc) { return reinterpret_cast<HDC>(dc); }
HPALETTE ToHandle(PaletteHandle palette) { return reinterpret_cast<HPALETTE>(palette); }

class Win32Graphics final : public Graphics {
public:
    BitmapHandle LoadBitmapFile(const std::string& path) override {
        HANDLE image = LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                  LR_CREATEDIBSECTION | LR_DEFAULTSIZE | LR_LOADFROMFILE);
        return reinterpret_cast<BitmapHandle>(image);
    }

    DcHandle CreateScreenCompatibleDC() override {
        return reinterpret_cast<DcHandle>(CreateCompatibleDC(nullptr));
    }

    BitmapHandle SelectBitmap(DcHandle dc, BitmapHandle bitmap) override {
        return reinterpret_cast<BitmapHandle>(SelectObject(ToHandle(dc), ToHandle(bitmap)));
    }

    void DeleteDC(DcHandle dc) override {
        if (dc != nullptr) ::DeleteDC(ToHandle(dc));
    }

    void DeleteBitmap(BitmapHandle bitmap) override {
        if (bitmap != nullptr) DeleteObject(ToHandle(bitmap));
    }

    void DeletePalette(PaletteHandle palette) override {
        if (palette != nullptr) DeleteObject(ToHandle(palette));
    }
};

}  // namespace

template <>
Graphics& RealImpl<Graphics>() {
    static Win32Graphics graphics;
    return graphics;
}

}  // namespace paneloom::platform
