// Fakes of the platform seam for driving the program's logic in tests.
#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ansi_code_page.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/graphics.h"
#include "platform/process.h"

namespace paneloom::testing {

class FakeProcess : public platform::Process {
public:
    bool initOk = true;
    std::string commandLine;
    std::vector<std::string> directoryChanges;

    bool InitFramework() override { return initOk; }
    std::string RawCommandLine() override { return commandLine; }
    bool ChangeDirectory(const std::string& directory) override {
        directoryChanges.push_back(directory);
        return true;
    }
};

class FakeClock : public platform::Clock {
public:
    bool ok = true;
    std::tm time{};

    FakeClock() {
        time.tm_year = 2004 - 1900;
        time.tm_mon = 2;
        time.tm_mday = 7;
        time.tm_hour = 14;
        time.tm_min = 5;
        time.tm_sec = 9;
    }
    // The local zone of ToLocal: seconds east of UTC, daylight saving none.
    std::int64_t zoneOffset = 0;

    bool LocalNow(std::tm& out) override {
        if (ok) out = time;
        return ok;
    }
    bool ToLocal(std::int64_t seconds, std::tm& out) override {
        const std::time_t shifted = static_cast<std::time_t>(seconds + zoneOffset);
        // The tests run on one thread.
        const std::tm* universal = std::gmtime(&shifted);
        if (universal == nullptr) return false;
        out = *universal;
        return true;
    }
};

// A double-byte code page in the manner of Shift-JIS: 0x81..0x9F and
// 0xE0..0xFF begin two-byte characters whose second byte may be any of
// 0x40..0xFC, '@' and '<' included. Case mapping leaves the text alone.
class FakeDoubleByteCodePage : public platform::AnsiCodePage {
public:
    platform::CharacterEncoding Encoding() override { return platform::CharacterEncoding::kDoubleByte; }
    bool IsLeadByte(unsigned char byte) override { return (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0; }
    void ToLower(std::string&) override {}
    void ToUpper(std::string&) override {}
};

// UTF-8 as the code page, as the Linux build has it, for the tests of both
// builds. Case mapping leaves the text alone.
class FakeUtf8CodePage : public platform::AnsiCodePage {
public:
    platform::CharacterEncoding Encoding() override { return platform::CharacterEncoding::kUtf8; }
    bool IsLeadByte(unsigned char) override { return false; }
    void ToLower(std::string&) override {}
    void ToUpper(std::string&) override {}
};

// Files that fail in the ways a test chooses; everything else goes to the
// real file system.
class FakeFiles : public platform::Files {
public:
    bool failReads = false;    // the open succeeds, the read then fails
    bool refuseOpens = false;  // every open fails, as with a lock held elsewhere
    bool failWrites = false;   // the file is created, a write then fails (a full disk)

    bool ReadWholeExclusive(const std::string& path, std::string& bytes) override {
        if (refuseOpens) return false;
        if (failReads) throw platform::FileError("injected read failure");
        return platform::RealImpl<platform::Files>().ReadWholeExclusive(path, bytes);
    }
    bool AppendExclusive(const char* path, platform::ByteSpan bytes) override {
        if (refuseOpens) return false;
        return platform::RealImpl<platform::Files>().AppendExclusive(path, bytes);
    }
    std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string& path) override {
        if (refuseOpens) return nullptr;
        std::unique_ptr<platform::ReadableFile> file = platform::RealImpl<platform::Files>().OpenForReading(path);
        if (file == nullptr || !failReads) return file;
        return std::make_unique<FailingReads>(std::move(file));
    }
    platform::ReplaceResult ReplaceWhole(const std::string& path, const platform::FileFiller& fill) override {
        if (refuseOpens) return platform::ReplaceResult::NotWritable;
        if (!failWrites) return platform::RealImpl<platform::Files>().ReplaceWhole(path, fill);
        return platform::RealImpl<platform::Files>().ReplaceWhole(path, [&fill](platform::FileSink&) {
            FailingWrites sink;
            return fill(sink);
        });
    }

