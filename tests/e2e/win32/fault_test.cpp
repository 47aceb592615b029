// The real Windows program against faults of its surroundings: an output
// directory it may not write, a full disk, a kill in the middle of writing,
// a huge configuration, a huge bitmap and a library planted beside it. Each
// ends with the documented exit code and log line, and leaves the previous
// output as it was.
//
// Under Wine the read-only and full file systems, and the program started
// under a file-size limit, are made by the Unix host (see unix_host.h). The
// Wine server opens the files, so the mounts must be ones it sees: they are
// made over directories of the scratch tree in the host's own namespace and
// taken away at the end of each test (a test killed before that leaves its
// mount behind).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "e2e/program_runner.h"
#include "e2e/win32/unix_host.h"
#include "support/bmp_maker.h"
#include "support/picture_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

namespace fs = std::filesystem;
using testing::HostPath;
using testing::ProgramPath;
using testing::RunOnHost;
using testing::RunWithCommandLine;
using testing::ScratchDir;
using testing::ShellQuoted;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Picture(std::int32_t width, std::int32_t height) { return testing::PatternBmpAsWritten(width, height, 24); }

std::string Configuration(const std::string& output) {
    return "<globalsettings><outputbmp name=\"" + output + "\"/></globalsettings>";
}

int RunProgram(const ScratchDir& scratch) { return RunWithCommandLine(Quoted(ProgramPath()), scratch.path().string()); }

bool HostRunsAsRoot() { return RunOnHost("test \"$(id -u)\" = 0") == 0; }

// A mount the host made over a directory, taken away when the object goes.
class HostMount {
public:
    HostMount(const std::string& directory, const std::string& script)
        : directory_(directory), made_(RunOnHost(script) == 0) {}
    ~HostMount() {
        if (made_) RunOnHost("umount " + ShellQuoted(directory_));
    }
    HostMount(const HostMount&) = delete;
    HostMount& operator=(const HostMount&) = delete;

    bool made() const { return made_; }

private:
    std::string directory_;
    bool made_;
};

// The host's script that makes `directory` (shell-quoted) a read-only bind
// mount of itself, leaving nothing mounted when it fails.
std::string ReadOnlyBindMount(const std::string& directory) {
    return "mount --bind " + directory + " " + directory + " && { mount -o remount,bind,ro " + directory + " " +
           directory + " || { umount " + directory + "; exit 1; }; }";
}

// The wallpaper value of the build's Wine prefix, put back afterwards.
class SavedWallpaper {
public:
    SavedWallpaper() {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        saved_ = Value();
    }
    ~SavedWallpaper() {
        if (saved_) {
            RegSetValueExA(key_, "Wallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_->c_str()),
                           static_cast<DWORD>(saved_->size() + 1));
        } else {
            RegDeleteValueA(key_, "Wallpaper");
        }
        RegCloseKey(key_);
    }
    SavedWallpaper(const SavedWallpaper&) = delete;
    SavedWallpaper& operator=(const SavedWallpaper&) = delete;

