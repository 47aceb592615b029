// The real Linux program against faults of its surroundings: an output
// directory it may not write, a full disk, a kill in the middle of writing,
// a huge configuration and a huge bitmap. Each ends with the documented exit
// code and log line, and leaves the previous output as it was.
//
// Read-only and full file systems are made in a mount namespace of a child
// process of their own (the test runs as root in CI, and root writes through
// directory permissions), so nothing outside the scratch directory changes
// and nothing stays mounted when the child ends.
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "e2e/linux/gnome_session.h"
#include "e2e/program_runner.h"
#include "support/bmp_maker.h"
#include "support/picture_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

namespace fs = std::filesystem;
using testing::GnomeKeyfileSession;
using testing::RunWithArguments;
using testing::ScratchDir;

std::string Picture(std::int32_t width, std::int32_t height) {
    return testing::MakeBmp(testing::PatternBmp(width, height, 24));
}

// The program writes its pictures with biSizeImage filled in; the rest of
// the file is the input's.
bool SamePicture(const std::string& written, const std::string& input) {
    return written.size() == input.size() && written.compare(0, 34, input, 0, 34) == 0 &&
           written.compare(38, std::string::npos, input, 38, std::string::npos) == 0;
}

std::string Configuration(const std::string& output) {
    return "<globalsettings><outputbmp name=\"" + output + "\"/></globalsettings>";
}

// How a program started by RunChild ended.
struct Outcome {
    bool exited = false;
    int code = -1;    // when it exited
    int signal = 0;   // when a signal ended it
};

Outcome Ended(int status) {
    Outcome outcome;
    if (WIFEXITED(status)) {
        outcome.exited = true;
        outcome.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
    }
    return outcome;
}

// Starts the program in `directory` under a file-size limit: with the signal
// for it ignored a write past the limit fails (as on a full disk); with the
// signal's default action the kernel kills the program in the middle of
// that write. No core file is written either way.
Outcome RunWithFileSizeLimit(const std::string& directory, rlim_t limit, bool killAtLimit) {
    const pid_t child = ::fork();
    if (child < 0) return Outcome{};
    if (child == 0) {
        const rlimit size{limit, limit};
        const rlimit noCore{0, 0};
        if (::chdir(directory.c_str()) != 0 || ::setrlimit(RLIMIT_FSIZE, &size) != 0 ||
            ::setrlimit(RLIMIT_CORE, &noCore) != 0) {
            ::_exit(120);
        }
        ::signal(SIGXFSZ, killAtLimit ? SIG_DFL : SIG_IGN);
        // No cache folder: the output is the only file the run writes.
        ::unsetenv("HOME");
        ::unsetenv("XDG_CACHE_HOME");
        const std::string program = testing::ProgramPath();
        char* const argv[] = {const_cast<char*>("paneloom"), nullptr};
        ::execv(program.c_str(), argv);
        ::_exit(121);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return Outcome{};
    return Ended(status);
}

// Runs the program in `directory` from a child process that has mount
// namespace of its own: `prepare` makes the mounts there (it returns why it
// could not, or nothing), and `inspect` looks at them once the program has
// ended, while they still stand, and copies what it wants to keep into the
// scratch directory. Both run in the child, so they report through files
// and return values, never through test assertions. Without a namespace
// (no privilege for one) the result says why.
struct MountedRun {
    std::string unavailable;  // why no namespace could be made, or empty
    int code = -1;            // the program's exit code
};

// Writes the whole of `text` to `fd`.
void Send(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t put = ::write(fd, text.data() + sent, text.size() - sent);
        if (put <= 0) return;
        sent += static_cast<std::size_t>(put);
    }
}

std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// A mount namespace of this process's own: as root directly, otherwise in a
// user namespace where this user is root (where unprivileged ones are
// allowed). Mounts made afterwards stay in it.
std::string EnterMountNamespace() {
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) return Failure("unshare(CLONE_NEWNS)");
    } else {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return Failure("unshare(CLONE_NEWUSER | CLONE_NEWNS)");
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    // Nothing mounted here may reach the namespace the tests came from.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return Failure("making / private");
    return std::string();
}