    std::optional<bool> namesIgnoreCase;  // when set: the answer instead of the real file system's
    bool NamesIgnoreCase() override {
        return namesIgnoreCase ? *namesIgnoreCase : platform::RealImpl<platform::Files>().NamesIgnoreCase();
    }
    bool Facts(const std::string& path, platform::FileFacts& facts) override {
        if (refuseOpens) return false;
        return platform::RealImpl<platform::Files>().Facts(path, facts);
    }

private:
    class FailingReads : public platform::ReadableFile {
    public:
        explicit FailingReads(std::unique_ptr<platform::ReadableFile> file) : file_(std::move(file)) {}
        std::uint64_t Size() const override { return file_->Size(); }
        std::size_t Read(void*, std::size_t) override { throw platform::FileError("injected read failure"); }

    private:
        std::unique_ptr<platform::ReadableFile> file_;
    };
    class FailingWrites : public platform::FileSink {
    public:
        void Write(const void*, std::size_t) override { throw platform::FileError("injected write failure"); }
    };
};

// A filler for ReplaceWhole that writes `pieces` in order, one write each.
inline platform::FileFiller Pieces(std::vector<std::string> pieces) {
    return [pieces](platform::FileSink& sink) {
        for (const std::string& piece : pieces) sink.Write(piece.data(), piece.size());
        return true;
    };
}

// An environment of the test's choosing; the folders are made for real.
class FakeEnvironment : public platform::Environment {
public:
    std::map<std::string, std::string> variables;
    std::vector<std::string> lookedUp;

    std::optional<std::string> Variable(const std::string& name) override {
        lookedUp.push_back(name);
        const auto found = variables.find(name);
        if (found == variables.end()) return std::nullopt;
        return found->second;
    }
    std::string MakeFolderOf(const std::string& filePath) override {
        return platform::RealImpl<platform::Environment>().MakeFolderOf(filePath);
    }
};

// Records the desktop calls; FullPathName answers "<fullPathPrefix><path>"
// unless `fullPath` is set. The current wallpaper, the screen and the state
// folder are what the test puts in them.
class FakeDesktop : public platform::Desktop {
public:
    std::vector<std::string> calls;
    std::string fullPathPrefix = "C:\\work\\";
    std::string fullPath;  // when not empty: the answer to every FullPathName
    platform::CurrentWallpaper current;
    platform::ScreenSize screen;
    std::string stateDirectory;

    void WriteWallpaperStyle(platform::WallpaperStyle style) override {
        static const char* const names[] = {"center", "tile", "stretch", "fill", "fit"};
        calls.push_back(std::string("WriteWallpaperStyle ") + names[static_cast<int>(style)]);
    }
    platform::CurrentWallpaper ReadCurrentWallpaper() override { return current; }
    platform::ScreenSize PrimaryScreenSize() override { return screen; }
    std::string StateDirectory() override { return stateDirectory; }
    std::string FullPathName(const std::string& path) override {
        calls.push_back("FullPathName " + path);
        return fullPath.empty() ? fullPathPrefix + path : fullPath;
    }
    void SetWallpaper(const std::string& path) override { calls.push_back("SetWallpaper " + path); }
};

// Records every drawing-object call as a line of text. Bitmap 1 is the
// loaded one; it describes itself as a `width` x `height` bitmap of
// `bitsPerPixel`.
class RecordingGraphics : public platform::Graphics {
public:
    std::vector<std::string> calls;
    bool loadFails = false;
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint16_t bitsPerPixel = 24;

