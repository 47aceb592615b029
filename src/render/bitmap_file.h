// Reading the input bitmap at the screen's depth, and writing the finished
// bitmap out as a .bmp file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics.h"

namespace paneloom {

// Reads a .bmp file into a bitmap compatible with the screen, with a palette
// when the file has 256 colours or fewer (otherwise `palette` is left as it
// is). False, with nothing created, when the file cannot be opened or held
// in memory, is not a bitmap, or does not hold everything its headers
// describe, or when the system cannot make the bitmap. An error while
// reading an opened file is thrown as platform::FileError.
bool LoadBMPImage(const std::string& path, platform::BitmapHandle& bitmap, platform::PaletteHandle& palette);

// Leaves new bytes uninitialised: the rows of a block are written by the
// system right after it grows, so clearing them first would only cost a
// pass over the whole image.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// One packed device-independent bitmap: information header, colour table
// and pixel rows in one block.
using DibBlock = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

// Converts the bitmap into a packed DIB at its own depth through the screen
// context with `palette` selected (the system's default palette when it is
// null). Nothing when the conversion failed.
std::optional<DibBlock> BitmapToDIB(platform::BitmapHandle bitmap, platform::PaletteHandle palette);

// Writes a file header and the block to `path`, replacing the file there
// only once everything was written. False when there is no block or the
// file cannot be created. A failed write is thrown as platform::FileError,
// and the previous file stays.
bool WriteDIBFile(const std::string& path, const DibBlock* block);

// Writes the bitmap as a .bmp file, converting through `palette` (or the
// system's default palette when it is null). False when the conversion
// failed; true otherwise, whether or not the file could be created. A
// failed write is thrown as platform::FileError.
bool WriteBMPImage(const std::string& path, platform::BitmapHandle bitmap, platform::PaletteHandle palette);

}  // namespace paneloom
