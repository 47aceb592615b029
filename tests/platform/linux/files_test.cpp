#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::Pieces;

// Another holder of the file: an exclusive lock on a separate open.
class Holder {
public:
    explicit Holder(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {
        if (fd_ >= 0) locked_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~Holder() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

TEST(LinuxFiles, FileHeldElsewhereCannotBeOpened) {
    testing::ScratchDir scratch;
    scratch.Write("f.txt", "data");
    platform::Files& files = platform::RealImpl<platform::Files>();
    {
        Holder holder(scratch.file("f.txt"));
        ASSERT_TRUE(holder.locked());
        std::string bytes = "untouched";
        EXPECT_FALSE(files.ReadWholeExclusive("f.txt", bytes));
        EXPECT_EQ("untouched", bytes);
        EXPECT_FALSE(files.AppendExclusive("f.txt", {"more", 4}));
    }
    EXPECT_EQ("data", scratch.Read("f.txt"));
    EXPECT_TRUE(files.AppendExclusive("f.txt", {"more", 4}));
    std::string bytes;
    EXPECT_TRUE(files.ReadWholeExclusive("f.txt", bytes));
    EXPECT_EQ("datamore", bytes);
}

// A replaced file keeps its permissions, and its group where this process
// may give it (root may give any); a new file gets the usual mode.
TEST(LinuxFiles, ReplacementWritesThePiecesInOrderAndKeepsThePermissions) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* name;
        bool existing;
        mode_t mode;  // of the file there before
        gid_t group;  // of the file there before, where root may set it
        mode_t kept;
    };
    const Case cases[] = {
        {"new file", false, 0, 0, 0666 & ~mask},
        {"private picture", true, 0600, 0, 0600},
        {"shared with the group", true, 0640, 4242, 0640},
        {"readable by all", true, 0644, 0, 0644},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScratchDir scratch;
        if (c.existing) {
            scratch.Write("out.bmp", std::string(100, 'o'));
            ASSERT_EQ(0, ::chmod(scratch.file("out.bmp").c_str(), c.mode));
            if (root) {
                ASSERT_EQ(0, ::chown(scratch.file("out.bmp").c_str(), static_cast<uid_t>(-1), c.group));
            }
        }
        struct stat before {};
        ::stat(scratch.file("out.bmp").c_str(), &before);
        platform::Files& files = platform::RealImpl<platform::Files>();
        ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole("out.bmp", Pieces({"head", "body"})));
        EXPECT_EQ("headbody", scratch.Read("out.bmp"));
        EXPECT_EQ(std::vector<std::string>{"out.bmp"}, scratch.Names());
        struct stat info {};
        ASSERT_EQ(0, ::stat(scratch.file("out.bmp").c_str(), &info));
        EXPECT_EQ(c.kept, info.st_mode & 0777);
        if (c.existing) {
            EXPECT_EQ(before.st_gid, info.st_gid);
        }
    }
}

// A file-size limit makes writes fail the way a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(LinuxFiles, FailedReplacementKeepsThePreviousFileAndLeavesNothingBehind) {
    testing::ScratchDir scratch;
    scratch.Write("out.bmp", "the previous good picture");
    platform::Files& files = platform::RealImpl<platform::Files>();
    const std::string big(4096, 'x');
    {
        FileSizeLimit limit(1000);
        EXPECT_THROW(files.ReplaceWhole("out.bmp", Pieces({"BM", big})), platform::FileError);
    }
    EXPECT_EQ("the previous good picture", scratch.Read("out.bmp"));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, scratch.Names());

    // A filler that gives up changes nothing either.
    EXPECT_EQ(platform::ReplaceResult::GivenUp, files.ReplaceWhole("out.bmp", [](platform::FileSink& sink) {
                  sink.Write("BM", 2);
                  return false;
              }));
    EXPECT_EQ("the previous good picture", scratch.Read("out.bmp"));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, scratch.Names());
}

TEST(LinuxFiles, OwnLinkStaysALinkAndTheFileItLeadsToIsReplaced) {
    testing::ScratchDir scratch;
    std::filesystem::create_directories(scratch.path() / "pictures" / "real");
    scratch.Write("pictures/real/wall.bmp", "the previous picture");
    // A chain of two relative links, each resolved from its own folder.
    std::filesystem::create_symlink("real/wall.bmp", scratch.path() / "pictures" / "current.bmp");
    std::filesystem::create_symlink("pictures/current.bmp", scratch.path() / "out.bmp");

    platform::Files& files = platform::RealImpl<platform::Files>();
    ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole("out.bmp", Pieces({"new ", "picture"})));
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / "out.bmp"));
    EXPECT_EQ("pictures/current.bmp", std::filesystem::read_symlink(scratch.path() / "out.bmp").string());
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / "pictures" / "current.bmp"));
    EXPECT_EQ("new picture", scratch.Read("pictures/real/wall.bmp"));
    EXPECT_EQ(std::vector<std::string>{"wall.bmp"}, scratch.Names("pictures/real"));

    // A link to a file that is not there yet makes it.
    std::filesystem::create_symlink("pictures/real/later.bmp", scratch.path() / "later.bmp");
    ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole("later.bmp", Pieces({"made"})));
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / "later.bmp"));
    EXPECT_EQ("made", scratch.Read("pictures/real/later.bmp"));
}

