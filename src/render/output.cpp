#include "render/output.h"

#include <cstdint>

#include "log/error_log.h"
#include "common/saturate.h"
#include "common/format.h"
#include "config/markup.h"
#include "platform/graphics.h"
#include "platform/text_output.h"
#include "render/text_items.h"
#include "variables/substitution.h"

namespace paneloom {

const char* const kGeneratedTextAtFormat =
    "<textat x=\"%d\" y=\"%d\" weight=\"%d\" points=\"%d\" face=\"%s\" align=\"%d\" extra=\"%d\" "
    "bgcolor=\"%06X\" transparent=\"%d\" textcolor=\"%06X\" string=\"%s\" />";

namespace {

// "<textat" and the one character after it that the element search skips.
constexpr std::int32_t kTextAtLead = 8;

// The screen's device context, held while lines are measured.
class ScreenContext {
public:
    ScreenContext() : graphics_(platform::Get<platform::Graphics>()), dc_(graphics_.GetScreenDC()) {}
    ~ScreenContext() {
        if (dc_ != nullptr) graphics_.ReleaseScreenDC(dc_);
    }
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;

    platform::DcHandle dc() const { return dc_; }

private:
    platform::Graphics& graphics_;
    platform::DcHandle dc_;
};

// The character height of a line's font, as the item font would have it on
// the screen.
std::int64_t LineHeight(std::int32_t points, const std::string& face, platform::DcHandle screen) {
    platform::LogFontRecord record;
    const platform::FontHandle font = CreateItemFont(points, face, 0, screen, &record);
    platform::Get<platform::TextOutput>().DeleteFontObject(font);
    return record.height < 0 ? -std::int64_t{record.height} : record.height;
}

// The content's items: its lines, then its positioned items. `items` is
// changed only when there was at least one.
bool LayOut(const std::string& content, std::string& items, RunSettings& settings) {
    std::string lines;
    std::string placed;
    const bool converted = ConvertTextLines(content, lines, settings);
    const bool collected = CollectTextAt(content, placed);
    if (!converted && !collected) return false;
    items = lines + placed;
    return true;
}

}  // namespace

bool ConvertTextLines(const std::string& content, std::string& items, RunSettings& settings) {
    bool result = false;
    try {
        items.clear();
        ScreenContext screen;
        std::int32_t position = 0;
        while (true) {
            std::string line;
            std::int32_t cursor = position;
            std::int32_t end = -1;
            if (!FindElement(content, "textline", line, cursor, end, ContentMode)) break;
            std::string attributes;
            std::int32_t tagCursor = position;
            std::int32_t tagEnd = -1;
            FindElement(content, "textline", attributes, tagCursor, tagEnd, StartTagMode);

            std::int32_t points = settings.fontPoints;
            std::string face = settings.fontFace;
            std::int32_t weight = settings.fontWeight;
            std::int32_t align = settings.textAlign;
            std::int32_t extra = settings.fontExtra;
            std::uint32_t bgcolor = settings.backgroundColor;
            std::uint32_t textcolor = settings.textColor;
            std::int32_t transparent = settings.transparent;
            GetIntAttribute(attributes, "points", points);
            GetAttribute(attributes, "face", face);
            GetIntAttribute(attributes, "weight", weight);
            GetIntAttribute(attributes, "align", align);
            GetIntAttribute(attributes, "extra", extra);
            GetHexAttribute(attributes, "bgcolor", bgcolor);
            GetHexAttribute(attributes, "textcolor", textcolor);
            GetIntAttribute(attributes, "transparent", transparent);

            const std::int64_t height = LineHeight(points, face, screen.dc());
            items += StringPrintf(kGeneratedTextAtFormat, settings.textStartX, settings.textStartY, weight, points,
                                  face.c_str(), align, extra, bgcolor, transparent, textcolor, line.c_str());
            settings.textStartY = SaturateToInt32(std::int64_t{settings.textStartY} + height + settings.fontExtra);
            position = end;
            result = true;
        }
    } catch (...) {
        LogError("Error converting <text>...</text>\n");
    }
    return result;
}

bool CollectTextAt(const std::string& content, std::string& items) {
    bool result = false;
    try {
        items.clear();
        std::int32_t position = 0;
        while (true) {
            std::string piece;
            std::int32_t cursor = position;
            std::int32_t end = -1;
            if (!FindElement(content, "textat", piece, cursor, end, SelfClosingMode)) break;
            const std::int32_t start = cursor - kTextAtLead;
            items.append(content, static_cast<std::size_t>(start), static_cast<std::size_t>(end + 2 - start));
            position = end;
            result = true;
        }
    } catch (...) {
        LogError("Error collecting <textat ... />\n");
    }
    return result;
}

void DoDisplayOutput(std::string& content, platform::DcHandle dc, RunSettings& settings, VariableCaches& caches) {
    try {
        SubstituteVariables(content, settings, caches);
        if (!LayOut(content, settings.defaultOutputText, settings) &&
            settings.defaultOutputText == RunSettings().defaultOutputText) {
            // Nothing has been laid out yet in this run: the default
            // content stands in for the empty element, substituted and laid
            // out like any other, and is kept as the current items.
            std::string standIn = settings.defaultOutputText;
            SubstituteVariables(standIn, settings, caches);
            LayOut(standIn, settings.defaultOutputText, settings);
        }
        DrawTextItems(dc, settings.defaultOutputText, settings);
    } catch (...) {
        LogError("Error in DoDisplayOutput\n");
    }
}

}  // namespace paneloom
