#include "platform/graphics.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "formats/dib.h"
#include "formats/picture.h"
#include "platform/win32/picture_codecs.h"

namespace paneloom::platform {

namespace {

HBITMAP ToHandle(BitmapHandle bitmap) { return reinterpret_cast<HBITMAP>(bitmap); }
HDC ToHandle(DcHandle dc) { return reinterpret_cast<HDC>(dc); }
HPALETTE ToHandle(PaletteHandle palette) { return reinterpret_cast<HPALETTE>(palette); }

// The header, masks and colour table of a packed description, copied to
// word-aligned memory (in a file buffer they sit two bytes off a word
// boundary); null when they do not fit inside `infoSize` bytes.
const BITMAPINFO* AlignedInfo(const std::uint8_t* info, std::size_t infoSize, std::vector<DWORD>& aligned) {
    if (info == nullptr || infoSize < formats::kInfoHeaderSize) return nullptr;
    const formats::InfoHeader header = formats::InfoHeader::Read(info);
    if (header.size != formats::kInfoHeaderSize) return nullptr;
    const std::size_t table = formats::MasksAndTableBytes(header);
    if (table > infoSize - formats::kInfoHeaderSize) return nullptr;
    aligned.assign((formats::kInfoHeaderSize + table + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    std::memcpy(aligned.data(), info, formats::kInfoHeaderSize + table);
    return reinterpret_cast<const BITMAPINFO*>(aligned.data());
}

HBITMAP LoadBmpFile(const std::string& path) {
    return static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE | LR_LOADFROMFILE));
}

// Reads up to `size` bytes from where the last read ended; false on an error.
bool ReadUpTo(HANDLE file, std::uint8_t* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        DWORD n = 0;
        const auto ask = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
        if (!ReadFile(file, buffer + got, ask, &n, nullptr)) return false;
        if (n == 0) break;
        got += n;
    }
    return true;
}

// A picture file told by its first bytes. A .bmp goes to LoadImageA, which
// trusts its headers and reads wherever they point: it is handed only a
// file that holds the bits they describe. Every other format goes to the
// system's codecs.
HBITMAP LoadPicture(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LoadBmpFile(path);  // fails as it always did
    struct Closer {
        HANDLE file;
        ~Closer() {
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    } closer{file};
    LARGE_INTEGER length{};
    constexpr std::size_t kHead = formats::kFileHeaderSize + formats::kV5HeaderSize + formats::kMaskBytes;
    std::vector<std::uint8_t> bytes(kHead);
    std::size_t got = 0;
    if (!GetFileSizeEx(file, &length) || length.QuadPart < 0 || !ReadUpTo(file, bytes.data(), kHead, got)) {
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(length.QuadPart);
    if (formats::SniffPicture(bytes.data(), got) == formats::PictureKind::Bmp) {
        if (!formats::BmpHoldsItsBits(bytes.data(), got, size)) return nullptr;
        CloseHandle(file);
        closer.file = INVALID_HANDLE_VALUE;
        return LoadBmpFile(path);
    }
    // A compressed picture within the readers' limit is far smaller.
    if (size == 0 || size > formats::kMaxPixelBytes || got > size) return nullptr;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    std::size_t rest = 0;
    if (!ReadUpTo(file, bytes.data() + got, bytes.size() - got, rest) || got + rest != bytes.size()) return nullptr;
    return win32::DecodePicture(bytes);
}

class Win32Graphics final : public Graphics {
public:
    BitmapHandle LoadBitmapFile(const std::string& path) override {
        return reinterpret_cast<BitmapHandle>(LoadPicture(path));
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

    DcHandle GetScreenDC() override { return reinterpret_cast<DcHandle>(GetDC(nullptr)); }

    void ReleaseScreenDC(DcHandle dc) override {
        if (dc != nullptr) ReleaseDC(nullptr, ToHandle(dc));
    }

    PaletteHandle CreateLogicalPalette(const std::vector<PaletteEntry>& entries) override {
        if (entries.empty() || entries.size() > 256) return nullptr;
        // LOGPALETTE declares one entry; the others follow it in one block,
        // which is freed as soon as the palette object exists.
        std::vector<unsigned char> block(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
        auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
        logical->palVersion = 0x300;
        logical->palNumEntries = static_cast<WORD>(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            logical->palPalEntry[i].peRed = entries[i].red;
            logical->palPalEntry[i].peGreen = entries[i].green;
            logical->palPalEntry[i].peBlue = entries[i].blue;
            logical->palPalEntry[i].peFlags = entries[i].flags;
        }
        return reinterpret_cast<PaletteHandle>(CreatePalette(logical));
    }

    PaletteHandle DefaultPalette() override {
        return reinterpret_cast<PaletteHandle>(GetStockObject(DEFAULT_PALETTE));
    }

    PaletteHandle SelectDcPalette(DcHandle dc, PaletteHandle palette) override {
        return reinterpret_cast<PaletteHandle>(SelectPalette(ToHandle(dc), ToHandle(palette), FALSE));
    }

    void RealizeDcPalette(DcHandle dc) override { RealizePalette(ToHandle(dc)); }

    BitmapHandle CreateDeviceBitmap(DcHandle dc, const std::uint8_t* info, std::size_t infoSize,
                                    const std::uint8_t* bits, std::size_t bitsSize) override {
        std::vector<DWORD> aligned;
        const BITMAPINFO* bitmapInfo = AlignedInfo(info, infoSize, aligned);
        if (bitmapInfo == nullptr) return nullptr;
        // GDI does not check the bits against a size; the caller has.
        if (bits == nullptr) {
            return reinterpret_cast<BitmapHandle>(
                CreateDIBitmap(ToHandle(dc), &bitmapInfo->bmiHeader, 0, nullptr, nullptr, DIB_RGB_COLORS));
        }
        if (bitsSize == 0) return nullptr;
        HBITMAP bitmap = CreateDIBitmap(ToHandle(dc), &bitmapInfo->bmiHeader, CBM_INIT, bits, bitmapInfo,
                                        DIB_RGB_COLORS);
        return reinterpret_cast<BitmapHandle>(bitmap);
    }

    int SetDeviceIndependentBits(DcHandle dc, BitmapHandle bitmap, std::uint32_t firstLine, std::uint32_t lines,
                                 const std::uint8_t* bits, std::size_t bitsSize, const std::uint8_t* info,
                                 std::size_t infoSize) override {
        std::vector<DWORD> aligned;
        const BITMAPINFO* bitmapInfo = AlignedInfo(info, infoSize, aligned);
        if (bitmapInfo == nullptr || bits == nullptr) return 0;
        const formats::InfoHeader header = formats::InfoHeader::Read(info);
        if (header.height <= 0 || (header.compression != formats::kBiRgb && header.compression != formats::kBiBitfields)) {
            return 0;
        }
        const std::uint64_t stride = formats::RowStride(header.width, header.bitCount);
        if (stride == 0 || stride * lines > bitsSize) return 0;
        return SetDIBits(ToHandle(dc), ToHandle(bitmap), firstLine, lines, bits, bitmapInfo, DIB_RGB_COLORS);
    }

    bool GetBitmapRecord(BitmapHandle bitmap, BitmapRecord& record) override {
        BITMAP object{};
        if (GetObjectA(ToHandle(bitmap), sizeof object, &object) != static_cast<int>(sizeof object)) return false;
        record.width = object.bmWidth;
        record.height = object.bmHeight;
        record.planes = object.bmPlanes;
        record.bitsPerPixel = object.bmBitsPixel;
        return true;
    }

    int GetDeviceIndependentBits(DcHandle dc, BitmapHandle bitmap, std::uint32_t firstLine, std::uint32_t lines,
                                 std::uint8_t* bits, std::size_t bitsSize, std::uint8_t* info,
                                 std::size_t infoSize) override {
        if (info == nullptr || infoSize < formats::kInfoHeaderSize) return 0;
        const formats::InfoHeader header = formats::InfoHeader::Read(info);
        if (header.size != formats::kInfoHeaderSize || header.compression != formats::kBiRgb) return 0;
        if (infoSize - formats::kInfoHeaderSize < formats::FullTableBytes(header.bitCount)) return 0;
        if (bits != nullptr) {
            const std::uint64_t stride = formats::RowStride(header.width, header.bitCount);
            if (stride == 0 || stride * lines > bitsSize) return 0;
        }
        return GetDIBits(ToHandle(dc), ToHandle(bitmap), firstLine, lines, bits,
                         reinterpret_cast<BITMAPINFO*>(info), DIB_RGB_COLORS);
    }

    const std::uint8_t* RowsInPlace(BitmapHandle, const std::uint8_t*, std::size_t) override { return nullptr; }
};

}  // namespace

template <>
Graphics& RealImpl<Graphics>() {
    static Win32Graphics graphics;
    return graphics;
}

}  // namespace paneloom::platform
