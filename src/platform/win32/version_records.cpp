#include "platform/version_records.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/system_library.h"

namespace paneloom::platform {

namespace {

typedef DWORD(WINAPI* GetFileVersionInfoSizeFn)(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
typedef BOOL(WINAPI* GetFileVersionInfoFn)(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
typedef BOOL(WINAPI* VerQueryValueFn)(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);

// The version functions of VERSION.dll. The program does not import that
// library, which is not one of the libraries Windows always takes from the
// system folder: an import would be looked for in the program's folder
// first, where anyone who may write there could plant one. It is loaded
// here from the system folder at its first use instead. Where it cannot be
// loaded, no file has a record.
class Win32VersionRecords final : public VersionRecords {
public:
    std::uint32_t RecordSize(const std::string& path) override {
        if (!Load()) return 0;
        DWORD ignored = 0;
        return getSize_(path.c_str(), &ignored);
    }

    bool ReadRecord(const std::string& path, std::vector<std::uint8_t>& record) override {
        if (record.empty() || !Load()) return false;
        return getInfo_(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) != FALSE;
    }

    bool QueryBinary(std::vector<std::uint8_t>& record, const std::string& subBlock,
                     std::vector<std::uint8_t>& bytes) override {
        void* value = nullptr;
        UINT length = 0;
        if (record.empty() || !Load() || !queryValue_(record.data(), subBlock.c_str(), &value, &length) ||
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
        if (record.empty() || !Load() || !queryValue_(record.data(), subBlock.c_str(), &value, &length) ||
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

private:
    // True when the three functions are at hand; a library that cannot be
    // loaded is tried again at the next use.
    bool Load() {
        if (queryValue_ != nullptr) return true;
        const HMODULE library = LoadSystemLibrary("version.dll");
        if (library == nullptr) return false;
        const auto getSize = LookUpFunction<GetFileVersionInfoSizeFn>(library, "GetFileVersionInfoSizeA");
        const auto getInfo = LookUpFunction<GetFileVersionInfoFn>(library, "GetFileVersionInfoA");
        const auto queryValue = LookUpFunction<VerQueryValueFn>(library, "VerQueryValueA");
        if (getSize == nullptr || getInfo == nullptr || queryValue == nullptr) {
            FreeLibrary(library);
            return false;
        }
        getSize_ = getSize;
        getInfo_ = getInfo;
        queryValue_ = queryValue;
        return true;
    }

    GetFileVersionInfoSizeFn getSize_ = nullptr;
    GetFileVersionInfoFn getInfo_ = nullptr;
    VerQueryValueFn queryValue_ = nullptr;
};

}  // namespace

template <>
VersionRecords& RealImpl<VersionRecords>() {
    static Win32VersionRecords records;
    return records;
}

}  // namespace paneloom::platform
