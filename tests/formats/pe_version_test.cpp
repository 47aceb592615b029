#include "formats/pe_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/pe_image.h"

namespace paneloom::formats {
namespace {

using namespace testing::pe;

std::size_t Find(const Bytes& haystack, const Bytes& needle, std::size_t from = 0) {
    auto it = std::search(haystack.begin() + static_cast<std::ptrdiff_t>(from), haystack.end(),
                          needle.begin(), needle.end());
    return it == haystack.end() ? std::string::npos : static_cast<std::size_t>(it - haystack.begin());
}

std::string String(const VersionResource& r, const std::string& table, const std::string& name) {
    std::string value;
    if (!r.QueryString(table, name, value)) return "<absent>";
    return value;
}

// Runs every lookup the program makes, so that sanitizers see them all.
void ExerciseLookups(const VersionResource& r) {
    std::string text;
    VersionValue value;
    r.HasTranslationTable();
    r.Translations();
    for (const char* name : {"ProductVersion", "CompanyName", "ProductName", "LegalCopyright"}) {
        r.QueryString("040904b0", name, text);
    }
    r.QueryValue("\\", value);
    r.QueryValue("\\StringFileInfo\\040904b0\\CompanyName\\deeper", value);
}

// ---------------------------------------------------------------------------

TEST(PeVersionReaderTest, ReadsStringsAndTranslationFromPe32PlusAndPe32) {
    for (bool pe64 : {true, false}) {
        SCOPED_TRACE(pe64 ? "PE32+" : "PE32");
        const BuiltImage image = StandardImage(pe64);
        VersionResource r;
        ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));
        EXPECT_EQ(r.RecordSize(), StandardRecord().size());
        EXPECT_EQ(r.Record(), StandardRecord());
        ASSERT_TRUE(r.HasTranslationTable());
        const auto translations = r.Translations();
        ASSERT_EQ(translations.size(), 1u);
        EXPECT_EQ(translations[0].language, 0x0409);
        EXPECT_EQ(translations[0].codePage, 0x04B0);
        EXPECT_EQ(String(r, "040904b0", "CompanyName"), "Paneloom Makers");
        EXPECT_EQ(String(r, "040904b0", "ProductName"), "Paneloom");
        EXPECT_EQ(String(r, "040904b0", "ProductVersion"), "2.5.1");
        EXPECT_EQ(String(r, "040904b0", "LegalCopyright"), "(c) 2024 Paneloom Makers");
        EXPECT_EQ(String(r, "040704b0", "CompanyName"), "<absent>");
        EXPECT_EQ(String(r, "040904b0", "FileDescription"), "<absent>");
    }
}

TEST(PeVersionReaderTest, MatchesTableKeyAndNameRegardlessOfCase) {
    const BuiltImage image = StandardImage();
    VersionResource r;
    ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));
    EXPECT_EQ(String(r, "040904B0", "CompanyName"), "Paneloom Makers");
    EXPECT_EQ(String(r, "040904b0", "companyname"), "Paneloom Makers");
    EXPECT_EQ(String(r, "040904b0", "CompanyNam"), "<absent>");
    EXPECT_EQ(String(r, "040904b0", "CompanyNameX"), "<absent>");
    EXPECT_EQ(String(r, "", "CompanyName"), "<absent>");
    EXPECT_EQ(String(r, "040904b0", ""), "<absent>");
    EXPECT_EQ(String(r, "040904b0\\CompanyName", "x"), "<absent>");
}

