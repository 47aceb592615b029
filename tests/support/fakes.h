// Fakes of the platform seam for driving the program's logic in tests.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/gdi.h"
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
    bool LocalNow(std::tm& out) override {
        if (ok) out = time;
        return ok;
    }
};

// Files that fail in the ways a test chooses; everything else goes to the
// real file system.
class FakeFiles : public platform::Files {
public:
    bool failReads = false;   // the open succeeds, the read then fails
    bool refuseOpens = false;  // every open fails, as with a lock held elsewhere

    bool ReadWholeExclusive(const std::string& path, std::string& bytes) override {
        if (refuseOpens) return false;
        if (failReads) throw platform::FileError("injected read failure");
        return platform::RealImpl<platform::Files>().ReadWholeExclusive(path, bytes);
    }
    bool AppendExclusive(const std::string& path, const std::string& bytes) override {
        if (refuseOpens) return false;
        return platform::RealImpl<platform::Files>().AppendExclusive(path, bytes);
    }
};

// Records every drawing-object call as a line of text.
class RecordingGraphics : public platform::Graphics {
public:
    std::vector<std::string> calls;
    bool loadFails = false;

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
    void DeletePalette(platform::PaletteHandle) override {}

private:
    template <class T>
    static T* Handle(std::uintptr_t value) {
        return reinterpret_cast<T*>(value);
    }
};

}  // namespace paneloom::testing
