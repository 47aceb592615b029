// The Windows packages, installed, run, upgraded and removed by Wine's own
// msiexec. CTest runs this program in a Wine prefix of its own, made afresh
// and removed afterwards, so no installation reaches the other tests.
#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "e2e/program_runner.h"
#include "support/pe_image.h"
#include "support/scoped_variable.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

namespace fs = std::filesystem;
using testing::RunWithCommandLine;

const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// `action` is /i or /x; quietly, as a deployment tool runs it.
int Msiexec(const char* action, const char* package) {
    return RunWithCommandLine(std::string("msiexec.exe ") + action + " \"" + package + "\" /qn", "C:\\");
}

std::optional<std::string> RegistryText(HKEY root, const char* key, const char* name) {
    char data[2048] = {};
    DWORD size = sizeof data;
    if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return std::nullopt;
    return std::string(data);
}

std::string KnownFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Variable(const char* name) {
    char value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length < sizeof value ? std::string(value, length) : std::string();
}

// Where the installed configuration has a run write, for the user whose
// local application data folder is `localAppData`.
fs::path UserFolder(const std::string& localAppData) { return fs::path(localAppData) / "paneloom"; }

// The program a logon command line starts: its first quoted token.
fs::path ProgramOf(const std::string& commandLine) {
    const std::string::size_type end = commandLine.find('"', 1);
    return commandLine.size() > 1 && commandLine[0] == '"' && end != std::string::npos ? commandLine.substr(1, end - 1)
                                                                                       : std::string();
}

std::uint16_t SubsystemOf(const fs::path& program) {
    const std::string bytes = Contents(program);
    return testing::pe::Subsystem(testing::pe::Bytes(bytes.begin(), bytes.end()));
}

// Every file under `folder` with its bytes.
std::vector<std::pair<std::string, std::string>> Tree(const fs::path& folder) {
    std::vector<std::pair<std::string, std::string>> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        tree.emplace_back(fs::relative(entry.path(), folder).string(),
                          entry.is_regular_file() ? Contents(entry.path()) : std::string("<folder>"));
    }
    std::sort(tree.begin(), tree.end());
    return tree;
}

// A picture the program drew on the installed one.
void ExpectDrawn(const fs::path& picture, const fs::path& installedPicture) {
    const std::string drawn = Contents(picture);
    EXPECT_EQ(0u, drawn.find("BM")) << picture.string();
    EXPECT_EQ(Contents(installedPicture).size(), drawn.size()) << picture.string();
    EXPECT_NE(Contents(installedPicture), drawn) << "nothing drawn in " << picture.string();
}

// The versions of Paneloom installed, by any package. Found by name: Wine
// loses a product line's upgrade code when the older product is removed
// after the newer one is in, as these packages do it.
std::vector<std::string> InstalledVersions() {
    std::vector<std::string> versions;
    char product[39] = {};
    for (DWORD i = 0; MsiEnumProductsA(i, product) == ERROR_SUCCESS; ++i) {
        char name[64] = {};
        char version[64] = {};
        DWORD nameSize = sizeof name;
        DWORD versionSize = sizeof version;
        MsiGetProductInfoA(product, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, name, &nameSize);
        MsiGetProductInfoA(product, INSTALLPROPERTY_VERSIONSTRING, version, &versionSize);
        if (std::string(name) == "Paneloom") versions.push_back(version);
    }
    return versions;
}

// One kind of package: where it installs and where its logon entry goes.
struct Flavour {
    const char* package;
    int baseFolder;  // CSIDL_...
    const char* folder;
    HKEY runRoot;
    HKEY otherRoot;
    bool removesUserFiles;  // removal takes the installing user's picture and log along
};

void PrintTo(const Flavour& flavour, std::ostream* out) { *out << flavour.package; }

const Flavour kUser{PANELOOM_USER_MSI, CSIDL_LOCAL_APPDATA, "Programs\\Paneloom", HKEY_CURRENT_USER,
                    HKEY_LOCAL_MACHINE, true};
const Flavour kMachine{PANELOOM_MACHINE_MSI, CSIDL_PROGRAM_FILES, "Paneloom", HKEY_LOCAL_MACHINE,
                       HKEY_CURRENT_USER, false};

class Packages : public ::testing::TestWithParam<Flavour> {
protected:
    void TearDown() override {
        for (const char* package : {PANELOOM_NEXT_USER_MSI, PANELOOM_USER_MSI, PANELOOM_MACHINE_MSI}) {
            Msiexec("/x", package);
        }
    }

    const Flavour& flavour_ = GetParam();
    const fs::path folder_ = fs::path(KnownFolder(flavour_.baseFolder)) / flavour_.folder;

    // The files in place and nothing else, and the logon entry, in its own
    // hive only, naming the Windows-subsystem program and its configuration,
    // both quoted.
    void ExpectInstalled() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ((std::vector<std::string>{"Paneloom.bmp", "Paneloom.exe", "PaneloomW.exe", "README.txt",
                                            "paneloom.xml"}),
                  names);
        EXPECT_EQ("\"" + (folder_ / "PaneloomW.exe").string() + "\" \"paneloom.xml\"",
                  RegistryText(flavour_.runRoot, kRunKey, "Paneloom").value_or("no logon entry"));
        EXPECT_FALSE(RegistryText(flavour_.otherRoot, kRunKey, "Paneloom"));
    }

    void ExpectRemoved() const {
        EXPECT_FALSE(fs::exists(folder_)) << "left behind: " << folder_.string();
        EXPECT_FALSE(RegistryText(flavour_.runRoot, kRunKey, "Paneloom"));
        EXPECT_TRUE(InstalledVersions().empty());
        const fs::path userFolder = UserFolder(Variable("LOCALAPPDATA"));
        EXPECT_EQ(!flavour_.removesUserFiles, fs::exists(userFolder)) << userFolder.string();
    }
};

