// Whole runs of the Windows program on configurations in UTF-8 and UTF-16,
// and on 8-bit ones that must draw exactly as the program always drew them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/utf16.h"
#include "e2e/drawn_text.h"
#include "e2e/program_runner.h"
#include "e2e/win32/unix_host.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::Picture;
using testing::ProgramPath;
using testing::RunWithCommandLine;
using testing::ScratchDir;

int RunIn(const ScratchDir& scratch) {
    return RunWithCommandLine("\"" + ProgramPath() + "\"", scratch.path().string());
}

// A file whose name is UTF-8 text, which the scratch directory's narrow
// names cannot reach outside the ANSI code page.
std::filesystem::path Utf8Name(const ScratchDir& scratch, const std::string& name) {
    return scratch.path() / std::filesystem::u8path(name);
}

void WriteUtf8Named(const ScratchDir& scratch, const std::string& name, const std::string& bytes) {
    std::ofstream out(Utf8Name(scratch, name), std::ios::binary);
    out << bytes;
}

// FNV-1a, to pin a whole output file in a line.
std::uint64_t Fingerprint(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::int32_t CellWidth(const Picture& picture, std::uint32_t colour) {
    const std::int32_t first = testing::FirstColumnWith(picture, colour);
    return first < 0 ? 0 : testing::LastColumnWith(picture, colour) - first + 1;
}

const char* const kScriptsConfiguration =
    "<globalsettings><inputbmp name=\"plain.bmp\"/><outputbmp name=\"drawn.bmp\"/></globalsettings>\r\n"
    "<displayoutput><textsettings><textstart x=\"10\" y=\"10\"/>"
    "<textcolor red=\"255\" green=\"255\" blue=\"255\"/></textsettings>\r\n"
    "<output>\r\n"
    "  <textline>Latin \xC3\xA9t\xC3\xA9, \xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1, "
    "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82</textline>\r\n"
    "  <textline>\xE4\xB8\xBB\xE6\x9C\xBA\xE5\x90\x8D %HOSTNAME%</textline>\r\n"
    "  <textline>\xD8\xA7\xD8\xB3\xD9\x85 \xD8\xA7\xD9\x84\xD8\xAC\xD9\x87\xD8\xA7\xD8\xB2: 42</textline>\r\n"
    "</output></displayoutput>\r\n";

TEST(WindowsProgramUnicode, UnicodeTextSavedAsUtf8OrUtf16DrawsTheSamePicture) {
    struct Saved {
        const char* how;
        std::string bytes;
    };
    const std::string utf8 = kScriptsConfiguration;
    const Saved saved[] = {
        {"UTF-8", utf8},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8},
        {"UTF-16 little-endian", testing::SavedAsUtf16(utf8, true)},
        {"UTF-16 big-endian", testing::SavedAsUtf16(utf8, false)},
    };
    std::string first;
    for (const Saved& file : saved) {
        SCOPED_TRACE(file.how);
        ScratchDir scratch;
        scratch.Write("paneloom.xml", file.bytes);
        scratch.Write("plain.bmp", testing::PlainPicture(480, 100, 0x404040));
        ASSERT_EQ(0, RunIn(scratch));
        ASSERT_TRUE(scratch.Exists("drawn.bmp"));
        EXPECT_FALSE(scratch.Exists("PaneloomInfo.bmp"));
        EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
        const std::string drawn = scratch.Read("drawn.bmp");
        if (first.empty()) {
            first = drawn;
        } else {
            EXPECT_TRUE(drawn == first) << "differs from the UTF-8 file's picture";
        }
    }
}