    std::optional<std::string> Value() const {
        char data[1024] = {};
        DWORD size = sizeof data - 1;
        if (RegQueryValueExA(key_, "Wallpaper", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        return std::string(data);
    }

private:
    HKEY key_ = nullptr;
    std::optional<std::string> saved_;
};

// Starts the program from the host's shell in the scratch directory under a
// file-size limit of 8 KiB: with the signal for it ignored, a write past the
// limit fails as on a full disk; otherwise the kernel kills the program in
// the middle of that write. The shell's status of it: the exit code as a
// Unix parent sees it (255 for -1), or 128 plus the signal that ended it.
int RunUnderFileSizeLimit(const ScratchDir& scratch, bool killAtLimit) {
    const std::string limit = killAtLimit ? "ulimit -f 16" : "ulimit -f 16 && trap '' XFSZ";
    const std::string script = "exec 2>/dev/null; cd " + ShellQuoted(HostPath(scratch.path().string())) +
                               " && ulimit -c 0 && " + limit + " && \"$WINELOADER\" " +
                               ShellQuoted(HostPath(ProgramPath())) + "; exit $?";
    return RunOnHost(script);
}

TEST(WindowsProgramFaults, ReadOnlyOutputIsLoggedKeepsThePreviousOutputAndEndsNormally) {
    if (!testing::HasUnixHost()) GTEST_SKIP() << "a directory that refuses new files needs the Wine host";
    ScratchDir scratch;
    SavedWallpaper wallpaper;
    const fs::path out = scratch.path() / "out";
    fs::create_directory(out);
    scratch.Write("out\\paneloominfo.bmp", "the previous good picture");
    scratch.Write("paneloom.xml", Configuration("out\\PaneloomInfo.bmp"));
    scratch.Write("Paneloom.bmp", Picture(6, 4));

    // Wine keeps no read-only attribute on a directory, so the host makes
    // it read-only: by its permissions and the file's, or for root, who
    // writes through them, as a read-only bind mount of itself.
    const std::string directory = ShellQuoted(HostPath(out.string()));
    std::optional<HostMount> mount;
    bool permissions = false;
    if (HostRunsAsRoot()) {
        mount.emplace(HostPath(out.string()), ReadOnlyBindMount(directory));
        if (!mount->made()) GTEST_SKIP() << "the host cannot make a read-only bind mount here";
    } else {
        permissions = RunOnHost("chmod 0444 " + directory + "/paneloominfo.bmp && chmod 0555 " + directory) == 0;
        ASSERT_TRUE(permissions);
    }
    const int code = RunProgram(scratch);
    const std::vector<std::string> names = scratch.Names("out");
    mount.reset();
    if (permissions) RunOnHost("chmod 0755 " + directory + " && chmod 0644 " + directory + "/paneloominfo.bmp");

    // The run still ends normally and goes on to the wallpaper step, which
    // names the file that was not refreshed; the log says so.
    EXPECT_EQ(0, code);
    EXPECT_NE(std::string::npos,
              scratch.Read("paneloomerror.log").find(" : Could not write <out\\paneloominfo.bmp>!\n\n"));
    EXPECT_EQ("the previous good picture", scratch.Read("out\\paneloominfo.bmp"));
    EXPECT_EQ((std::vector<std::string>{"paneloominfo.bmp"}), names);
    EXPECT_EQ((out / "paneloominfo.bmp").string(), wallpaper.Value().value_or("missing"));
}

// An administrator's shared wallpaper file: the user may write the file but
// not make new files beside it.
TEST(WindowsProgramFaults, OutputThatMayBeWrittenInAFolderThatMayNotIsWrittenInPlace) {
    if (!testing::HasUnixHost()) GTEST_SKIP() << "a directory that refuses new files needs the Wine host";
    ScratchDir scratch;
    SavedWallpaper wallpaper;
    const fs::path out = scratch.path() / "out";
    fs::create_directory(out);
    scratch.Write("out\\info.bmp", "the previous picture");
    scratch.Write("paneloom.xml", Configuration("out\\info.bmp"));
    const std::string picture = Picture(6, 4);
    scratch.Write("Paneloom.bmp", picture);

    // For root the folder becomes a read-only mount and the file a writable
    // mount of its own; otherwise the folder's permissions hold.
    const std::string directory = ShellQuoted(HostPath(out.string()));
    const std::string file = ShellQuoted(HostPath((out / "info.bmp").string()));
    std::optional<HostMount> fileMount;
    std::optional<HostMount> mount;
    bool permissions = false;
    if (HostRunsAsRoot()) {
        mount.emplace(HostPath(out.string()), ReadOnlyBindMount(directory));
        if (!mount->made()) GTEST_SKIP() << "the host cannot make a read-only bind mount here";
        fileMount.emplace(HostPath((out / "info.bmp").string()),
                          "mount --bind " + file + " " + file + " && mount -o remount,bind,rw " + file + " " + file);
        if (!fileMount->made()) GTEST_SKIP() << "the host cannot mount a file here";
    } else {
        permissions = RunOnHost("chmod 0555 " + directory) == 0;
        ASSERT_TRUE(permissions);
    }
    const int code = RunProgram(scratch);
    const std::vector<std::string> names = scratch.Names("out");
    fileMount.reset();
    mount.reset();
    if (permissions) RunOnHost("chmod 0755 " + directory);

    EXPECT_EQ(0, code);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    EXPECT_TRUE(scratch.Read("out\\info.bmp") == picture);
    EXPECT_EQ((std::vector<std::string>{"info.bmp"}), names);
}

// A symbolic link to the real picture (made by the host: Wine shows it as
// the file it leads to) stays a link, and that picture is refreshed.
TEST(WindowsProgramFaults, LinkedOutputStaysALinkAndItsPictureIsRefreshed) {
    if (!testing::HasUnixHost()) GTEST_SKIP() << "a symbolic link needs the Wine host";
    ScratchDir scratch;
    SavedWallpaper wallpaper;
    fs::create_directory(scratch.path() / "pictures");
    scratch.Write("pictures\\wall.bmp", "the previous picture");
    scratch.Write("paneloom.xml", Configuration("info.bmp"));
    const std::string picture = Picture(6, 4);
    scratch.Write("Paneloom.bmp", picture);
    const std::string link = ShellQuoted(HostPath(scratch.file("info.bmp")));
    ASSERT_EQ(0, RunOnHost("ln -s pictures/wall.bmp " + link));

    EXPECT_EQ(0, RunProgram(scratch));
    EXPECT_EQ(0, RunOnHost("test -L " + link)) << "the link was replaced";
    EXPECT_TRUE(scratch.Read("pictures\\wall.bmp") == picture);
    EXPECT_EQ((std::vector<std::string>{"wall.bmp"}), scratch.Names("pictures"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST(WindowsProgramFaults, FullFileSystemKeepsThePreviousOutputAndEndsInMainLoopError) {
    if (!testing::HasUnixHost()) GTEST_SKIP() << "a small file system needs the Wine host";
    if (!HostRunsAsRoot()) GTEST_SKIP() << "only root can mount a small file system that the Wine server sees";
    ScratchDir scratch;
    const fs::path full = scratch.path() / "full";
    fs::create_directory(full);
    scratch.Write("paneloom.xml", Configuration("full\\PaneloomInfo.bmp"));
    scratch.Write("Paneloom.bmp", Picture(100, 100));  // 30,054 bytes

    // A file system of four pages, one of them taken by the previous output.
    const std::string directory = ShellQuoted(HostPath(full.string()));
    HostMount mount(HostPath(full.string()), "mount -t tmpfs -o size=16k,mode=0777 paneloom-full " + directory);
    if (!mount.made()) GTEST_SKIP() << "the host cannot mount a tmpfs here";
    scratch.Write("full\\paneloominfo.bmp", "the previous good picture");

    EXPECT_EQ(-1, RunProgram(scratch));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Error in main loop\n\n"));
    // The partial file is gone; the previous output is as it was.
    EXPECT_EQ((std::vector<std::string>{"paneloominfo.bmp"}), scratch.Names("full"));
    EXPECT_EQ("the previous good picture", scratch.Read("full\\paneloominfo.bmp"));
}

TEST(WindowsProgramFaults, WriteFailingAtAFileSizeLimitEndsInMainLoopError) {
    if (!testing::HasUnixHost()) GTEST_SKIP() << "a file-size limit needs the Wine host";
    ScratchDir scratch;
    scratch.Write("paneloom.xml", Configuration("PaneloomInfo.bmp"));
    scratch.Write("Paneloom.bmp", Picture(100, 100));
    scratch.Write("paneloominfo.bmp", "the previous good picture");

    EXPECT_EQ(255, RunUnderFileSizeLimit(scratch, false));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Error in main loop\n\n"));
    EXPECT_EQ("the previous good picture", scratch.Read("paneloominfo.bmp"));
    EXPECT_EQ((std::vector<std::string>{"Paneloom.bmp", "paneloom.xml", "paneloomerror.log", "paneloominfo.bmp"}),
              scratch.Names());
}

TEST(WindowsProgramFaults, KilledWhileWritingLeavesThePreviousOutputAndOnlyItsPartialFile) {
    if (!testing::HasUnixHost()) GTEST_SKIP() << "a kill at a file-size limit needs the Wine host";
    ScratchDir scratch;
    scratch.Write("paneloom.xml", Configuration("PaneloomInfo.bmp"));
    const std::string picture = Picture(100, 100);
    scratch.Write("Paneloom.bmp", picture);
    scratch.Write("paneloominfo.bmp", "the previous good picture");

    EXPECT_EQ(128 + 25, RunUnderFileSizeLimit(scratch, true));  // SIGXFSZ
    EXPECT_EQ("the previous good picture", scratch.Read("paneloominfo.bmp"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));

    // What a kill leaves: the partial file it was writing, next to the
    // output, and nothing else.
    const std::vector<std::string> names = scratch.Names();
    ASSERT_EQ(4u, names.size());
    // GetTempFileNameA writes its number in hexadecimal without leading
    // zeros: one to four digits between the prefix and ".tmp".
    const auto partial = std::find_if(names.begin(), names.end(), [](const std::string& name) {
        if (name.size() < 8 || name.size() > 11 || name.rfind("pnl", 0) != 0) return false;
        if (name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
        return name.find_first_not_of("0123456789abcdefABCDEF", 3) == name.size() - 4;
    });
    ASSERT_NE(names.end(), partial);
    EXPECT_EQ(8192u, fs::file_size(scratch.path() / *partial));

    // The next normal run writes the output whole and leaves no file of its
    // own besides it.
    SavedWallpaper wallpaper;
    EXPECT_EQ(0, RunProgram(scratch));
    EXPECT_EQ(picture, scratch.Read("paneloominfo.bmp"));
    EXPECT_EQ(names, scratch.Names());
}

// 100 MB of comments and blank lines around the settings: read, cleaned and
// scanned in one pass each, then a normal run to the end.
TEST(WindowsProgramFaults, HundredMegabyteConfigurationIsReadThrough) {
    ScratchDir scratch;
    SavedWallpaper wallpaper;
    const std::string picture = Picture(6, 4);
    scratch.Write("Paneloom.bmp", picture);
    {
        std::ofstream config(scratch.path() / "paneloom.xml", std::ios::binary);
        config << "<globalsettings><outputbmp name=\"Big.bmp\"/>\r\n";
        const std::string block = "<!-- a comment -->\r\n\r\n\r\n<!---->x<!-- <displayoutput> -->\r\n";
        std::string chunk;
        while (chunk.size() < (1u << 20)) chunk += block;
        for (int i = 0; i < 100; ++i) config << chunk;
        // An empty output draws the default lines, here outside the picture.
        config << "</globalsettings><displayoutput><textsettings><textstart x=\"100\" y=\"100\"/></textsettings>"
                  "<output></output></displayoutput>";
    }
    ASSERT_GE(fs::file_size(scratch.path() / "paneloom.xml"), 100u << 20);

    EXPECT_EQ(0, RunProgram(scratch));
    EXPECT_TRUE(scratch.Read("big.bmp") == picture);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

// The peak resident memory (KiB) of a run of the program in the scratch
// directory, as /usr/bin/time on the host reads it from wait4; the Wine
// process that runs the program is the host's child. -1 when it cannot be
// measured.
long PeakOfRun(const ScratchDir& scratch) {
    const std::string report = HostPath(scratch.file("peak.txt"));
    const std::string script = "exec 2>/dev/null; cd " + ShellQuoted(HostPath(scratch.path().string())) +
                               " && /usr/bin/time -f %M -o " + ShellQuoted(report) + " \"$WINELOADER\" " +
                               ShellQuoted(HostPath(ProgramPath())) + "; exit 0";
    if (RunOnHost(script) != 0) return -1;
    const std::string text = scratch.Read("peak.txt");
    const std::string::size_type digits = text.find_first_of("0123456789");
    return digits == std::string::npos ? -1 : std::stol(text.substr(digits));
}

// A 1 GB file, sparse, whose header claims 100,000 x 100,000 pixels: both
// readers refuse it, and the program's own reader does so from its headers,
// holding no more memory than a run whose picture is missing; so are PNG
// and JPEG headers claiming as much.
TEST(WindowsProgramFaults, PicturesClaimingHugeDimensionsAreRefused) {
    ScratchDir scratch;
    scratch.Write("huge.bmp", testing::MakeBmp(testing::BlankBmp(100000, 100000)));
    fs::resize_file(scratch.path() / "huge.bmp", std::uintmax_t{1} << 30);
    scratch.Write("paneloominfo.bmp", "the previous good picture");

    scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"Huge.bmp\"/></globalsettings>");
    EXPECT_EQ(3, RunProgram(scratch));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Could not LoadImage <huge.bmp>!\n\n"));

    scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"Huge.bmp\"/><usescreendepth/></globalsettings>");
    EXPECT_EQ(2, RunProgram(scratch));
    EXPECT_NE(std::string::npos,
              scratch.Read("paneloomerror.log").find(" : Could not LoadBMPImage <huge.bmp>!\n\n"));
    EXPECT_EQ("the previous good picture", scratch.Read("paneloominfo.bmp"));

    if (!testing::HasUnixHost()) GTEST_SKIP() << "measuring the memory needs the Wine host";
    ASSERT_EQ(0, RunOnHost("test -x /usr/bin/time")) << "needs /usr/bin/time (Debian package time)";
    const long huge = PeakOfRun(scratch);
    scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"missing.bmp\"/><usescreendepth/></globalsettings>");
    const long missing = PeakOfRun(scratch);
    ASSERT_GT(huge, 0);
    ASSERT_GT(missing, 0);
    EXPECT_LT(huge, missing + 4096) << "refusing the file took memory";

    // A PNG and a JPEG claiming as much are refused from their headers on
    // both paths, before the system's codecs (which decode every pixel as
    // soon as they are handed a file) see them.
    scratch.Write("huge.png", testing::GiantPngHeader(100000, 100000));
    scratch.Write("huge.jpg", testing::GiantJpegHeader(65500, 65500));
    for (const std::string name : {"huge.png", "huge.jpg"}) {
        for (const bool screenDepth : {false, true}) {
            SCOPED_TRACE(name + (screenDepth ? " at screen depth" : ""));
            scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"" + name + "\"/>" +
                                              (screenDepth ? "<usescreendepth/>" : "") + "</globalsettings>");
            EXPECT_LT(PeakOfRun(scratch), missing + 4096) << "refusing the file took memory";
            EXPECT_EQ(screenDepth ? 2 : 3, RunProgram(scratch));
        }
        const std::string log = scratch.Read("paneloomerror.log");
        EXPECT_NE(std::string::npos, log.find(" : Could not LoadImage <" + name + ">!\n\n"));
        EXPECT_NE(std::string::npos, log.find(" : Could not LoadBMPImage <" + name + ">!\n\n"));
    }
}

// The input picture open in an image viewer that lets others read it: the
// program reads it too, sharing it.
TEST(WindowsProgramFaults, InputOpenInAViewerIsStillRead) {
    ScratchDir scratch;
    SavedWallpaper wallpaper;
    scratch.Write("paneloom.xml", "<globalsettings><outputbmp name=\"out.bmp\"/><usescreendepth/></globalsettings>");
    scratch.Write("Paneloom.bmp", Picture(6, 4));
    HANDLE viewer = CreateFileA(scratch.file("Paneloom.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, viewer);
    const int code = RunProgram(scratch);
    CloseHandle(viewer);
    EXPECT_EQ(0, code);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    EXPECT_TRUE(scratch.Exists("out.bmp"));
}

// Wine's own choice, for one program name, between its built-in libraries
// and files on disk of the same names, put back afterwards.
class WineLibraryPreference {
public:
    WineLibraryPreference(const std::string& program, const std::vector<std::string>& libraries)
        : key_("Software\\Wine\\AppDefaults\\" + program) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (key_ + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return;
        }
        const char order[] = "native,builtin";
        for (const std::string& library : libraries) {
            RegSetValueExA(key, library.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
        }
        RegCloseKey(key);
    }
    ~WineLibraryPreference() { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }
    WineLibraryPreference(const WineLibraryPreference&) = delete;
    WineLibraryPreference& operator=(const WineLibraryPreference&) = delete;

private:
    std::string key_;
};

// An IP helper library planted beside a copy of the program is not loaded,
// and the run ends normally: a load by the bare name would take it from the
// program's folder first, as Windows takes any library there. Wine prefers
// its own built-in libraries unless told otherwise, so for this copy it is
// told to prefer files on disk, as Windows does. (A planted VERSION.dll
// cannot be shown here: Wine's own user32 imports it, whatever the program
// does. That the program does not import it is the import table's test.)
TEST(WindowsProgramFaults, AnIpHelperLibraryPlantedBesideTheProgramIsNotLoaded) {
    ScratchDir scratch;
    SavedWallpaper wallpaper;
    const std::string copy = scratch.file("PaneloomCopy.exe");
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(PANELOOM_PLANTED_LIBRARY, scratch.file("iphlpapi.dll").c_str(), FALSE));
    scratch.Write("Paneloom.bmp", Picture(6, 4));
    scratch.Write("paneloom.xml", "<displayoutput><output><textline>%HOSTNAME%</textline></output></displayoutput>");

    WineLibraryPreference preference("PaneloomCopy.exe", {"iphlpapi"});
    EXPECT_EQ(0, RunWithCommandLine(Quoted(copy), scratch.path().string()));
    EXPECT_FALSE(scratch.Exists("iphlpapi.dll.loaded"));
    EXPECT_TRUE(scratch.Exists("paneloominfo.bmp"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

}  // namespace
}  // namespace paneloom
