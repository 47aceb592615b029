#include "platform/files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/scratch.h"

namespace paneloom {
namespace {

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

std::vector<std::string> Names(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(Win32Files, ReplacementWritesThePiecesAndLeavesNoTemporaryFile) {
    testing::ScratchDir scratch;
    scratch.Write("out.bmp", std::string(100, 'o'));
    platform::Files& files = platform::RealImpl<platform::Files>();
    ASSERT_TRUE(files.ReplaceAtomically("out.bmp", {{"head", 4}, {"body", 4}}));
    EXPECT_EQ("headbody", scratch.Read("out.bmp"));
    ASSERT_TRUE(files.ReplaceAtomically(scratch.file("new.bmp"), {{"new", 3}}));
    EXPECT_EQ("new", scratch.Read("new.bmp"));
    std::vector<std::string> names = Names(scratch.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"new.bmp", "out.bmp"}), names);
}

TEST(Win32Files, FileThatCannotBeReplacedStaysAsItWas) {
    testing::ScratchDir scratch;
    scratch.Write("out.bmp", "previous");
    platform::Files& files = platform::RealImpl<platform::Files>();
    // Held open by another without leave to delete or rename it.
    HANDLE holder = CreateFileA(scratch.file("out.bmp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_FALSE(files.ReplaceAtomically("out.bmp", {{"new", 3}}));
    CloseHandle(holder);
    EXPECT_EQ("previous", scratch.Read("out.bmp"));
    EXPECT_EQ(std::vector<std::string>{"out.bmp"}, Names(scratch.path()));
    EXPECT_FALSE(files.ReplaceAtomically("no-such-folder\\out.bmp", {{"new", 3}}));
}

}  // namespace
}  // namespace paneloom
