#include "render/screen_picture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "formats/dib.h"
#include "platform/files.h"
#include "render/wallpaper.h"
#include "render/wallpaper_record.h"

namespace paneloom {

namespace {

using platform::Pixels;
using platform::WallpaperStyle;

// 0x00BBGGRR as the pixels hold it, 0x00RRGGBB.
std::uint32_t PixelOfColour(std::uint32_t colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

Pixels Plain(std::int32_t width, std::int32_t height, std::uint32_t colour) {
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.data.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), PixelOfColour(colour));
    return pixels;
}

// Copies `from` onto `to` with its top left corner at (x, y); what falls
// outside is cut off. The unused byte of rows a bitmap keeps is cleared.
void Place(const platform::PixelRows& from, Pixels& to, std::int32_t x, std::int32_t y) {
    const std::int32_t left = std::max(0, x);
    const std::int32_t right = std::min(to.width, x + from.width);
    const std::int32_t top = std::max(0, y);
    const std::int32_t bottom = std::min(to.height, y + from.height);
    if (left >= right || top >= bottom) return;
    for (std::int32_t row = top; row < bottom; ++row) {
        const std::uint32_t* source = from.Row(row - y) + (left - x);
        std::uint32_t* target = &to.data[static_cast<std::size_t>(row) * to.width + left];
        for (std::int32_t i = 0; i < right - left; ++i) target[i] = source[i] & 0xFFFFFFu;
    }
}

// (size * numerator + denominator / 2) / denominator, at least 1.
std::int32_t ScaleSide(std::int32_t size, std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t scaled = (static_cast<std::int64_t>(size) * numerator + denominator / 2) / denominator;
    return static_cast<std::int32_t>(std::max<std::int64_t>(1, scaled));
}

// The part of the scaled picture that is shown, taken straight from the
// source where the scaled size is its own. `owned`, when given, holds the
// same pixels as `source`.
bool ScaledPart(const Pixels* owned, const platform::PixelRows& source, const platform::ScaledPart& part,
                platform::Scaler& scaler, Pixels& result) {
    if (part.scaledWidth == source.width && part.scaledHeight == source.height) {
        result = Plain(part.width, part.height, 0);
        Place(source, result, -part.left, -part.top);
        return true;
    }
    if (!(owned != nullptr ? scaler.Scale(*owned, part, result) : scaler.ScaleRows(source, part, result))) return false;
    // The unused byte is the scaler's to fill (pixman sets it).
    for (std::uint32_t& pixel : result.data) pixel &= 0xFFFFFF;
    return true;
}

// The full path of `path`, or the path itself where it has none.
std::string FullPath(platform::Desktop& desktop, const std::string& path) {
    const std::string full = desktop.FullPathName(path);
    return full.empty() ? path : full;
}

// The same file, whatever the names that lead to it; the same full name
// counts too, for a file that is gone.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    platform::Files& files = platform::Get<platform::Files>();
    platform::FileFacts first;
    platform::FileFacts second;
    return files.Facts(a, first) && files.Facts(b, second) && first.volume == second.volume &&
           first.index == second.index;
}

}  // namespace