MountedRun RunWithPrivateMounts(const std::string& directory, const std::function<std::string()>& prepare,
                                const std::function<void()>& inspect) {
    int channel[2];
    if (::pipe(channel) != 0) return MountedRun{Failure("pipe"), -1};
    const pid_t child = ::fork();
    if (child < 0) return MountedRun{Failure("fork"), -1};
    if (child == 0) {
        ::close(channel[0]);
        std::string why = EnterMountNamespace();
        if (why.empty()) why = prepare();
        if (!why.empty()) {
            Send(channel[1], "no " + why);
            ::_exit(0);
        }
        const int code = RunWithArguments({"paneloom"}, directory);
        inspect();
        Send(channel[1], "ran " + std::to_string(code));
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) report.append(buffer, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    MountedRun result;
    if (report.rfind("ran ", 0) == 0) {
        result.code = std::stoi(report.substr(4));
    } else if (report.rfind("no ", 0) == 0) {
        result.unavailable = report.substr(3);
    } else {
        result.unavailable = "the child process ended without a report";
    }
    return result;
}

// Makes `directory` a read-only bind mount of itself (in a namespace of
// RunWithPrivateMounts); why it could not, or nothing.
std::string ReadOnlyBindMount(const std::string& directory) {
    if (::mount(directory.c_str(), directory.c_str(), nullptr, MS_BIND, nullptr) != 0) return Failure("bind mount");
    if (::mount(nullptr, directory.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        return Failure("read-only remount");
    }
    return std::string();
}

// Copies the names in the scratch folder `from` (one a line) and each
// file's bytes into the scratch folder `to`.
void Snapshot(const ScratchDir& scratch, const std::string& from, const std::string& to) {
    std::error_code error;
    fs::create_directories(scratch.path() / to, error);
    std::ofstream names(scratch.path() / to / "listing.txt");
    for (const std::string& name : scratch.Names(from)) {
        names << name << "\n";
        fs::copy_file(scratch.path() / from / name, scratch.path() / to / name, fs::copy_options::overwrite_existing,
                      error);
    }
}

TEST(LinuxProgramFaults, ReadOnlyOutputIsLoggedKeepsThePreviousOutputAndEndsNormally) {
    ScratchDir scratch;
    GnomeKeyfileSession session(scratch.path() / "config");
    const fs::path out = scratch.path() / "out";
    fs::create_directory(out);
    scratch.Write("out/paneloominfo.bmp", "the previous good picture");
    scratch.Write("paneloom.xml", Configuration("out/paneloominfo.bmp"));
    scratch.Write("Paneloom.bmp", Picture(6, 4));
    const std::string wallpaper = GnomeKeyfileSession::Get("picture-uri");

    int code = -1;
    if (::geteuid() != 0) {
        // Without root, the permissions of the directory and the file hold.
        fs::permissions(out / "paneloominfo.bmp", fs::perms::owner_read);
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
        code = RunWithArguments({"paneloom"}, scratch.path().string());
        fs::permissions(out, fs::perms::owner_all);
    } else {
        // Root writes through permissions: the directory becomes a read-only
        // bind mount of itself.
        const std::string target = out.string();
        const MountedRun run = RunWithPrivateMounts(
            scratch.path().string(), [&]() -> std::string { return ReadOnlyBindMount(target); }, [] {});
        if (!run.unavailable.empty()) GTEST_SKIP() << "no read-only mount can be made here: " << run.unavailable;
        code = run.code;
    }

    // The run still ends normally and the log says why; the wallpaper is
    // not pointed at a picture that was not written.
    EXPECT_EQ(0, code);
    EXPECT_NE(std::string::npos,
              scratch.Read("paneloomerror.log").find(" : Could not write <out/paneloominfo.bmp>!\n\n"));
    EXPECT_EQ("the previous good picture", scratch.Read("out/paneloominfo.bmp"));
    EXPECT_EQ((std::vector<std::string>{"paneloominfo.bmp"}), scratch.Names("out"));
    EXPECT_EQ(wallpaper, GnomeKeyfileSession::Get("picture-uri"));
}

// An output that cannot be written at all (a typo in its folder, a folder
// in its place) leaves the desktop as it was, rather than blank or showing
// whatever is at that path; the style is still written.
TEST(LinuxProgramFaults, OutputThatCannotBeWrittenLeavesTheWallpaperAsItWas) {
    ScratchDir scratch;
    GnomeKeyfileSession session(scratch.path() / "config");
    scratch.Write("Paneloom.bmp", Picture(6, 4));
    fs::create_directory(scratch.path() / "taken.bmp");
    const std::string wallpaper = GnomeKeyfileSession::Get("picture-uri");
    for (const std::string output : {"nosuchdir/out.bmp", "taken.bmp"}) {
        SCOPED_TRACE(output);
        std::error_code error;
        fs::remove(scratch.path() / "paneloomerror.log", error);
        scratch.Write("paneloom.xml", "<globalsettings><outputbmp name=\"" + output +
                                          "\"/><backgroundstyle value=\"tile\"/></globalsettings>");
        EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
        EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Could not write <" + output + ">!\n\n"));
        EXPECT_EQ(wallpaper, GnomeKeyfileSession::Get("picture-uri"));
        EXPECT_EQ("'wallpaper'\n", GnomeKeyfileSession::Get("picture-options"));
    }
}

// An administrator's shared wallpaper file: the user may write the file but
// not make new files beside it. Here the folder is a read-only mount and the
// file a writable mount of its own.
TEST(LinuxProgramFaults, OutputThatMayBeWrittenInAFolderThatMayNotIsWrittenInPlace) {
    ScratchDir scratch;
    const fs::path out = scratch.path() / "out";
    fs::create_directory(out);
    scratch.Write("out/info.bmp", "the previous picture");
    scratch.Write("paneloom.xml", Configuration("out/info.bmp"));
    const std::string picture = Picture(6, 4);
    scratch.Write("Paneloom.bmp", picture);

    const std::string folder = out.string();
    const std::string file = (out / "info.bmp").string();
    const MountedRun run = RunWithPrivateMounts(
        scratch.path().string(),
        [&]() -> std::string {
            const std::string why = ReadOnlyBindMount(folder);
            if (!why.empty()) return why;
            // A bind mount inside a read-only one is read-only until told
            // otherwise.
            if (::mount(file.c_str(), file.c_str(), nullptr, MS_BIND, nullptr) != 0) return Failure("file bind mount");
            if (::mount(nullptr, file.c_str(), nullptr, MS_BIND | MS_REMOUNT, nullptr) != 0) {
                return Failure("writable remount of the file");
            }
            return std::string();
        },
        [] {});
    if (!run.unavailable.empty()) GTEST_SKIP() << "no read-only mount can be made here: " << run.unavailable;

    EXPECT_EQ(0, run.code);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    EXPECT_TRUE(SamePicture(scratch.Read("out/info.bmp"), picture));
    EXPECT_EQ((std::vector<std::string>{"info.bmp"}), scratch.Names("out"));
}

TEST(LinuxProgramFaults, FullFileSystemKeepsThePreviousOutputAndEndsInMainLoopError) {
    ScratchDir scratch;
    const fs::path full = scratch.path() / "full";
    fs::create_directory(full);
    scratch.Write("paneloom.xml", Configuration("full/paneloominfo.bmp"));
    scratch.Write("Paneloom.bmp", Picture(100, 100));  // 30,054 bytes
    const std::string target = full.string();

    // A file system of four pages, one of them taken by the previous output.
    const MountedRun run = RunWithPrivateMounts(
        scratch.path().string(),
        [&]() -> std::string {
            if (::mount("paneloom-full", target.c_str(), "tmpfs", 0, "size=16k,mode=0777") != 0) {
                return Failure("tmpfs mount");
            }
            std::ofstream(fs::path(target) / "paneloominfo.bmp") << "the previous good picture";
            return std::string();
        },
        [&] { Snapshot(scratch, "full", "after"); });
    if (!run.unavailable.empty()) GTEST_SKIP() << "no small file system can be mounted here: " << run.unavailable;

    EXPECT_EQ(255, run.code);
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Error in main loop\n\n"));
    // The partial file is gone; the previous output is as it was.
    EXPECT_EQ("paneloominfo.bmp\n", scratch.Read("after/listing.txt"));
    EXPECT_EQ("the previous good picture", scratch.Read("after/paneloominfo.bmp"));
}

TEST(LinuxProgramFaults, KilledWhileWritingLeavesThePreviousOutputAndOnlyItsPartialFile) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", Configuration("paneloominfo.bmp"));
    const std::string picture = Picture(100, 100);
    scratch.Write("Paneloom.bmp", picture);
    scratch.Write("paneloominfo.bmp", "the previous good picture");

    // The kernel ends the program the moment its output passes 8 KiB.
    const Outcome killed = RunWithFileSizeLimit(scratch.path().string(), 8192, true);
    ASSERT_FALSE(killed.exited) << "exit code " << killed.code;
    EXPECT_EQ(SIGXFSZ, killed.signal);
    EXPECT_EQ("the previous good picture", scratch.Read("paneloominfo.bmp"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));

    // What a kill leaves: the partial file it was writing, hidden next to
    // the output, and nothing else.
    std::vector<std::string> names = scratch.Names();
    ASSERT_EQ(4u, names.size());
    const std::string partial = names[0];
    EXPECT_EQ(0u, partial.rfind(".paneloom-", 0)) << partial;
    EXPECT_EQ(8192u, fs::file_size(scratch.path() / partial));
    EXPECT_EQ((std::vector<std::string>{partial, "Paneloom.bmp", "paneloom.xml", "paneloominfo.bmp"}), names);

    // The next normal run writes the output whole and leaves no file of its
    // own besides it.
    EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_TRUE(SamePicture(scratch.Read("paneloominfo.bmp"), picture));
    EXPECT_EQ(names, scratch.Names());
}

// 100 MB of comments and blank lines around the settings: read, cleaned and
// scanned in one pass each, then a normal run to the end.
TEST(LinuxProgramFaults, HundredMegabyteConfigurationIsReadThrough) {
    ScratchDir scratch;
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

    EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_TRUE(SamePicture(scratch.Read("Big.bmp"), picture));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

// A 1 GB file, sparse, whose header claims 100,000 x 100,000 pixels, and a
// PNG and a JPEG whose headers claim 100,000 x 100,000 and 65,500 x 65,500:
// both readers refuse them from their headers, holding no more memory than
// a run whose picture is missing.
TEST(LinuxProgramFaults, PicturesClaimingHugeDimensionsAreRefused) {
    ScratchDir scratch;
    scratch.Write("huge.bmp", testing::MakeBmp(testing::BlankBmp(100000, 100000)));
    fs::resize_file(scratch.path() / "huge.bmp", std::uintmax_t{1} << 30);
    scratch.Write("huge.png", testing::GiantPngHeader(100000, 100000));
    scratch.Write("huge.jpg", testing::GiantJpegHeader(65500, 65500));
    scratch.Write("paneloominfo.bmp", "the previous good picture");

    for (const std::string name : {"huge.bmp", "huge.png", "huge.jpg"}) {
        for (const bool screenDepth : {false, true}) {
            SCOPED_TRACE(name + (screenDepth ? " at screen depth" : ""));
            const std::string depth = screenDepth ? "<usescreendepth/>" : "";
            scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"missing.bmp\"/>" + depth + "</globalsettings>");
            const testing::MeasuredRun missing = testing::RunMeasured({"paneloom"}, scratch.path().string());
            scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"" + name + "\"/>" + depth + "</globalsettings>");
            const testing::MeasuredRun huge = testing::RunMeasured({"paneloom"}, scratch.path().string());
            EXPECT_EQ(screenDepth ? 2 : 3, huge.code);
            EXPECT_EQ(missing.code, huge.code);
            EXPECT_LT(huge.peakKib, missing.peakKib + 4096) << "refusing the file took memory";
        }
        const std::string log = scratch.Read("paneloomerror.log");
        EXPECT_NE(std::string::npos, log.find(" : Could not LoadImage <" + name + ">!\n\n"));
        EXPECT_NE(std::string::npos, log.find(" : Could not LoadBMPImage <" + name + ">!\n\n"));
    }
    EXPECT_EQ("the previous good picture", scratch.Read("paneloominfo.bmp"));
}

