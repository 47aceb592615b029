// The picture at the screen's size: which picture a run starts from, the
// record kept between runs, and how a picture is laid out on the screen.
#include "render/screen_picture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "render/wallpaper_record.h"
#include "support/bmp_maker.h"
#include "support/fakes.h"
#include "support/scratch.h"

namespace paneloom {
namespace {

using platform::Pixels;
using platform::WallpaperStyle;

constexpr std::uint32_t kRed = 0xFF0000;   // as pixels hold it, 0x00RRGGBB
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kGreenColour = 0x00FF00;  // 0x00BBGGRR: the same green

// A picture whose left half is red and right half blue.
Pixels Halves(std::int32_t width, std::int32_t height) {
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) pixels.data.push_back(x < width / 2 ? kRed : kBlue);
    }
    return pixels;
}

// Nearest-neighbour, so that where each source pixel lands is exact; the
// parts asked for are kept.
class NearestScaler : public platform::Scaler {
public:
    std::vector<platform::ScaledPart> parts;
    bool fails = false;

    bool Scale(const Pixels& source, const platform::ScaledPart& part, Pixels& result) override {
        parts.push_back(part);
        if (fails) return false;
        result.width = part.width;
        result.height = part.height;
        result.data.clear();
        for (std::int32_t y = 0; y < part.height; ++y) {
            for (std::int32_t x = 0; x < part.width; ++x) {
                const std::int64_t sx = (2 * static_cast<std::int64_t>(x + part.left) + 1) * source.width / (2 * part.scaledWidth);
                const std::int64_t sy = (2 * static_cast<std::int64_t>(y + part.top) + 1) * source.height / (2 * part.scaledHeight);
                result.data.push_back(source.At(static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy)));
            }
        }
        return true;
    }
};

// One row of a picture as letters: r red, b blue, g green (the desktop
// colour), ? anything else.
std::string Row(const Pixels& pixels, std::int32_t y) {
    std::string row;
    for (std::int32_t x = 0; x < pixels.width; ++x) {
        const std::uint32_t p = pixels.At(x, y);
        row += p == kRed ? 'r' : p == kBlue ? 'b' : p == kGreen ? 'g' : '?';
    }
    return row;
}

