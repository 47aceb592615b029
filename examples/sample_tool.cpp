// What the sample run needs besides the program itself:
//
//   paneloom_sample input <file.bmp> <width> <height>
//       writes the sample's input picture, a 24-bit gradient
//   paneloom_sample png <file.bmp> <file.png>
//       converts a .bmp the program wrote into a PNG for viewing
//
// A tool of the machine that builds, never of the program's target: the
// Windows build compiles it natively too, since libpng is Debian's and not
// mingw-w64's, and the pictures it reads and writes are just files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <png.h>

namespace {

struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgb;  // top row first, 3 bytes a pixel
};

std::uint32_t U16(const std::string& b, std::size_t at) {
    return static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8);
}
std::uint32_t U32(const std::string& b, std::size_t at) { return U16(b, at) | (U16(b, at + 2) << 16); }

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Uncompressed .bmp files of 1, 4, 8, 24 or 32 bits per pixel, as the
// program writes them.
bool DecodeBmp(const std::string& b, Image& image, std::string& error) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        error = "not a .bmp file";
        return false;
    }
    const std::uint32_t offBits = U32(b, 10);
    const std::uint32_t headerSize = U32(b, 14);
    const auto width = static_cast<std::int32_t>(U32(b, 18));
    const auto height = static_cast<std::int32_t>(U32(b, 22));
    const std::uint32_t bpp = U16(b, 28);
    const std::uint32_t compression = U32(b, 30);
    std::uint32_t colours = U32(b, 46);
    if (width <= 0 || height == 0 || width > 65536 || height > 65536 || height < -65536 || compression != 0 ||
        (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)) {
        error = "unsupported .bmp layout";
        return false;
    }
    if (bpp <= 8 && colours == 0) colours = 1u << bpp;
    const std::size_t table = 14 + static_cast<std::size_t>(headerSize);
    const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
    const std::size_t stride = ((static_cast<std::size_t>(width) * bpp + 31) / 32) * 4;
    if (bpp <= 8 && table + 4 * static_cast<std::size_t>(colours) > b.size()) {
        error = "colour table runs past the end";
        return false;
    }
    if (offBits > b.size() || stride * rows > b.size() - offBits) {
        error = "pixel data runs past the end";
        return false;
    }
    image.width = static_cast<std::uint32_t>(width);
    image.height = static_cast<std::uint32_t>(rows);
    image.rgb.assign(image.width * rows * 3, 0);
    for (std::size_t y = 0; y < rows; ++y) {
        const std::size_t stored = height < 0 ? y : rows - 1 - y;
        const auto* row = reinterpret_cast<const std::uint8_t*>(b.data()) + offBits + stored * stride;
        for (std::size_t x = 0; x < image.width; ++x) {
            std::uint8_t* out = &image.rgb[(y * image.width + x) * 3];
            if (bpp >= 24) {
                const std::uint8_t* p = row + x * (bpp / 8);
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
                continue;
            }
            const std::size_t perByte = 8 / bpp;
            const unsigned shift = static_cast<unsigned>(8 - bpp * (x % perByte + 1));
            const unsigned index = (row[x / perByte] >> shift) & ((1u << bpp) - 1);
            if (index >= colours) continue;
            const std::size_t entry = table + 4 * static_cast<std::size_t>(index);
            out[0] = static_cast<std::uint8_t>(b[entry + 2]);
            out[1] = static_cast<std::uint8_t>(b[entry + 1]);
            out[2] = static_cast<std::uint8_t>(b[entry]);
        }
    }
    return true;
}

// libpng's simplified interface: no error jumps to guard against, and the
// picture comes out deflate-compressed with adaptive row filters.
bool WritePng(const std::string& path, const Image& image, std::string& error) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_RGB;
    const bool written = png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(),
                                                 static_cast<png_int_32>(image.width * 3), nullptr) != 0;
    if (!written) error = png.message;
    png_image_free(&png);
    return written;
}

// A calm dark gradient with a faint diagonal weave, so that text of any
// light colour stands out and opaque cells are easy to see.
std::string MakeInput(std::uint32_t width, std::uint32_t height) {
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    std::string bmp = "BM";
    const std::uint32_t image = static_cast<std::uint32_t>(stride * height);
    auto put16 = [&](std::uint32_t v) {
        bmp.push_back(static_cast<char>(v & 0xFF));
        bmp.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put32(54 + image);
    put32(0);
    put32(54);
    put32(40);
    put32(width);
    put32(height);
    put16(1);
    put16(24);
    put32(0);
    put32(image);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (std::uint32_t row = 0; row < height; ++row) {
        const std::uint32_t y = height - 1 - row;  // bottom-up
        std::string line(stride, '\0');
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned weave = ((x + y) / 24 + (x + height - y) / 24) % 2 ? 6 : 0;
            const unsigned r = 12 + 20 * x / width + weave;
            const unsigned g = 24 + 40 * y / height + weave;
            const unsigned b = 60 + 70 * (x + y) / (width + height) + weave;
            line[3 * x] = static_cast<char>(b);
            line[3 * x + 1] = static_cast<char>(g);
            line[3 * x + 2] = static_cast<char>(r);
        }
        bmp += line;
    }
    return bmp;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: paneloom_sample input <file.bmp> <width> <height>\n"
                 "       paneloom_sample png <file.bmp> <file.png>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "input") {
        const long width = std::strtol(argv[3], nullptr, 10);
        const long height = std::strtol(argv[4], nullptr, 10);
        if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return Usage();
        if (!WriteFile(argv[2], MakeInput(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)))) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "png") {
        std::string bytes;
        if (!ReadFile(argv[2], bytes)) {
            std::fprintf(stderr, "cannot read %s\n", argv[2]);
            return 1;
        }
        Image image;
        std::string error;
        if (!DecodeBmp(bytes, image, error)) {
            std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
            return 1;
        }
        if (!WritePng(argv[3], image, error)) {
            std::fprintf(stderr, "%s: %s\n", argv[3], error.c_str());
            return 1;
        }
        return 0;
    }
    return Usage();
}
