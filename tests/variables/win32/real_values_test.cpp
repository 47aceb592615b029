// The Windows layer against the real system, which in these tests is Wine.
#include <windows.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "codepage/ansi_text.h"
#include "common/format.h"
#include "e2e/program_runner.h"
#include "formats/pe_version.h"
#include "platform/version_records.h"
#include "support/pe_image.h"
#include "variables/variables_fixture.h"

namespace paneloom {
namespace {

const char* const kAllFour =
    "%EXECUTABLE_COMPANY%|%EXECUTABLE_PRODUCT%|%EXECUTABLE_VERSION%|%EXECUTABLE_COPYRIGHT%";

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

using RealWindowsValues = testing::SubstitutionTest;

TEST_F(RealWindowsValues, WinesDefaultSystemIsWindows7ServicePack1) {
    if (!UnderWine()) GTEST_SKIP() << "the expected version is Wine's";
    // Wine 8 presents Windows 7 by default; a manifest declaring newer
    // systems changes nothing there, as the version is not above 8.1.
    EXPECT_EQ("Windows 7|Service Pack 1|7601", Substitute("%OS%|%SERVICEPACK%|%BUILD%"));
}

TEST_F(RealWindowsValues, TheDefaultExecutableShowsPaneloomsOwnVersionRecord) {
    ASSERT_TRUE(CopyFileA(testing::ProgramPath().c_str(), scratch.file("Paneloom.exe").c_str(), FALSE));
    EXPECT_EQ(std::string("Paneloom Developers|Paneloom|") + PANELOOM_VERSION + "|Copyright (C) Paneloom Developers",
              Substitute(kAllFour));
}

TEST_F(RealWindowsValues, AMissingExecutableHasNoInfo) {
    settings.executablePath = "no such program.exe";
    EXPECT_EQ("[no info]|[no info]|[no info]|", Substitute(kAllFour));
}

TEST_F(RealWindowsValues, ThePortableReaderAgreesWithTheSystemOnPaneloomExe) {
    platform::VersionRecords& system = platform::RealImpl<platform::VersionRecords>();
    const std::string path = testing::ProgramPath();
    std::vector<std::uint8_t> record(system.RecordSize(path));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(system.ReadRecord(path, record));

    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    formats::VersionResource portable;
    ASSERT_TRUE(portable.LoadFromImage(image.data(), image.size()));
    const std::vector<formats::VersionTranslation> translations = portable.Translations();
    ASSERT_EQ(1u, translations.size());
    std::vector<std::uint8_t> table;
    ASSERT_TRUE(system.QueryBinary(record, "\\VarFileInfo\\Translation", table));
    ASSERT_EQ(4u, table.size());
    EXPECT_EQ(translations[0].language, table[0] | (table[1] << 8));
    EXPECT_EQ(translations[0].codePage, table[2] | (table[3] << 8));

    const std::string key = StringPrintf("%04x%04x", translations[0].language, translations[0].codePage);
    for (const char* name : {"CompanyName", "ProductName", "ProductVersion", "LegalCopyright", "FileVersion",
                             "OriginalFilename"}) {
        std::string bySystem;
        std::string byReader;
        EXPECT_TRUE(system.QueryText(record, "\\StringFileInfo\\" + key + "\\" + name, bySystem)) << name;
        EXPECT_TRUE(portable.QueryString(key, name, byReader)) << name;
        EXPECT_EQ(bySystem, byReader) << name;
    }
}

// HKEY_LOCAL_MACHINE redirected, for this process, to a key of the test's own
// whose processor key grants everyone reading and nothing else: what a normal
// user of Windows finds there. Wine checks the rights a key is opened with
// against its access list, as Windows does.
class ReadOnlyProcessorKey : public RealWindowsValues {
protected:
    static constexpr const char* kRoot = "Software\\PaneloomTests\\Machine";
    static constexpr const char* kProcessor = "Hardware\\Description\\System\\CentralProcessor\\0";

    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kRoot);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &root_, nullptr));
        HKEY processor = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root_, kProcessor, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                 &processor, nullptr));
        const DWORD clock = 2993;
        const char name[] = "Test Processor";
        RegSetValueExA(processor, "~MHz", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&clock), sizeof clock);
        RegSetValueExA(processor, "ProcessorNameString", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       sizeof name);
        EXPECT_TRUE(SetAccess(processor, "D:P(A;;KR;;;WD)"));
        RegCloseKey(processor);
        ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_));
    }

    void TearDown() override {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        // The owner may always change the access list, and then delete.
        HKEY processor = nullptr;
        if (root_ != nullptr && RegOpenKeyExA(root_, kProcessor, 0, WRITE_DAC, &processor) == ERROR_SUCCESS) {
            SetAccess(processor, "D:(A;;KA;;;WD)");
            RegCloseKey(processor);
        }
        if (root_ != nullptr) RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, kRoot);
    }

    static bool SetAccess(HKEY key, const char* accessList) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(accessList, SDDL_REVISION_1, &descriptor, nullptr)) {
            return false;
        }
        const bool set = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        LocalFree(descriptor);
        return set;
    }

    HKEY root_ = nullptr;
};

