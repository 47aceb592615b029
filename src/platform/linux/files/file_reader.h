// Reading files in the Linux layer, and writing bytes whole to one the
// layer has opened. Every path the program is handed or
// finds on the system is opened without blocking and must be a regular file:
// a FIFO would wait for a writer forever, a device has no end, a directory
// has no text. Reads are bounded, so a damaged or hostile file cannot make
// the program allocate without limit.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace paneloom::platform::lnx {

// Opens `path` with `flags` (O_RDONLY, ...) plus O_NONBLOCK and O_CLOEXEC and
// checks that it is a regular file, whose description goes to `info`. The
// descriptor, or -1 when the open fails or the path names anything else.
int OpenRegularFile(const std::string& path, int flags, struct stat& info);

// Reads up to `size` bytes, retrying interrupted and short reads, until the
// end of the file. False on a read error; `got` tells how much arrived.
bool ReadUpTo(int fd, void* buffer, std::size_t size, std::size_t& got);

// Writes all `size` bytes, retrying interrupted and short writes. False on
// a write error or when nothing more can be written (a full disk).
bool WriteAll(int fd, const void* data, std::size_t size);

// Which end of a file too large for its bound is kept.
enum class KeepEnd { Head, Tail };

// The text of a regular file, at most `maxBytes` of it: the first ones, or the
// last ones for KeepEnd::Tail (lease files grow at their end). /proc and /sys
// files, whose size shows as 0, are read to their end too. False, with `out`
// empty, when the file cannot be opened or is not a regular file; false, with
// what was read, on a read error (the speed of a link that is down).
bool ReadBoundedFile(const std::string& path, std::size_t maxBytes, std::string& out,
                     KeepEnd keep = KeepEnd::Head);

// Whether `path` names a directory (through links).
bool IsDirectory(const std::string& path);

// When the file was last written; false when it cannot be asked.
bool ModificationTime(const std::string& path, std::time_t& when);

// The names in a directory, "." and ".." left out, sorted so that results do
// not depend on the order of the directory itself. Empty when it cannot be
// listed.
std::vector<std::string> ListDirectory(const std::string& path);

}  // namespace paneloom::platform::lnx