TEST(PeVersionReaderTest, AnswersSubBlockPathsLikeVerQueryValue) {
    const BuiltImage image = StandardImage();
    VersionResource r;
    ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));

    VersionValue v;
    ASSERT_TRUE(r.QueryValue("\\VarFileInfo\\Translation", v));
    EXPECT_FALSE(v.isText);
    EXPECT_EQ(v.data, (Bytes{0x09, 0x04, 0xB0, 0x04}));

    ASSERT_TRUE(r.QueryValue("\\StringFileInfo\\040904b0\\ProductVersion", v));
    EXPECT_TRUE(v.isText);
    EXPECT_EQ(v.text, "2.5.1");
    EXPECT_EQ(v.data, Utf16(std::u16string(u"2.5.1") + u'\0'));

    ASSERT_TRUE(r.QueryValue("\\\\StringFileInfo\\\\040904B0\\ProductName\\", v));
    EXPECT_EQ(v.text, "Paneloom");

    for (const char* root : {"\\", ""}) {
        ASSERT_TRUE(r.QueryValue(root, v)) << root;
        ASSERT_EQ(v.data.size(), 52u);
        EXPECT_EQ(v.data[0], 0xBD);
        EXPECT_EQ(v.data[3], 0xFE);
    }

    ASSERT_TRUE(r.QueryValue("\\StringFileInfo\\040904b0", v));
    EXPECT_TRUE(v.data.empty());
    EXPECT_FALSE(r.QueryValue("\\StringFileInfo\\040904b0\\CompanyName\\Deeper", v));
    EXPECT_FALSE(r.QueryValue("\\VarFileInfo\\Translations", v));
    EXPECT_FALSE(r.QueryValue("\\StringFileInfo\\040904b0\\Nothing", v));

    // The same lookups over the record bytes alone.
    VersionValue w;
    ASSERT_TRUE(QueryVersionValue(r.Record().data(), r.Record().size(),
                                  "\\StringFileInfo\\040904b0\\CompanyName", w));
    EXPECT_EQ(w.text, "Paneloom Makers");
    EXPECT_FALSE(QueryVersionValue(nullptr, 0, "\\", w));
}

TEST(PeVersionReaderTest, TableWithoutLegalCopyrightLacksOnlyThat) {
    const BuiltImage image = BuildImage(VersionTree(StandardRecord(false)));
    VersionResource r;
    ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));
    EXPECT_EQ(String(r, "040904b0", "LegalCopyright"), "<absent>");
    EXPECT_EQ(String(r, "040904b0", "ProductVersion"), "2.5.1");
    EXPECT_EQ(String(r, "040904b0", "CompanyName"), "Paneloom Makers");
    EXPECT_EQ(String(r, "040904b0", "ProductName"), "Paneloom");
}

TEST(PeVersionReaderTest, TranslationTableAbsentEmptyOrLong) {
    VersionResource r;
    const BuiltImage none = BuildImage(VersionTree(StandardRecord(true, false)));
    ASSERT_TRUE(r.LoadFromImage(none.bytes.data(), none.bytes.size()));
    EXPECT_GT(r.RecordSize(), 0u);
    EXPECT_FALSE(r.HasTranslationTable());
    EXPECT_TRUE(r.Translations().empty());
    EXPECT_EQ(String(r, "040904b0", "ProductName"), "Paneloom");

    const Bytes empty = Serialize(Root({StringInfo({}), VarInfo({})}));
    ASSERT_TRUE(r.LoadFromRecord(empty.data(), empty.size()));
    EXPECT_TRUE(r.HasTranslationTable());
    EXPECT_TRUE(r.Translations().empty());

    const Bytes three = Serialize(Root({VarInfo({{0x0407, 0x04E4}, {0x0409, 0x04B0}, {0x040C, 0x04E4}})}));
    ASSERT_TRUE(r.LoadFromRecord(three.data(), three.size()));
    const auto t = r.Translations();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].language, 0x0407);
    EXPECT_EQ(t[0].codePage, 0x04E4);
    EXPECT_EQ(t[1].language, 0x0409);
    EXPECT_EQ(t[2].language, 0x040C);
}

