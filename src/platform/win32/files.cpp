#include "platform/files.h"

#include <windows.h>

#include <optional>

#include "platform/win32/run_text.h"

namespace paneloom::platform {

namespace {

// Paths are handed to the wide functions: a path of the run's code page
// converts to the very name the ANSI function would open in an ANSI run,
// and a UTF-8 run reaches every name (WideFromRun).

// The directory part of a path as GetTempFileNameW wants it: everything up
// to the last separator, the drive of a drive-relative name, or "." for a
// bare file name.
std::wstring DirectoryOf(const std::wstring& path) {
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    return L".";
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

std::wstring FullPathOf(const std::wstring& path) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH + 1, buffer, nullptr);
    return length == 0 || length >= MAX_PATH + 1 ? path : std::wstring(buffer, length);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                                                  b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The path a replacement of `path` writes: `path` itself, or, when the file
// there is reached through a symbolic link that this process may follow
// (the system opens the file through it), the file it leads to, so that
// the link stays. A link that cannot be followed is replaced itself, as any
// file would be.
std::wstring ReplacementTarget(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return path;
    wchar_t buffer[MAX_PATH + 8] = {};
    const DWORD length = GetFinalPathNameByHandleW(file, buffer, MAX_PATH + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (length == 0 || length >= MAX_PATH + 8) return path;
    std::wstring target(buffer, length);
    // The answer is in the long-path form: \\?\C:\... or \\?\UNC\server\...
    if (target.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        target = L"\\\\" + target.substr(8);
    } else if (target.rfind(L"\\\\?\\", 0) == 0) {
        target = target.substr(4);
    }
    // A file reached without a link keeps the name it was given.
    return SameText(target, FullPathOf(path)) ? path : target;
}

// A directory is never replaced; a device is refused when it is opened.
bool MayReplace(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

class HandleSink final : public FileSink {
public:
    HandleSink(HANDLE file, const std::string& path) : file_(file), path_(path) {}
    void Write(const void* data, std::size_t size) override {
        if (!WriteAll(file_, data, size)) throw FileError("write failed: " + path_);
    }

private:
    HANDLE file_;
    const std::string& path_;
};

enum class Filled { Done, GivenUp };

// Runs `fill` into `file` and closes it; a failed close is a failed write.
// Throws FileError after closing.
Filled FillAndClose(HANDLE file, const std::string& path, const FileFiller& fill) {
    HandleSink sink(file, path);
    bool filled = false;
    try {
        filled = fill(sink);
    } catch (...) {
        CloseHandle(file);
        throw;
    }
    if (!CloseHandle(file) && filled) throw FileError("write failed: " + path);
    return filled ? Filled::Done : Filled::GivenUp;
}

// A new file beside `target` that takes its place once written. Nothing,
// with nothing left behind, when the new file cannot be made or cannot take
// the old one's place.
std::optional<ReplaceResult> ReplaceThroughNewFile(const std::wstring& target, const std::string& path,
                                                   const FileFiller& fill) {
    wchar_t temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameW(DirectoryOf(target).c_str(), L"pnl", 0, temporary) == 0) return std::nullopt;
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(temporary);
        return std::nullopt;
    }
    Filled filled = Filled::GivenUp;
    try {
        filled = FillAndClose(file, path, fill);
    } catch (...) {
        DeleteFileW(temporary);
        throw;
    }
    if (filled == Filled::GivenUp) {
        DeleteFileW(temporary);
        return ReplaceResult::GivenUp;
    }
    // A file already there is replaced by ReplaceFileW, which gives the new
    // file the old one's security descriptor and attributes: a picture its
    // owner made private stays private. The new file's own would be those
    // the folder hands down.
    const bool existing = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool moved = existing ? ReplaceFileW(target.c_str(), temporary, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                               nullptr, nullptr) != 0
                                : MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    if (!moved) {
        DeleteFileW(temporary);
        return std::nullopt;
    }
    return ReplaceResult::Replaced;
}

// Writing in place, as a plain create-or-truncate does, for a file that may
// be written where no new file may be made or the file may not be replaced.
ReplaceResult WriteInPlace(const std::wstring& target, const std::string& path, const FileFiller& fill) {
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ReplaceResult::NotWritable;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return ReplaceResult::NotWritable;
    }
    return FillAndClose(file, path, fill) == Filled::Done ? ReplaceResult::Replaced : ReplaceResult::GivenUp;
}

// A file shared with other readers (FILE_SHARE_READ).
class SharedFile final : public ReadableFile {
public:
    SharedFile(HANDLE file, std::uint64_t size, const std::string& path) : file_(file), size_(size), path_(path) {}
    ~SharedFile() override { CloseHandle(file_); }
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    std::uint64_t Size() const override { return size_; }
    std::size_t Read(void* buffer, std::size_t size) override {
        auto* bytes = static_cast<char*>(buffer);
        std::size_t total = 0;
        while (total < size) {
            const std::size_t left = size - total;
            const DWORD ask = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
            DWORD got = 0;
            if (!ReadFile(file_, bytes + total, ask, &got, nullptr)) throw FileError("read failed: " + path_);
            if (got == 0) break;
            total += got;
        }
        return total;
    }

private:
    HANDLE file_;
    std::uint64_t size_;
    std::string path_;
};

class Win32Files final : public Files {
public:
    bool ReadWholeExclusive(const std::string& path, std::string& bytes) override {
        HANDLE file = CreateFileW(WideFromRun(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
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

    std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override {
        HANDLE file = CreateFileW(WideFromRun(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return nullptr;
        LARGE_INTEGER size{};
        // A pipe or a device has no length to read to.
        if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size) || size.QuadPart < 0) {
            CloseHandle(file);
            return nullptr;
        }
        return std::make_unique<SharedFile>(file, static_cast<std::uint64_t>(size.QuadPart), path);
    }

    ReplaceResult ReplaceWhole(const std::string& path, const FileFiller& fill) override {
        const std::wstring target = ReplacementTarget(WideFromRun(path));
        if (!MayReplace(target)) return ReplaceResult::NotWritable;
        if (const std::optional<ReplaceResult> result = ReplaceThroughNewFile(target, path, fill)) return *result;
        return WriteInPlace(target, path, fill);
    }

    bool NamesIgnoreCase() override { return true; }

    bool Facts(const std::string& path, FileFacts& facts) override {
        // No access asked for: the facts of a file another program holds
        // open without sharing can still be read.
        HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
        facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        facts.modified = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                                   info.ftLastWriteTime.dwLowDateTime);
        facts.volume = info.dwVolumeSerialNumber;
        facts.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
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