TEST(WindowsProgramUnicode, EachScriptIsDrawnFromAFaceThatHasIt) {
    // Arial at 28 points is 37 pixels to the em. Each item stands on an
    // opaque cell of its own colour, as wide as what is drawn.
    ScratchDir scratch;
    scratch.Write("paneloom.xml",
                  "<globalsettings><inputbmp name=\"plain.bmp\"/><outputbmp name=\"drawn.bmp\"/></globalsettings>"
                  "<displayoutput><textsettings><font face=\"Arial\" points=\"28\" weight=\"400\"/>"
                  "<backgroundcolor red=\"0\" green=\"0\" blue=\"0\" transparent=\"0\"/></textsettings><output>"
                  "<textat x=\"10\" y=\"0\" bgcolor=\"0000FF\" string=\"\xE4\xB8\xBB\"/>"
                  "<textat x=\"10\" y=\"50\" bgcolor=\"00FF00\" string=\"\xD0\xB8\"/>"
                  "<textat x=\"10\" y=\"100\" bgcolor=\"FF0000\" string=\"\xD0\xB8\xD0\xB8\"/>"
                  "<textat x=\"10\" y=\"150\" bgcolor=\"00FFFF\" string=\"\xD8\xA8\"/>"
                  "<textat x=\"10\" y=\"200\" bgcolor=\"FF00FF\" string=\"\xD8\xA8\xD8\xA8\xD8\xA8\"/>"
                  "</output></displayoutput>");
    scratch.Write("plain.bmp", testing::PlainPicture(300, 260, 0x808080));
    ASSERT_EQ(0, RunIn(scratch));
    Picture picture;
    ASSERT_TRUE(testing::ReadPicture(scratch.Read("drawn.bmp"), picture));

    const std::int32_t em = 37;
    EXPECT_NEAR(em, CellWidth(picture, 0x0000FF), 1) << "a Han character is one em wide";
    const std::int32_t letter = CellWidth(picture, 0x00FF00);
    EXPECT_GT(letter, em / 4);
    EXPECT_LT(letter, em * 3 / 4) << "a Cyrillic letter is one narrow glyph";
    EXPECT_EQ(2 * letter, CellWidth(picture, 0xFF0000));
    const std::int32_t beh = CellWidth(picture, 0x00FFFF);
    const std::int32_t joined = CellWidth(picture, 0xFF00FF);
    EXPECT_GT(beh, 0);
    EXPECT_GT(joined, 0);
    EXPECT_LT(joined, 3 * beh) << "three behs join, narrower than three alone";
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
}

