#include "platform/files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/fakes.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::Pieces;

TEST(Win32Files, FileHeldElsewhereCannotBeOpened) {
    testing::ScratchDir scratch;
    scratch.Write("f.txt", "data");
    platform::Files& files = platform::RealImpl<platform::Files>();
    {
        // Another holder, with a sharing mode that allows everything: the
        // program's own no-sharing open must still fail.
        HANDLE holder = CreateFileA(scratch.file("f.txt").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        std::string bytes = "untouched";
        EXPECT_FALSE(files.ReadWholeExclusive("f.txt", bytes));
        EXPECT_EQ("untouched", bytes);
        EXPECT_FALSE(files.AppendExclusive("f.txt", {"more", 4}));
        CloseHandle(holder);
    }
    EXPECT_TRUE(files.AppendExclusive("f.txt", {"more", 4}));
    std::string bytes;
    EXPECT_TRUE(files.ReadWholeExclusive("f.txt", bytes));
    EXPECT_EQ("datamore", bytes);
}

TEST(Win32Files, ReplacementWritesThePiecesAndLeavesNoTemporaryFile) {
    testing::ScratchDir scratch;
    scratch.Write("out.bmp", std::string(100, 'o'));
    platform::Files& files = platform::RealImpl<platform::Files>();
    ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole("out.bmp", Pieces({"head", "body"})));
    EXPECT_EQ("headbody", scratch.Read("out.bmp"));
    ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole(scratch.file("new.bmp"), Pieces({"new"})));
    EXPECT_EQ("new", scratch.Read("new.bmp"));
    EXPECT_EQ((std::vector<std::string>{"new.bmp", "out.bmp"}), scratch.Names());
}

TEST(Win32Files, FileThatCannotBeReplacedStaysAsItWas) {
    testing::ScratchDir scratch;
    scratch.Write("out.bmp", "previous");
    platform::Files& files = platform::RealImpl<platform::Files>();
    // Held open by another without leave to delete or rename it.
    HANDLE holder = CreateFileA(scratch.file("out.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(platform::ReplaceResult::NotWritable, files.ReplaceWhole("out.bmp", Pieces({"new"})));
    CloseHandle(holder);
    EXPECT_EQ("previous", scratch.Read("out.bmp"));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, scratch.Names());
    EXPECT_EQ(platform::ReplaceResult::NotWritable, files.ReplaceWhole("no-such-folder\\out.bmp", Pieces({"new"})));
    std::filesystem::create_directory(scratch.path() / "folder");
    EXPECT_EQ(platform::ReplaceResult::NotWritable, files.ReplaceWhole("folder", Pieces({"new"})));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "folder"));
}

TEST(Win32Files, ReadingIsSharedWithOtherReadersAndRefusesWhatIsNotAFile) {
    testing::ScratchDir scratch;
    scratch.Write("in.bmp", "picture bytes");
    platform::Files& files = platform::RealImpl<platform::Files>();
    // An image viewer that lets others read the picture too.
    HANDLE viewer = CreateFileA(scratch.file("in.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, viewer);
    const std::unique_ptr<platform::ReadableFile> file = files.OpenForReading("in.bmp");
    CloseHandle(viewer);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(13u, file->Size());
    char bytes[32] = {};
    EXPECT_EQ(13u, file->Read(bytes, sizeof bytes));
    EXPECT_EQ("picture bytes", std::string(bytes));
    EXPECT_EQ(nullptr, files.OpenForReading(scratch.path().string()));
    EXPECT_EQ(nullptr, files.OpenForReading("NUL"));
    EXPECT_EQ(nullptr, files.OpenForReading("missing.bmp"));
}

}  // namespace
}  // namespace paneloom
