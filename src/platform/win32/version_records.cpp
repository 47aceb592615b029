#include "platform/version_records.h"

#include <windows.h>

#include <cstring>

namespace paneloom::platform {

namespace {

class Win32VersionRecords final : public VersionRecords {
public:
    std::uint32_t RecordSize(const std::string& path) override {
        DWORD ignored = 0;
        return GetFileVersionInfoSizeA(path.c_str(), &ignored);
    }

    bool ReadRecord(const std::string& path, std::vector<std::uint8_t>& record) override {
        if (record.empty()) return false;
        return GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) != FALSE;
    }

    bool QueryBinary(std::vector<std::uint8_t>& record, const std::string& subBlock,
                     std::vector<std::uint8_t>& bytes) override {
        void* value = nullptr;
        UINT length = 0;
        if (record.empty() || !VerQueryValueA(record.data(), subBlock.c_str(), &value, &length) ||
            value == nullptr) {
            return false;
        }
        const auto* begin = static_cast<const std::uint8_t*>(value);
        bytes.assign(begin, begin + length);
        return true;
    }

    bool QueryText(std::vector<std::uint8_t>& record, const std::string& subBlock, std::string& text) override {
        void* value = nullptr;
        UINT length = 0;
        if (record.empty() || !VerQueryValueA(record.data(), subBlock.c_str(), &value, &length) ||
            value == nullptr) {
            return false;
        }
        // The text is NUL-terminated inside the record. The length the call
        // gives counts characters, which in a double-byte code page is fewer
        // than the bytes, so the bound is the record's end.
        const char* chars = static_cast<const char*>(value);
        const char* recordBegin = reinterpret_cast<const char*>(record.data());
        const char* recordEnd = recordBegin + record.size();
        const std::size_t limit = (chars >= recordBegin && chars < recordEnd)
                                      ? static_cast<std::size_t>(recordEnd - chars)
                                      : static_cast<std::size_t>(length);
        text.assign(chars, strnlen(chars, limit));
        return true;
    }
};

}  // namespace

template <>
VersionRecords& RealImpl<VersionRecords>() {
    static Win32VersionRecords records;
    return records;
}

}  // namespace paneloom::platform
