// What the end-to-end text tests share on both builds: the configuration
// they run, reading back the bitmap the program wrote, and the checks of
// where the lines landed, so that both builds are held to the very same
// positions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paneloom::testing {

struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;  // top row first, 0x00BBGGRR

    std::uint32_t At(std::int32_t x, std::int32_t y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

// A .bmp of 24 or 32 bits per pixel as the program writes it; false for
// anything else.
bool ReadPicture(const std::string& bytes, Picture& picture);

// A 24-bit .bmp file of one colour.
std::string PlainPicture(std::int32_t width, std::int32_t height, std::uint32_t colour);

// A 24-bit .bmp file whose left half (width / 2 columns) is one colour and
// right half another.
std::string HalvesPicture(std::int32_t width, std::int32_t height, std::uint32_t left, std::uint32_t right);

// The same picture as an RGB PNG.
std::string HalvesPng(std::int32_t width, std::int32_t height, std::uint32_t left, std::uint32_t right);

// Where a colour first and last appears; -1 when it does not.
std::int32_t FirstRowWith(const Picture& picture, std::uint32_t colour);
std::int32_t FirstColumnWith(const Picture& picture, std::uint32_t colour);
std::int32_t LastColumnWith(const Picture& picture, std::uint32_t colour);

// Three lines in two displayoutput elements and one placed item, each with
// an opaque cell of its own colour, read from "plain.bmp" (640 x 160) and
// written to "drawn.bmp".
extern const char* const kLinesConfiguration;
inline constexpr std::int32_t kLinesWidth = 640;
inline constexpr std::int32_t kLinesHeight = 160;
inline constexpr std::uint32_t kLinesBackground = 0x808080;

// Checks the picture that kLinesConfiguration drew.
void ExpectLinesLaidOut(const Picture& picture);

// The sample configuration, examples/paneloom.xml, as the sources hold it.
std::string SampleConfiguration();

// The sample configuration's lines that hold more than ASCII (its Chinese
// and Arabic lines), as it writes them, %HOSTNAME% put as "HOST", in the
// sample's font for them (Arial, 16 points, 1 pixel of extra) on opaque
// cells of their own colours, 0000FF and 00FF00, one below the other from
// (40, 30), drawn from "plain.bmp" (kLinesWidth x kLinesHeight) into
// "drawn.bmp". Empty when the sample has no such lines.
std::string SampleScriptsConfiguration();

// A UTF-8 text as a file saved in UTF-16 with its byte-order mark, as
// Notepad saves "Unicode".
std::string SavedAsUtf16(const std::string& utf8, bool littleEndian);

// Checks the cells SampleScriptsConfiguration drew: both builds draw each
// line within a few pixels of the same width.
void ExpectSampleScriptsLaidOut(const Picture& picture);

}  // namespace paneloom::testing