bool PlanScreenPicture(const RunSettings& settings, ScreenPicture& plan) {
    plan = ScreenPicture();
    if (!settings.inputCurrentWallpaper && !settings.inputAtScreenSize) return false;
    plan.compose = true;
    platform::Desktop& desktop = platform::Get<platform::Desktop>();
    platform::Files& files = platform::Get<platform::Files>();

    const platform::CurrentWallpaper current = desktop.ReadCurrentWallpaper();
    plan.colour = current.colour;
    plan.screen = desktop.PrimaryScreenSize();
    plan.style = WallpaperStyleOf(settings.backgroundStyle);
    if (!settings.inputCurrentWallpaper) {
        plan.source = settings.inputBitmapPath;
        return true;
    }
    plan.fallback = settings.inputNamed ? settings.inputBitmapPath : std::string();
    plan.source = plan.fallback;

    const std::string output = FullPath(desktop, settings.outputBitmapPath);
    const std::string folder = desktop.StateDirectory();
    const std::string recordPath = folder.empty() ? std::string() : folder + RecordFileName(output);
    WallpaperRecord record;
    const bool recorded = !recordPath.empty() && ReadRecordFile(recordPath, record);

    if (current.path.empty()) return true;
    if (SameFile(current.path, output)) {
        // The desktop shows this configuration's output: start again from
        // the picture it was first made from, in the user's style.
        if (!recorded) return true;
        plan.style = record.style;
        platform::FileFacts facts;
        if (!files.Facts(record.original, facts)) return true;
        plan.source = record.original;
        plan.fromDesktop = true;
        WallpaperRecord refreshed = record;
        refreshed.size = facts.size;
        refreshed.modified = facts.modified;
        if (refreshed != record) WriteRecordFile(recordPath, refreshed);
        return true;
    }
    platform::FileFacts facts;
    if (!files.Facts(current.path, facts)) return true;
    // The user's own picture, now the original this output is made from.
    if (current.styleKnown) plan.style = current.style;
    plan.source = current.path;
    plan.fromDesktop = true;
    WallpaperRecord chosen;
    chosen.original = current.path;
    chosen.size = facts.size;
    chosen.modified = facts.modified;
    chosen.style = plan.style;
    if (!recordPath.empty() && (!recorded || chosen != record)) WriteRecordFile(recordPath, chosen);
    return true;
}

platform::BitmapHandle LoadScreenSource(ScreenPicture& plan) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::BitmapHandle bitmap = graphics.LoadBitmapFileFor(plan.source, PictureNeedOf(plan));
    if (bitmap != nullptr || !plan.fromDesktop) return bitmap;
    plan.fromDesktop = false;
    plan.source = plan.fallback;
    if (plan.source.empty()) return nullptr;
    return graphics.LoadBitmapFileFor(plan.source, PictureNeedOf(plan));
}

platform::PictureNeed PictureNeedOf(const ScreenPicture& plan) {
    platform::PictureNeed need;
    if (!plan.screen.Known()) return need;
    switch (plan.style) {
        case WallpaperStyle::Fill:
        case WallpaperStyle::Stretch:
            need.cover = true;
            break;
        case WallpaperStyle::Fit:
            break;
        case WallpaperStyle::Center:
        case WallpaperStyle::Tile:
            return need;
    }
    need.width = plan.screen.width;
    need.height = plan.screen.height;
    return need;
}

