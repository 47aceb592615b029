// The real Windows program asked its options under Wine, its output going to
// pipes: what each prints, and that none of them writes a file, a log or
// the wallpaper.
#include <initguid.h>
#include <windows.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/program_runner.h"
#include "e2e/win32/desktop_fixture.h"
#include "support/bmp_maker.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using testing::ProgramPath;
using testing::RunCapturing;
using testing::ScratchDir;

struct Ran {
    int code = -1;
    std::string output;
    std::string errors;
};

Ran RunProgram(const std::string& arguments, const ScratchDir& scratch) {
    Ran ran;
    ran.code = RunCapturing("\"" + ProgramPath() + "\" " + arguments, scratch.path().string(), ran.output, ran.errors);
    return ran;
}

// A configuration in the sample's manner on a pattern picture of its own.
constexpr const char* kConfig =
    "<globalsettings><inputbmp name=\"In.bmp\" /><outputbmp name=\"Out.bmp\" /></globalsettings>\n"
    "<displayoutput>\n"
    "  <textsettings><textstart x=\"20\" y=\"10\" /><font face=\"Arial\" points=\"14\" weight=\"700\" /></textsettings>\n"
    "  <output>\n"
    "    <textline>%HOSTNAME%</textline>\n"
    "    <textline transparent=\"0\" bgcolor=\"A05020\" textcolor=\"FFFFFF\">%OS% %USERNAME%</textline>\n"
    "    <textat x=\"300\" y=\"200\" align=\"1\" points=\"20\" textcolor=\"80D0FF\" string=\"centred\" />\n"
    "  </output>\n"
    "</displayoutput>\n";

void WriteConfig(const ScratchDir& scratch) {
    scratch.Write("desk.xml", kConfig);
    scratch.Write("In.bmp", testing::MakeBmp(testing::PatternBmp(400, 240, 24)));
}

