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

bool JpegHasItsEnd(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) return false;
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const std::size_t length = (data[at + 2] << 8) | data[at + 3];
        if (length < 2 || length > size - at - 2) return false;
        at += 2 + length;
        if (marker != 0xDA) continue;
        for (; at + 2 <= size; ++at) {
            if (data[at] == 0xFF && data[at + 1] == 0xD9) return true;
        }
        return false;
    }
    return false;
}

bool DeclaredPictureSize(const std::uint8_t* data, std::size_t size, std::uint32_t& width, std::uint32_t& height) {
    auto be16 = [data](std::size_t at) { return static_cast<std::uint32_t>((data[at] << 8) | data[at + 1]); };
    switch (SniffPicture(data, size)) {
        case PictureKind::Png:
            if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0) return false;
            width = (be16(16) << 16) | be16(18);
            height = (be16(20) << 16) | be16(22);
            return true;
        case PictureKind::Gif:
            if (size < 10) return false;
            width = data[6] | (data[7] << 8);
            height = data[8] | (data[9] << 8);
            return true;
        case PictureKind::Jpeg:
            for (std::size_t at = 2; at + 4 <= size;) {
                if (data[at] != 0xFF) return false;
                const std::uint8_t marker = data[at + 1];
                if (marker == 0xFF) {
                    ++at;
                    continue;
                }
                const std::size_t length = be16(at + 2);
                if (length < 2 || length > size - at - 2) return false;
                const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
                if (frame) {
                    if (length < 7) return false;
                    height = be16(at + 5);
                    width = be16(at + 7);
                    return true;
                }
                if (marker == 0xDA) return false;
                at += 2 + length;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace paneloom::formats
