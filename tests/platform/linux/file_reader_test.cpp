// The Linux layer's bounded reader of whole files.
#include "platform/linux/files/file_reader.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace paneloom::platform::lnx {
namespace {

TEST(FileReader, ProcFilesThatShowNoSizeAreReadToTheirEnd) {
    struct stat info {};
    ASSERT_EQ(0, ::stat("/proc/self/mounts", &info));
    ASSERT_EQ(0, info.st_size);
    std::ifstream in("/proc/self/mounts", std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(expected.empty());

    std::string text;
    ASSERT_TRUE(ReadBoundedFile("/proc/self/mounts", 1u << 20, text));
    EXPECT_EQ(expected, text);
}

TEST(FileReader, AFileOverItsBoundKeepsTheChosenEnd) {
    testing::ScratchDir scratch;
    std::string content;
    for (int i = 0; i < 3000; ++i) content += static_cast<char>('a' + i % 26);
    content += std::string(5000, '-') + "end";
    scratch.Write("big.txt", content);

    std::string text;
    EXPECT_TRUE(ReadBoundedFile(scratch.file("big.txt"), 4100, text));
    EXPECT_EQ(content.substr(0, 4100), text);
    EXPECT_TRUE(ReadBoundedFile(scratch.file("big.txt"), 4100, text, KeepEnd::Tail));
    EXPECT_EQ(content.substr(content.size() - 4100), text);
    EXPECT_TRUE(ReadBoundedFile(scratch.file("big.txt"), content.size() + 1, text));
    EXPECT_EQ(content, text);
}

TEST(FileReader, OnlyRegularFilesAreRead) {
    testing::ScratchDir scratch;
    ASSERT_EQ(0, ::mkfifo(scratch.file("fifo").c_str(), 0600));  // no writer: an open read would wait
    std::string text = "stale";
    EXPECT_FALSE(ReadBoundedFile(scratch.file("fifo"), 100, text));
    EXPECT_EQ("", text);
    EXPECT_FALSE(ReadBoundedFile(scratch.path().string(), 100, text));
    EXPECT_FALSE(ReadBoundedFile(scratch.file("missing"), 100, text));
    EXPECT_FALSE(ReadBoundedFile("/dev/zero", 100, text));  // a device has no end
    EXPECT_EQ("", text);
}

}  // namespace
}  // namespace paneloom::platform::lnx
