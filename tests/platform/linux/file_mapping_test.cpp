// Private mappings of files: what they hold, what becomes of them when their
// file is about to be written in place, and bus errors outside them. A file
// that shrinks under its mapping is tested through the pictures mapped
// from it (render/linux/mapped_picture_test.cpp).
#include "platform/linux/files/file_mapping.h"

#include <fcntl.h>
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

TEST(FileMapping, MapsOnlyAFileThatHoldsTheLength) {
    ScratchDir scratch;
    const std::string bytes = Pattern();
    scratch.Write("picture", bytes);
    FileMapping mapping;
    EXPECT_FALSE(MapFile(scratch, "picture", bytes.size() + 1, mapping));
    EXPECT_FALSE(MapFile(scratch, "picture", 0, mapping));
    EXPECT_FALSE(mapping.mapped());
    ASSERT_TRUE(MapFile(scratch, "picture", bytes.size(), mapping));
    EXPECT_EQ(bytes, Held(mapping));
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
