#include "platform/version_records.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/run_text.h"
#include "platform/win32/system_library.h"

namespace paneloom::platform {

namespace {

typedef DWORD(WINAPI* GetFileVersionInfoSizeFn)(LPCSTR lptstrFilename, LPDWORD lpdwHandle);
typedef BOOL(WINAPI* GetFileVersionInfoFn)(LPCSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
typedef BOOL(WINAPI* VerQueryValueFn)(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);
typedef DWORD(WINAPI* GetFileVersionInfoSizeWFn)(LPCWSTR lptstrFilename, LPDWORD lpdwHandle);
typedef BOOL(WINAPI* GetFileVersionInfoWFn)(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
typedef BOOL(WINAPI* VerQueryValueWFn)(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen);

// The version functions of VERSION.dll. The program does not import that
// library, which is not one of the libraries Windows always takes from the
// system folder: an import would be looked for in the program's folder
// first, where anyone who may write there could plant one. It is loaded
// here from the system folder at its first use instead. Where it cannot be
// loaded, no file has a record. A UTF-8 run names the file and reads its
// texts through the wide functions, so a name or a text outside the ANSI
// code page comes through.
class Win32VersionRecords final : public VersionRecords {
public:
    std::uint32_t RecordSize(const std::string& path) override {
        if (!Load()) return 0;
        DWORD ignored = 0;
        return RunInUtf8() ? getSizeW_(WideFromRun(path).c_str(), &ignored) : getSize_(path.c_str(), &ignored);
    }

    bool ReadRecord(const std::string& path, std::vector<std::uint8_t>& record) override {
        if (record.empty() || !Load()) return false;
        const DWORD size = static_cast<DWORD>(record.size());
        return (RunInUtf8() ? getInfoW_(WideFromRun(path).c_str(), 0, size, record.data())
                            : getInfo_(path.c_str(), 0, size, record.data())) != FALSE;
    }

    bool QueryBinary(std::vector<std::uint8_t>& record, const std::string& subBlock,
                     std::vector<std::uint8_t>& bytes) override {
        void* value = nullptr;
        UINT length = 0;
        if (record.empty() || !Load() || !Query(record, subBlock, value, length)) return false;
        const auto* begin = static_cast<const std::uint8_t*>(value);
        bytes.assign(begin, begin + length);
        return true;
    }

    bool QueryText(std::vector<std::uint8_t>& record, const std::string& subBlock, std::string& text) override {
        void* value = nullptr;
        UINT length = 0;
        if (record.empty() || !Load() || !Query(record, subBlock, value, length)) return false;
        if (RunInUtf8()) {
            // The wide text, NUL-terminated inside the record; the length
            // the call gives counts its characters.
            const wchar_t* chars = static_cast<const wchar_t*>(value);
            const auto* recordEnd = reinterpret_cast<const wchar_t*>(record.data() + record.size());
            const std::size_t limit = chars < recordEnd ? static_cast<std::size_t>(recordEnd - chars) : length;
            text = RunFromWideBuffer(chars, limit);
            return true;
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
    bool Query(std::vector<std::uint8_t>& record, const std::string& subBlock, void*& value, UINT& length) {
        const BOOL found = RunInUtf8() ? queryValueW_(record.data(), WideFromRun(subBlock).c_str(), &value, &length)
                                       : queryValue_(record.data(), subBlock.c_str(), &value, &length);
        return found && value != nullptr;
    }

    // True when the functions are at hand; a library that cannot be
    // loaded is tried again at the next use.
    bool Load() {
        if (queryValue_ != nullptr) return true;
        const HMODULE library = LoadSystemLibrary("version.dll");
        if (library == nullptr) return false;
        const auto getSize = LookUpFunction<GetFileVersionInfoSizeFn>(library, "GetFileVersionInfoSizeA");
        const auto getInfo = LookUpFunction<GetFileVersionInfoFn>(library, "GetFileVersionInfoA");
        const auto queryValue = LookUpFunction<VerQueryValueFn>(library, "VerQueryValueA");
        const auto getSizeW = LookUpFunction<GetFileVersionInfoSizeWFn>(library, "GetFileVersionInfoSizeW");
        const auto getInfoW = LookUpFunction<GetFileVersionInfoWFn>(library, "GetFileVersionInfoW");
        const auto queryValueW = LookUpFunction<VerQueryValueWFn>(library, "VerQueryValueW");
        if (getSize == nullptr || getInfo == nullptr || queryValue == nullptr || getSizeW == nullptr ||
            getInfoW == nullptr || queryValueW == nullptr) {
            FreeLibrary(library);
            return false;
        }
        getSize_ = getSize;
        getInfo_ = getInfo;
        getSizeW_ = getSizeW;
        getInfoW_ = getInfoW;
        queryValueW_ = queryValueW;
        queryValue_ = queryValue;
        return true;
    }

    GetFileVersionInfoSizeFn getSize_ = nullptr;
    GetFileVersionInfoFn getInfo_ = nullptr;
    VerQueryValueFn queryValue_ = nullptr;
    GetFileVersionInfoSizeWFn getSizeW_ = nullptr;
    GetFileVersionInfoWFn getInfoW_ = nullptr;
    VerQueryValueWFn queryValueW_ = nullptr;
};

}  // namespace

template <>
VersionRecords& RealImpl<VersionRecords>() {
    static Win32VersionRecords records;
    return records;
}

}  // namespace paneloom::platform