TEST(PeVersionReaderTest, RejectsDataThatIsNotAVersionedPeImage) {
    VersionResource r;
    const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    EXPECT_FALSE(r.LoadFromImage(nullptr, 0));
    EXPECT_FALSE(r.LoadFromImage(text.data(), 0));
    EXPECT_FALSE(r.LoadFromImage(text.data(), text.size()));

    Bytes mzOnly(64, 0);
    mzOnly[0] = 'M';
    mzOnly[1] = 'Z';
    EXPECT_FALSE(r.LoadFromImage(mzOnly.data(), mzOnly.size()));

    // Resources, but no version among them.
    const BuiltImage iconsOnly = BuildImage(Dir(0, {Dir(3, {Dir(1, {Leaf(0x0409, Bytes(40, 1))})})}));
    EXPECT_FALSE(r.LoadFromImage(iconsOnly.bytes.data(), iconsOnly.bytes.size()));

    const BuiltImage base = StandardImage();
    auto rejects = [&](const char* what, auto patch) {
        BuiltImage image = base;
        patch(image);
        EXPECT_FALSE(r.LoadFromImage(image.bytes.data(), image.bytes.size())) << what;
        EXPECT_EQ(r.RecordSize(), 0u) << what;
    };
    rejects("bad PE signature", [](BuiltImage& i) { i.bytes[i.pe + 1] = 'X'; });
    rejects("unknown optional header", [](BuiltImage& i) { Set16(i.bytes, i.optional, 0x107); });
    rejects("only two data directories", [](BuiltImage& i) { Set32(i.bytes, i.optional + 108, 2); });
    rejects("empty resource directory entry",
            [](BuiltImage& i) { Set32(i.bytes, i.optional + 112 + 2 * 8 + 4, 0); });
    rejects("resource directory outside every section",
            [](BuiltImage& i) { Set32(i.bytes, i.optional + 112 + 2 * 8, 0x9000); });
    rejects("e_lfanew past the end", [](BuiltImage& i) { Set32(i.bytes, 0x3C, 0xFFFFFFF0u); });
    rejects("no sections", [](BuiltImage& i) { Set16(i.bytes, i.pe + 6, 0); });
}

TEST(PeVersionReaderTest, VersionResourceUnderAnotherIdOrNameIsNotSeen) {
    // Windows asks for id 1 (VS_VERSION_INFO) only; a record stored as id 2, or
    // under the name "VS_VERSION_INFO" when the header defining it was not
    // included, gives no version information there either.
    VersionResource r;
    const BuiltImage id2 = BuildImage(Dir(0, {Dir(16, {Dir(2, {Leaf(0x0409, StandardRecord())})})}));
    EXPECT_FALSE(r.LoadFromImage(id2.bytes.data(), id2.bytes.size()));
    const BuiltImage named = BuildImage(
        Dir(0, {Dir(16, {NamedDir(u"VS_VERSION_INFO", {Leaf(0x0409, StandardRecord())})})}));
    EXPECT_FALSE(r.LoadFromImage(named.bytes.data(), named.bytes.size()));

    // Other resources and named types around it do not get in the way.
    const BuiltImage mixed = BuildImage(Dir(0, {NamedDir(u"CUSTOM", {Dir(1, {Leaf(0, Bytes(8, 2))})}),
                                                Dir(3, {Dir(1, {Leaf(0x0409, Bytes(40, 1))})}),
                                                Dir(16, {NamedDir(u"OTHER", {Leaf(0, Bytes(8, 3))}),
                                                         Dir(1, {Leaf(0x0409, StandardRecord())})}),
                                                Dir(24, {Dir(1, {Leaf(0x0409, Bytes(16, 4))})})}));
    ASSERT_TRUE(r.LoadFromImage(mixed.bytes.data(), mixed.bytes.size()));
    EXPECT_EQ(String(r, "040904b0", "ProductName"), "Paneloom");
}

