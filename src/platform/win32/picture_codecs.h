// Pictures other than .bmp for the Windows build, decoded by the Windows
// Imaging Component (windowscodecs, reached through COM, on every Windows
// since Vista and under Wine) into a 24-bit DIB section: upright (the EXIF
// orientation of a JPEG applied, which WIC leaves to its callers),
// transparency composited over black. Whatever the system's codecs read:
// JPEG, PNG, GIF (first frame), TIFF (first page), and WebP or HEIF where
// their codec is installed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace paneloom::platform::win32 {

// The file's bytes decoded; null when no codec reads them, the picture is
// truncated or corrupt, or its header describes more than the readers'
// limit (refused before any pixel memory is taken).
HBITMAP DecodePicture(const std::vector<std::uint8_t>& bytes);

}  // namespace paneloom::platform::win32
