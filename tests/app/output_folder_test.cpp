#include "app/output_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "codepage/ansi_text.h"
#include "support/scoped_variable.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

namespace fs = std::filesystem;

// The variable holds `value`, with "<scratch>" standing for the scratch
// directory; the output path is `output` the same way.
struct FolderCase {
    const char* what;
    std::optional<std::string> value;
    const char* output;
    const char* folder;  // the folder made and entered, under the scratch directory; empty: none
};

void PrintTo(const FolderCase& c, std::ostream* out) { *out << c.what; }

std::string InScratch(const testing::ScratchDir& scratch, std::string text) {
    const std::string marker = "<scratch>";
    const std::string::size_type at = text.find(marker);
    if (at != std::string::npos) text.replace(at, marker.size(), scratch.path().string());
    return text;
}

// The real environment, folders and current directory, in a scratch
// directory that the run starts in; "blocked" there is a file.
class OutputFolder : public ::testing::TestWithParam<FolderCase> {
protected:
    OutputFolder() { scratch.Write("blocked", "not a folder"); }

    testing::ScratchDir scratch;
    const fs::path start = fs::current_path();
};

TEST_P(OutputFolder, AFolderNamedThroughAVariableIsMadeAndTheRunWorksThere) {
    const FolderCase& c = GetParam();
    std::optional<std::string> value;
    if (c.value) value = InScratch(scratch, *c.value);
    testing::ScopedVariable variable("PANELOOM_TEST_HOME", value);
    RunContext context;
    context.settings.outputBitmapPath = InScratch(scratch, c.output);

    EnterOutputFolder(context);

    const RunSettings& s = context.settings;
    if (*c.folder == '\0') {
        EXPECT_EQ(start, fs::current_path());
        EXPECT_EQ("Paneloom.bmp", s.inputBitmapPath);
        EXPECT_EQ("Paneloom.exe", s.executablePath);
        EXPECT_EQ((std::vector<std::string>{"blocked"}), scratch.Names());
        return;
    }
    const fs::path folder = start / c.folder;
    ASSERT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::equivalent(folder, fs::current_path()));
    // What was named before still names the files where the run started.
    EXPECT_EQ((start / "Paneloom.bmp").lexically_normal(), fs::path(s.inputBitmapPath).lexically_normal());
    EXPECT_EQ((start / "Paneloom.exe").lexically_normal(), fs::path(s.executablePath).lexically_normal());
    EXPECT_EQ((folder / "out.bmp").lexically_normal(), fs::path(s.outputBitmapPath).lexically_normal());
#ifndef _WIN32
    // The folders made hold one user's report: theirs alone.
    for (fs::path made = folder; made != start; made = made.parent_path()) {
        EXPECT_EQ(fs::perms::none, fs::status(made).permissions() & (fs::perms::group_all | fs::perms::others_all))
            << made;
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputFolder,
    ::testing::Values(
        FolderCase{"a missing folder two levels down", std::string("<scratch>/home"),
                   "%PANELOOM_TEST_HOME%/Paneloom/out.bmp", "home/Paneloom"},
        FolderCase{"a relative value", std::string("home"), "%PANELOOM_TEST_HOME%/out.bmp", "home"},
        FolderCase{"a plain path whose folder is missing", std::nullopt, "<scratch>/missing/out.bmp", ""},
        FolderCase{"an unset variable", std::nullopt, "%PANELOOM_TEST_HOME%/Paneloom/out.bmp", ""},
        FolderCase{"a variable set to nothing", std::string(), "%PANELOOM_TEST_HOME%/Paneloom/out.bmp", ""},
        FolderCase{"a variable that names no folder", std::string("picture"), "%PANELOOM_TEST_HOME%.bmp", ""},
        FolderCase{"a file where the folder should be", std::string("<scratch>/blocked"),
                   "%PANELOOM_TEST_HOME%/Paneloom/out.bmp", ""}));

#ifdef _WIN32
// A UTF-8 run under a profile named in another script than the ANSI code
// page's: the folder made and entered is the one the variable names.
TEST(OutputFolderInUtf8, AProfileNamedInAnotherScriptIsTheFolderEntered) {
    testing::ScratchDir scratch;
    const fs::path start = fs::current_path();
    const fs::path home = scratch.path() / L"\u041f\u0440\u0438\u0432\u0435\u0442";
    SetEnvironmentVariableW(L"PANELOOM_TEST_HOME", home.wstring().c_str());
    SelectRunCodePage("\xD0\x9F");  // a configuration in UTF-8
    RunContext context;
    context.settings.outputBitmapPath = "%PANELOOM_TEST_HOME%\\Paneloom\\out.bmp";

    EnterOutputFolder(context);
    const fs::path now = fs::current_path();
    fs::current_path(start);
    SelectRunCodePage({});
    SetEnvironmentVariableW(L"PANELOOM_TEST_HOME", nullptr);

    ASSERT_TRUE(fs::is_directory(home / L"Paneloom"));
    EXPECT_TRUE(fs::equivalent(home / L"Paneloom", now));
}
#endif

}  // namespace
}  // namespace paneloom
