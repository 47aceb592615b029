// Large bottom-up pictures on the Linux build, whose rows are the file's own
// pages mapped privately: written out byte for byte, never written back
// into the file they came from, and never written out once that file lost
// them.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/graphics.h"
#include "platform/text_output.h"
#include "render/bitmap_file.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::BmpParts;
using testing::MakeBmp;
using testing::PatternBmp;
using testing::ScratchDir;
using testing::Stride;

// Pictures with rows of 1 MiB and more are mapped.
constexpr std::int32_t kWidth = 1100;
constexpr std::int32_t kHeight = 1000;

class MappedPicture : public ::testing::Test {
protected:
    ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
};

TEST_F(MappedPicture, RowsAreWrittenOutAsTheyAreAndDrawingNeverReachesTheFile) {
    for (const std::uint16_t bpp : {8, 24, 32}) {
        SCOPED_TRACE(bpp);
        const BmpParts bmp = PatternBmp(kWidth, kHeight, bpp, bpp);
        const std::string file = MakeBmp(bmp);
        scratch.Write("in.bmp", file);
        platform::BitmapHandle bitmap = graphics.LoadBitmapFile("in.bmp");
        ASSERT_NE(nullptr, bitmap);
        ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
        const std::string out = scratch.Read("out.bmp");
        ASSERT_EQ(file.size(), out.size());
        EXPECT_TRUE(out.substr(out.size() - bmp.bits.size()) == bmp.bits);

        // Text drawn at the top is written out, and the file stays as it was.
        platform::TextOutput& text = platform::Get<platform::TextOutput>();
        platform::DcHandle dc = graphics.CreateScreenCompatibleDC();
        graphics.SelectBitmap(dc, bitmap);
        text.SetBackgroundMode(dc, platform::BackgroundMode::kOpaque);
        text.SetBackgroundColor(dc, 0x123456);
        ASSERT_TRUE(text.WriteString(dc, 0, 0, "Paneloom"));
        graphics.DeleteDC(dc);
        ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
        graphics.DeleteBitmap(bitmap);
        EXPECT_TRUE(scratch.Read("in.bmp") == file);
        const std::string drawn = scratch.Read("out.bmp");
        ASSERT_EQ(file.size(), drawn.size());
        // The bottom half of the picture comes first, untouched.
        const std::string rows = drawn.substr(drawn.size() - bmp.bits.size());
        const std::size_t half = bmp.bits.size() / 2;
        EXPECT_TRUE(rows.substr(0, half) == bmp.bits.substr(0, half));
        EXPECT_FALSE(rows.substr(half) == bmp.bits.substr(half));
    }
}

TEST_F(MappedPicture, PictureFileShrinkingUnderTheBitmapIsNeverWrittenOut) {
    const BmpParts bmp = PatternBmp(kWidth, kHeight, 24);
    const std::string file = MakeBmp(bmp);
    scratch.Write("out.bmp", "the previous picture");

    // Its rows taken away before they are written: the write fails, and the
    // previous file stays.
    scratch.Write("in.bmp", file);
    platform::BitmapHandle bitmap = graphics.LoadBitmapFile("in.bmp");
    ASSERT_NE(nullptr, bitmap);
    ASSERT_EQ(0, ::truncate(scratch.file("in.bmp").c_str(), 1000));
    EXPECT_THROW(WriteBMPImage("out.bmp", bitmap, nullptr), platform::FileError);
    graphics.DeleteBitmap(bitmap);
    EXPECT_EQ("the previous picture", scratch.Read("out.bmp"));

    // Found lost while it is drawn on: it cannot be described, and nothing
    // is written.
    scratch.Write("in.bmp", file);
    bitmap = graphics.LoadBitmapFile("in.bmp");
    ASSERT_NE(nullptr, bitmap);
    ASSERT_EQ(0, ::truncate(scratch.file("in.bmp").c_str(), 1000));
    platform::DcHandle screen = graphics.GetScreenDC();
    std::vector<std::uint8_t> info(40, 0);
    const std::string header = testing::MakeDibInfo(bmp);
    std::copy(header.begin(), header.begin() + 40, info.begin());
    std::vector<std::uint8_t> line(Stride(kWidth, 24));
    graphics.GetDeviceIndependentBits(screen, bitmap, kHeight - 1, 1, line.data(), line.size(), info.data(),
                                      info.size());
    graphics.ReleaseScreenDC(screen);
    platform::BitmapRecord record;
    EXPECT_FALSE(graphics.GetBitmapRecord(bitmap, record));
    EXPECT_FALSE(WriteBMPImage("out.bmp", bitmap, nullptr));
    graphics.DeleteBitmap(bitmap);
    EXPECT_EQ("the previous picture", scratch.Read("out.bmp"));
    EXPECT_EQ((std::vector<std::string>{"in.bmp", "out.bmp"}), scratch.Names());
}

// A folder whose entries cannot change: no new file can be made in it, so a
// file there is written in place.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY)) {
        int flags = 0;
        set_ = fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0 &&
               (flags |= FS_IMMUTABLE_FL, ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0);
    }
    ~ImmutableFolder() {
        int flags = 0;
        if (set_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
        }
        if (fd_ >= 0) ::close(fd_);
    }
    bool set() const { return set_; }

private:
    int fd_;
    bool set_ = false;
};

TEST_F(MappedPicture, PictureWrittenOverItselfInPlaceKeepsItsRows) {
    const BmpParts bmp = PatternBmp(kWidth, kHeight, 24);
    const std::string file = MakeBmp(bmp);
    std::filesystem::create_directory(scratch.path() / "fixed");
    scratch.Write("fixed/wall.bmp", file);
    platform::BitmapHandle bitmap = graphics.LoadBitmapFile("fixed/wall.bmp");
    ASSERT_NE(nullptr, bitmap);
    {
        ImmutableFolder fixed(scratch.path() / "fixed");
        if (!fixed.set()) {
            graphics.DeleteBitmap(bitmap);
            GTEST_SKIP() << "no immutable folders here (not root, or the file system has none)";
        }
        EXPECT_TRUE(WriteBMPImage("fixed/wall.bmp", bitmap, nullptr));
    }
    graphics.DeleteBitmap(bitmap);
    EXPECT_EQ(std::vector<std::string>{"wall.bmp"}, scratch.Names("fixed"));
    const std::string out = scratch.Read("fixed/wall.bmp");
    ASSERT_EQ(file.size(), out.size());
    EXPECT_TRUE(out.substr(out.size() - bmp.bits.size()) == bmp.bits);
}

}  // namespace
}  // namespace paneloom