// As root: a folder like /tmp (world-writable, sticky) holding a link that
// another user planted there, towards a file of root's.
TEST(LinuxFiles, LinkPlantedByAnotherUserInASharedStickyFolderIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "a link of another user's can only be made by root";
    testing::ScratchDir scratch;
    const std::filesystem::path shared = scratch.path() / "shared";
    std::filesystem::create_directory(shared);
    ASSERT_EQ(0, ::chmod(shared.c_str(), 01777));
    scratch.Write("precious.txt", "root's own file");
    const std::filesystem::path link = shared / "PaneloomInfo.bmp";
    std::filesystem::create_symlink(scratch.path() / "precious.txt", link);
    ASSERT_EQ(0, ::lchown(link.c_str(), 65534, 65534));

    platform::Files& files = platform::RealImpl<platform::Files>();
    ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole(link.string(), Pieces({"picture"})));
    EXPECT_EQ("root's own file", scratch.Read("precious.txt"));
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ("picture", scratch.Read("shared/PaneloomInfo.bmp"));

    // The same link in a folder that its owner owns is that owner's to aim:
    // the kernel follows it, and so does the program.
    std::filesystem::remove(link);
    std::filesystem::create_symlink(scratch.path() / "precious.txt", link);
    ASSERT_EQ(0, ::lchown(link.c_str(), 65534, 65534));
    ASSERT_EQ(0, ::chown(shared.c_str(), 65534, 65534));
    ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole(link.string(), Pieces({"followed"})));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ("followed", scratch.Read("precious.txt"));
}

TEST(LinuxFiles, NothingButAFileOrALinkIsReplacedOrWritten) {
    testing::ScratchDir scratch;
    platform::Files& files = platform::RealImpl<platform::Files>();
    std::filesystem::create_directory(scratch.path() / "folder");
    EXPECT_EQ(platform::ReplaceResult::NotWritable, files.ReplaceWhole("folder", Pieces({"x"})));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "folder"));
    // A FIFO is neither waited on nor replaced.
    ASSERT_EQ(0, ::mkfifo(scratch.file("fifo").c_str(), 0600));
    EXPECT_EQ(platform::ReplaceResult::NotWritable, files.ReplaceWhole("fifo", Pieces({"x"})));
    EXPECT_TRUE(std::filesystem::is_fifo(scratch.path() / "fifo"));
    std::filesystem::create_symlink("/dev/null", scratch.path() / "device");
    EXPECT_EQ(platform::ReplaceResult::NotWritable, files.ReplaceWhole("device", Pieces({"x"})));
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / "device"));
    EXPECT_EQ(platform::ReplaceResult::NotWritable, files.ReplaceWhole("missing-folder/out.bmp", Pieces({"x"})));
    EXPECT_EQ((std::vector<std::string>{"device", "fifo", "folder"}), scratch.Names());
}

TEST(LinuxFiles, ReadingIsSharedAndRefusesWhatIsNotAFile) {
    testing::ScratchDir scratch;
    scratch.Write("in.bmp", "picture bytes");
    platform::Files& files = platform::RealImpl<platform::Files>();
    {
        Holder holder(scratch.file("in.bmp"));
        ASSERT_TRUE(holder.locked());
        const std::unique_ptr<platform::ReadableFile> file = files.OpenForReading("in.bmp");
        ASSERT_NE(nullptr, file);
        EXPECT_EQ(13u, file->Size());
        char bytes[32] = {};
        EXPECT_EQ(7u, file->Read(bytes, 7));
        EXPECT_EQ(6u, file->Read(bytes + 7, sizeof bytes - 7));
        EXPECT_EQ("picture bytes", std::string(bytes));
        EXPECT_EQ(0u, file->Read(bytes, sizeof bytes));
    }
    // None of these may make the open wait: a FIFO without a writer, a
    // device, a folder.
    ASSERT_EQ(0, ::mkfifo(scratch.file("fifo.bmp").c_str(), 0600));
    EXPECT_EQ(nullptr, files.OpenForReading("fifo.bmp"));
    EXPECT_EQ(nullptr, files.OpenForReading("/dev/zero"));
    EXPECT_EQ(nullptr, files.OpenForReading(scratch.path().string()));
    EXPECT_EQ(nullptr, files.OpenForReading("missing.bmp"));
}

}  // namespace
}  // namespace paneloom
