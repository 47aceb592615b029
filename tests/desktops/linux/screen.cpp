#include "desktops/linux/screen.h"

#include <cmath>
#include <sstream>

#include "support/bmp_maker.h"

namespace paneloom::testing {

namespace {

std::uint32_t BigEndian32(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

// The mask's bits of `pixel`, as an 8-bit channel.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while ((mask >> shift & 1) == 0) ++shift;
    const std::uint32_t top = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / top;
}

std::string Hex(std::uint32_t colour) {
    std::ostringstream text;
    text << "0x" << std::hex << colour;
    return text.str();
}

}  // namespace

Screen ScreenFromXwd(const std::string& bytes) {
    Screen screen;
    constexpr std::size_t kHeaderFields = 25;
    if (bytes.size() < kHeaderFields * 4) return screen;
    auto field = [&](std::size_t index) { return BigEndian32(bytes, index * 4); };
    const std::uint32_t headerSize = field(0);
    const std::uint32_t width = field(4);
    const std::uint32_t height = field(5);
    const bool mostSignificantFirst = field(7) == 1;
    const std::uint32_t bitsPerPixel = field(11);
    const std::uint32_t bytesPerLine = field(12);
    const std::uint32_t masks[3] = {field(14), field(15), field(16)};
    const std::uint32_t colours = field(19);
    const std::size_t start = std::size_t{headerSize} + std::size_t{colours} * 12;
    if (field(2) != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24) || width > 16384 || height > 16384 ||
        bytes.size() < start + std::size_t{bytesPerLine} * height) {
        return screen;
    }
    const std::size_t pixelBytes = bitsPerPixel / 8;
    screen.width = static_cast<int>(width);
    screen.height = static_cast<int>(height);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::size_t at = start + std::size_t{y} * bytesPerLine + x * pixelBytes;
            std::uint32_t pixel = 0;
            for (std::size_t i = 0; i < pixelBytes; ++i) {
                const std::size_t byte = at + (mostSignificantFirst ? i : pixelBytes - 1 - i);
                pixel = pixel << 8 | static_cast<unsigned char>(bytes[byte]);
            }
            screen.pixels.push_back(Channel(pixel, masks[0]) << 16 | Channel(pixel, masks[1]) << 8 |
                                    Channel(pixel, masks[2]));
        }
    }
    return screen;
}

Screen ScreenFromPpm(const std::string& bytes) {
    Screen screen;
    std::istringstream header(bytes);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    header >> magic >> width >> height >> maximum;
    if (!header || magic != "P6" || maximum != 255 || width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return screen;
    }
    const std::size_t start = static_cast<std::size_t>(header.tellg()) + 1;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (bytes.size() < start + count * 3) return screen;
    screen.width = width;
    screen.height = height;
    for (std::size_t i = 0; i < count; ++i) {
        const auto* rgb = reinterpret_cast<const unsigned char*>(bytes.data() + start + i * 3);
        screen.pixels.push_back(std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2]);
    }
    return screen;
}

std::uint32_t FourColourPicture::At(int x, int y) const {
    static const std::uint32_t colours[2][2] = {{0xD03020, 0x20A040}, {0x3050C0, 0xE0C010}};
    return colours[y < splitY ? 0 : 1][x < splitX ? 0 : 1];
}

std::string FourColourPicture::Bmp() const {
    BmpParts bmp = BlankBmp(width, height);
    for (int row = height - 1; row >= 0; --row) {
        std::string line;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t colour = At(x, row);
            line += static_cast<char>(colour & 0xFF);
            line += static_cast<char>(colour >> 8 & 0xFF);
            line += static_cast<char>(colour >> 16 & 0xFF);
        }
        line.resize(Stride(width, 24), '\0');
        bmp.bits += line;
    }
    return MakeBmp(bmp);
}

std::string Mismatch(const Screen& screen, const FourColourPicture& picture, const std::string& mode) {
    if (screen.width == 0) return "nothing was read from the screen";
    const double scaleX = static_cast<double>(picture.width) / screen.width;
    const double scaleY = static_cast<double>(picture.height) / screen.height;
    // Scaling may blend a pixel with its neighbours up to two picture
    // pixels away; only pixels whose neighbourhood is one colour count.
    auto blended = [](double at, int size, int split) {
        return at < 2 || at > size - 2 || std::fabs(at - split) < 2;
    };
    const int left = (screen.width - picture.width) / 2;
    const int top = (screen.height - picture.height) / 2;
    int compared = 0;
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            int px = 0;
            int py = 0;
            if (mode == "center") {
                px = x - left;
                py = y - top;
                if (px < 0 || py < 0 || px >= picture.width || py >= picture.height) continue;
            } else if (mode == "tile") {
                px = x % picture.width;
                py = y % picture.height;
            } else {
                const double sx = (x + 0.5) * scaleX;
                const double sy = (y + 0.5) * scaleY;
                if (blended(sx, picture.width, picture.splitX) || blended(sy, picture.height, picture.splitY)) continue;
                px = static_cast<int>(sx);
                py = static_cast<int>(sy);
            }
            ++compared;
            if (screen.At(x, y) != picture.At(px, py)) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") of the " +
                       std::to_string(screen.width) + " x " + std::to_string(screen.height) + " screen is " +
                       Hex(screen.At(x, y)) + " where the " + mode + " picture has " + Hex(picture.At(px, py));
            }
        }
    }
    return compared > 0 ? std::string() : "no pixel of the screen shows the picture";
}

}  // namespace paneloom::testing