TEST(PeVersionReaderTest, PrefersNeutralThenUsEnglishThenFirstLanguage) {
    auto record = [](const std::u16string& product) {
        return Serialize(Root({StringInfo({Table(u"040904b0", {Text(u"ProductName", product)})})}));
    };
    auto chosen = [&](std::vector<ResNode> languages) {
        const BuiltImage image = BuildImage(Dir(0, {Dir(16, {Dir(1, std::move(languages))})}));
        VersionResource r;
        if (!r.LoadFromImage(image.bytes.data(), image.bytes.size())) return std::string("<none>");
        return String(r, "040904b0", "ProductName");
    };
    EXPECT_EQ(chosen({Leaf(0x0407, record(u"de")), Leaf(0x0409, record(u"us"))}), "us");
    EXPECT_EQ(chosen({Leaf(0x0000, record(u"neutral")), Leaf(0x0409, record(u"us"))}), "neutral");
    EXPECT_EQ(chosen({Leaf(0x0407, record(u"de")), Leaf(0x040C, record(u"fr"))}), "de");
    EXPECT_EQ(chosen({}), "<none>");
}

TEST(PeVersionReaderTest, ReadsTextFromWritersThatCountBytesOrOmitTheNul) {
    VBlock bytesCounted = Text(u"CompanyName", u"Bytes Inc");
    bytesCounted.valueLength = static_cast<std::uint16_t>(bytesCounted.value.size());
    VBlock noNul{u"ProductName", Utf16(u"NoNul"), 5, 1, {}};
    VBlock empty{u"LegalCopyright", {}, 0, 1, {}};
    VBlock binaryTyped = Text(u"ProductVersion", u"1.0");
    binaryTyped.type = 0;
    binaryTyped.valueLength = static_cast<std::uint16_t>(binaryTyped.value.size());
    VBlock overlong = Text(u"Comments", u"Short");
    overlong.valueLength = 0xFFFF;
    const Bytes record = Serialize(Root(
        {StringInfo({Table(u"040904b0", {bytesCounted, noNul, empty, binaryTyped, overlong,
                                         Text(u"After", u"still found")})})}));

    VersionResource r;
    ASSERT_TRUE(r.LoadFromRecord(record.data(), record.size()));
    EXPECT_EQ(String(r, "040904b0", "CompanyName"), "Bytes Inc");
    EXPECT_EQ(String(r, "040904b0", "ProductName"), "NoNul");
    EXPECT_EQ(String(r, "040904b0", "LegalCopyright"), "");
    EXPECT_EQ(String(r, "040904b0", "ProductVersion"), "1.0");
    EXPECT_EQ(String(r, "040904b0", "Comments"), "Short");
    EXPECT_EQ(String(r, "040904b0", "After"), "still found");

    // A count that stops short of the text is honoured, as Windows does.
    VBlock shortCount = Text(u"CompanyName", u"Truncated");
    shortCount.valueLength = 5;
    const Bytes shortRecord = Serialize(Root({StringInfo({Table(u"040904b0", {shortCount})})}));
    ASSERT_TRUE(r.LoadFromRecord(shortRecord.data(), shortRecord.size()));
    EXPECT_EQ(String(r, "040904b0", "CompanyName"), "Trunc");
}

TEST(PeVersionReaderTest, ConvertsTextToWindows1252AndUtf8) {
    const std::u16string value = u"Caf\u00e9 \u00a9 \u20ac\u2122 \u03a9 \U0001F600 \xD800x \u0081";
    const Bytes record = Serialize(Root({StringInfo({Table(u"040904b0", {Text(u"CompanyName", value)})})}));
    VersionResource r;
    ASSERT_TRUE(r.LoadFromRecord(record.data(), record.size()));
    EXPECT_EQ(String(r, "040904b0", "CompanyName"), "Caf\xE9 \xA9 \x80\x99 ? ? ?x \x81");

    // Read into UTF-8 every character stays, a broken surrogate as U+FFFD.
    VersionValue v;
    ASSERT_TRUE(QueryVersionValue(r.Record().data(), r.Record().size(), "\\StringFileInfo\\040904b0\\CompanyName", v));
    EXPECT_EQ(v.utf8Text, "Caf\xC3\xA9 \xC2\xA9 \xE2\x82\xAC\xE2\x84\xA2 \xCE\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBDx \xC2\x81");
}