TEST(ComposePixels, EachStyleLaysThePictureOutOnTheScreen) {
    struct Case {
        const char* name;
        WallpaperStyle style;
        std::int32_t sourceWidth, sourceHeight;
        std::vector<std::string> rows;  // the 8 x 4 screen
        std::vector<platform::ScaledPart> parts;
    };
    const Case cases[] = {
        {"center, smaller", WallpaperStyle::Center, 4, 2, {"gggggggg", "ggrrbbgg", "ggrrbbgg", "gggggggg"}, {}},
        {"center, larger: cropped about the middle", WallpaperStyle::Center, 12, 6,
         {"rrrrbbbb", "rrrrbbbb", "rrrrbbbb", "rrrrbbbb"}, {}},
        {"tile from the top left", WallpaperStyle::Tile, 6, 3, {"rrrbbbrr", "rrrbbbrr", "rrrbbbrr", "rrrbbbrr"}, {}},
        {"stretch", WallpaperStyle::Stretch, 2, 2, {"rrrrbbbb", "rrrrbbbb", "rrrrbbbb", "rrrrbbbb"},
         {{8, 4, 0, 0, 8, 4}}},
        // 4 x 4 covers 8 x 4 at 8 x 8, cropped to its middle rows.
        {"fill, taller", WallpaperStyle::Fill, 4, 4, {"rrrrbbbb", "rrrrbbbb", "rrrrbbbb", "rrrrbbbb"},
         {{8, 8, 0, 2, 8, 4}}},
        // 16 x 2 covers 8 x 4 at 32 x 4, cropped to its middle columns.
        {"fill, wider", WallpaperStyle::Fill, 16, 2, {"rrrrbbbb", "rrrrbbbb", "rrrrbbbb", "rrrrbbbb"},
         {{32, 4, 12, 0, 8, 4}}},
        {"fit, taller: bands at the sides", WallpaperStyle::Fit, 2, 2, {"ggrrbbgg", "ggrrbbgg", "ggrrbbgg", "ggrrbbgg"},
         {{4, 4, 0, 0, 4, 4}}},
        {"fit, wider: bands above and below", WallpaperStyle::Fit, 16, 4, {"gggggggg", "rrrrbbbb", "rrrrbbbb", "gggggggg"},
         {{8, 2, 0, 0, 8, 2}}},
        {"fit at its own size asks no scaler", WallpaperStyle::Fit, 4, 4, {"ggrrbbgg", "ggrrbbgg", "ggrrbbgg", "ggrrbbgg"},
         {}},
        {"fill at the screen's size asks no scaler", WallpaperStyle::Fill, 8, 4,
         {"rrrrbbbb", "rrrrbbbb", "rrrrbbbb", "rrrrbbbb"}, {}},
    };
    for (const Case& c : cases) {
        NearestScaler scaler;
        const Pixels screen = ComposePixels(Halves(c.sourceWidth, c.sourceHeight), c.style, 8, 4, kGreenColour, scaler);
        ASSERT_EQ(8, screen.width) << c.name;
        ASSERT_EQ(4, screen.height) << c.name;
        std::vector<std::string> rows;
        for (std::int32_t y = 0; y < 4; ++y) rows.push_back(Row(screen, y));
        EXPECT_EQ(c.rows, rows) << c.name;
        ASSERT_EQ(c.parts.size(), scaler.parts.size()) << c.name;
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            const platform::ScaledPart& want = c.parts[i];
            const platform::ScaledPart& got = scaler.parts[i];
            EXPECT_EQ((std::vector<std::int32_t>{want.scaledWidth, want.scaledHeight, want.left, want.top, want.width,
                                                 want.height}),
                      (std::vector<std::int32_t>{got.scaledWidth, got.scaledHeight, got.left, got.top, got.width,
                                                 got.height}))
                << c.name;
        }
    }
}

TEST(ComposePixels, WithoutAPictureOrAScalerTheScreenStillGetsOne) {
    NearestScaler scaler;
    const Pixels plain = ComposePixels(Pixels(), WallpaperStyle::Fill, 3, 2, kGreenColour, scaler);
    EXPECT_EQ((std::vector<std::uint32_t>(6, kGreen)), plain.data);
    EXPECT_TRUE(scaler.parts.empty());

    // A scaler that fails leaves the picture centred as it is.
    scaler.fails = true;
    const Pixels centred = ComposePixels(Halves(4, 2), WallpaperStyle::Stretch, 8, 4, kGreenColour, scaler);
    EXPECT_EQ("ggrrbbgg", Row(centred, 1));
    EXPECT_EQ("gggggggg", Row(centred, 0));
}

TEST(ComposePixels, TheSystemsScalerShrinksAndGrowsWithoutLosingThePicture) {
    struct Case {
        WallpaperStyle style;
        std::int32_t sourceWidth, sourceHeight;
    };
    // Shrinking and growing, to cover (fill) and to fit: the left half
    // stays red and the right half blue, away from where they meet.
    for (const Case c : {Case{WallpaperStyle::Fill, 300, 100}, Case{WallpaperStyle::Fill, 20, 40},
                         Case{WallpaperStyle::Stretch, 200, 150}, Case{WallpaperStyle::Fit, 30, 10}}) {
        const Pixels screen = ComposePixels(Halves(c.sourceWidth, c.sourceHeight), c.style, 64, 48, kGreenColour,
                                            platform::RealImpl<platform::Scaler>());
        ASSERT_EQ(64u * 48u, screen.data.size());
        const std::int32_t y = 24;
        EXPECT_EQ(kRed, screen.At(8, y)) << c.sourceWidth << "x" << c.sourceHeight;
        EXPECT_EQ(kRed, screen.At(28, y)) << c.sourceWidth << "x" << c.sourceHeight;
        EXPECT_EQ(kBlue, screen.At(36, y)) << c.sourceWidth << "x" << c.sourceHeight;
        EXPECT_EQ(kBlue, screen.At(56, y)) << c.sourceWidth << "x" << c.sourceHeight;
    }
}

