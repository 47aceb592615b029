// The real Linux program, started in a scratch directory.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/drawn_text.h"
#include "e2e/linux/gnome_session.h"
#include "e2e/program_runner.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::GnomeKeyfileSession;
using testing::RunWithArguments;
using testing::ScratchDir;

TEST(LinuxProgram, NoConfigurationWritesNothingAndExitsZero) {
    ScratchDir scratch;
    EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_TRUE(scratch.Names().empty());
}

TEST(LinuxProgram, ConfigAttributeReadsFromTheCurrentDirectory) {
    ScratchDir scratch;
    scratch.Write("desk.xml", "<globalsettings><inputbmp name=\"Missing.bmp\"/></globalsettings>");
    EXPECT_EQ(3, RunWithArguments({"paneloom", "config=desk.xml"}, scratch.path().string()));
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_NE(std::string::npos, log.find(" : Could not LoadImage <Missing.bmp>!\n\n"));
}

TEST(LinuxProgram, APathHoldingAnEqualsSignIsReadWhole) {
    ScratchDir scratch;
    std::filesystem::create_directory(scratch.path() / "a=b");
    scratch.Write("a=b/desk.xml", "<globalsettings><inputbmp name=\"missing.bmp\"/></globalsettings>");
    EXPECT_EQ(3, RunWithArguments({"paneloom", "a=b/desk.xml"}, scratch.path().string()));
    EXPECT_EQ(3, RunWithArguments({"paneloom", "--config=a=b/desk.xml"}, scratch.path().string()));
    const std::string line = " : Could not LoadImage <missing.bmp>!\n\n";
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_NE(log.find(line), log.rfind(line)) << log;
}

TEST(LinuxProgram, SecondArgumentIsTheConfigurationAndTheDirectoryStays) {
    ScratchDir scratch;
    std::filesystem::create_directory(scratch.path() / "cfg");
    scratch.Write("cfg/desk.xml", "<globalsettings><usescreendepth/></globalsettings>");
    EXPECT_EQ(2, RunWithArguments({testing::ProgramPath(), "cfg/desk.xml"}, scratch.path().string()));
    EXPECT_TRUE(scratch.Exists("paneloomerror.log"));
    EXPECT_FALSE(scratch.Exists("cfg/paneloomerror.log"));
}

TEST(LinuxProgram, ExistingLogIsAppendedTo) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<globalsettings></globalsettings>");
    scratch.Write("paneloomerror.log", "before\n");
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
    const std::string log = scratch.Read("paneloomerror.log");
    EXPECT_EQ(0u, log.find("before\n"));
    EXPECT_NE(log.find("Could not LoadImage <Paneloom.bmp>!"), log.rfind("Could not LoadImage <Paneloom.bmp>!"));
}

std::string SmallPicture(std::uint16_t bpp) {
    return testing::MakeBmp(testing::PatternBmp(6, 4, bpp));
}