namespace {

// Where a scaling style puts a source of width x height on the screen: the
// part of the scaled picture shown and its top left corner on the screen.
// False for the styles that do not scale.
bool ScaledLayout(std::int32_t sourceWidth, std::int32_t sourceHeight, WallpaperStyle style, std::int32_t width,
                  std::int32_t height, platform::ScaledPart& part, std::int32_t& x, std::int32_t& y) {
    const std::int64_t w = sourceWidth;
    const std::int64_t h = sourceHeight;
    // Whether the picture is relatively wider than the screen.
    const bool wider = w * height >= static_cast<std::int64_t>(width) * h;
    part = {};
    x = 0;
    y = 0;
    switch (style) {
        case WallpaperStyle::Tile:
        case WallpaperStyle::Center:
            return false;
        case WallpaperStyle::Stretch:
            part = {width, height, 0, 0, width, height};
            break;
        case WallpaperStyle::Fill:
            // The relatively shorter side meets the screen's edges.
            part.scaledWidth = wider ? std::max(width, ScaleSide(sourceWidth, height, h)) : width;
            part.scaledHeight = wider ? height : std::max(height, ScaleSide(sourceHeight, width, w));
            part.left = (part.scaledWidth - width) / 2;
            part.top = (part.scaledHeight - height) / 2;
            part.width = width;
            part.height = height;
            break;
        case WallpaperStyle::Fit:
            part.scaledWidth = wider ? width : std::min(width, ScaleSide(sourceWidth, height, h));
            part.scaledHeight = wider ? std::min(height, ScaleSide(sourceHeight, width, w)) : height;
            part.width = part.scaledWidth;
            part.height = part.scaledHeight;
            x = (width - part.width) / 2;
            y = (height - part.height) / 2;
            break;
    }
    return true;
}

Pixels Compose(const Pixels* owned, const platform::PixelRows& source, WallpaperStyle style, std::int32_t width,
               std::int32_t height, std::uint32_t colour, platform::Scaler& scaler) {
    if (source.width < 1 || source.height < 1) return Plain(width, height, colour);
    platform::ScaledPart part;
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (!ScaledLayout(source.width, source.height, style, width, height, part, x, y)) {
        Pixels screen = Plain(width, height, colour);
        if (style == WallpaperStyle::Tile) {
            for (std::int32_t row = 0; row < height; row += source.height) {
                for (std::int32_t column = 0; column < width; column += source.width) Place(source, screen, column, row);
            }
        } else {
            Place(source, screen, (width - source.width) / 2, (height - source.height) / 2);
        }
        return screen;
    }
    Pixels shown;
    const bool scaled = ScaledPart(owned, source, part, scaler, shown);
    // A picture that covers the whole screen is the screen, not copied onto it.
    if (scaled && part.width == width && part.height == height) return shown;
    Pixels screen = Plain(width, height, colour);
    if (scaled) {
        Place(platform::RowsOf(shown), screen, x, y);
    } else {
        Place(source, screen, (width - source.width) / 2, (height - source.height) / 2);
    }
    return screen;
}

}  // namespace

Pixels ComposePixels(const Pixels& source, WallpaperStyle style, std::int32_t width, std::int32_t height,
                     std::uint32_t colour, platform::Scaler& scaler) {
    return Compose(&source, platform::RowsOf(source), style, width, height, colour, scaler);
}

Pixels ComposeRows(const platform::PixelRows& source, WallpaperStyle style, std::int32_t width, std::int32_t height,
                   std::uint32_t colour, platform::Scaler& scaler) {
    return Compose(nullptr, source, style, width, height, colour, scaler);
}

namespace {

// A 40-byte information header for uncompressed rows; a negative height
// describes them top-down.
formats::InfoHeader RowsHeader(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
    formats::InfoHeader header;
    header.size = 40;
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bitCount = bitCount;
    header.compression = formats::kBiRgb;
    return header;
}

// `header` as the system reads it, in `room` bytes (room for a colour table
// after it, where one is asked for).
std::vector<std::uint8_t> HeaderBytes(const formats::InfoHeader& header, std::size_t room = 40) {
    std::vector<std::uint8_t> info(room, 0);
    header.Write(info.data());
    return info;
}

// The header for 32-bit rows, top-down.
std::vector<std::uint8_t> TopDownHeader(std::int32_t width, std::int32_t height, std::size_t room) {
    formats::InfoHeader header = RowsHeader(width, -height, 32);
    header.sizeImage = static_cast<std::uint32_t>(static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4);
    return HeaderBytes(header, room);
}


// The rows of a 24- or 32-bit bitmap where the system keeps them as a
// file lays them out (bottom-up, padded to 4 bytes), read without a copy
// through the system; false where they must be fetched.
bool PixelsInPlace(platform::BitmapHandle bitmap, const platform::BitmapRecord& record, Pixels& pixels) {
    if ((record.bitsPerPixel != 24 && record.bitsPerPixel != 32) || record.height < 1) return false;
    const std::vector<std::uint8_t> info = HeaderBytes(RowsHeader(record.width, record.height, record.bitsPerPixel));
    const std::uint8_t* rows = platform::Get<platform::Graphics>().RowsInPlace(bitmap, info.data(), info.size());
    if (rows == nullptr) return false;
    const std::size_t bytes = record.bitsPerPixel / 8;
    const std::size_t stride = (static_cast<std::size_t>(record.width) * bytes + 3) / 4 * 4;
    for (std::int32_t y = 0; y < pixels.height; ++y) {
        const std::uint8_t* row = rows + stride * static_cast<std::size_t>(pixels.height - 1 - y);
        std::uint32_t* out = &pixels.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(pixels.width)];
        for (std::int32_t x = 0; x < pixels.width; ++x, row += bytes) {
            out[x] = static_cast<std::uint32_t>(row[0]) | (static_cast<std::uint32_t>(row[1]) << 8) |
                     (static_cast<std::uint32_t>(row[2]) << 16);
        }
    }
    return true;
}

}  // namespace