TEST(ScreenBitmap, PixelsGoThroughTheSystemsBitmapUnchanged) {
    const Pixels halves = Halves(6, 3);
    platform::BitmapHandle bitmap = BitmapOfPixels(halves);
    ASSERT_NE(nullptr, bitmap);
    Pixels back;
    ASSERT_TRUE(PixelsOfBitmap(bitmap, back));
    platform::Get<platform::Graphics>().DeleteBitmap(bitmap);
    EXPECT_EQ(6, back.width);
    EXPECT_EQ(3, back.height);
    EXPECT_EQ(halves.data, back.data);
}

// A picture of four quarters: red and blue above, green and white below,
// so that a picture turned upside down or mirrored shows.
Pixels Quarters(std::int32_t width, std::int32_t height) {
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const bool left = x < width / 2;
            pixels.data.push_back(y < height / 2 ? (left ? kRed : kBlue) : (left ? kGreen : 0xFFFFFFu));
        }
    }
    return pixels;
}

TEST(ScreenBitmap, APictureInTheSystemsBitmapIsComposedUprightInEveryStyle) {
    // The loaded picture is a bitmap of the system's (its rows scaled where
    // they are, where the system keeps them so); the screen is 64 x 48 of
    // the desktop colour, black here.
    struct Case {
        const char* name;
        WallpaperStyle style;
        std::int32_t sourceWidth, sourceHeight;
        std::vector<std::string> samples;  // rows 6, 18, 30, 42 at columns 4, 20, 44, 60
    };
    const Case cases[] = {
        {"stretch, shrinking", WallpaperStyle::Stretch, 120, 60, {"rrbb", "rrbb", "ggww", "ggww"}},
        {"stretch, growing", WallpaperStyle::Stretch, 16, 12, {"rrbb", "rrbb", "ggww", "ggww"}},
        // 96 x 96 covers 64 x 48 at 64 x 64: rows 8 to 56 shown.
        {"fill, cropped top and bottom", WallpaperStyle::Fill, 96, 96, {"rrbb", "rrbb", "ggww", "ggww"}},
        // 200 x 50 fits at 64 x 16: rows 16 to 32, bands above and below.
        {"fit, bands", WallpaperStyle::Fit, 200, 50, {"....", "rrbb", "ggww", "...."}},
        {"center", WallpaperStyle::Center, 32, 24, {"....", ".rb.", ".gw.", "...."}},
        {"tile", WallpaperStyle::Tile, 32, 24, {"rbrb", "gwgw", "rbrb", "gwgw"}},
    };
    for (const Case& c : cases) {
        platform::BitmapHandle bitmap = BitmapOfPixels(Quarters(c.sourceWidth, c.sourceHeight));
        ASSERT_NE(nullptr, bitmap) << c.name;
        ScreenPicture plan;
        plan.compose = true;
        plan.style = c.style;
        plan.colour = 0;
        plan.screen = {64, 48};
        ComposeScreenBitmap(plan, bitmap);
        Pixels screen;
        ASSERT_TRUE(PixelsOfBitmap(bitmap, screen)) << c.name;
        platform::Get<platform::Graphics>().DeleteBitmap(bitmap);
        ASSERT_EQ(64, screen.width) << c.name;
        ASSERT_EQ(48, screen.height) << c.name;
        std::vector<std::string> samples;
        for (std::int32_t y : {6, 18, 30, 42}) {
            std::string row;
            for (std::int32_t x : {4, 20, 44, 60}) {
                const std::uint32_t p = screen.At(x, y);
                row += p == kRed ? 'r' : p == kBlue ? 'b' : p == kGreen ? 'g' : p == 0xFFFFFFu ? 'w' : p == 0 ? '.' : '?';
            }
            samples.push_back(row);
        }
        EXPECT_EQ(c.samples, samples) << c.name;
    }
}

