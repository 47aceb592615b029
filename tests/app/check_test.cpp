// What --check finds in a configuration's text: each finding at the line it
// names, in line order, and nothing in a file that holds no surprise.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/check.h"
#include "platform/font_faces.h"

namespace paneloom {
namespace {

// Arial is installed; every other face is drawn as DejaVu Sans.
class FakeFaces final : public platform::FontFaces {
public:
    bool Installed(const std::string& face, std::string& drawn) override {
        if (face == "Arial" || face == "arial") return true;
        drawn = "DejaVu Sans";
        return false;
    }
};

CheckMachine Machine(bool namesIgnoreCase = false) {
    CheckMachine machine;
    machine.variables = {"%HOSTNAME%", "%DOMAIN%",          "%ADAPTER_1_TYPE%", "%ADAPTER_IP_LIST%",
                         "%OS%",       "%PROCNAME%",        "%VOLUME_C_INFO%",  "%USERNAME%"};
    machine.unreplaced = {"%PROCNAME%"};
    machine.namesIgnoreCase = namesIgnoreCase;
    return machine;
}

struct Case {
    const char* what;
    std::string file;
    std::vector<std::pair<int, std::string>> expected;  // line, a part of the message
    bool namesIgnoreCase = false;
};

const char* const kClean =
    "<?xml version=\"1.0\"?>\n"
    "<!-- a comment -->\n"
    "<paneloom>\n"
    "<globalsettings><inputbmp name=\"in.bmp\" /><backgroundstyle value=\"Tile\" /></globalsettings>\n"
    "<displayoutput>\n"
    "  <textsettings><textstart x=\"48\" y=\"40\" /><font face=\"Arial\" points=\"28\" weight=\"700\" /></textsettings>\n"
    "  <output>\n"
    "    <textline transparent=\"0\" bgcolor=\"A05020\">%HOSTNAME% on %OS% 100% sure</textline>\n"
    "    <textat x=\"640\" y=\"420\" align=\"1\" extra=\"2\" string=\"at x = 640\" />\n"
    "  </output>\n"
    "</displayoutput>\n"
    "</paneloom>\n";

std::string Output(const std::string& content) {
    return "<displayoutput>\n<output>\n" + content + "\n</output>\n</displayoutput>\n";
}

std::string TextSettings(const std::string& content) {
    return "<displayoutput>\n<textsettings>\n" + content + "\n</textsettings>\n</displayoutput>\n";
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"a file without surprises", kClean, {}},
        {"misspelt element", "<displayoutput>\n<output>\n<textlne>%HOSTNAME%</textlne>\n</output>\n</displayoutput>\n",
         {{3, "unknown element <textlne>, ignored: did you mean textline?"}}},
        {"element name in the wrong case", TextSettings("<Font face=\"Arial\" />"),
         {{3, "<Font> is ignored: element names are case-sensitive; write <font>"}}},
        {"unknown elements far from any name are left alone outside what is read",
         "<root><meta/>\n" + Output("<textline>a</textline>"), {}},
        {"unknown elements inside what is read", Output("<colour red=\"1\"/>"),
         {{3, "unknown element <colour> is ignored"}}},
        {"misspelt attribute", TextSettings("<font face=\"Arial\" pionts=\"12\" />"),
         {{3, "unknown attribute pionts of <font>, ignored: did you mean points?"}}},
        {"attribute case counts where the tag is not lower-cased", Output("<textat X=\"5\" string=\"a\" />"),
         {{3, "attribute X of <textat> is not read: attribute names are case-sensitive here; write x"}}},
        {"textline has no position", Output("<textline y=\"5\">a</textline>"), {{3, "<textline> has no y"}}},
        {"element never closed",
         "<displayoutput>\n<output><textline>a</textline></output>\n</displayoutput>\n<displayoutput>\n<output/>\n",
         {{4, "<displayoutput> is never closed with </displayoutput>: it and every displayoutput after it"}}},
        {"line never closed", Output("<textline>a</textline>\n<textline>b"),
         {{4, "<textline> is never closed with </textline>"}}},
        {"settings tag without />", TextSettings("<textcolor red=\"1\" green=\"2\" blue=\"3\">\n<font points=\"9\" />"),
         {{3, "<textcolor> is not closed with \"/>\": its attributes are read up to the \"/>\" of a later tag"}}},
        {"x read from the tag name", TextSettings("<textstart y=\"100\" x=\"20\" />"),
         {{3, "x in <textstart> is read as \"100\", the value of y: the first \"x\" in the tag is in the tag name "
              "textstart; write x first"}}},
        {"x read from extra", Output("<textat extra=\"6\" x=\"48\" string=\"a\" />"),
         {{3, "x in <textat> is read as \"6\", the value of extra: the first \"x\" in the tag is in the attribute "
              "name extra"}}},
        {"a value read though not written", Output("<textat y=\"5\" extra=\"6\" string=\"a\" />"),
         {{3, "<textat> has no x, yet x is read as \"6\", the value of extra"}}},
        {"unquoted value read from the next attribute", TextSettings("<textstart x=20 y=\"10\" />"),
         {{3, "x=20 in <textstart> has no double quotes: x is read as \"10\", the value of y"}}},
        {"name found inside another attribute's name", "<globalsettings>\n<inputbmp filename=\"a.bmp\" />\n</globalsettings>\n",
         {{2, "unknown attribute filename of <inputbmp>, ignored"},
          {2, "<inputbmp> has no name, yet name is read as \"a.bmp\", the value of filename"}}},
        {"values that change nothing",
         "<globalsettings><backgroundstyle value=\" tile\" /></globalsettings>\n" +
             Output("<textat x=\"1\" points=\"big\" bgcolor=\"#FF0000\" string=\"a\" />"),
         {{1, "value \" tile\" of <backgroundstyle> changes nothing: write center, tile or stretch"},
          {4, "points=\"big\" in <textat> is not a number"},
          {4, "bgcolor=\"#FF0000\" in <textat> is not a colour"}}},
        {"screen depth whatever its attributes", "<globalsettings><usescreendepth value=\"no\" /></globalsettings>\n",
         {{1, "<usescreendepth> turns screen depth on whatever its attributes say"}}},
        {"line break, tab, quote and /> in texts",
         Output("<textline>one\ntwo</textline>\n<textline>a\tb</textline>\n<textline>say \"hi\"</textline>\n"
                "<textline>a/>b</textline>\n<textat x=\"1\" string=\"c\td\" />"),
         {{3, "a line break inside the text of <textline> draws as a box"},
          {5, "a tab inside the text of <textline> draws as a box"},
          {6, "a double quote inside a <textline> ends its text"},
          {7, "\"/>\" inside a <textline> ends its item early"},
          {8, "a tab inside the text of <textat> draws as a box"}}},
        {"variables nothing replaces",
         Output("<textline>%Os% %HOSNAME% %ADAPTER_2_TYPE% %VOLUME_Q_INFO% %PROCNAME% %NOTHING_LIKE_IT%</textline>"),
         {{3, "%Os% is not replaced: variable names are case-sensitive; write %OS%"},
          {3, "%HOSNAME% is not a variable and is drawn as written: did you mean %HOSTNAME%?"},
          {3, "%ADAPTER_2_TYPE% is not replaced: this machine has no such adapter"},
          {3, "%VOLUME_Q_INFO% is not replaced: this machine has no such drive"},
          {3, "%PROCNAME% is not replaced on this machine"},
          {3, "%NOTHING_LIKE_IT% is not a variable: it is drawn as written"}}},
        {"face not installed", TextSettings("<font face=\"Fixedsys Excelsior\" />") +
                                   Output("<textline face=\"Arial\">a</textline>"),
         {{3, "face \"Fixedsys Excelsior\" is not installed: \"DejaVu Sans\" is drawn instead"}}},
        {"only the first of each counts",
         "<globalsettings></globalsettings>\n<globalsettings></globalsettings>\n"
         "<displayoutput>\n<output></output>\n<output><textline>a</textline></output>\n</displayoutput>\n",
         {{2, "only the first <globalsettings> is read"},
          {5, "<output> is ignored: only the first <output> inside each <displayoutput> is read"},
          {5, "<textline> is not drawn"}}},
        {"settings outside their element", "<font face=\"Arial\" />\n<output></output>\n",
         {{1, "<font> is ignored"}, {2, "<output> is ignored"}}},
        {"element found by the start of its name", TextSettings("<fonts points=\"9\" />"),
         {{3, "<fonts> is read as <font>: the program finds elements by the start of their name"}}},
        {"comment never closed", "<!-- open\n" + Output("<textline>a</textline>"),
         {{1, "comment is never closed"}}},
        {"lines are counted in the file as written, comments included",
         "<!--\n\n\n-->\r\n\r\n\r\n<displayoutput><output><textlne/></output></displayoutput>\r\n",
         {{7, "unknown element <textlne>"}}},
        {"file names lower-cased where the build does so",
         "<globalsettings><inputbmp name=\"Sky.BMP\" /></globalsettings>\n",
         {{1, "the name \"Sky.BMP\" in <inputbmp> is read lower-cased, as \"sky.bmp\""}},
         true},
        {"file names kept where the build keeps them", "<globalsettings><inputbmp name=\"Sky.BMP\" /></globalsettings>\n",
         {}},
    };
    return cases;
}

