// Picture files told apart by their first bytes, never by their names, and
// the size limit every decoder applies from a picture's header before it
// decodes a row. The codecs themselves live behind the drawing seam; what
// is here holds for every format and both builds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace paneloom::formats {

enum class PictureKind { Unknown, Bmp, Jpeg, Png, Gif, Tiff, WebP };

// Bytes SniffPicture looks at; fewer are fine for a shorter file.
inline constexpr std::size_t kSniffBytes = 16;

// What the first `size` bytes of a file say it is.
PictureKind SniffPicture(const std::uint8_t* head, std::size_t size);

// Whether a picture of `width` x `height` pixels stays within the readers'
// limit (kMaxPixelBytes of rows at the screen's 32 bits per pixel, as for a
// .bmp): both positive, each within a signed 32-bit bitmap dimension.
bool PictureFitsLimit(std::uint64_t width, std::uint64_t height);

// Whether a JPEG file holds the end of its picture: its segments up to the
// first scan lie inside the file, and an end-of-image marker follows that
// scan (in the scan's coded data a 0xFF byte is always followed by 0 or a
// restart marker, so the marker cannot be mistaken). Data after the end,
// such as the video of a motion photo, is allowed. A cut file fails.
bool JpegHasItsEnd(const std::uint8_t* data, std::size_t size);

// The picture size a JPEG (its frame header), PNG (IHDR) or GIF (logical
// screen) file declares, read from its first segments; false when the
// bytes are none of these or their header does not lie inside `size`. For
// codecs that decode as soon as they are handed a file, this is where the
// limit is applied.
bool DeclaredPictureSize(const std::uint8_t* data, std::size_t size, std::uint32_t& width, std::uint32_t& height);

}  // namespace paneloom::formats
