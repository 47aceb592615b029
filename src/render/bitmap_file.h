// Reading the input bitmap at the screen's depth, and writing the finished
// bitmap out as a .bmp file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/graphics.h"

namespace paneloom {

// Reads a .bmp file (any of its header forms: core, 40-byte, V4, V5) into a
// bitmap compatible with the screen, with a palette when the file has 256
// colours or fewer (otherwise `palette` is left as it is). A file that does
// not start as a .bmp does is a picture in another format: the platform
// loader decodes it and its rows are set into the screen's bitmap, with no
// palette. The file is opened for reading only, so others may read it at
// the same time. False, with nothing created, when the file cannot be
// opened, is not a regular file, is no picture the platform reads, does not
// hold everything its headers describe or describes more than the readers'
// limit (decided from its headers, before the pixels are read), cannot be
// held in memory, or when the system cannot make the bitmap. An error while
// reading an opened file is thrown as platform::FileError.
bool LoadBMPImage(const std::string& path, platform::BitmapHandle& bitmap, platform::PaletteHandle& palette);

// A bitmap on its way to the packed device-independent layout (information
// header, colour table, pixel rows) at its own depth, through the screen
// context with a palette selected into it. The header and colour table are
// completed at once; the rows are fetched from the system a band of scan
// lines at a time, as they are written, so that the whole image is never
// held twice. The screen context stays selected with the palette for the
// object's life.
class DibConversion {
public:
    DibConversion(platform::DcHandle screen, platform::PaletteHandle previous, platform::BitmapHandle bitmap,
                  std::vector<std::uint8_t> info, std::uint64_t imageSize);
    ~DibConversion();
    DibConversion(const DibConversion&) = delete;
    DibConversion& operator=(const DibConversion&) = delete;

    // The information header as the system completed it, then the colour
    // table.
    const std::vector<std::uint8_t>& Info() const { return info_; }
    // The pixel rows' size: biSizeImage, or the rows' own size where the
    // system left it 0.
    std::uint64_t ImageSize() const { return imageSize_; }
    std::uint32_t Lines() const;
    std::uint64_t Stride() const;

    // Scan lines first .. first + count - 1 (line 0 is the bottom one) into
    // `rows`, which holds count x Stride() bytes; returns how many the
    // system delivered (0 when it failed). Lines it did not deliver are
    // cleared, never left as they were in memory.
    std::uint32_t FetchRows(std::uint32_t first, std::uint32_t count, std::uint8_t* rows);

    // Every scan line, line 0 first, where the system keeps them as the
    // file lays them out (GetDeviceIndependentBits would only copy them);
    // null where they must be fetched.
    const std::uint8_t* RowsInPlace() const;

private:
    platform::DcHandle screen_;
    platform::PaletteHandle previous_;
    platform::BitmapHandle bitmap_;
    std::vector<std::uint8_t> info_;
    std::uint64_t imageSize_;
};

// Prepares the conversion of the bitmap through the screen context with
// `palette` selected (the system's default palette when it is null).
// Nothing when the bitmap cannot be described or its header completed.
std::unique_ptr<DibConversion> BitmapToDIB(platform::BitmapHandle bitmap, platform::PaletteHandle palette);

// Writes a file header, the information header and colour table, and the
// rows to `path`: from where the system keeps them, or band by band, replacing the file there only once
// everything was written (Files::ReplaceWhole says where it writes in place
// instead). GivenUp, with the previous file kept, when the system delivered
// no rows for a band; NotWritable when the file could be neither replaced
// nor written. A failed write is thrown as platform::FileError.
platform::ReplaceResult WriteDIBFile(const std::string& path, DibConversion& dib);

// Writes the bitmap as a .bmp file, converting through `palette` (or the
// system's default palette when it is null). False when the conversion
// failed; true otherwise. A file that could be neither replaced nor written
// is reported in the error log ("Could not write <path>!"), and the run
// goes on. A failed write is thrown as platform::FileError.
bool WriteBMPImage(const std::string& path, platform::BitmapHandle bitmap, platform::PaletteHandle palette);

}  // namespace paneloom