TEST(WindowsProgramUnicode, PicturesNamedInAnyScriptAreFoundAndWritten) {
    struct Named {
        const char* input;
        const char* output;
    };
    const Named names[] = {
        {"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.bmp", "out.bmp"},  // Привет.bmp
        {"in.bmp", "\xE5\x9B\xBE.bmp"},                                      // 图.bmp
    };
    for (const Named& name : names) {
        SCOPED_TRACE(name.input);
        ScratchDir scratch;
        scratch.Write("paneloom.xml", std::string("<globalsettings><inputbmp name=\"") + name.input +
                                          "\"/><outputbmp name=\"" + name.output +
                                          "\"/></globalsettings><displayoutput><output>"
                                          "<textline>\xD0\x96</textline></output></displayoutput>");
        WriteUtf8Named(scratch, name.input, testing::PlainPicture(64, 48, 0x2040C0));
        ASSERT_EQ(0, RunIn(scratch));
        EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
        std::ifstream written(Utf8Name(scratch, name.output), std::ios::binary);
        ASSERT_TRUE(written.good());
        const std::string bytes((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
        Picture picture;
        ASSERT_TRUE(testing::ReadPicture(bytes, picture));
        EXPECT_EQ(64, picture.width);
        EXPECT_EQ(0x2040C0u, picture.At(63, 47));
    }
}

TEST(WindowsProgramUnicode, TheErrorLogNamesFilesInTheRunsCodePage) {
    struct Case {
        const char* configured;
        const char* logged;
    };
    const Case cases[] = {
        // A UTF-8 run lower-cases by Unicode's rules and logs UTF-8.
        {"\xD0\x9D\xD0\x95\xD0\xA2.bmp", "Could not LoadImage <\xD0\xBD\xD0\xB5\xD1\x82.bmp>!\n"},
        // A Windows-1252 run logs its own bytes, as it always did.
        {"CAF\xC9.bmp", "Could not LoadImage <caf\xE9.bmp>!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configured);
        ScratchDir scratch;
        scratch.Write("paneloom.xml", std::string("<globalsettings><inputbmp name=\"") + c.configured +
                                          "\"/></globalsettings>");
        EXPECT_EQ(3, RunIn(scratch));
        const std::string log = scratch.Read("paneloomerror.log");
        EXPECT_NE(std::string::npos, log.find(c.logged)) << log;
    }
}

// Every printable Windows-1252 character in several faces and weights, and
// with character extra: an 8-bit configuration that is not UTF-8.
std::string Cp1252Configuration() {
    std::string characters;
    for (int byte = 0x20; byte <= 0xFF; ++byte) {
        if (byte == '"' || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
            byte == 0x9D) {
            continue;
        }
        characters += static_cast<char>(byte);
    }
    // Lines of 48 characters at most, so that each fits the picture.
    std::string lines;
    for (std::size_t at = 0; at < characters.size(); at += 48) {
        std::string line = characters.substr(at, 48);
        // "/>" would end the generated item early; "<" is harmless alone.
        for (std::size_t slash = line.find("/>"); slash != std::string::npos; slash = line.find("/>"))
            line.replace(slash, 2, "/ >");
        lines += "<textline>" + line + "</textline>";
    }
    const char* const fonts[] = {
        "<font face=\"Arial\" points=\"12\" weight=\"400\" extra=\"0\"/>",
        "<font face=\"Arial\" points=\"14\" weight=\"700\" extra=\"1\"/>",
        "<font face=\"Times New Roman\" points=\"13\" weight=\"400\" extra=\"0\"/>",
        "<font face=\"Courier New\" points=\"11\" weight=\"700\" extra=\"2\"/>",
        "<font face=\"Tahoma\" points=\"12\" weight=\"400\" extra=\"0\"/>",
    };
    std::string configuration =
        "<globalsettings><inputbmp name=\"plain.bmp\"/><outputbmp name=\"drawn.bmp\"/></globalsettings>\r\n";
    int y = 4;
    for (const char* font : fonts) {
        configuration += "<displayoutput><textsettings><textstart x=\"4\" y=\"" + std::to_string(y) + "\"/>" +
                         "<backgroundcolor red=\"20\" green=\"40\" blue=\"80\" transparent=\"0\"/>" + font +
                         "</textsettings><output>" + lines + "</output></displayoutput>\r\n";
        y += 120;
    }
    return configuration;
}

TEST(WindowsProgramUnicode, AWindows1252ConfigurationDrawsAsThePreviousBuildDrewIt) {
    const std::string configuration = Cp1252Configuration();
    ASSERT_FALSE(RunsInUtf8(configuration));
    ScratchDir scratch;
    scratch.Write("paneloom.xml", configuration);
    scratch.Write("plain.bmp", testing::PlainPicture(720, 600, 0xE0E0E0));
    ASSERT_EQ(0, RunIn(scratch));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
    // The output of the build before UTF-8 runs (de3ace2), under this Wine
    // with the fonts scripts/setup.sh installs.
    EXPECT_EQ(1302984484974425178ull, Fingerprint(scratch.Read("drawn.bmp")));
}

// Runs the program on the host's Wine under a Japanese locale, whose ANSI
// code page is Shift-JIS (932); the exit code, or -1.
int RunUnderCodePage932(const ScratchDir& scratch) {
    const std::string directory = testing::HostPath(scratch.path().string());
    const std::string program = testing::HostPath(ProgramPath());
    if (directory.empty() || program.empty()) return -1;
    return testing::RunOnHost("cd " + testing::ShellQuoted(directory) +
                              " && LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 \"$WINELOADER\" " +
                              testing::ShellQuoted(program) + " >/dev/null 2>&1");
}

TEST(WindowsProgramUnicode, AShiftJisConfigurationUnderCodePage932DrawsAsBefore) {
    if (!testing::HasUnixHost()) GTEST_SKIP() << "needs Wine's host";
    // 表 and ソ end in 0x5C and 能 in '\\' too: searches step over them
    // whole, and the file is no UTF-8.
    const std::string configuration =
        "<globalsettings><inputbmp name=\"plain.bmp\"/><outputbmp name=\"drawn.bmp\"/></globalsettings>"
        "<displayoutput><textsettings><textstart x=\"4\" y=\"4\"/>"
        "<backgroundcolor red=\"20\" green=\"40\" blue=\"80\" transparent=\"0\"/></textsettings><output>"
        "<textline>\x95\x5C\x83\x5C\x94\x5C ABC</textline><textline>\x83J\x83^\x83J\x83i</textline>"
        "</output></displayoutput>";
    ASSERT_FALSE(RunsInUtf8(configuration));
    ScratchDir scratch;
    scratch.Write("paneloom.xml", configuration);
    scratch.Write("plain.bmp", testing::PlainPicture(320, 80, 0xE0E0E0));
    ASSERT_EQ(0, RunUnderCodePage932(scratch));
    ASSERT_TRUE(scratch.Exists("drawn.bmp"));
    EXPECT_FALSE(scratch.Exists("paneloomerror.log")) << scratch.Read("paneloomerror.log");
    const std::uint64_t underShiftJis = Fingerprint(scratch.Read("drawn.bmp"));
    EXPECT_EQ(345492492360786366ull, underShiftJis);
    // The same bytes under Windows-1252 are other characters.
    ASSERT_EQ(0, RunIn(scratch));
    EXPECT_NE(underShiftJis, Fingerprint(scratch.Read("drawn.bmp")));
}

}  // namespace
}  // namespace paneloom
