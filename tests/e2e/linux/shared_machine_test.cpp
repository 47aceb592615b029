// The real Linux program on a machine shared by several users: run as one
// user among files that another user planted, it writes nothing of theirs
// and runs nothing of theirs. Root makes the other user's files and runs
// the program as an ordinary user (setpriv), as the attack would go.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/program_runner.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

namespace fs = std::filesystem;

// The user who runs the program, and the one who plants files for it. The
// second needs no account: root hands files to any number.
constexpr uid_t kVictim = 65534;
constexpr uid_t kOther = 4242;

class SharedMachine : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "only root can make another user's files and run as a third";
        fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        // The build tree may lie where the running user cannot reach it.
        fs::create_directory(scratch.path() / "bin");
        program = (scratch.path() / "bin" / "paneloom").string();
        fs::copy_file(testing::ProgramPath(), program);
        // The victim's own folder, and a shared one like /tmp.
        MakeFolder("home", kVictim, 0755);
        MakeFolder("shared", 0, 01777);
    }

    void MakeFolder(const std::string& name, uid_t owner, mode_t mode) const {
        fs::create_directories(scratch.path() / name);
        Own(name, owner, mode);
    }

    // A file of `owner`'s with `mode`.
    void Plant(const std::string& name, const std::string& bytes, uid_t owner, mode_t mode) const {
        scratch.Write(name, bytes);
        Own(name, owner, mode);
    }

    // A symbolic link of `owner`'s.
    void PlantLink(const std::string& name, const fs::path& target, uid_t owner) const {
        fs::create_symlink(target, scratch.path() / name);
        EXPECT_EQ(0, ::lchown(scratch.file(name).c_str(), owner, owner)) << name;
    }

    void Own(const std::string& name, uid_t owner, mode_t mode) const {
        EXPECT_EQ(0, ::chown(scratch.file(name).c_str(), owner, owner)) << name;
        EXPECT_EQ(0, ::chmod(scratch.file(name).c_str(), mode)) << name;
    }

    // The program run by the victim in the scratch folder `folder`, with
    // these variables only.
    testing::CommandResult RunAsVictim(const std::string& folder, std::vector<std::string> environment) const {
        environment.push_back("HOME=" + scratch.file("home"));
        return testing::RunCommand({"setpriv", "--reuid=" + std::to_string(kVictim),
                                    "--regid=" + std::to_string(kVictim), "--clear-groups", "--", program},
                                   environment, scratch.file(folder));
    }

    // A configuration and an input picture of the victim's in `folder`.
    void Configure(const std::string& folder, const std::string& output, const std::string& input = "Paneloom.bmp") {
        Plant(folder + "/paneloom.xml",
              "<globalsettings><inputbmp name=\"" + input + "\"/><outputbmp name=\"" + output +
                  "\"/></globalsettings>",
              kVictim, 0644);
        Plant(folder + "/Paneloom.bmp", testing::MakeBmp(testing::PatternBmp(6, 4, 24)), kVictim, 0644);
    }

    testing::ScratchDir scratch;
    std::string program;
};

TEST_F(SharedMachine, AnotherUsersFileInASharedFolderIsNeverWritten) {
    struct Case {
        const char* name;
        uid_t folderOwner;  // of the shared sticky folder
        uid_t fileOwner;    // of the output already there
        bool written;
    };
    // The rename over the file is refused in each (sticky folder, someone
    // else's file); what remains is whether it may be written in place.
    const Case cases[] = {
        {"another user's file, mode 0666", 0, kOther, false},
        {"the folder's owner's file", kOther, kOther, true},
    };
    const std::string previous = "the other user's picture";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(scratch.path() / "shared");
        MakeFolder("shared", c.folderOwner, 01777);
        const std::string out = scratch.file("shared/out.bmp");
        Plant("shared/out.bmp", previous, c.fileOwner, 0666);
        Configure("home", out);
        fs::remove(scratch.path() / "home" / "paneloomerror.log");

        const testing::CommandResult run = RunAsVictim("home", {});
        EXPECT_EQ(0, run.code) << run.errors;
        const std::string after = scratch.Read("shared/out.bmp");
        EXPECT_EQ(c.written, after != previous);
        const std::string log = scratch.Exists("home/paneloomerror.log") ? scratch.Read("home/paneloomerror.log") : "";
        EXPECT_EQ(c.written, log.empty()) << log;
        EXPECT_EQ(c.written, log.find(" : Could not write <" + out + ">!\n\n") == std::string::npos) << log;
        struct stat info {};
        ASSERT_EQ(0, ::stat(out.c_str(), &info));
        EXPECT_EQ(c.fileOwner, info.st_uid);
        EXPECT_EQ((std::vector<std::string>{"out.bmp"}), scratch.Names("shared"));
    }
}