using UserPackage = Packages;

// A logon: the entry's very command line, started in the system folder as
// the shell starts it, draws the picture in the user's own folder and makes
// it the wallpaper, with nothing to log. Removal takes what it installed.
TEST_P(Packages, InstallWithALogonEntryThatDrawsTheWallpaperThenRemoveItAll) {
    ASSERT_EQ(0, Msiexec("/i", flavour_.package));
    ExpectInstalled();

    const std::string commandLine = RegistryText(flavour_.runRoot, kRunKey, "Paneloom").value_or("");
    ASSERT_EQ(0, RunWithCommandLine(commandLine, KnownFolder(CSIDL_SYSTEM)));
    const fs::path userFolder = UserFolder(Variable("LOCALAPPDATA"));
    const fs::path picture = userFolder / "paneloominfo.bmp";
    ExpectDrawn(picture, folder_ / "Paneloom.bmp");
    EXPECT_EQ(picture.string(),
              RegistryText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper").value_or("none"));
    EXPECT_FALSE(fs::exists(userFolder / "paneloomerror.log"));

    ASSERT_EQ(0, Msiexec("/x", flavour_.package));
    ExpectRemoved();
    fs::remove_all(userFolder);
}

// One installation for every user: the logon entry's command line, run for
// two users with profiles of their own, draws each one's picture in that
// user's profile and writes nothing in the program's folder; a third user,
// whose picture cannot be written, finds the failure in their own log. The
// entry's program opens no console: its image is for the Windows subsystem,
// while Paneloom.exe beside it stays a console program.
class MachinePackage : public ::testing::Test {
protected:
    void TearDown() override { Msiexec("/x", PANELOOM_MACHINE_MSI); }
};

TEST_F(MachinePackage, EachUserWritesInTheirOwnProfileAndNothingInTheProgramFolder) {
    ASSERT_EQ(0, Msiexec("/i", PANELOOM_MACHINE_MSI));
    const fs::path folder = fs::path(KnownFolder(CSIDL_PROGRAM_FILES)) / "Paneloom";
    const auto installed = Tree(folder);
    const std::string commandLine = RegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Paneloom").value_or("");

    testing::ScratchDir profiles;
    for (const char* user : {"ann", "bob", "cid"}) {
        const fs::path profile = profiles.path() / user;
        const fs::path localAppData = profile / "AppData" / "Local";
        fs::create_directories(localAppData);
        const fs::path userFolder = UserFolder(localAppData.string());
        const bool blocked = std::string(user) == "cid";
        if (blocked) fs::create_directories(userFolder / "paneloominfo.bmp");

        testing::ScopedVariable userProfile("USERPROFILE", profile.string());
        testing::ScopedVariable localAppDataVariable("LOCALAPPDATA", localAppData.string());
        ASSERT_EQ(0, RunWithCommandLine(commandLine, KnownFolder(CSIDL_SYSTEM))) << user;
        if (blocked) {
            EXPECT_NE(std::string::npos, Contents(userFolder / "paneloomerror.log").find("Could not write <"))
                << "no failure logged for " << user;
            continue;
        }
        ExpectDrawn(userFolder / "paneloominfo.bmp", folder / "Paneloom.bmp");
        EXPECT_FALSE(fs::exists(userFolder / "paneloomerror.log")) << user;
        EXPECT_EQ((userFolder / "paneloominfo.bmp").string(),
                  RegistryText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper").value_or("none"));
    }
    EXPECT_TRUE(installed == Tree(folder)) << "the program's folder changed";

    EXPECT_EQ(testing::pe::kSubsystemWindowsGui, SubsystemOf(ProgramOf(commandLine))) << commandLine;
    EXPECT_EQ(testing::pe::kSubsystemConsole, SubsystemOf(folder / "Paneloom.exe"));
}

TEST_P(UserPackage, AHigherVersionUpgradesInPlaceAndKeepsTheEditedConfiguration) {
    ASSERT_EQ(0, Msiexec("/i", PANELOOM_USER_MSI));
    const std::string edited = Contents(folder_ / "paneloom.xml") + "<!-- edited -->";
    std::ofstream(folder_ / "paneloom.xml", std::ios::binary) << edited;

    ASSERT_EQ(0, Msiexec("/i", PANELOOM_NEXT_USER_MSI));
    EXPECT_EQ(std::vector<std::string>{PANELOOM_NEXT_VERSION}, InstalledVersions());
    ExpectInstalled();
    EXPECT_EQ(edited, Contents(folder_ / "paneloom.xml"));

    ASSERT_EQ(0, Msiexec("/x", PANELOOM_NEXT_USER_MSI));
    ExpectRemoved();
}

INSTANTIATE_TEST_SUITE_P(PerUserAndPerMachine, Packages, ::testing::Values(kUser, kMachine));
INSTANTIATE_TEST_SUITE_P(PerUser, UserPackage, ::testing::Values(kUser));

}  // namespace
}  // namespace paneloom