TEST(CheckFindings, EachSurpriseIsFoundOnItsLine) {
    FakeFaces faces;
    platform::ScopedFake<platform::FontFaces> facesScope(faces);
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        const std::vector<Finding> findings = FindTextProblems(c.file, Machine(c.namesIgnoreCase));
        std::string all;
        for (const Finding& f : findings) all += std::to_string(f.line) + ": " + f.message + "\n";
        ASSERT_EQ(c.expected.size(), findings.size()) << all;
        for (std::size_t i = 0; i < findings.size(); ++i) {
            EXPECT_EQ(c.expected[i].first, findings[i].line) << all;
            EXPECT_NE(std::string::npos, findings[i].message.find(c.expected[i].second)) << all;
        }
    }
}

TEST(CheckFindings, DrawnItemsAreFoundWhereTheRunDrawsThem) {
    const DrawnItemPlaces places = FindDrawnItemPlaces(
        "<globalsettings>\n<inputbmp name=\"a.bmp\"/>\n</globalsettings>\n"
        "<displayoutput><output>\n<textat x=\"1\" string=\"t\"/>\n<textline>a</textline>\n</output></displayoutput>\n"
        "<displayoutput>\n<output></output></displayoutput>\n");
    EXPECT_EQ(2, places.inputPictureLine);
    // Lines before textat elements, whatever their order in the file.
    const std::vector<std::vector<std::int32_t>> outputs = {{4, 6, 5}, {9}};
    EXPECT_EQ(outputs, places.outputs);
}

}  // namespace
}  // namespace paneloom