TEST(WallpaperRecordText, RoundTripsAndRefusesWhatIsNotARecord) {
    WallpaperRecord record;
    record.original = "/home/a b/Pictures/sky=blue.jpg";
    record.size = 123456789012ull;
    record.modified = -5;
    record.style = WallpaperStyle::Fit;
    WallpaperRecord back;
    ASSERT_TRUE(ParseRecord(FormatRecord(record), back));
    EXPECT_EQ(record, back);

    const std::string whole = FormatRecord(record);
    const std::vector<std::string> refused = {
        "",
        "paneloom wallpaper record 2\n" + whole.substr(whole.find('\n') + 1),
        whole.substr(0, whole.find("style=")),
        whole.substr(0, whole.find("style=")) + "style=zoom\n",
        whole.substr(0, whole.find("size=")) + "size=12x\n" + whole.substr(whole.find("modified=")),
        whole.substr(0, whole.find("size=")) + "size=99999999999999999999\n" + whole.substr(whole.find("modified=")),
    };
    for (const std::string& text : refused) {
        WallpaperRecord untouched;
        EXPECT_FALSE(ParseRecord(text, untouched)) << text;
        EXPECT_TRUE(untouched.original.empty()) << text;
    }
    // Each output has its own record, named the same on every run.
    EXPECT_EQ(RecordFileName("/a/out.bmp"), RecordFileName("/a/out.bmp"));
    EXPECT_NE(RecordFileName("/a/out.bmp"), RecordFileName("/b/out.bmp"));
}

// A desktop that shows what the test says, with the record kept in a
// scratch folder; the pictures are real files there.
class PlanTest : public ::testing::Test {
protected:
    PlanTest() {
        desktop.fullPathPrefix = scratch.path().string() + "/";
        desktop.stateDirectory = scratch.file("state") + "/";
        std::filesystem::create_directory(scratch.file("state"));
        desktop.screen = {1024, 768};
        desktop.current.colour = 0x123456;
        settings.inputCurrentWallpaper = true;
        settings.outputBitmapPath = "out.bmp";
    }

    std::string Path(const std::string& name) const { return scratch.file(name); }
    void Show(const std::string& name, WallpaperStyle style) {
        desktop.current.path = name.empty() ? std::string() : Path(name);
        desktop.current.style = style;
        desktop.current.styleKnown = true;
    }
    ScreenPicture Plan() {
        ScreenPicture plan;
        EXPECT_TRUE(PlanScreenPicture(settings, plan));
        return plan;
    }

    testing::ScratchDir scratch;
    testing::FakeDesktop desktop;
    platform::ScopedFake<platform::Desktop> fake{desktop};
    RunSettings settings;
};

TEST_F(PlanTest, TheRecordFollowsTheUsersPictureAcrossRuns) {
    scratch.Write("a.png", "picture a");
    scratch.Write("b.png", "picture b, longer");
    scratch.Write("out.bmp", "an output");
    settings.inputNamed = true;
    settings.inputBitmapPath = "fallback.bmp";
    struct Step {
        const char* what;
        std::string shown;  // "" when the desktop shows no picture
        WallpaperStyle shownStyle;
        const char* removeFirst;
        std::string source;  // "" for the desktop colour alone
        WallpaperStyle style;
    };
    const Step steps[] = {
        {"the user's picture becomes the original", "a.png", WallpaperStyle::Fill, nullptr, Path("a.png"),
         WallpaperStyle::Fill},
        {"our own output shows: back to the original, in the user's style", "out.bmp", WallpaperStyle::Center,
         nullptr, Path("a.png"), WallpaperStyle::Fill},
        {"and again, the same", "out.bmp", WallpaperStyle::Center, nullptr, Path("a.png"), WallpaperStyle::Fill},
        {"another picture chosen becomes the original", "b.png", WallpaperStyle::Fit, nullptr, Path("b.png"),
         WallpaperStyle::Fit},
        {"which our output then stands for", "out.bmp", WallpaperStyle::Center, nullptr, Path("b.png"),
         WallpaperStyle::Fit},
        {"the original gone: the named fallback", "out.bmp", WallpaperStyle::Center, "b.png", "fallback.bmp",
         WallpaperStyle::Fit},
        {"no picture shown: the named fallback", "", WallpaperStyle::Center, nullptr, "fallback.bmp",
         WallpaperStyle::Center},
        {"a picture shown that is gone: the fallback", "gone.png", WallpaperStyle::Tile, nullptr, "fallback.bmp",
         WallpaperStyle::Center},
    };
    for (const Step& step : steps) {
        if (step.removeFirst != nullptr) std::filesystem::remove(Path(step.removeFirst));
        Show(step.shown, step.shownStyle);
        const ScreenPicture plan = Plan();
        EXPECT_EQ(step.source, plan.source) << step.what;
        EXPECT_EQ(step.style, plan.style) << step.what;
        EXPECT_EQ(0x123456u, plan.colour) << step.what;
        EXPECT_EQ(1024, plan.screen.width) << step.what;
    }
    // One record for the one output, naming the last original.
    const std::vector<std::string> records = scratch.Names("state");
    ASSERT_EQ(1u, records.size());
    WallpaperRecord record;
    ASSERT_TRUE(ReadRecordFile(scratch.file("state/" + records[0]), record));
    EXPECT_EQ(Path("b.png"), record.original);
}

