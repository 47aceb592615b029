// Files as the program uses them: whole reads and appends under an exclusive
// open, so another process cannot read or write the file meanwhile, reads
// shared with other readers, and whole files replaced at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

// An input/output error reported by the system after a file was opened.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A run of bytes to be written.
struct ByteSpan {
    const void* data = nullptr;
    std::size_t size = 0;
};

// A file opened for reading by Files::OpenForReading.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;

    // The file's length when it was opened.
    virtual std::uint64_t Size() const = 0;

    // Reads up to `size` bytes from where the last read ended into `buffer`,
    // fewer only at the end of the file; returns how many. Throws FileError
    // when the system reports an error.
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
};

// Where the bytes of a file being written go (Files::ReplaceWhole).
class FileSink {
public:
    virtual ~FileSink() = default;

    // Hands `size` bytes to the system as one write. Throws FileError when
    // the write fails or falls short (a full disk).
    virtual void Write(const void* data, std::size_t size) = 0;
};

// Writes a whole file's bytes into the sink; false gives the file up.
using FileFiller = std::function<bool(FileSink&)>;

// What identifies a file and tells when it changed.
struct FileFacts {
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the system's own units
    // Together the file itself, whatever name leads to it: device and inode,
    // or volume serial number and file index.
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
};

enum class ReplaceResult {
    Replaced,     // the file holds everything the filler wrote
    GivenUp,      // the filler returned false
    NotWritable,  // the file could be neither replaced nor written
};

class Files {
public:
    virtual ~Files() = default;

    // Opens an existing file for reading with no sharing and reads it whole
    // (the low 32 bits of its length). False, with `bytes` untouched, when the
    // open fails. Throws FileError when reading fails after the open. Where
    // the file system cannot lock the file at all (on Linux, NFS for a
    // read-only open), it is read without the lock.
    virtual bool ReadWholeExclusive(const std::string& path, std::string& bytes) = 0;

    // Opens for writing with no sharing, creating the file when absent and
    // never truncating it, and appends `bytes` in one write at its end. False
    // when the open fails; a failed write is not reported. Allocates nothing,
    // so the error log works while memory is exhausted. Links are followed,
    // and files refused, as ReplaceWhole does (on Linux: a link, or a file,
    // of another user's in a shared sticky directory is not written
    // through, and the open fails).
    virtual bool AppendExclusive(const char* path, ByteSpan bytes) = 0;

    // Opens an existing file for reading while others may read it too (no
    // lock is taken and none is needed). Null when it cannot be opened or is
    // not a regular file: a FIFO, a device or a directory is refused at once,
    // never waited on.
    virtual std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) = 0;

    // Replaces the file at `path` (or creates it) with what `fill` writes.
    // The bytes go to a new file in the same directory that takes the place
    // of the old one only once all of them were written, so a failure never
    // leaves a partial file behind nor loses the previous one. A symbolic
    // link at `path` stays a link and the file it leads to is replaced, where
    // the system lets this process follow it (on Linux only where the
    // kernel's rule for protected links would: a link planted by another
    // user in a shared sticky directory is replaced itself). When no new
    // file can be made in that directory, or it cannot take the old one's
    // place, the file is written in place instead, created or truncated
    // (`fill` is then called again); on Linux never when it is another
    // user's file in a shared sticky directory (NotWritable), as the
    // kernel's rule for protected regular files would have it. Anything
    // there but a file or a link is left alone (NotWritable). A file that
    // replaces another keeps its permissions (Linux: its mode, and its group
    // where this user may set it; Windows: its security descriptor and
    // attributes). Throws FileError when a write fails or falls short; the
    // previous file then stays, unless it was being written in place.
    virtual ReplaceResult ReplaceWhole(const std::string& path, const FileFiller& fill) = 0;

    // True where the file system finds a file whatever the case of its name,
    // so that a configured name may be lower-cased and still name that file.
    virtual bool NamesIgnoreCase() = 0;

    // The facts of the file a path leads to (links followed); false when
    // there is none.
    virtual bool Facts(const std::string& path, FileFacts& facts) = 0;
};

template <>
Files& RealImpl<Files>();

}  // namespace paneloom::platform