TEST(LinuxProgramOnGnome, WholeRunSetsPictureAndOption) {
    ScratchDir scratch;
    GnomeKeyfileSession session(scratch.path() / "config");
    ASSERT_EQ("'zoom'\n", GnomeKeyfileSession::Get("picture-options")) << "the schema's default";
    scratch.Write("paneloom.xml",
                  "<globalsettings><inputbmp name=\"In.bmp\"/><backgroundstyle value=\"tile\"/></globalsettings>");
    scratch.Write("In.bmp", SmallPicture(24));
    EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));

    const std::string uri = "'file://" + (scratch.path() / "PaneloomInfo.bmp").string() + "'\n";
    EXPECT_EQ(uri, GnomeKeyfileSession::Get("picture-uri"));
    EXPECT_EQ(uri, GnomeKeyfileSession::Get("picture-uri-dark"));
    EXPECT_EQ("'wallpaper'\n", GnomeKeyfileSession::Get("picture-options"));
    // The picture, unchanged, at its own depth.
    const std::string out = scratch.Read("PaneloomInfo.bmp");
    EXPECT_EQ(54u + 20 * 4, out.size());  // rows of 18 bytes padded to 20
    EXPECT_EQ(scratch.Read("In.bmp").substr(54), out.substr(54));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST(LinuxProgramOnGnome, EveryStyleBecomesItsPictureOption) {
    ScratchDir scratch;
    GnomeKeyfileSession session(scratch.path() / "config");
    scratch.Write("Paneloom.bmp", SmallPicture(8));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"center", "'centered'\n"}, {"tile", "'wallpaper'\n"}, {"stretch", "'stretched'\n"},
        {"fill", "'zoom'\n"},     {"fit", "'scaled'\n"},      {"zoom", "'centered'\n"}};
    for (const auto& [style, option] : cases) {
        scratch.Write("paneloom.xml", "<globalsettings><usescreendepth/><outputbmp name=\"" + style +
                                          ".bmp\"/><backgroundstyle value=\"" + style + "\"/></globalsettings>");
        EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string())) << style;
        EXPECT_EQ(option, GnomeKeyfileSession::Get("picture-options")) << style;
        EXPECT_EQ("'file://" + (scratch.path() / (style + ".bmp")).string() + "'\n",
                  GnomeKeyfileSession::Get("picture-uri"));
        // Read at the screen's depth: 32 bits per pixel.
        EXPECT_EQ(54u + 4 * 6 * 4, scratch.Read(style + ".bmp").size()) << style;
    }
}

TEST(LinuxProgramOnGnome, MissingInputWritesTheStyleButNotThePicture) {
    ScratchDir scratch;
    GnomeKeyfileSession session(scratch.path() / "config");
    const std::string defaultUri = GnomeKeyfileSession::Get("picture-uri");
    scratch.Write("paneloom.xml", "<globalsettings><backgroundstyle value=\"stretch\"/></globalsettings>");
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_EQ("'stretched'\n", GnomeKeyfileSession::Get("picture-options"));
    EXPECT_EQ(defaultUri, GnomeKeyfileSession::Get("picture-uri"));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find("Could not LoadImage <Paneloom.bmp>!\n"));
}

TEST(LinuxProgram, FullDiskKeepsThePreviousOutputAndEndsInMainLoopError) {
    ScratchDir scratch;
    GnomeKeyfileSession session(scratch.path() / "config");
    scratch.Write("paneloom.xml", "<globalsettings><usescreendepth/></globalsettings>");
    scratch.Write("Paneloom.bmp", SmallPicture(24));  // written at 32 bits per pixel: 150 bytes
    scratch.Write("PaneloomInfo.bmp", "the previous good picture");
    const std::string uriBefore = GnomeKeyfileSession::Get("picture-uri");
    int code = 0;
    {
        // The program inherits a file-size limit that its output passes,
        // with the signal for it ignored: its write then fails the way a
        // full disk makes it fail.
        rlimit previous{};
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = 120;
        auto* handler = ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        code = RunWithArguments({"paneloom"}, scratch.path().string());
        ::setrlimit(RLIMIT_FSIZE, &previous);
        ::signal(SIGXFSZ, handler);
    }
    EXPECT_EQ(255, code);
    EXPECT_EQ("the previous good picture", scratch.Read("PaneloomInfo.bmp"));
    EXPECT_NE(std::string::npos, scratch.Read("paneloomerror.log").find(" : Error in main loop\n\n"));
    EXPECT_EQ(uriBefore, GnomeKeyfileSession::Get("picture-uri"));
    EXPECT_EQ((std::vector<std::string>{"Paneloom.bmp", "PaneloomInfo.bmp", "config", "paneloom.xml",
                                        "paneloomerror.log"}),
              scratch.Names());
}

TEST(LinuxProgram, LogHeldByAnotherProcessDropsTheLineButNotTheExitCode) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<displayoutput></displayoutput>");
    scratch.Write("paneloomerror.log", "held\n");
    const int holder = ::open(scratch.file("paneloomerror.log").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(0, ::flock(holder, LOCK_EX | LOCK_NB));
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
    ::close(holder);
    EXPECT_EQ("held\n", scratch.Read("paneloomerror.log"));
}