TEST_F(PlanTest, ADesktopPictureNoCodecReadsGivesWayToTheFallbackThenTheColour) {
    scratch.Write("slideshow.xml", "<background><static><file>a.jpg</file></static></background>");
    scratch.Write("fallback.bmp", testing::PatternBmpAsWritten(4, 2, 24));
    struct Case {
        const char* what;
        bool fromDesktop;
        std::string fallback;
        bool loaded;
        std::string source;
    };
    const Case cases[] = {
        {"the desktop's: the fallback", true, Path("fallback.bmp"), true, Path("fallback.bmp")},
        {"the desktop's, no fallback: the colour", true, "", false, ""},
        {"the configuration's own: a failure", false, Path("fallback.bmp"), false, Path("slideshow.xml")},
    };
    for (const Case& c : cases) {
        ScreenPicture plan;
        plan.compose = true;
        plan.source = Path("slideshow.xml");
        plan.fromDesktop = c.fromDesktop;
        plan.fallback = c.fallback;
        platform::BitmapHandle bitmap = LoadScreenSource(plan);
        EXPECT_EQ(c.loaded, bitmap != nullptr) << c.what;
        EXPECT_EQ(c.source, plan.source) << c.what;
        platform::Get<platform::Graphics>().DeleteBitmap(bitmap);
    }
}

TEST_F(PlanTest, WithoutARecordOrAFallbackOurOutputGivesTheDesktopColour) {
    scratch.Write("out.bmp", "an output");
    desktop.stateDirectory.clear();  // no folder for records
    Show("out.bmp", WallpaperStyle::Center);
    settings.backgroundStyle = 4;
    const ScreenPicture plan = Plan();
    EXPECT_EQ("", plan.source);
    EXPECT_EQ(WallpaperStyle::Fit, plan.style);
}

TEST_F(PlanTest, TheScreensSizeAloneComposesTheNamedPictureInTheConfiguredStyle) {
    scratch.Write("a.png", "picture a");
    Show("a.png", WallpaperStyle::Tile);
    settings.inputCurrentWallpaper = false;
    settings.inputAtScreenSize = true;
    settings.inputBitmapPath = "photo.jpg";
    settings.backgroundStyle = 3;
    const ScreenPicture plan = Plan();
    EXPECT_EQ("photo.jpg", plan.source);
    EXPECT_EQ(WallpaperStyle::Fill, plan.style);
    EXPECT_TRUE(scratch.Names("state").empty()) << "nothing is recorded for a named picture";

    settings.inputAtScreenSize = false;
    ScreenPicture none;
    EXPECT_FALSE(PlanScreenPicture(settings, none));
    EXPECT_FALSE(none.compose);
}

}  // namespace
}  // namespace paneloom
