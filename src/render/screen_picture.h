// The picture at the screen's size: which picture to start from (the one
// named, or the one the desktop shows, never the program's own output), and
// composing it onto the screen as the wallpaper style lays it out, so that
// the text is drawn in screen pixels and the desktop shows the result pixel
// for pixel.
#pragma once

#include <cstdint>
#include <string>

#include "config/run_settings.h"
#include "platform/desktop.h"
#include "platform/graphics.h"
#include "platform/scaler.h"

namespace paneloom {

// What a run composes, decided before any desktop setting is written.
struct ScreenPicture {
    bool compose = false;
    std::string source;  // the picture to load; empty: the desktop colour alone
    // Where `source` is the picture the desktop shows: what stands in for
    // it when no codec reads it (a slideshow's XML, a vector picture).
    bool fromDesktop = false;
    std::string fallback;  // the named picture; empty: the desktop colour
    platform::WallpaperStyle style = platform::WallpaperStyle::Center;
    std::uint32_t colour = 0;  // the desktop colour, 0x00BBGGRR
    platform::ScreenSize screen;
};

// The size a picture is composed at where no screen is known and there is
// no picture either.
constexpr std::int32_t kFallbackWidth = 1920;
constexpr std::int32_t kFallbackHeight = 1080;

// Fills `plan` from the settings, the desktop and the user's record, and
// records a picture the user chose since the last run. False, with `plan`
// not composing, when the configuration asks for no composing.
bool PlanScreenPicture(const RunSettings& settings, ScreenPicture& plan);

// `source` laid out on a width x height picture of `colour` (0x00BBGGRR) as
// `style` says: centred, tiled from the top left corner, stretched, scaled
// to cover and cropped about the centre (fill), or scaled to fit whole
// between bands (fit). Where the scaler fails, the picture is centred
// unscaled.
platform::Pixels ComposePixels(const platform::Pixels& source, platform::WallpaperStyle style, std::int32_t width,
                               std::int32_t height, std::uint32_t colour, platform::Scaler& scaler);
// The same from rows where a bitmap keeps them.
platform::Pixels ComposeRows(const platform::PixelRows& source, platform::WallpaperStyle style, std::int32_t width,
                             std::int32_t height, std::uint32_t colour, platform::Scaler& scaler);

// The plan's picture, loaded for its screen. One the desktop shows that
// cannot be loaded gives way to the fallback, and that to the desktop
// colour: `plan.source` then names what was loaded (empty for the colour,
// with null returned). Null with `plan.source` kept when the picture the
// configuration names cannot be loaded.
platform::BitmapHandle LoadScreenSource(ScreenPicture& plan);

// What the picture is loaded for: the screen, where the style scales the
// picture to it; nothing (0 x 0) where the picture keeps its own size.
platform::PictureNeed PictureNeedOf(const ScreenPicture& plan);

// A bitmap's pixels, and a bitmap compatible with the screen made from
// pixels; false or null when the system cannot do it.
bool PixelsOfBitmap(platform::BitmapHandle bitmap, platform::Pixels& pixels);
platform::BitmapHandle BitmapOfPixels(const platform::Pixels& pixels);

// Replaces `bitmap` (null when no picture was loaded) by the picture
// composed as `plan` says, at the screen's size (the picture's own where no
// screen is known). `bitmap` is left as it is when the composed picture
// cannot be made.
void ComposeScreenBitmap(const ScreenPicture& plan, platform::BitmapHandle& bitmap);

}  // namespace paneloom
