#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace paneloom {
namespace {

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

std::vector<std::string> Names(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(LinuxFiles, ReplacementWritesThePiecesInOrderWithTheUsualMode) {
    testing::ScratchDir scratch;
    scratch.Write("out.bmp", std::string(100, 'o'));
    ::chmod(scratch.file("out.bmp").c_str(), 0600);
    platform::Files& files = platform::RealImpl<platform::Files>();
    const std::string head = "head";
    const std::string body = "body";
    ASSERT_TRUE(files.ReplaceAtomically("out.bmp", {{head.data(), head.size()}, {body.data(), body.size()}}));
    EXPECT_EQ("headbody", scratch.Read("out.bmp"));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, Names(scratch.path()));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(0, ::stat(scratch.file("out.bmp").c_str(), &info));
    EXPECT_EQ(0666 & ~mask, info.st_mode & 0777);
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
        EXPECT_THROW(files.ReplaceAtomically("out.bmp", {{"BM", 2}, {big.data(), big.size()}}), platform::FileError);
    }
    EXPECT_EQ("the previous good picture", scratch.Read("out.bmp"));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, Names(scratch.path()));
}

}  // namespace
}  // namespace paneloom
