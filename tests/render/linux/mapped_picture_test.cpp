// Large bottom-up pictures on the Linux build, whose rows are the file's own
// pages mapped privately: written out byte for byte, never written back
// into their file, and never written out once their file lost them.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

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
using testing::PatternBmp;

// Pictures with rows of 1 MiB and more are mapped.
constexpr std::int32_t kWidth = 1100;
constexpr std::int32_t kHeight = 1000;

class MappedPicture : public ::testing::Test {
protected:
    // The rows of the picture written to `name`.
    std::string WrittenRows(const std::string& name, const BmpParts& bmp) {
        const std::string out = scratch.Read(name);
        return out.size() < bmp.bits.size() ? std::string() : out.substr(out.size() - bmp.bits.size());
    }

    testing::ScratchDir scratch;
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
};

TEST_F(MappedPicture, RowsAreWrittenOutAsTheyAreAndDrawingNeverReachesTheFile) {
    platform::TextOutput& text = platform::Get<platform::TextOutput>();
    for (const std::uint16_t bpp : {8, 24, 32}) {
        SCOPED_TRACE(bpp);
        const BmpParts bmp = PatternBmp(kWidth, kHeight, bpp, bpp);
        const std::string file = testing::MakeBmp(bmp);
        scratch.Write("in.bmp", file);
        platform::BitmapHandle bitmap = graphics.LoadBitmapFile("in.bmp");
        ASSERT_NE(nullptr, bitmap);
        ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
        EXPECT_TRUE(WrittenRows("out.bmp", bmp) == bmp.bits);

        // A text cell at the top lies at the file's end; the bottom half
        // comes first, untouched.
        platform::DcHandle dc = graphics.CreateScreenCompatibleDC();
        graphics.SelectBitmap(dc, bitmap);
        text.SetBackgroundMode(dc, platform::BackgroundMode::kOpaque);
        ASSERT_TRUE(text.WriteString(dc, 0, 0, "Paneloom"));
        graphics.DeleteDC(dc);
        ASSERT_TRUE(WriteBMPImage("out.bmp", bitmap, nullptr));
        graphics.DeleteBitmap(bitmap);
        const std::string rows = WrittenRows("out.bmp", bmp);
        const std::size_t half = bmp.bits.size() / 2;
        EXPECT_TRUE(rows.substr(0, half) == bmp.bits.substr(0, half));
        EXPECT_FALSE(rows.substr(half) == bmp.bits.substr(half));
        EXPECT_TRUE(scratch.Read("in.bmp") == file);
    }
}

TEST_F(MappedPicture, PictureFileShrinkingUnderTheBitmapIsNeverWrittenOut) {
    const BmpParts bmp = PatternBmp(kWidth, kHeight, 24);
    scratch.Write("out.bmp", "the previous picture");
    std::vector<std::uint8_t> info(40);
    const std::string header = testing::MakeDibInfo(bmp);
    std::copy(header.begin(), header.begin() + 40, info.begin());
    std::vector<std::uint8_t> line(testing::Stride(kWidth, 24));

    // Lost while it is drawn on (a line of it read here): it can no longer
    // be described, and nothing is written. Lost only as it is written: the
    // write fails.
    for (const bool touched : {true, false}) {
        SCOPED_TRACE(touched);
        scratch.Write("in.bmp", testing::MakeBmp(bmp));
        platform::BitmapHandle bitmap = graphics.LoadBitmapFile("in.bmp");
        ASSERT_NE(nullptr, bitmap);
        ASSERT_EQ(0, ::truncate(scratch.file("in.bmp").c_str(), 1000));
        if (touched) {
            platform::DcHandle screen = graphics.GetScreenDC();
            graphics.GetDeviceIndependentBits(screen, bitmap, kHeight - 1, 1, line.data(), line.size(), info.data(),
                                              info.size());
            graphics.ReleaseScreenDC(screen);
            platform::BitmapRecord record;
            EXPECT_FALSE(graphics.GetBitmapRecord(bitmap, record));
            EXPECT_FALSE(WriteBMPImage("out.bmp", bitmap, nullptr));
        } else {
            EXPECT_THROW(WriteBMPImage("out.bmp", bitmap, nullptr), platform::FileError);
        }
        graphics.DeleteBitmap(bitmap);
        EXPECT_EQ("the previous picture", scratch.Read("out.bmp"));
        EXPECT_EQ((std::vector<std::string>{"in.bmp", "out.bmp"}), scratch.Names());
    }
}

// As root, where the file system has the flag: a folder whose entries
// cannot change, so that a file in it is written in place.
TEST_F(MappedPicture, PictureWrittenOverItselfInPlaceKeepsItsRows) {
    const BmpParts bmp = PatternBmp(kWidth, kHeight, 24);
    std::filesystem::create_directory(scratch.path() / "fixed");
    scratch.Write("fixed/wall.bmp", testing::MakeBmp(bmp));
    platform::BitmapHandle bitmap = graphics.LoadBitmapFile("fixed/wall.bmp");
    ASSERT_NE(nullptr, bitmap);

    const int folder = ::open(scratch.file("fixed").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    const bool fixed = ::ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 &&
                       (flags |= FS_IMMUTABLE_FL, ::ioctl(folder, FS_IOC_SETFLAGS, &flags) == 0);
    bool written = false;
    if (fixed) {
        try {
            written = WriteBMPImage("fixed/wall.bmp", bitmap, nullptr);
        } catch (const platform::FileError&) {
        }
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(folder, FS_IOC_SETFLAGS, &flags);
    }
    ::close(folder);
    graphics.DeleteBitmap(bitmap);
    if (!fixed) GTEST_SKIP() << "no folder here can be made immutable (not root, or no such flag)";
    EXPECT_TRUE(written);
    EXPECT_EQ(std::vector<std::string>{"wall.bmp"}, scratch.Names("fixed"));
    EXPECT_TRUE(WrittenRows("fixed/wall.bmp", bmp) == bmp.bits);
}

}  // namespace
}  // namespace paneloom