// The input picture open in another program that holds an exclusive lock on
// it: reading it takes no lock, so the run goes on.
TEST(LinuxProgramFaults, InputLockedByAnotherProgramIsStillRead) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<globalsettings><outputbmp name=\"out.bmp\"/><usescreendepth/></globalsettings>");
    scratch.Write("Paneloom.bmp", Picture(6, 4));
    const int holder = ::open(scratch.file("Paneloom.bmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_LE(0, holder);
    ASSERT_EQ(0, ::flock(holder, LOCK_EX | LOCK_NB));
    const int code = RunWithArguments({"paneloom"}, scratch.path().string());
    ::close(holder);
    EXPECT_EQ(0, code);
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    EXPECT_TRUE(scratch.Exists("out.bmp"));
}

// A FIFO, a device or a directory where the input picture should be is
// refused at once by both readers, as a missing picture is. (A run that
// waited would be killed after a minute and fail here.)
TEST(LinuxProgramFaults, InputThatIsNotAFileIsRefusedWithoutWaiting) {
    ScratchDir scratch;
    ASSERT_EQ(0, ::mkfifo(scratch.file("fifo.bmp").c_str(), 0600));
    fs::create_directory(scratch.path() / "folder.bmp");
    for (const std::string input : {"fifo.bmp", "folder.bmp", "/dev/zero"}) {
        for (const bool screenDepth : {false, true}) {
            std::error_code error;
            fs::remove(scratch.path() / "paneloomerror.log", error);
            scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"" + input + "\"/>" +
                                              (screenDepth ? "<usescreendepth/>" : "") + "</globalsettings>");
            const testing::CommandResult run = testing::RunCommand({testing::ProgramPath()}, {}, scratch.path().string());
            EXPECT_EQ(screenDepth ? 2 : 3, run.code) << input;
            const std::string line =
                std::string(screenDepth ? " : Could not LoadBMPImage <" : " : Could not LoadImage <") + input + ">!\n\n";
            EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(line)) << input;
        }
    }
}

