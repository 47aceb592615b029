#include "formats/picture.h"

#include <cstring>

#include "formats/dib.h"

namespace paneloom::formats {

namespace {

bool StartsWith(const std::uint8_t* head, std::size_t size, const char* magic, std::size_t length,
                std::size_t at = 0) {
    return size >= at + length && std::memcmp(head + at, magic, length) == 0;
}

}  // namespace

PictureKind SniffPicture(const std::uint8_t* head, std::size_t size) {
    if (head == nullptr) return PictureKind::Unknown;
    if (StartsWith(head, size, "BM", 2)) return PictureKind::Bmp;
    if (StartsWith(head, size, "\xFF\xD8\xFF", 3)) return PictureKind::Jpeg;
    if (StartsWith(head, size, "\x89PNG\r\n\x1A\n", 8)) return PictureKind::Png;
    if (StartsWith(head, size, "GIF87a", 6) || StartsWith(head, size, "GIF89a", 6)) return PictureKind::Gif;
    if (StartsWith(head, size, "II*\0", 4) || StartsWith(head, size, "MM\0*", 4)) return PictureKind::Tiff;
    if (StartsWith(head, size, "RIFF", 4) && StartsWith(head, size, "WEBP", 4, 8)) return PictureKind::WebP;
    return PictureKind::Unknown;
}

bool PictureFitsLimit(std::uint64_t width, std::uint64_t height) {
    constexpr std::uint64_t kMaxDimension = 0x7FFFFFFF;
    if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension) return false;
    return RowStride(static_cast<std::int64_t>(width), 32) <= kMaxPixelBytes / height;
}

}  // namespace paneloom::formats