TEST_F(ReadOnlyProcessorKey, AUserWhoMayOnlyReadTheProcessorKeyGetsItsValues) {
    HKEY writable = nullptr;
    const LONG refused = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProcessor, 0, KEY_READ | KEY_WRITE, &writable);
    if (writable != nullptr) RegCloseKey(writable);
    ASSERT_EQ(ERROR_ACCESS_DENIED, refused) << "the key must refuse writing for this test to mean anything";

    EXPECT_EQ("2993 MHz|Test Processor", Substitute("%PROCMHZ%|%PROCNAME%"));
}

TEST_F(RealWindowsValues, DriveCGivesAFullVolumeLine) {
    const std::string line = Substitute("%VOLUME_C_INFO%");
    EXPECT_TRUE(std::regex_match(
        line, std::regex("C:\\\\  [0-9.]+/[0-9.]+ (KB|MB|GB) Free:[^:]+:'[^']*':SN 0x[1-9A-F][0-9A-F]*")))
        << line;
}

TEST_F(RealWindowsValues, MemoryIsNeverCapped) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    const unsigned long long kilobytes = (status.ullTotalPhys + 1023) / 1024;
    EXPECT_EQ(StringPrintf("%llu Kb RAM", kilobytes), Substitute("%RAMINFO%"));
}

TEST_F(RealWindowsValues, UserNameIsTheLoggedOnUser) {
    char expected[256] = {};
    const DWORD length = GetEnvironmentVariableA("USERNAME", expected, sizeof expected);
    if (length == 0 || length >= sizeof expected) GTEST_SKIP() << "no USERNAME to compare with";
    EXPECT_EQ(std::string(expected, length), Substitute("%USERNAME%"));
}

// A run of the code page a configuration chooses, back to the ANSI code
// page afterwards.
class RunCodePageValues : public testing::SubstitutionTest {
protected:
    ~RunCodePageValues() override { SelectRunCodePage({}); }
};

TEST_F(RunCodePageValues, AUtf8RunReadsVersionStringsOfAnyScriptFromAFileOfAnyName) {
    namespace pe = testing::pe;
    const std::vector<pe::VBlock> strings = {
        pe::Text(u"CompanyName", u"\u041A\u043E\u043C\u043F\u0430\u043D\u0438\u044F \u56FE"),
        pe::Text(u"ProductName", u"Paneloom"),
        pe::Text(u"ProductVersion", u"2.5.1"),
        pe::Text(u"LegalCopyright", u"\u00A9 2024"),
    };
    const pe::Bytes record =
        pe::Serialize(pe::Root({pe::StringInfo({pe::Table(u"040904b0", strings)}), pe::VarInfo({{0x0409, 0x04B0}})}));
    const pe::BuiltImage image = pe::BuildImage(pe::VersionTree(record));
    struct Case {
        const char* configuration;  // the text that chooses the run's code page
        const char* name;           // UTF-8 in a UTF-8 run
        const char* expected;
    };
    const Case cases[] = {
        {"<a>\xD0\x96</a>", "\xD0\xBF\xD1\x80\xD0\xBE\xD0\xB3.exe",
         "\xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBF\xD0\xB0\xD0\xBD\xD0\xB8\xD1\x8F \xE5\x9B\xBE|Paneloom|2.5.1|\xC2\xA9 2024"},
        // The ANSI run sees the strings as the ANSI functions give them.
        {"<a>plain</a>", "prog.exe", "???????? ?|Paneloom|2.5.1|\xA9 2024"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(scratch.path() / std::filesystem::u8path(c.name), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
        SelectRunCodePage(c.configuration);
        settings.executablePath = c.name;
        EXPECT_EQ(c.expected, Substitute(kAllFour));
    }
}

}  // namespace
}  // namespace paneloom
