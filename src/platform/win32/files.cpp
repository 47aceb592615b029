#include "platform/files.h"

#include <windows.h>

namespace paneloom::platform {

namespace {

// The directory part of a path as GetTempFileNameA wants it: everything up
// to the last separator, the drive of a drive-relative name, or "." for a
// bare file name.
std::string DirectoryOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of("\\/");
    if (slash != std::string::npos) return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    return ".";
}

// Writes all of `size` bytes, in one call when it fits a DWORD.
bool WriteAll(HANDLE file, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD ask = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, ask, &written, nullptr) || written != ask) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

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

    bool AppendExclusive(const char* path, ByteSpan bytes) override {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        SetFilePointer(file, 0, nullptr, FILE_END);
        DWORD written = 0;
        WriteFile(file, bytes.data, static_cast<DWORD>(bytes.size), &written, nullptr);
        CloseHandle(file);
        return true;
    }

    bool ReplaceAtomically(const std::string& path, const std::vector<ByteSpan>& pieces) override {
        char temporary[MAX_PATH + 1] = {};
        if (GetTempFileNameA(DirectoryOf(path).c_str(), "pnl", 0, temporary) == 0) return false;
        HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DeleteFileA(temporary);
            return false;
        }
        bool written = true;
        for (const ByteSpan& piece : pieces) {
            if (!WriteAll(file, piece.data, piece.size)) {
                written = false;
                break;
            }
        }
        if (!CloseHandle(file)) written = false;
        if (!written) {
            DeleteFileA(temporary);
            throw FileError("write failed: " + path);
        }
        if (!MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            DeleteFileA(temporary);
            return false;
        }
        return true;
    }

    bool NamesIgnoreCase() override { return true; }
};

}  // namespace

template <>
Files& RealImpl<Files>() {
    static Win32Files files;
    return files;
}

}  // namespace paneloom::platform
