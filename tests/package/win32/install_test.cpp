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
#include <ostream>
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

// One kind of package: where it installs and where its logon entry goes.
struct Flavour {
    const char* package;
    int baseFolder;  // CSIDL_...
    const char* folder;
    HKEY runRoot;
    HKEY otherRoot;
};

void PrintTo(const Flavour& flavour, std::ostream* out) { *out << flavour.package; }

const Flavour kUser{PANELOOM_USER_MSI, CSIDL_LOCAL_APPDATA, "Programs\\Paneloom", HKEY_CURRENT_USER,
                    HKEY_LOCAL_MACHINE};
const Flavour kMachine{PANELOOM_MACHINE_MSI, CSIDL_PROGRAM_FILES, "Paneloom", HKEY_LOCAL_MACHINE,
                       HKEY_CURRENT_USER};

class Packages : public ::testing::TestWithParam<Flavour> {
protected:
    void TearDown() override {
        for (const char* package : {PANELOOM_NEXT_USER_MSI, PANELOOM_USER_MSI, PANELOOM_MACHINE_MSI}) {
            Msiexec("/x", package);
        }
    }

    const Flavour& flavour_ = GetParam();
    const fs::path folder_ = fs::path(KnownFolder(flavour_.baseFolder)) / flavour_.folder;

    // The files in place and the logon entry, in its own hive only, naming
    // the program and its configuration, both quoted.
    void ExpectInstalled() const {
        for (const char* name : {"Paneloom.exe", "paneloom.xml", "Paneloom.bmp", "README.txt"}) {
            EXPECT_TRUE(fs::is_regular_file(folder_ / name)) << name;
        }
        EXPECT_TRUE(fs::is_directory(folder_ / "output"));
        EXPECT_EQ("\"" + (folder_ / "Paneloom.exe").string() + "\" \"paneloom.xml\"",
                  RegistryText(flavour_.runRoot, kRunKey, "Paneloom").value_or("no logon entry"));
        EXPECT_FALSE(RegistryText(flavour_.otherRoot, kRunKey, "Paneloom"));
    }

    void ExpectRemoved() const {
        EXPECT_FALSE(fs::exists(folder_)) << "left behind: " << folder_.string();
        EXPECT_FALSE(RegistryText(flavour_.runRoot, kRunKey, "Paneloom"));
        EXPECT_TRUE(InstalledVersions().empty());
    }
};

using UserPackage = Packages;

// A logon: the entry's very command line, started in the system folder as
// the shell starts it, draws the picture in the output folder and makes it
// the wallpaper, with nothing to log.
TEST_P(Packages, InstallWithALogonEntryThatDrawsTheWallpaperThenRemoveItAll) {
    ASSERT_EQ(0, Msiexec("/i", flavour_.package));
    ExpectInstalled();

    const std::string commandLine = RegistryText(flavour_.runRoot, kRunKey, "Paneloom").value_or("");
    ASSERT_EQ(0, RunWithCommandLine(commandLine, KnownFolder(CSIDL_SYSTEM)));
    const fs::path picture = folder_ / "output" / "paneloominfo.bmp";
    const std::string drawn = Contents(picture);
    EXPECT_EQ(0u, drawn.find("BM"));
    EXPECT_EQ(Contents(folder_ / "Paneloom.bmp").size(), drawn.size());
    EXPECT_NE(Contents(folder_ / "Paneloom.bmp"), drawn) << "nothing drawn";
    EXPECT_EQ(picture.string(),
              RegistryText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper").value_or("none"));
    EXPECT_EQ("", Contents(folder_ / "paneloomerror.log"));

    ASSERT_EQ(0, Msiexec("/x", flavour_.package));
    ExpectRemoved();
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