// The sample configuration of the source tree, whose path the build gives
// as a Unix path: Wine's drive Z: is the Unix root.
std::string SampleConfiguration() {
    std::string path = PANELOOM_SAMPLE_CONFIG;
    for (char& c : path) c = c == '/' ? '\\' : c;
    std::ifstream file("Z:" + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string HostName() {
    char name[256] = {};
    DWORD size = sizeof name;
    GetComputerNameExA(ComputerNameDnsHostname, name, &size);
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The pixels of a PNG as the imaging component decodes them: BGR rows, top
// first.
bool DecodePng(const std::string& path, UINT& width, UINT& height, std::vector<BYTE>& bgr) {
    bool decoded = false;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converted = nullptr;
    const std::wstring wide(path.begin(), path.end());
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converted)) &&
        SUCCEEDED(converted->Initialize(frame, GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converted->GetSize(&width, &height))) {
        bgr.resize(static_cast<std::size_t>(width) * height * 3);
        decoded = SUCCEEDED(converted->CopyPixels(nullptr, width * 3, static_cast<UINT>(bgr.size()), bgr.data()));
    }
    if (converted != nullptr) converted->Release();
    if (frame != nullptr) frame->Release();
    if (decoder != nullptr) decoder->Release();
    if (factory != nullptr) factory->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    return decoded;
}

TEST(WindowsOptions, HelpAndVersionAnswerOnWindowsToo) {
    ScratchDir scratch;
    const Ran version = RunProgram("--version", scratch);
    EXPECT_EQ(0, version.code);
    EXPECT_EQ(std::string("Paneloom ") + PANELOOM_VERSION + "\n", version.output);
    const Ran help = RunProgram("--help", scratch);
    EXPECT_EQ(0, help.code);
    for (const char* part : {"--variables [FILE]", "--check [FILE]", "--preview OUT [FILE]",
                             "Paneloom.exe config=\"D:\\cfg\\desk.xml\"", "reads paneloom.xml"}) {
        EXPECT_NE(std::string::npos, help.output.find(part)) << part;
    }
    EXPECT_TRUE(scratch.Names().empty());
}

using WindowsOptionsDesktop = testing::WindowsProgramDesktop;

TEST_F(WindowsOptionsDesktop, VariablesAndCheckPrintAndChangeNothing) {
    ScratchDir scratch;
    WriteConfig(scratch);
    scratch.Write("typo.xml", "<displayoutput>\n  <output>\n    <textlne>%HOSTNAME%</textlne>\n  </output>\n"
                              "</displayoutput>\n");
    scratch.Write("Paneloom.bmp", testing::MakeBmp(testing::PatternBmp(640, 480, 24)));
    scratch.Write("sample.xml", SampleConfiguration());
    scratch.Write("sample-input.bmp", testing::MakeBmp(testing::PatternBmp(1280, 720, 24)));
    const auto before = scratch.Names();

    const Ran variables = RunProgram("--variables desk.xml", scratch);
    EXPECT_EQ(0, variables.code);
    EXPECT_EQ(0u, variables.output.find("%HOSTNAME%\t" + HostName() + "\n%DOMAIN%\t")) << variables.output;
    EXPECT_NE(std::string::npos, variables.output.find("\n%EXECUTABLE_VERSION%\t"));

    const Ran typo = RunProgram("--check typo.xml", scratch);
    EXPECT_EQ(1, typo.code);
    EXPECT_EQ("typo.xml:3: unknown element <textlne>, ignored: did you mean textline?\n", typo.output);

    // The Windows build reads picture names lower-cased.
    const Ran named = RunProgram("--check desk.xml", scratch);
    EXPECT_EQ(1, named.code);
    EXPECT_EQ("desk.xml:1: the name \"In.bmp\" in <inputbmp> is read lower-cased, as \"in.bmp\"\n"
              "desk.xml:1: the name \"Out.bmp\" in <outputbmp> is read lower-cased, as \"out.bmp\"\n",
              named.output);

    const Ran sample = RunProgram("--check sample.xml", scratch);
    EXPECT_EQ(0, sample.code);
    EXPECT_EQ("", sample.output);

    EXPECT_EQ(before, scratch.Names());
    for (const char* name : kNames) EXPECT_EQ("untouched", Value(name).value_or("missing")) << name;
}

TEST_F(WindowsOptionsDesktop, PreviewDrawsTheRunsPictureAndWritesNothingElse) {
    ScratchDir ran;
    WriteConfig(ran);
    EXPECT_EQ(0, testing::RunWithCommandLine("\"" + ProgramPath() + "\" config=\"desk.xml\"", ran.path().string()));
    const std::string written = ran.Read("out.bmp");
    ASSERT_FALSE(written.empty());
    for (const char* name : kNames) Set(name, "untouched");

    ScratchDir previewed;
    WriteConfig(previewed);
    const Ran png = RunProgram("--preview shown.png desk.xml", previewed);
    EXPECT_EQ(0, png.code) << png.errors;
    const Ran bmp = RunProgram("--preview shown.bmp desk.xml", previewed);
    EXPECT_EQ(0, bmp.code) << bmp.errors;
    EXPECT_EQ((std::vector<std::string>{"In.bmp", "desk.xml", "shown.bmp", "shown.png"}), previewed.Names());
    for (const char* name : kNames) EXPECT_EQ("untouched", Value(name).value_or("missing")) << name;
    EXPECT_EQ(written, previewed.Read("shown.bmp"));

    UINT width = 0, height = 0;
    std::vector<BYTE> bgr;
    ASSERT_TRUE(DecodePng(previewed.file("shown.png"), width, height, bgr));
    ASSERT_EQ(400u, width);
    ASSERT_EQ(240u, height);
    const std::string bits = written.substr(testing::U32At(written, 10));
    std::size_t differing = 0;
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            const std::uint32_t colour = testing::StoredColour(bits, "", 400, 24, static_cast<std::int32_t>(x),
                                                               static_cast<std::int32_t>(height - 1 - y));
            const BYTE* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
            if (p[2] != (colour & 0xFF) || p[1] != ((colour >> 8) & 0xFF) || p[0] != ((colour >> 16) & 0xFF)) {
                ++differing;
            }
        }
    }
    EXPECT_EQ(0u, differing);
}

}  // namespace
}  // namespace paneloom
