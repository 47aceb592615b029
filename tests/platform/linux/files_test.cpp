#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
        EXPECT_FALSE(files.AppendExclusive("f.txt", "more"));
    }
    EXPECT_EQ("data", scratch.Read("f.txt"));
    EXPECT_TRUE(files.AppendExclusive("f.txt", "more"));
    std::string bytes;
    EXPECT_TRUE(files.ReadWholeExclusive("f.txt", bytes));
    EXPECT_EQ("datamore", bytes);
}

}  // namespace
}  // namespace paneloom