TEST(PeVersionReaderTest, EachLoadReplacesWhatWasLoaded) {
    const BuiltImage image = StandardImage();
    const Bytes junk(100, 0x5A);
    VersionResource r;
    ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));
    EXPECT_FALSE(r.LoadFromImage(junk.data(), junk.size()));
    EXPECT_EQ(r.RecordSize(), 0u);
    EXPECT_TRUE(r.Record().empty());
    EXPECT_FALSE(r.HasTranslationTable());
    EXPECT_EQ(String(r, "040904b0", "CompanyName"), "<absent>");

    ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));
    EXPECT_FALSE(r.LoadFromRecord(junk.data(), 5));
    EXPECT_EQ(r.RecordSize(), 0u);
    ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));
    r.Clear();
    EXPECT_EQ(r.RecordSize(), 0u);
}

// ---------------------------------------------------------------------------
// Hostile input. Each case copies the bytes into a buffer of exactly their
// size, so that a read past the end is caught by AddressSanitizer.

TEST(PeVersionReaderHostileTest, EveryTruncationIsRejectedOrReadInFull) {
    for (bool pe64 : {true, false}) {
        const BuiltImage image = StandardImage(pe64);
        const Bytes record = StandardRecord();
        const std::size_t recordAt = Find(image.bytes, record);
        ASSERT_NE(recordAt, std::string::npos);
        const std::size_t recordEnd = recordAt + record.size();
        for (std::size_t length = 0; length <= image.bytes.size(); ++length) {
            const Bytes prefix(image.bytes.begin(), image.bytes.begin() + static_cast<std::ptrdiff_t>(length));
            VersionResource r;
            const bool loaded = r.LoadFromImage(prefix.data(), prefix.size());
            ASSERT_EQ(loaded, length >= recordEnd) << "length " << length;
            ExerciseLookups(r);
            if (loaded) {
                ASSERT_EQ(String(r, "040904b0", "ProductVersion"), "2.5.1");
            }
        }
    }
}

TEST(PeVersionReaderHostileTest, EveryTruncatedRecordIsReadSafely) {
    const Bytes record = StandardRecord();
    for (std::size_t length = 0; length <= record.size(); ++length) {
        const Bytes prefix(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(length));
        VersionResource r;
        ASSERT_EQ(r.LoadFromRecord(prefix.data(), prefix.size()), length >= 6);
        ExerciseLookups(r);
        // A block cut short is clipped, so what is found is a prefix.
        std::string value;
        if (r.QueryString("040904b0", "LegalCopyright", value)) {
            EXPECT_EQ(std::string("(c) 2024 Paneloom Makers").compare(0, value.size(), value), 0) << value;
        }
    }
}

TEST(PeVersionReaderHostileTest, CorruptingAnyByteNeverReadsOutsideTheImage) {
    const BuiltImage image = StandardImage();
    for (std::size_t at = 0; at < image.bytes.size(); ++at) {
        for (std::uint8_t poison : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x80}}) {
            Bytes bytes = image.bytes;
            bytes[at] = poison;
            VersionResource r;
            if (r.LoadFromImage(bytes.data(), bytes.size())) {
                EXPECT_LE(r.RecordSize(), bytes.size());
            }
            ExerciseLookups(r);
        }
    }
}

