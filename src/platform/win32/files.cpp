#include "platform/files.h"

#include <windows.h>

namespace paneloom::platform {

namespace {

class Win32Files final : public Files {
public:
    bool ReadWholeExclusive(const std::string& path, std::string& bytes) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const DWORD size = GetFileSize(file, nullptr);
        std::string content(size, '\0');
        DWORD total = 0;
        bool failed = false;
        while (total < size) {
            DWORD got = 0;
            if (!ReadFile(file, &content[total], size - total, &got, nullptr)) {
                failed = true;
                break;
            }
            if (got == 0) break;
            total += got;
        }
        CloseHandle(file);
        if (failed) throw FileError("read failed: " + path);
        content.resize(total);
        bytes.swap(content);
        return true;
    }

    bool AppendExclusive(const std::string& path, const std::string& bytes) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        SetFilePointer(file, 0, nullptr, FILE_END);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return true;
    }
};

}  // namespace

template <>
Files& RealImpl<Files>() {
    static Win32Files files;
    return files;
}

}  // namespace paneloom::platform
