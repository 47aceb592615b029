// Files as the program uses them: whole reads and appends under an exclusive
// open, so another process cannot read or write the file meanwhile, and whole
// files replaced at once.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

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

class Files {
public:
    virtual ~Files() = default;

    // Opens an existing file for reading with no sharing and reads it whole
    // (the low 32 bits of its length). False, with `bytes` untouched, when the
    // open fails. Throws FileError when reading fails after the open.
    virtual bool ReadWholeExclusive(const std::string& path, std::string& bytes) = 0;

    // Opens for writing with no sharing, creating the file when absent and
    // never truncating it, and appends `bytes` in one write at its end. False
    // when the open fails; a failed write is not reported. Allocates nothing,
    // so the error log works while memory is exhausted.
    virtual bool AppendExclusive(const char* path, ByteSpan bytes) = 0;

    // Replaces the file at `path` (or creates it) with `pieces` in order, each
    // handed to the system as one write. The bytes go to a new file in the
    // same directory that takes the place of `path` only once all of them
    // were written, so a failure never leaves a partial file behind nor loses
    // the previous one. False, with nothing changed, when that file cannot be
    // created or cannot take the place of `path`. Throws FileError, with
    // nothing changed, when a write fails or falls short (a full disk).
    virtual bool ReplaceAtomically(const std::string& path, const std::vector<ByteSpan>& pieces) = 0;

    // True where the file system finds a file whatever the case of its name,
    // so that a configured name may be lower-cased and still name that file.
    virtual bool NamesIgnoreCase() = 0;
};

template <>
Files& RealImpl<Files>();

}  // namespace paneloom::platform
