// Files as the program uses them: whole reads and appends under an exclusive
// open, so another process cannot read or write the file meanwhile.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

// An input/output error reported by the system after a file was opened.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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
    // when the open fails; a failed write is not reported.
    virtual bool AppendExclusive(const std::string& path, const std::string& bytes) = 0;
};

template <>
Files& RealImpl<Files>();

}  // namespace paneloom::platform
