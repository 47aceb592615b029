#include "platform/files.h"

#include <windows.h>

#include <gtest/gtest.h>

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
        EXPECT_FALSE(files.AppendExclusive("f.txt", "more"));
        CloseHandle(holder);
    }
    EXPECT_TRUE(files.AppendExclusive("f.txt", "more"));
    std::string bytes;
    EXPECT_TRUE(files.ReadWholeExclusive("f.txt", bytes));
    EXPECT_EQ("datamore", bytes);
}

}  // namespace
}  // namespace paneloom