TEST(LinuxProgram, FileNamesKeepTheirCase) {
    ScratchDir scratch;
    const std::string images = "im\xC3\xA1genes";
    std::filesystem::create_directory(scratch.path() / "Pictures");
    std::filesystem::create_directory(scratch.path() / images);
    scratch.Write("Pictures/Wall.bmp", SmallPicture(24));
    scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"Pictures/Wall.bmp\"/><outputbmp name=\"" +
                                      images + "/Info.bmp\"/></globalsettings>");
    ASSERT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_EQ(scratch.Read("Pictures/Wall.bmp").substr(54), scratch.Read(images + "/Info.bmp").substr(54));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

// Runs the program in the scratch directory with this process's environment,
// which has no desktop to find. One that waits on a file instead of ending
// is killed after a minute, and its code is then -1.
int RunToItsEnd(const ScratchDir& scratch, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{testing::ProgramPath()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return testing::RunCommand(argv, testing::InheritedEnvironment(), scratch.path().string()).code;
}

TEST(LinuxProgram, AConfigurationThatIsAFifoIsLikeAMissingOne) {
    ScratchDir scratch;
    ASSERT_EQ(0, ::mkfifo(scratch.file("paneloom.xml").c_str(), 0600));  // no writer: an open would wait
    EXPECT_EQ(0, RunToItsEnd(scratch, {}));
    EXPECT_EQ(std::vector<std::string>{"paneloom.xml"}, scratch.Names());
}

TEST(LinuxProgram, ALogThatIsAFifoLosesItsLineInsteadOfHoldingTheRun) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml", "<globalsettings><inputbmp name=\"missing.bmp\"/></globalsettings>");
    ASSERT_EQ(0, ::mkfifo(scratch.file("paneloomerror.log").c_str(), 0600));  // no reader: an open would wait
    EXPECT_EQ(3, RunToItsEnd(scratch, {}));
}

TEST(LinuxProgram, AnExecutableThatIsNoFileShowsWhatAMissingOneShows) {
    ScratchDir scratch;
    scratch.Write("paneloom.xml",
                  "<displayoutput><textsettings><executable name=\"app.exe\"/></textsettings>"
                  "<output><textline>%EXECUTABLE_COMPANY% %EXECUTABLE_VERSION%</textline></output></displayoutput>");
    const std::string plain = testing::PlainPicture(400, 120, 0xFFFFFF);
    scratch.Write("Paneloom.bmp", plain);
    ASSERT_EQ(0, RunToItsEnd(scratch, {}));
    const std::string missing = scratch.Read("PaneloomInfo.bmp");
    ASSERT_NE(plain.substr(54), missing.substr(54)) << "no text was drawn";

    ASSERT_EQ(0, ::mkfifo(scratch.file("app.exe").c_str(), 0600));
    EXPECT_EQ(0, RunToItsEnd(scratch, {}));
    EXPECT_EQ(missing, scratch.Read("PaneloomInfo.bmp"));

    std::filesystem::remove(scratch.path() / "app.exe");
    std::filesystem::create_directory(scratch.path() / "app.exe");
    EXPECT_EQ(0, RunToItsEnd(scratch, {}));
    EXPECT_EQ(missing, scratch.Read("PaneloomInfo.bmp"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
}

TEST(LinuxProgram, HostileConfigurationsEndNormally) {
    ScratchDir scratch;
    // A directory where the configuration should be: it cannot be loaded.
    std::filesystem::create_directory(scratch.path() / "paneloom.xml");
    EXPECT_EQ(0, RunWithArguments({"paneloom"}, scratch.path().string()));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log"));
    std::filesystem::remove(scratch.path() / "paneloom.xml");

    // Binary noise, unterminated tags, comments and quotes.
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += static_cast<char>((i * 7919 + 13) % 255 + 1);
    scratch.Write("paneloom.xml", noise + "<globalsettings><inputbmp name=\"x<!-- <displayoutput><output>");
    EXPECT_EQ(3, RunWithArguments({"paneloom"}, scratch.path().string()));
}

}  // namespace
}  // namespace paneloom
