// libjpeg and libwebp opened by name at run time: every function found or
// nothing, and a decoder without its library refuses the picture as it
// refuses a corrupt one.
#include "platform/linux/drawing/codec_libraries.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/linux/drawing/picture_decoders.h"
#include "support/picture_maker.h"

namespace paneloom::platform::lnx {
namespace {

const JpegLibrary* NoJpeg() { return nullptr; }
const WebpLibrary* NoWebp() { return nullptr; }

TEST(CodecLibraries, OpenOnlyWhenTheLibraryHasEveryFunction) {
    struct Case {
        const char* what;
        bool opened;
        bool expected;
    };
    const Case cases[] = {
        {"libjpeg", OpenJpegLibrary("libjpeg.so.62") != nullptr, true},
        {"libjpeg missing", OpenJpegLibrary("libjpeg-missing.so.62") != nullptr, false},
        {"libwebp in libjpeg's place", OpenJpegLibrary("libwebp.so.7") != nullptr, false},
        {"libwebp", OpenWebpLibrary("libwebp.so.7") != nullptr, true},
        {"libwebp missing", OpenWebpLibrary("libwebp-missing.so.7") != nullptr, false},
        {"libjpeg in libwebp's place", OpenWebpLibrary("libjpeg.so.62") != nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.opened, c.expected);
    }
    ASSERT_NE(SystemJpeg(), nullptr);
    ASSERT_NE(SystemWebp(), nullptr);
    EXPECT_EQ(SystemJpeg(), SystemJpeg());
    EXPECT_EQ(SystemWebp(), SystemWebp());
}

TEST(CodecLibraries, WithoutItsLibraryADecoderRefusesThePictureAndLeavesTheBitmap) {
    const testing::ColourGrid grid{5, 3, std::vector<std::uint32_t>(15, 0x336699)};
    const std::string jpeg = testing::GridAsJpeg(grid);
    const std::string webp = testing::GridAsWebp(grid);
    ASSERT_FALSE(jpeg.empty());
    ASSERT_FALSE(webp.empty());
    struct Case {
        const char* what;
        const std::string& file;
        JpegSource jpegLibrary;  // null: a WebP file
        WebpSource webpLibrary;
        bool decoded;
    };
    const Case cases[] = {
        {"jpeg", jpeg, SystemJpeg, nullptr, true},
        {"jpeg without libjpeg", jpeg, NoJpeg, nullptr, false},
        {"webp", webp, nullptr, SystemWebp, true},
        {"webp without libwebp", webp, nullptr, NoWebp, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.file.data());
        Dib out;
        const bool decoded = c.jpegLibrary != nullptr ? DecodeJpeg(data, c.file.size(), out, nullptr, c.jpegLibrary)
                                                      : DecodeWebp(data, c.file.size(), out, c.webpLibrary);
        EXPECT_EQ(decoded, c.decoded);
        EXPECT_EQ(out.Valid(), c.decoded);
        if (c.decoded) {
            EXPECT_EQ(out.width, 5);
            EXPECT_EQ(out.height, 3);
        }
    }
}

}  // namespace
}  // namespace paneloom::platform::lnx
