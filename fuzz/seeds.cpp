// Writes the seeds of the picture decoders' fuzz targets: small valid files
// of each form the tests make, into <directory>/<target>/.
//   fuzz_seeds <directory>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/picture_maker.h"

namespace {

namespace fs = std::filesystem;
using namespace paneloom::testing;

void Write(const fs::path& folder, const std::string& name, const std::string& bytes) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const fs::path root = argv[1];
    const ColourGrid colour = PatternGrid(19, 11);
    const ColourGrid few = FewColourGrid(19, 11);
    ColourGrid translucent = colour;
    for (std::size_t i = 0; i < translucent.colours.size(); ++i) {
        translucent.colours[i] = (translucent.colours[i] & 0xFFFFFF) | static_cast<std::uint32_t>((i * 23) & 0xFF) << 24;
    }

    const fs::path jpeg = root / "jpeg_decoder";
    Write(jpeg, "baseline.jpg", GridAsJpeg(colour));
    Write(jpeg, "progressive.jpg", GridAsJpeg(colour, JpegForm{true}));
    Write(jpeg, "grey.jpg", GridAsJpeg(GreyGrid(colour), JpegForm{false, true}));
    Write(jpeg, "cmyk.jpg", GridAsJpeg(colour, JpegForm{false, false, true}));
    Write(jpeg, "turned.jpg", WithExifOrientation(GridAsJpeg(colour), 6));

    const fs::path png = root / "png_decoder";
    Write(png, "rgb.png", GridAsPng(colour, {2, 8}));
    Write(png, "rgba16.png", GridAsPng(translucent, {6, 16}));
    Write(png, "grey1.png", GridAsPng(GreyGrid(few), {0, 8}));
    Write(png, "palette4-trns.png", GridAsPng(few, {3, 4, false, true}));
    Write(png, "rgb-trns.png", GridAsPng(few, {2, 8, false, true, 0xFFFFFF}));
    Write(png, "interlaced.png", GridAsPng(translucent, {6, 8, true}));

    const fs::path webp = root / "webp_decoder";
    Write(webp, "opaque.webp", GridAsWebp(colour));
    Write(webp, "alpha.webp", GridAsWebp(translucent, true));
    return 0;
}
