// The version record that an executable carries (company, product, version
// and copyright strings under a translation table).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/seam.h"

namespace paneloom::platform {

class VersionRecords {
public:
    virtual ~VersionRecords() = default;

    // Size in bytes of the version record of the file at `path` (relative
    // paths from the current directory); 0 when the file is missing or
    // carries no record.
    virtual std::uint32_t RecordSize(const std::string& path) = 0;

    // Reads the record into `record`, which the caller has sized with
    // RecordSize(); false when it cannot be read.
    virtual bool ReadRecord(const std::string& path, std::vector<std::uint8_t>& record) = 0;

    // The two queries below take a record filled by ReadRecord; they may use
    // its spare room as scratch space, as Windows does.

    // The raw bytes of a binary value (the "\VarFileInfo\Translation"
    // table); false when the record lacks it.
    virtual bool QueryBinary(std::vector<std::uint8_t>& record, const std::string& subBlock,
                             std::vector<std::uint8_t>& bytes) = 0;

    // A text value of a record as 8-bit text up to its first NUL; false when
    // the record lacks it.
    virtual bool QueryText(std::vector<std::uint8_t>& record, const std::string& subBlock,
                           std::string& text) = 0;
};

template <>
VersionRecords& RealImpl<VersionRecords>();

}  // namespace paneloom::platform