// Runs the program in `directory`, with no desktop in reach, where every
// flock fails with `error`: as on an NFS home folder, whose locks are
// byte-range locks that a read-only descriptor may not take (EBADF), or
// whose server has no lock manager (ENOLCK). The exit code; -2 when the
// system refuses the filter that makes the locks fail.
int RunWithFailingLocks(const std::string& directory, int error) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_flock, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    const std::string path = testing::ProgramPath();
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::chdir(directory.c_str()) != 0) ::_exit(120);
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) != 0) {
            ::_exit(121);
        }
        char* const argv[] = {const_cast<char*>("paneloom"), nullptr};
        char* const environment[] = {const_cast<char*>("PATH=/usr/bin:/bin"), nullptr};
        ::execve(path.c_str(), argv, environment);
        ::_exit(122);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status) == 121 ? -2 : WEXITSTATUS(status);
}

// A lock the file system cannot give is not a lock held by another process:
// the configuration is read without it. A lock that is held still counts as
// a failed open, and the run ends quietly as without a configuration.
TEST(LinuxProgramFaults, ConfigurationIsReadWhereTheFileSystemCannotLockIt) {
    struct Case {
        int error;
        bool read;
    };
    for (const Case c : {Case{EBADF, true}, Case{ENOLCK, true}, Case{EWOULDBLOCK, false}}) {
        SCOPED_TRACE(std::strerror(c.error));
        ScratchDir scratch;
        scratch.Write("paneloom.xml", Configuration("out.bmp"));
        const std::string picture = Picture(6, 4);
        scratch.Write("Paneloom.bmp", picture);
        const int code = RunWithFailingLocks(scratch.path().string(), c.error);
        if (code == -2) GTEST_SKIP() << "no system call filter can be installed here";
        EXPECT_EQ(0, code);
        EXPECT_EQ(c.read, scratch.Exists("out.bmp"));
        if (c.read) {
            EXPECT_TRUE(SamePicture(scratch.Read("out.bmp"), picture));
        }
        EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    }
}

}  // namespace
}  // namespace paneloom
