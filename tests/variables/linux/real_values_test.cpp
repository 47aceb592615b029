// The Linux layer answers what the system's own tools say.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "common/format.h"
#include "support/pe_image.h"
#include "variables/os_processor.h"
#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

// The standard output of a shell command, without its last line feed.
std::string Shell(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    ::pclose(pipe);
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

using RealLinuxValues = testing::SubstitutionTest;

TEST_F(RealLinuxValues, ProcessorCountAgreesWithNproc) {
    const std::string nproc = Shell("nproc");
    ASSERT_FALSE(nproc.empty());
    EXPECT_EQ(ProcessorCountText(static_cast<std::uint32_t>(std::stoul(nproc))), Substitute("%PROCCOUNT%"));
}

TEST_F(RealLinuxValues, ProcessorNameIsTheModelNameOfCpuinfo) {
    const std::string model = Shell("sed -n 's/^model name[[:space:]]*: *//p' /proc/cpuinfo | head -n 1");
    EXPECT_EQ(model.empty() ? "UNKNOWN PROCESSOR" : model.substr(0, 127), Substitute("%PROCNAME%"));
}

TEST_F(RealLinuxValues, RamInfoAgreesWithMeminfo) {
    const std::string kilobytes = Shell("sed -n 's/^MemTotal:[[:space:]]*\\([0-9]*\\) kB$/\\1/p' /proc/meminfo");
    ASSERT_FALSE(kilobytes.empty());
    EXPECT_EQ(kilobytes + " Kb RAM", Substitute("%RAMINFO%"));
}

TEST_F(RealLinuxValues, UserNameAgreesWithId) {
    const std::string user = Shell("id -un");
    ASSERT_FALSE(user.empty());
    EXPECT_EQ(user, Substitute("%USERNAME%"));
}

TEST_F(RealLinuxValues, SystemNameKernelReleaseAndBuild) {
    const std::string pretty = Shell(
        "for f in /etc/os-release /usr/lib/os-release; do if [ -r $f ]; then . $f; break; fi; done; "
        "echo \"${PRETTY_NAME:-Linux}\"");
    const std::string build = Shell("uname -v | sed -n 's/^[^#]*#\\([0-9][0-9]*\\).*/\\1/p'");
    EXPECT_EQ(pretty + "|" + Shell("uname -r") + "|" + (build.empty() ? "0" : build),
              Substitute("%OS%|%SERVICEPACK%|%BUILD%"));
}

TEST_F(RealLinuxValues, DriveCIsTheRootAndAgreesWithDf) {
    // df counts 1024-byte blocks; "used" is the total less the free blocks.
    std::istringstream df(Shell("df -k --output=fstype,size,used / | tail -n 1"));
    std::string fileSystem;
    unsigned long long sizeKb = 0;
    unsigned long long usedKb = 0;
    ASSERT_TRUE(df >> fileSystem >> sizeKb >> usedKb);

    const std::string line = Substitute("%VOLUME_C_INFO%");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts,
                                 std::regex("/  ([0-9.]+)/([0-9.]+) (KB|MB|GB) Free:([^:]*):'(.*)':SN 0x[0-9A-F]+")))
        << line;

    const unsigned long long total = sizeKb * 1024;
    const char* unit = total <= 10485760ull ? "KB" : total <= 536870912ull ? "MB" : "GB";
    const double divisor = total <= 10485760ull ? 1024.0 : total <= 536870912ull ? 1048576.0 : 1073741824.0;
    EXPECT_EQ(unit, parts[3].str());
    EXPECT_EQ(StringPrintf("%.1f", static_cast<double>(total) / divisor), parts[2].str());
    // Other processes write meanwhile: the free figures may differ a little.
    const double freeByDf = static_cast<double>((sizeKb - usedKb) * 1024) / divisor;
    EXPECT_NEAR(freeByDf, std::stod(parts[1].str()), 0.2 + freeByDf * 0.01);
    EXPECT_EQ(fileSystem, parts[4].str());
}

TEST_F(RealLinuxValues, ALinuxProgramOrAMissingFileHasNoVersionRecord) {
    const std::string allFour = "%EXECUTABLE_COMPANY%|%EXECUTABLE_PRODUCT%|%EXECUTABLE_VERSION%|%EXECUTABLE_COPYRIGHT%";
    settings.executablePath = "/proc/self/exe";
    EXPECT_EQ("[no info]|[no info]|[no info]|", Substitute(allFour));
    settings.executablePath = "missing.exe";
    EXPECT_EQ("[no info]|[no info]|[no info]|", Substitute(allFour));
}

TEST_F(RealLinuxValues, AWindowsProgramIsReadFromItsVersionResource) {
    const testing::pe::BuiltImage image = testing::pe::StandardImage();
    scratch.Write("tool.exe", std::string(image.bytes.begin(), image.bytes.end()));
    settings.executablePath = "tool.exe";
    EXPECT_EQ("Paneloom Makers|Paneloom|2.5.1|(c) 2024 Paneloom Makers",
              Substitute("%EXECUTABLE_COMPANY%|%EXECUTABLE_PRODUCT%|%EXECUTABLE_VERSION%|%EXECUTABLE_COPYRIGHT%"));
}

#if defined(PANELOOM_PE_IMAGE)
TEST_F(RealLinuxValues, TheDefaultExecutableShowsPaneloomsOwnVersionRecord) {
    std::filesystem::copy_file(PANELOOM_PE_IMAGE, scratch.file("Paneloom.exe"));
    EXPECT_EQ(std::string("Paneloom Developers|Paneloom|") + PANELOOM_VERSION + "|Copyright (C) Paneloom Developers",
              Substitute("%EXECUTABLE_COMPANY%|%EXECUTABLE_PRODUCT%|%EXECUTABLE_VERSION%|%EXECUTABLE_COPYRIGHT%"));
}
#endif

}  // namespace
}  // namespace paneloom