TEST(PeVersionReaderHostileTest, DirectoriesThatPointBackwardsOrOverflowAreRejected) {
    const BuiltImage base = StandardImage();
    // The root holds the icon type (3) then the version type (16); the
    // version entry's target is at root + 16 + 8 + 4.
    const std::size_t versionTarget = base.resourceOffset + 16 + 8 + 4;
    VersionResource r;

    BuiltImage loop = base;
    Set32(loop.bytes, versionTarget, kHighBit | 0);  // the type points at the root
    EXPECT_FALSE(r.LoadFromImage(loop.bytes.data(), loop.bytes.size()));

    BuiltImage asData = base;
    Set32(asData.bytes, versionTarget, 0);  // a data entry where a directory belongs
    EXPECT_FALSE(r.LoadFromImage(asData.bytes.data(), asData.bytes.size()));

    BuiltImage farAway = base;
    Set32(farAway.bytes, versionTarget, kHighBit | 0x7FFFFFF0u);
    EXPECT_FALSE(r.LoadFromImage(farAway.bytes.data(), farAway.bytes.size()));

    BuiltImage manyEntries = base;
    Set16(manyEntries.bytes, base.resourceOffset + 14, 0xFFFF);
    Set16(manyEntries.bytes, base.resourceOffset + 12, 0xFFFF);
    EXPECT_FALSE(r.LoadFromImage(manyEntries.bytes.data(), manyEntries.bytes.size()));
}

TEST(PeVersionReaderHostileTest, ResourceDataMustLieInsideItsSection) {
    const BuiltImage base = StandardImage();
    const Bytes record = StandardRecord();
    const std::size_t recordAt = Find(base.bytes, record);
    // The record's data entry is the one whose size field holds its length.
    Bytes sizeField;
    Put32(sizeField, static_cast<std::uint32_t>(record.size()));
    const std::size_t entrySize = Find(base.bytes, sizeField, base.resourceOffset);
    ASSERT_NE(entrySize, std::string::npos);
    ASSERT_LT(entrySize, recordAt);
    VersionResource r;

    BuiltImage huge = base;
    Set32(huge.bytes, entrySize, 0xFFFFFFF0u);
    EXPECT_FALSE(r.LoadFromImage(huge.bytes.data(), huge.bytes.size()));

    BuiltImage tiny = base;
    Set32(tiny.bytes, entrySize, 4);
    EXPECT_FALSE(r.LoadFromImage(tiny.bytes.data(), tiny.bytes.size()));

    BuiltImage elsewhere = base;
    Set32(elsewhere.bytes, entrySize - 4, 0x7000);
    EXPECT_FALSE(r.LoadFromImage(elsewhere.bytes.data(), elsewhere.bytes.size()));
}

TEST(PeVersionReaderHostileTest, DamagedRecordLoadsButItsLookupsFail) {
    // The image is sound and its record is found, but the record's children
    // are broken: as on Windows the size query succeeds and lookups fail.
    Bytes record = StandardRecord();
    const std::size_t stringInfo = Find(record, Utf16(u"StringFileInfo")) - 6;
    Set16(record, stringInfo, 0);  // a zero length ends the walk
    VersionResource r;
    const BuiltImage image = BuildImage(VersionTree(record));
    ASSERT_TRUE(r.LoadFromImage(image.bytes.data(), image.bytes.size()));
    EXPECT_GT(r.RecordSize(), 0u);
    EXPECT_FALSE(r.HasTranslationTable());
    EXPECT_EQ(String(r, "040904b0", "CompanyName"), "<absent>");

    // A last child whose length runs past its parent is clipped to it.
    Bytes overrun = StandardRecord();
    Set16(overrun, Find(overrun, Utf16(u"VarFileInfo")) - 6, 0xFFFF);
    ASSERT_TRUE(r.LoadFromRecord(overrun.data(), overrun.size()));
    ASSERT_EQ(r.Translations().size(), 1u);
    EXPECT_EQ(r.Translations()[0].codePage, 0x04B0);
    EXPECT_EQ(String(r, "040904b0", "ProductName"), "Paneloom");

    // A key without its NUL inside the block is passed over, not read beyond.
    Bytes keyless = StandardRecord();
    const std::size_t company = Find(keyless, Utf16(u"CompanyName")) - 6;
    Set16(keyless, company, 6 + 4);
    ASSERT_TRUE(r.LoadFromRecord(keyless.data(), keyless.size()));
    EXPECT_EQ(String(r, "040904b0", "CompanyName"), "<absent>");
    ExerciseLookups(r);
}

}  // namespace
}  // namespace paneloom::formats
