// Whole runs of the program, on both builds, with input pictures in other
// formats than .bmp: what the user sees is the same text on the same
// picture, and a damaged or hostile picture ends the run on the exit code
// and log line of the path that loaded it.
#include <gtest/gtest.h>

#include <string>

#include "e2e/drawn_text.h"
#include "e2e/program_runner.h"
#include "support/bmp_maker.h"
#include "support/picture_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::ScratchDir;

int RunProgram(const ScratchDir& scratch) {
#ifdef _WIN32
    return testing::RunWithCommandLine("\"" + testing::ProgramPath() + "\"", scratch.path().string());
#else
    return testing::RunWithArguments({testing::ProgramPath()}, scratch.path().string());
#endif
}

// kLinesConfiguration, with the input named `input` and, when asked, read
// at the screen's depth.
std::string LinesConfiguration(const std::string& input, bool screenDepth) {
    std::string configuration = testing::kLinesConfiguration;
    const std::string from = "<inputbmp name=\"plain.bmp\"/>";
    configuration.replace(configuration.find(from), from.size(),
                          "<inputbmp name=\"" + input + "\"/>" + (screenDepth ? "<usescreendepth/>" : ""));
    return configuration;
}

// The output of one run over `bytes` stored as `name`.
std::string DrawnOver(const std::string& name, const std::string& bytes, bool screenDepth) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", LinesConfiguration(name, screenDepth));
    scratch.Write(name, bytes);
    EXPECT_EQ(0, RunProgram(scratch)) << name;
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
    return scratch.Exists("drawn.bmp") ? scratch.Read("drawn.bmp") : std::string();
}

TEST(PictureInput, APngOrAJpegOfTheBmpsPixelsDrawsWhatTheBmpDraws) {
    const testing::ColourGrid grid = testing::PatternGrid(testing::kLinesWidth, testing::kLinesHeight);
    for (bool screenDepth : {false, true}) {
        SCOPED_TRACE(screenDepth ? "screen depth" : "platform loader");
        const std::string fromBmp = DrawnOver("plain.bmp", testing::GridAsBmp(grid), screenDepth);
        ASSERT_FALSE(fromBmp.empty());
        // Lossless, and named as a bitmap: the very same file.
        EXPECT_EQ(fromBmp, DrawnOver("plain.bmp", testing::GridAsPng(grid, {2, 8}), screenDepth));
        // Lossy, and with no extension at all, as Windows keeps the
        // wallpaper it shows: the same cells in the same places.
        const std::string fromJpeg = DrawnOver("TranscodedWallpaper", testing::GridAsJpeg(grid), screenDepth);
        testing::Picture bmp;
        testing::Picture jpeg;
        ASSERT_TRUE(testing::ReadPicture(fromBmp, bmp));
        ASSERT_TRUE(testing::ReadPicture(fromJpeg, jpeg));
        for (std::uint32_t cell : {0xFF0000u, 0x00FF00u, 0x0000FFu, 0x00FFFFu}) {
            ASSERT_NE(-1, testing::FirstRowWith(bmp, cell)) << cell;
            EXPECT_EQ(testing::FirstRowWith(bmp, cell), testing::FirstRowWith(jpeg, cell)) << cell;
            EXPECT_EQ(testing::FirstColumnWith(bmp, cell), testing::FirstColumnWith(jpeg, cell)) << cell;
            EXPECT_EQ(testing::LastColumnWith(bmp, cell), testing::LastColumnWith(jpeg, cell)) << cell;
        }
    }
}

TEST(PictureInput, DamagedAndGiantPicturesEndOnTheirPathsExitCodeAndLogLine) {
    const testing::ColourGrid grid = testing::PatternGrid(64, 48);
    const std::string png = testing::GridAsPng(grid, {2, 8});
    const std::string jpeg = testing::GridAsJpeg(grid);
    const std::string webp = testing::GridAsWebp(grid);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"cut.png", png.substr(0, png.size() / 2)},
        {"cut.jpg", jpeg.substr(0, jpeg.size() / 2)},
        {"cut.webp", webp.substr(0, webp.size() / 2)},
        {"giant.png", testing::GiantPngHeader(100000, 100000)},
        {"giant.jpg", testing::GiantJpegHeader(65500, 65500)},
    };
    for (const auto& c : cases) {
        if (c.bytes.size() < 8) continue;  // WebP: no encoder in this build
        for (bool screenDepth : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (screenDepth ? " at screen depth" : ""));
            ScratchDir scratch;
            scratch.Write("paneloom.xml", LinesConfiguration(c.name, screenDepth));
            scratch.Write(c.name, c.bytes);
            EXPECT_EQ(screenDepth ? 2 : 3, RunProgram(scratch));
            const std::string line = std::string(screenDepth ? "Could not LoadBMPImage <" : "Could not LoadImage <") +
                                     c.name + ">!\n";
            ASSERT_TRUE(scratch.Exists("paneloomerror.log"));
            EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(line));
            EXPECT_FALSE(scratch.Exists("drawn.bmp"));
        }
    }
}

// Wine's LoadImageA reads wherever a file's header points: such a file is
// refused before it is handed over, as a careful loader refuses it.
TEST(PictureInput, ABmpWhoseBitsLieBeyondItsEndEndsOnExitThree) {
    testing::BmpParts farOffset = testing::PatternBmp(8, 8, 8);
    farOffset.offBits = 15138878;
    testing::BmpParts tooTall = testing::PatternBmp(37, 2, 1);
    tooTall.height = 31511;  // the bits of two rows, the header of 31,511
    testing::BmpParts coreTooTall = tooTall;
    coreTooTall.headerSize = 12;
    coreTooTall.table = std::string("\0\0\0\xFF\xFF\xFF", 6);
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"offset.bmp", testing::MakeBmp(farOffset)},
        {"tall.bmp", testing::MakeBmp(tooTall)},
        {"core.bmp", testing::MakeBmp(coreTooTall)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        scratch.Write("paneloom.xml", LinesConfiguration(c.name, false));
        scratch.Write(c.name, c.bytes);
        EXPECT_EQ(3, RunProgram(scratch));
        ASSERT_TRUE(scratch.Exists("paneloomerror.log"));
        EXPECT_NE(std::string::npos,
                  scratch.Read("paneloomerror.log").find(std::string("Could not LoadImage <") + c.name + ">!\n"));
    }
}

}  // namespace
}  // namespace paneloom