    platform::BitmapHandle LoadBitmapFile(const std::string& path) override {
        calls.push_back("LoadBitmapFile " + path);
        return loadFails ? nullptr : Handle<platform::BitmapObject>(1);
    }
    platform::DcHandle CreateScreenCompatibleDC() override {
        calls.push_back("CreateScreenCompatibleDC");
        return Handle<platform::DcObject>(2);
    }
    platform::BitmapHandle SelectBitmap(platform::DcHandle, platform::BitmapHandle bitmap) override {
        calls.push_back("SelectBitmap " + std::to_string(reinterpret_cast<std::uintptr_t>(bitmap)));
        return Handle<platform::BitmapObject>(bitmap == Handle<platform::BitmapObject>(1) ? 9 : 1);
    }
    void DeleteDC(platform::DcHandle) override { calls.push_back("DeleteDC"); }
    void DeleteBitmap(platform::BitmapHandle bitmap) override {
        calls.push_back("DeleteBitmap " + std::to_string(reinterpret_cast<std::uintptr_t>(bitmap)));
    }
    void DeletePalette(platform::PaletteHandle palette) override {
        if (palette != nullptr) calls.push_back("DeletePalette " + Number(palette));
    }
    platform::DcHandle GetScreenDC() override {
        calls.push_back("GetScreenDC");
        return Handle<platform::DcObject>(3);
    }
    void ReleaseScreenDC(platform::DcHandle dc) override { calls.push_back("ReleaseScreenDC " + Number(dc)); }
    platform::PaletteHandle CreateLogicalPalette(const std::vector<platform::PaletteEntry>& entries) override {
        calls.push_back("CreateLogicalPalette " + std::to_string(entries.size()));
        return Handle<platform::PaletteObject>(5);
    }
    platform::PaletteHandle DefaultPalette() override {
        calls.push_back("DefaultPalette");
        return Handle<platform::PaletteObject>(15);
    }
    platform::PaletteHandle SelectDcPalette(platform::DcHandle, platform::PaletteHandle palette) override {
        calls.push_back("SelectDcPalette " + Number(palette));
        return Handle<platform::PaletteObject>(palette == Handle<platform::PaletteObject>(7) ? 15 : 7);
    }
    void RealizeDcPalette(platform::DcHandle) override { calls.push_back("RealizeDcPalette"); }
    platform::BitmapHandle CreateDeviceBitmap(platform::DcHandle, const std::uint8_t*, std::size_t,
                                              const std::uint8_t*, std::size_t) override {
        calls.push_back("CreateDeviceBitmap");
        return Handle<platform::BitmapObject>(1);
    }
    int SetDeviceIndependentBits(platform::DcHandle, platform::BitmapHandle, std::uint32_t first, std::uint32_t lines,
                                 const std::uint8_t*, std::size_t, const std::uint8_t*, std::size_t) override {
        calls.push_back("SetDeviceIndependentBits " + std::to_string(first) + " " + std::to_string(lines));
        return static_cast<int>(lines);
    }
    bool GetBitmapRecord(platform::BitmapHandle bitmap, platform::BitmapRecord& record) override {
        calls.push_back("GetBitmapRecord " + Number(bitmap));
        if (bitmap != Handle<platform::BitmapObject>(1)) return false;
        record.width = width;
        record.height = height;
        record.planes = 1;
        record.bitsPerPixel = bitsPerPixel;
        return true;
    }
    int GetDeviceIndependentBits(platform::DcHandle, platform::BitmapHandle, std::uint32_t, std::uint32_t lines,
                                 std::uint8_t* bits, std::size_t, std::uint8_t*, std::size_t) override {
        calls.push_back(bits == nullptr ? "GetDeviceIndependentBits header" : "GetDeviceIndependentBits rows");
        return static_cast<int>(lines);
    }
    // Rows are always fetched, as from GDI.
    const std::uint8_t* RowsInPlace(platform::BitmapHandle, const std::uint8_t*, std::size_t) override {
        return nullptr;
    }

private:
    template <class T>
    static std::string Number(T* handle) {
        return std::to_string(reinterpret_cast<std::uintptr_t>(handle));
    }

    template <class T>
    static T* Handle(std::uintptr_t value) {
        return reinterpret_cast<T*>(value);
    }
};

}  // namespace paneloom::testing