bool PixelsOfBitmap(platform::BitmapHandle bitmap, Pixels& pixels) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    platform::BitmapRecord record;
    if (bitmap == nullptr || !graphics.GetBitmapRecord(bitmap, record) || record.width < 1 || record.height < 1) {
        return false;
    }
    Pixels read;
    read.width = record.width;
    read.height = std::abs(record.height);
    try {
        read.data.resize(static_cast<std::size_t>(read.width) * static_cast<std::size_t>(read.height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (PixelsInPlace(bitmap, record, read)) {
        pixels = std::move(read);
        return true;
    }
    // Room for a colour table, which a 32-bit header does not have but a
    // system may still write.
    std::vector<std::uint8_t> info = TopDownHeader(read.width, read.height, 40 + 256 * 4);
    platform::DcHandle screen = graphics.GetScreenDC();
    if (screen == nullptr) return false;
    const int lines = graphics.GetDeviceIndependentBits(
        screen, bitmap, 0, static_cast<std::uint32_t>(read.height), reinterpret_cast<std::uint8_t*>(read.data.data()),
        read.data.size() * sizeof(std::uint32_t), info.data(), info.size());
    graphics.ReleaseScreenDC(screen);
    if (lines != read.height) return false;
    for (std::uint32_t& pixel : read.data) pixel &= 0xFFFFFF;
    pixels = std::move(read);
    return true;
}

platform::BitmapHandle BitmapOfPixels(const Pixels& pixels) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    const std::vector<std::uint8_t> info = TopDownHeader(pixels.width, pixels.height, 40);
    platform::DcHandle screen = graphics.GetScreenDC();
    if (screen == nullptr) return nullptr;
    platform::BitmapHandle bitmap =
        graphics.CreateDeviceBitmap(screen, info.data(), info.size(), reinterpret_cast<const std::uint8_t*>(pixels.data.data()),
                                    pixels.data.size() * sizeof(std::uint32_t));
    graphics.ReleaseScreenDC(screen);
    return bitmap;
}

namespace {

// The rows of a 32-bit bitmap where the system keeps them as a file lays
// them out (bottom-up, 4 bytes a pixel), to be scaled from where they are;
// false where they are kept otherwise.
bool RowsInPlace(platform::BitmapHandle bitmap, platform::PixelRows& rows) {
    platform::BitmapRecord record;
    if (bitmap == nullptr || !platform::Get<platform::Graphics>().GetBitmapRecord(bitmap, record) ||
        record.bitsPerPixel != 32 || record.width < 1 || record.height < 1) {
        return false;
    }
    const std::vector<std::uint8_t> info = HeaderBytes(RowsHeader(record.width, record.height, 32));
    const std::uint8_t* bits = platform::Get<platform::Graphics>().RowsInPlace(bitmap, info.data(), info.size());
    if (bits == nullptr) return false;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(record.width) * 4;
    rows = {bits + stride * (record.height - 1), -stride, record.width, record.height};
    return true;
}

// The screen's picture made straight in a bitmap's own rows where the
// system lets them be written: the rows a bitmap keeps scaled into the rows
// of another, with bands of `colour` where the picture does not cover the
// screen. Null where it cannot be done so.
platform::BitmapHandle ScaledBitmap(const platform::PixelRows& source, WallpaperStyle style, std::int32_t width,
                                    std::int32_t height, std::uint32_t colour, platform::Scaler& scaler) {
    platform::ScaledPart part;
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (!ScaledLayout(source.width, source.height, style, width, height, part, x, y) || !part.Valid() ||
        (part.scaledWidth == source.width && part.scaledHeight == source.height)) {
        return nullptr;
    }
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    const std::vector<std::uint8_t> info = HeaderBytes(RowsHeader(width, height, 32));
    platform::DcHandle screen = graphics.GetScreenDC();
    if (screen == nullptr) return nullptr;
    platform::BitmapHandle bitmap = graphics.CreateDeviceBitmap(screen, info.data(), info.size(), nullptr, 0);
    graphics.ReleaseScreenDC(screen);
    std::uint8_t* bits = bitmap != nullptr ? graphics.WritableRowsInPlace(bitmap, info.data(), info.size()) : nullptr;
    if (bits == nullptr) {
        graphics.DeleteBitmap(bitmap);
        return nullptr;
    }
    // Bottom-up rows: screen row r is at top + r * stride.
    const std::ptrdiff_t stride = -static_cast<std::ptrdiff_t>(width) * 4;
    std::uint8_t* top = bits - stride * (height - 1);
    if (part.width != width || part.height != height) {
        const std::uint32_t pixel = PixelOfColour(colour);
        for (std::int32_t row = 0; row < height; ++row) {
            auto* line = reinterpret_cast<std::uint32_t*>(top + stride * row);
            std::fill(line, line + width, pixel);
        }
    }
    std::uint8_t* corner = top + stride * y + std::ptrdiff_t{4} * x;
    if (!scaler.ScaleInto(source, part, corner, stride)) {
        graphics.DeleteBitmap(bitmap);
        return nullptr;
    }
    // The unused byte is the scaler's to fill (pixman sets it).
    for (std::int32_t row = 0; row < part.height; ++row) {
        auto* line = reinterpret_cast<std::uint32_t*>(corner + stride * row);
        for (std::int32_t column = 0; column < part.width; ++column) line[column] &= 0xFFFFFFu;
    }
    return bitmap;
}

}  // namespace

void ComposeScreenBitmap(const ScreenPicture& plan, platform::BitmapHandle& bitmap) {
    platform::Graphics& graphics = platform::Get<platform::Graphics>();
    Pixels source;
    platform::PixelRows rows;
    const bool inPlace = RowsInPlace(bitmap, rows);
    if (bitmap != nullptr && !inPlace && !PixelsOfBitmap(bitmap, source)) return;
    if (!inPlace) rows = platform::RowsOf(source);
    std::int32_t width = plan.screen.width;
    std::int32_t height = plan.screen.height;
    if (!plan.screen.Known()) {
        width = rows.width > 0 ? rows.width : kFallbackWidth;
        height = rows.height > 0 ? rows.height : kFallbackHeight;
    }
    platform::BitmapHandle composed = nullptr;
    try {
        platform::Scaler& scaler = platform::Get<platform::Scaler>();
        if (inPlace) composed = ScaledBitmap(rows, plan.style, width, height, plan.colour, scaler);
        if (composed == nullptr) {
            const Pixels screen = inPlace ? ComposeRows(rows, plan.style, width, height, plan.colour, scaler)
                                          : ComposePixels(source, plan.style, width, height, plan.colour, scaler);
            source = Pixels();
            composed = BitmapOfPixels(screen);
        }
    } catch (const std::bad_alloc&) {
        return;
    }
    if (composed == nullptr) return;
    graphics.DeleteBitmap(bitmap);
    bitmap = composed;
}

}  // namespace paneloom
