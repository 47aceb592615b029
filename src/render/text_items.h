// Text items: the textat elements that are drawn into the bitmap. Each is
// parsed into a TextItem, whose left-out attributes come from the run
// settings as they stand when the item is drawn, and written with its own
// font, colours, background mode, spacing and alignment.
#pragma once

#include <cstdint>
#include <string>

#include "config/run_settings.h"
#include "platform/graphics.h"
#include "platform/text_output.h"

namespace paneloom {

// One parsed textat element.
struct TextItem {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t weight = 0;
    std::int32_t points = 0;
    std::string face;
    std::int32_t align = 0;  // 0 left, 1 centre, 2 right; anything else draws as 0
    std::int32_t extra = 0;
    std::uint32_t bgcolor = 0;  // 0x00BBGGRR
    std::int32_t transparent = 0;
    std::uint32_t textcolor = 0;  // 0x00BBGGRR
    std::string string;
};

// An item holding the run's current settings, with an empty string.
TextItem DefaultTextItem(const RunSettings& settings);

// Reads the attributes of a textat element over `item`, in the order x, y,
// points, face, weight, align, extra, bgcolor, textcolor, transparent,
// string. An attribute that is absent or does not parse keeps its value.
void ReadTextItem(const std::string& attributes, TextItem& item);

// The logical font of an item on `dc`: the character height of `points` at
// the context's vertical resolution (truncated, in logical units, negative),
// the weight, the default character set and the face cut to 31 characters.
platform::LogFontRecord ItemLogFont(std::int32_t points, const std::string& face, std::int32_t weight,
                                    platform::DcHandle dc);

// Creates the item font on `dc`; null when the platform refuses it. When
// `record` is given it receives the logical font that was asked for.
platform::FontHandle CreateItemFont(std::int32_t points, const std::string& face, std::int32_t weight,
                                    platform::DcHandle dc, platform::LogFontRecord* record = nullptr);

// Where text of `width` pixels starts relative to its x: centred text half
// its width to the left (truncated toward zero), right-aligned text its whole
// width to the left, anything else not moved.
std::int64_t AlignmentOffset(std::int32_t align, std::int32_t width);

// Draws every textat element of `text` into `dc`, in document order; what
// an element leaves out comes from `settings` as they stand.
void DrawTextItems(platform::DcHandle dc, const std::string& text, const RunSettings& settings);

}  // namespace paneloom
