// Files mapped into memory privately (copy on write): a picture whose rows
// are laid out as the bitmap keeps them is used where the file's cache
// holds it, neither read into fresh memory nor copied out of it again.
//
// A mapping stays safe while its file changes. Where a file shrinks under
// its mapping, the pages past its new end would raise SIGBUS when they are
// touched; they read zeros instead, and the mapping counts as lost (an
// input error on the file's pages is taken the same way). A file that this
// process is about to write in place is first copied out of its mappings
// (DetachMappings), since emptying it would take their pages away.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace paneloom::platform::lnx {

class FileMapping {
public:
    FileMapping() = default;
    FileMapping(FileMapping&& other) noexcept { swap(other); }
    FileMapping& operator=(FileMapping&& other) noexcept {
        FileMapping gone(static_cast<FileMapping&&>(other));
        swap(gone);
        return *this;
    }
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;
    ~FileMapping();

    // Maps the first `length` bytes of the regular file open as `fd`, with
    // its pages in place at once. False, with nothing mapped, when the file
    // cannot be mapped or no longer holds `length` bytes.
    bool Map(int fd, std::size_t length);

    std::uint8_t* data() const { return static_cast<std::uint8_t*>(base_); }
    std::size_t size() const { return length_; }
    bool mapped() const { return base_ != nullptr; }

    // Whether pages were lost since the mapping was made: the file shrank
    // under it, or its pages could not be read.
    bool Lost() const;

    void swap(FileMapping& other) noexcept;

private:
    void* base_ = nullptr;
    std::size_t length_ = 0;
    int slot_ = -1;
};

// Copies every mapping of the file with this device and inode number into
// memory of its own, at the same addresses, so that writing the file no
// longer changes them.
void DetachMappings(dev_t device, ino_t inode);

}  // namespace paneloom::platform::lnx
