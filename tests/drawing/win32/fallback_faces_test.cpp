// Choosing the face for a character the chosen face lacks: the font-link
// table's entries, the order of the installed faces, their ranges, and the
// choice under Wine, whose prefix sees the host's fonts.
#include "platform/win32/fallback_faces.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace paneloom::platform {
namespace {

// A REG_MULTI_SZ value: each entry ends with a NUL.
std::wstring MultiString(std::initializer_list<const wchar_t*> entries) {
    std::wstring joined;
    for (const wchar_t* entry : entries) {
        joined += entry;
        joined += L'\0';
    }
    return joined;
}

TEST(FallbackFaces, FontLinkEntriesNameTheirFaces) {
    struct Case {
        std::wstring entries;
        std::vector<std::wstring> faces;
    };
    const Case cases[] = {
        {MultiString({L"MSGOTHIC.TTC,MS UI Gothic", L"SIMSUN.TTC,SimSun"}), {L"MS UI Gothic", L"SimSun"}},
        // scaling factors after a second comma, blanks around the name
        {MultiString({L"MSYH.TTC,Microsoft YaHei UI,128,96", L"MALGUN.TTF, Malgun Gothic "}),
         {L"Microsoft YaHei UI", L"Malgun Gothic"}},
        // an entry without a face name names none
        {MultiString({L"SEGUISYM.TTF", L"", L"ARIAL.TTF,"}), {}},
        {L"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.faces, LinkedFaceNames(c.entries));
    }
}

TEST(FallbackFaces, InstalledFacesAreTriedProportionalFirstThenByName) {
    const std::vector<InstalledFace> listed = {
        {L"WenQuanYi Micro Hei Mono", true}, {L"@WenQuanYi Micro Hei", false}, {L"Liberation Sans", false},
        {L"dejavu sans", false},             {L"DejaVu Sans", false},          {L"DejaVu Sans Mono", true},
        {L"WenQuanYi Micro Hei", false},
    };
    std::vector<std::wstring> names;
    for (const InstalledFace& face : FallbackOrder(listed)) names.push_back(face.name);
    const std::vector<std::wstring> expected = {L"DejaVu Sans", L"Liberation Sans", L"WenQuanYi Micro Hei",
                                                L"DejaVu Sans Mono", L"WenQuanYi Micro Hei Mono"};
    EXPECT_EQ(expected, names);
}

TEST(FallbackFaces, RangesHoldTheirEndsAndNothingBetween) {
    const FaceRanges ranges({{0x0600, 0x06FF}, {0x0020, 0x007E}, {0x4E00, 0x4E00}});
    struct Case {
        char16_t character;
        bool has;
    };
    const Case cases[] = {{0x0020, true}, {0x007E, true}, {0x007F, false}, {0x0600, true}, {0x06FF, true},
                          {0x0700, false}, {0x4E00, true}, {0x4E01, false}, {0x001F, false}, {0xFFFF, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.has, ranges.Has(c.character)) << std::hex << static_cast<int>(c.character);
    }
    EXPECT_FALSE(FaceRanges().Has(u'a'));
}

TEST(FallbackFaces, UnderWineTheHostsFacesDrawWhatArialLacks) {
    // Arial is Liberation Sans here; the host has WenQuanYi and DejaVu.
    FallbackFaces& faces = FallbackFaces::Instance();
    struct Case {
        char16_t character;
        const wchar_t* face;
    };
    const Case cases[] = {{0x4E3B, L"WenQuanYi Micro Hei"}, {0x0628, L"DejaVu Sans"}};
    for (const Case& c : cases) {
        const std::wstring chosen = faces.FaceFor(L"Liberation Sans", c.character);
        if (!faces.Has(c.face, c.character)) GTEST_SKIP() << "the host's fonts are not installed";
        EXPECT_EQ(c.face, chosen);
        EXPECT_TRUE(faces.Has(chosen, c.character));
    }
    // A face that is not installed has nothing, even where the system would
    // make another face for its name.
    EXPECT_FALSE(faces.Has(L"No Such Face Anywhere", u'a'));
}

}  // namespace
}  // namespace paneloom::platform
