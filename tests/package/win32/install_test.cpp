// The Windows packages, installed, run, upgraded and removed by Wine's own
// msiexec. CTest runs this program in a Wine prefix of its own, made afresh
// and removed afterwards, so no installation reaches the other tests.
#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "e2e/program_runner.h"

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

class Packages : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* package : {PANELOOM_NEXT_USER_MSI, PANELOOM_USER_MSI, PANELOOM_MACHINE_MSI}) {
            Msiexec("/x", package);
        }
    }

    // The files in place and the logon entry naming the program and its
    // configuration, both quoted.
    static void ExpectInstalled(const fs::path& folder, HKEY runRoot) {
        for (const char* name : {"Paneloom.exe", "paneloom.xml", "Paneloom.bmp", "README.txt"}) {
            EXPECT_TRUE(fs::is_regular_file(folder / name)) << name;
        }
        EXPECT_TRUE(fs::is_directory(folder / "output"));
        EXPECT_EQ("\"" + (folder / "Paneloom.exe").string() + "\" \"paneloom.xml\"",
                  RegistryText(runRoot, kRunKey, "Paneloom").value_or("no logon entry"));
    }

    // A logon: the entry's very command line, started in the system folder
    // as the shell starts it, draws the picture in the output folder and
    // makes it the wallpaper, with nothing to log.
    static void ExpectTheLogonEntryDrawsTheWallpaper(const fs::path& folder, HKEY runRoot) {
        const std::string commandLine = RegistryText(runRoot, kRunKey, "Paneloom").value_or("");
        ASSERT_EQ(0, RunWithCommandLine(commandLine, KnownFolder(CSIDL_SYSTEM)));
        const fs::path picture = folder / "output" / "paneloominfo.bmp";
        const std::string drawn = Contents(picture);
        EXPECT_EQ(0u, drawn.find("BM"));
        EXPECT_EQ(Contents(folder / "Paneloom.bmp").size(), drawn.size());
        EXPECT_NE(Contents(folder / "Paneloom.bmp"), drawn) << "nothing drawn";
        EXPECT_EQ(picture.string(),
                  RegistryText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper").value_or("none"));
        EXPECT_EQ("", Contents(folder / "paneloomerror.log"));
    }

    static void ExpectRemoved(const fs::path& folder, HKEY runRoot) {
        EXPECT_FALSE(fs::exists(folder)) << "left behind: " << folder.string();
        EXPECT_FALSE(RegistryText(runRoot, kRunKey, "Paneloom"));
        EXPECT_TRUE(InstalledVersions().empty());
    }

    const fs::path userFolder_ = fs::path(KnownFolder(CSIDL_LOCAL_APPDATA)) / "Programs" / "Paneloom";
    const fs::path machineFolder_ = fs::path(KnownFolder(CSIDL_PROGRAM_FILES)) / "Paneloom";
};

TEST_F(Packages, TheUserPackageInstallsForTheUserAloneAndRunsAtLogon) {
    ASSERT_EQ(0, Msiexec("/i", PANELOOM_USER_MSI));
    ExpectInstalled(userFolder_, HKEY_CURRENT_USER);
    EXPECT_FALSE(RegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Paneloom"));
    ExpectTheLogonEntryDrawsTheWallpaper(userFolder_, HKEY_CURRENT_USER);

    ASSERT_EQ(0, Msiexec("/x", PANELOOM_USER_MSI));
    ExpectRemoved(userFolder_, HKEY_CURRENT_USER);
}

TEST_F(Packages, AHigherVersionUpgradesInPlaceAndKeepsTheEditedConfiguration) {
    ASSERT_EQ(0, Msiexec("/i", PANELOOM_USER_MSI));
    const std::string edited = Contents(userFolder_ / "paneloom.xml") + "<!-- edited -->";
    std::ofstream(userFolder_ / "paneloom.xml", std::ios::binary) << edited;

    ASSERT_EQ(0, Msiexec("/i", PANELOOM_NEXT_USER_MSI));
    EXPECT_EQ(std::vector<std::string>{PANELOOM_NEXT_VERSION}, InstalledVersions());
    ExpectInstalled(userFolder_, HKEY_CURRENT_USER);
    EXPECT_EQ(edited, Contents(userFolder_ / "paneloom.xml"));

    ASSERT_EQ(0, Msiexec("/x", PANELOOM_NEXT_USER_MSI));
    ExpectRemoved(userFolder_, HKEY_CURRENT_USER);
}

TEST_F(Packages, TheMachinePackageInstallsIntoProgramFilesForEveryUser) {
    ASSERT_EQ(0, Msiexec("/i", PANELOOM_MACHINE_MSI));
    ExpectInstalled(machineFolder_, HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(RegistryText(HKEY_CURRENT_USER, kRunKey, "Paneloom"));
    ExpectTheLogonEntryDrawsTheWallpaper(machineFolder_, HKEY_LOCAL_MACHINE);

    ASSERT_EQ(0, Msiexec("/x", PANELOOM_MACHINE_MSI));
    ExpectRemoved(machineFolder_, HKEY_LOCAL_MACHINE);
}

}  // namespace
}  // namespace paneloom