// The victim's own picture, shared with a group: the replacement keeps its
// mode, and its group where the victim may give it; a group it may not give
// gets no permissions rather than passing them to the victim's own group.
TEST_F(SharedMachine, ReplacedOutputKeepsItsModeAndGivesNoGroupItsPermissions) {
    struct Case {
        gid_t group;
        mode_t kept;
    };
    for (const Case c : {Case{kVictim, 0640}, Case{kOther, 0600}}) {
        SCOPED_TRACE(c.group);
        Plant("home/out.bmp", "previous", kVictim, 0640);
        ASSERT_EQ(0, ::chown(scratch.file("home/out.bmp").c_str(), kVictim, c.group));
        Configure("home", "out.bmp");
        const testing::CommandResult run = RunAsVictim("home", {});
        EXPECT_EQ(0, run.code) << run.errors;
        struct stat info {};
        ASSERT_EQ(0, ::stat(scratch.file("home/out.bmp").c_str(), &info));
        EXPECT_NE(8, info.st_size);
        EXPECT_EQ(c.kept, info.st_mode & 0777);
        EXPECT_EQ(kVictim, info.st_gid);
    }
}

TEST_F(SharedMachine, ErrorLogFollowsNoPlantedLinkAndWritesNoForeignFile) {
    struct Case {
        const char* name;
        bool link;     // a link to the victim's own file, else a file
        uid_t owner;   // of the link or file at paneloomerror.log
        bool logged;   // whether the line reaches the victim's file
    };
    const Case cases[] = {
        {"another user's link to the victim's file", true, kOther, false},
        {"another user's file, mode 0666", false, kOther, false},
        {"the victim's own link", true, kVictim, true},
    };
    const std::string profile = "# the victim's shell start-up file\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(scratch.path() / "shared");
        MakeFolder("shared", 0, 01777);
        Plant("home/.bashrc", profile, kVictim, 0644);
        if (c.link) {
            PlantLink("shared/paneloomerror.log", scratch.path() / "home" / ".bashrc", c.owner);
        } else {
            Plant("shared/paneloomerror.log", "", c.owner, 0666);
        }
        // A missing input picture: a line for the log, and exit code 3.
        Configure("shared", "out.bmp", "Missing.bmp");

        const testing::CommandResult run = RunAsVictim("shared", {});
        EXPECT_EQ(3, run.code) << run.errors;
        const std::string line = " : Could not LoadImage <Missing.bmp>!\n\n";
        const std::string written = c.link ? scratch.Read("home/.bashrc") : scratch.Read("shared/paneloomerror.log");
        EXPECT_EQ(c.logged, written.find(line) != std::string::npos) << written;
        if (!c.logged) {
            EXPECT_EQ(c.link ? profile : "", written);
        }
        EXPECT_EQ(c.link, fs::is_symlink(scratch.path() / "shared" / "paneloomerror.log"));
    }
}

TEST_F(SharedMachine, DesktopToolsAreFoundOnlyInAbsolutePathEntries) {
    // The tool another user left in the folder the victim runs in, and the
    // genuine one in a folder that only root may write.
    MakeFolder("marks", 0, 01777);
    MakeFolder("trusted", 0, 0755);
    const std::string tool = "plasma-apply-wallpaperimage";
    const std::string mark = "#!/bin/sh\necho \"$0\" >> " + scratch.file("marks/ran") + "\n";
    Plant("shared/" + tool, mark, kOther, 0755);
    Plant("trusted/" + tool, mark, 0, 0755);
    Configure("shared", "out.bmp");
    const std::string trusted = scratch.file("trusted");

    struct Case {
        std::string path;
        std::string ran;  // the tool that ran, or nothing
    };
    const Case cases[] = {
        {"/usr/bin:/bin:", ""},
        {":/usr/bin", ""},
        {".:" + trusted, trusted + "/" + tool},
        {"shared/..:./:" + trusted, trusted + "/" + tool},
        {"", ""},
        {".", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("PATH=" + c.path);
        fs::remove(scratch.path() / "marks" / "ran");
        const testing::CommandResult run = RunAsVictim("shared", {"PATH=" + c.path, "XDG_CURRENT_DESKTOP=KDE"});
        EXPECT_EQ(0, run.code) << run.errors;
        const std::string ran = scratch.Exists("marks/ran") ? scratch.Read("marks/ran") : "";
        // Once for the tool's options, once to set the picture.
        EXPECT_EQ(c.ran.empty() ? "" : c.ran + "\n" + c.ran + "\n", ran);
    }
}

}  // namespace
}  // namespace paneloom
