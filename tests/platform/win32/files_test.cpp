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

// The user this process runs as, for an access control entry.
std::vector<unsigned char> CurrentUser() {
    HANDLE token = nullptr;
    std::vector<unsigned char> user(512);
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const bool got = GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size);
    CloseHandle(token);
    if (!got) return {};
    return user;
}

// The bytes of a file's DACL as the system reports it; empty when it
// cannot be read.
std::string Dacl(const std::string& path) {
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<unsigned char> descriptor(needed + 1);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    ACL* acl = nullptr;
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed) ||
        !GetSecurityDescriptorDacl(descriptor.data(), &present, &acl, &defaulted) || !present || acl == nullptr) {
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(acl), acl->AclSize);
}

// A replaced file keeps what its owner set on it: its attributes, and its
// security descriptor (here a protected DACL that lets its owner alone in).
TEST(Win32Files, ReplacementKeepsTheAttributesAndSecurityOfTheFileItReplaces) {
    const std::vector<unsigned char> user = CurrentUser();
    ASSERT_FALSE(user.empty());
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    for (const DWORD attributes : {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}}) {
        SCOPED_TRACE(attributes);
        testing::ScratchDir scratch;
        scratch.Write("out.bmp", "previous");
        const std::string path = scratch.file("out.bmp");
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
        SECURITY_DESCRIPTOR descriptor;
        alignas(DWORD) unsigned char aclBytes[256];
        ACL* acl = reinterpret_cast<ACL*>(aclBytes);
        ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
        ASSERT_TRUE(InitializeAcl(acl, sizeof aclBytes, ACL_REVISION));
        ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid));
        ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE));
        ASSERT_TRUE(SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED));
        ASSERT_TRUE(SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor));

        const std::string secured = Dacl(path);
        ASSERT_FALSE(secured.empty());

        platform::Files& files = platform::RealImpl<platform::Files>();
        ASSERT_EQ(platform::ReplaceResult::Replaced, files.ReplaceWhole("out.bmp", Pieces({"new"})));
        EXPECT_EQ("new", scratch.Read("out.bmp"));
        EXPECT_EQ(std::vector<std::string>{"out.bmp"}, scratch.Names());
        EXPECT_EQ(attributes, GetFileAttributesA(path.c_str()) & ~DWORD{FILE_ATTRIBUTE_ARCHIVE});
        EXPECT_EQ(secured, Dacl(path));
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
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
