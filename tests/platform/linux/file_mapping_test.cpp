// Private mappings of files: what they hold, and what becomes of them when
// their file shrinks or is written in place while they are mapped.
#include "platform/linux/file_mapping.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "support/scratch.h"

namespace paneloom::platform::lnx {
namespace {

using paneloom::testing::ScratchDir;

const std::size_t kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));

// Three pages and a bit, no byte of it zero.
std::string Pattern() {
    std::string bytes(3 * kPage + 100, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

// Maps the whole of `name` as the picture reader does: the descriptor is
// closed once the mapping is made.
bool MapFile(const ScratchDir& scratch, const std::string& name, std::size_t length, FileMapping& mapping) {
    const int fd = ::open(scratch.file(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool mapped = mapping.Map(fd, length);
    ::close(fd);
    return mapped;
}

std::string Held(const FileMapping& mapping) {
    return std::string(reinterpret_cast<const char*>(mapping.data()), mapping.size());
}

TEST(FileMapping, HoldsTheFileAndKeepsWhatIsWrittenToItself) {
    ScratchDir scratch;
    const std::string bytes = Pattern();
    scratch.Write("picture", bytes);
    FileMapping mapping;
    ASSERT_TRUE(MapFile(scratch, "picture", bytes.size(), mapping));
    EXPECT_EQ(bytes, Held(mapping));
    mapping.data()[kPage + 1] = '!';
    EXPECT_EQ('!', Held(mapping)[kPage + 1]);
    EXPECT_EQ(bytes, scratch.Read("picture"));
    EXPECT_FALSE(mapping.Lost());

    // Moved, it is the same mapping.
    FileMapping moved(std::move(mapping));
    EXPECT_FALSE(mapping.mapped());
    EXPECT_EQ('!', Held(moved)[kPage + 1]);
}

TEST(FileMapping, FileThatDoesNotHoldTheLengthIsNotMapped) {
    ScratchDir scratch;
    scratch.Write("short", Pattern());
    FileMapping mapping;
    EXPECT_FALSE(MapFile(scratch, "short", Pattern().size() + 1, mapping));
    EXPECT_FALSE(mapping.mapped());
    EXPECT_FALSE(MapFile(scratch, "short", 0, mapping));
}

TEST(FileMapping, PagesPastTheEndOfAShrunkenFileReadZerosAndTheMappingIsLost) {
    ScratchDir scratch;
    const std::string bytes = Pattern();
    scratch.Write("picture", bytes);
    FileMapping mapping;
    ASSERT_TRUE(MapFile(scratch, "picture", bytes.size(), mapping));
    mapping.data()[3] = '!';  // a page of its own, which the file cannot take back
    ASSERT_EQ(0, ::truncate(scratch.file("picture").c_str(), static_cast<off_t>(kPage + 10)));

    EXPECT_EQ(bytes[kPage + 9], static_cast<char>(mapping.data()[kPage + 9]));
    EXPECT_FALSE(mapping.Lost());
    EXPECT_EQ(0, mapping.data()[2 * kPage + 7]);  // past the end: zero, where SIGBUS would end the process
    EXPECT_TRUE(mapping.Lost());
    EXPECT_EQ(0, mapping.data()[3 * kPage + 50]);
    EXPECT_EQ('!', static_cast<char>(mapping.data()[3]));
}

TEST(FileMapping, FileAboutToBeWrittenInPlaceIsCopiedOutOfItsMappingsOnly) {
    ScratchDir scratch;
    const std::string bytes = Pattern();
    scratch.Write("picture", bytes);
    scratch.Write("other", bytes);
    FileMapping mapping;
    FileMapping other;
    ASSERT_TRUE(MapFile(scratch, "picture", bytes.size(), mapping));
    ASSERT_TRUE(MapFile(scratch, "other", bytes.size(), other));
    struct stat info {};
    ASSERT_EQ(0, ::stat(scratch.file("picture").c_str(), &info));
    DetachMappings(info.st_dev, info.st_ino);

    scratch.Write("picture", "new");
    EXPECT_EQ(bytes, Held(mapping));
    EXPECT_FALSE(mapping.Lost());

    // The other file's mapping still shows its file.
    const int fd = ::open(scratch.file("other").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(1, ::pwrite(fd, "#", 1, 5));
    ::close(fd);
    EXPECT_EQ('#', static_cast<char>(other.data()[5]));
}

TEST(FileMappingDeathTest, BusErrorsElsewhereStillEndTheProcess) {
    ScratchDir scratch;
    const std::string bytes = Pattern();
    scratch.Write("picture", bytes);
    scratch.Write("elsewhere", bytes);
    // Taken as they were before the mappings were made (here: by the
    // default action, or by the sanitizer's report).
    EXPECT_DEATH(
        {
            FileMapping mapping;
            if (!MapFile(scratch, "picture", bytes.size(), mapping)) ::_exit(1);
            const int fd = ::open(scratch.file("elsewhere").c_str(), O_RDONLY);
            auto* pages = static_cast<volatile char*>(::mmap(nullptr, bytes.size(), PROT_READ, MAP_SHARED, fd, 0));
            if (::ftruncate(::open(scratch.file("elsewhere").c_str(), O_WRONLY), 0) != 0) ::_exit(2);
            ::_exit(pages[2 * kPage]);
        },
        "");
}

}  // namespace
}  // namespace paneloom::platform::lnx
