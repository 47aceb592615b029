#include "platform/linux/text/face_memo.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "platform/linux/text/font_mapper.h"
#include "support/scratch.h"

namespace {

namespace fs = std::filesystem;
using paneloom::platform::lnx::FaceAnswers;
using paneloom::platform::lnx::FaceMatch;
using paneloom::platform::lnx::FaceMemoPath;
using paneloom::platform::lnx::FontMapper;
using paneloom::platform::lnx::ReadFaceMemo;
using paneloom::platform::lnx::VariableReader;
using paneloom::platform::lnx::WriteFaceMemo;
using paneloom::testing::ScratchDir;

using Variables = std::map<std::string, std::string>;

VariableReader Reader(const Variables& variables) {
    return [&variables](const char* name) -> const char* {
        const auto it = variables.find(name);
        return it == variables.end() ? nullptr : it->second.c_str();
    };
}

TEST(FaceMemoPath, FollowsTheCacheHomeAndStandsAsideForAConfigurationOfItsOwn) {
    const struct {
        Variables variables;
        std::string path;
    } cases[] = {
        {{{"HOME", "/home/ann"}}, "/home/ann/.cache/paneloom/faces"},
        {{{"HOME", "/home/ann"}, {"XDG_CACHE_HOME", "/var/cache/ann"}}, "/var/cache/ann/paneloom/faces"},
        {{{"HOME", "/home/ann"}, {"XDG_CACHE_HOME", "relative"}}, "/home/ann/.cache/paneloom/faces"},
        {{}, ""},
        {{{"HOME", "relative"}}, ""},
        {{{"HOME", "/home/ann"}, {"FONTCONFIG_FILE", "/tmp/fonts.conf"}}, ""},
        {{{"HOME", "/home/ann"}, {"FONTCONFIG_SYSROOT", "/sysroot"}}, ""},
        {{{"HOME", "/home/ann"}, {"LANG", "de_DE\n"}}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FaceMemoPath(Reader(c.variables)), c.path);
}

// A configuration of the test's own: no configuration files, one font
// folder in the scratch directory.
class FaceMemo : public ::testing::Test {
public:  // the changes below reach into the fixture
    void SetUp() override {
        fs::create_directories(scratch_.file("fonts"));
        config_ = FcConfigCreate();
        ASSERT_NE(config_, nullptr);
        const std::string xml = "<fontconfig><dir>" + scratch_.file("fonts") + "</dir><cachedir>" +
                                scratch_.file("fontcache") + "</cachedir></fontconfig>";
        ASSERT_TRUE(FcConfigParseAndLoadFromMemory(config_, reinterpret_cast<const FcChar8*>(xml.c_str()), FcTrue));
        ASSERT_TRUE(FcConfigBuildFonts(config_));
        variables_ = {{"HOME", scratch_.file("home")}, {"LANG", "en_GB.UTF-8"}};
        answers_[{"arial", 400}] = FaceMatch{true, "/fonts/sans.ttf", 0, "Sans"};
        answers_[{"", 700}] = FaceMatch{true, "/fonts/collection.ttc", 2, "Bold Sans"};
    }
    void TearDown() override { FcConfigDestroy(config_); }

    std::string Memo() const { return scratch_.file("cache/paneloom/faces"); }
    bool Write() { return WriteFaceMemo(Memo(), config_, answers_, Reader(variables_)); }
    FaceAnswers Read() const { return ReadFaceMemo(Memo(), Reader(variables_)); }

    ScratchDir scratch_;
    FcConfig* config_ = nullptr;
    Variables variables_;
    FaceAnswers answers_;
};

TEST_F(FaceMemo, GivesBackWhatWasWrittenFromAPrivateFile) {
    ASSERT_TRUE(Write());
    const FaceAnswers read = Read();
    ASSERT_EQ(read.size(), 2u);
    const FaceMatch& collection = read.at({"", 700});
    EXPECT_TRUE(collection.found);
    EXPECT_EQ(collection.file, "/fonts/collection.ttc");
    EXPECT_EQ(collection.index, 2);
    EXPECT_EQ(collection.family, "Bold Sans");
    EXPECT_EQ(read.at({"arial", 400}).file, "/fonts/sans.ttf");

    struct stat facts {};
    ASSERT_EQ(::stat(Memo().c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(scratch_.file("cache/paneloom").c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 0777, 0700u);
}

TEST_F(FaceMemo, HoldsNothingOnceWhatTheAnswersDependOnChanges) {
    const struct {
        const char* what;
        std::function<void(FaceMemo&)> change;
    } cases[] = {
        {"a font added to a scanned folder",
         [](FaceMemo& t) { t.scratch_.Write("fonts/new.ttf", "font"); }},
        {"a user configuration made",
         [](FaceMemo& t) {
             fs::create_directories(t.scratch_.file("home/.config/fontconfig"));
             t.scratch_.Write("home/.config/fontconfig/fonts.conf", "<fontconfig/>");
         }},
        {"another language", [](FaceMemo& t) { t.variables_["LANG"] = "ja_JP.UTF-8"; }},
        {"another home", [](FaceMemo& t) { t.variables_["HOME"] = t.scratch_.file("other"); }},
        {"the memo cut short",
         [](FaceMemo& t) { fs::resize_file(t.Memo(), fs::file_size(t.Memo()) - 1); }},
        {"the memo writable by others", [](FaceMemo& t) { ::chmod(t.Memo().c_str(), 0622); }},
        {"the memo's folder writable by others",
         [](FaceMemo& t) { ::chmod(t.scratch_.file("cache/paneloom").c_str(), 0777); }},
        {"the memo a link",
         [](FaceMemo& t) {
             fs::rename(t.Memo(), t.scratch_.file("elsewhere"));
             fs::create_symlink(t.scratch_.file("elsewhere"), t.Memo());
         }},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Write()) << c.what;
        ASSERT_EQ(Read().size(), 2u) << c.what;
        c.change(*this);
        EXPECT_TRUE(Read().empty()) << c.what;
        // A fresh start for the next change.
        TearDown();
        for (const char* folder : {"cache", "home", "fonts", "fontcache", "elsewhere"}) fs::remove_all(scratch_.file(folder));
        SetUp();
    }
}

// The mapper through the memo, with the system's real configuration.
TEST(FontMapperMemo, AKnownFaceNeedsNoConfigurationAndAnUnusableOneIsFoundAgain) {
    const ScratchDir scratch;
    const std::string memo = scratch.file("cache/paneloom/faces");
    const auto anyFile = [](const std::string&, int) { return true; };

    FontMapper first;
    first.KeepAnswersIn(memo);
    const FaceMatch found = first.Match("Arial", 400, anyFile);
    ASSERT_TRUE(found.found);
    EXPECT_TRUE(first.ConfigurationLoaded());

    FontMapper second;
    second.KeepAnswersIn(memo);
    const FaceMatch& remembered = second.Match("Arial", 400, anyFile);
    EXPECT_FALSE(second.ConfigurationLoaded());
    EXPECT_EQ(remembered.file, found.file);
    EXPECT_EQ(remembered.family, found.family);

    // The remembered file cannot be opened any more: fontconfig is asked.
    FontMapper third;
    third.KeepAnswersIn(memo);
    const auto notThatFile = [&found](const std::string& file, int) { return file != found.file; };
    const FaceMatch& refound = third.Match("Arial", 400, notThatFile);
    EXPECT_TRUE(third.ConfigurationLoaded());
    EXPECT_NE(refound.file, found.file);

    // Without a memo nothing is kept.
    FontMapper plain;
    plain.Match("Arial", 400, anyFile);
    EXPECT_TRUE(scratch.Names("cache/paneloom") == std::vector<std::string>{"faces"});
}

}  // namespace
