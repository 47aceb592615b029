#include "render/text_items.h"

#include <cstring>

#include "codepage/ansi_text.h"
#include "log/error_log.h"
#include "common/saturate.h"
#include "config/markup.h"

namespace paneloom {

namespace {

// The item font selected into the context for as long as the item is being
// drawn; the previous font is selected back and the item font deleted on
// the way out, also when drawing the item failed part way.
class SelectedItemFont {
public:
    SelectedItemFont(platform::DcHandle dc, platform::FontHandle font)
        : output_(platform::Get<platform::TextOutput>()), dc_(dc), font_(font) {
        previous_ = output_.SelectFontObject(dc_, font_);
    }
    ~SelectedItemFont() {
        if (previous_ != nullptr) output_.SelectFontObject(dc_, previous_);
        output_.DeleteFontObject(font_);
    }
    SelectedItemFont(const SelectedItemFont&) = delete;
    SelectedItemFont& operator=(const SelectedItemFont&) = delete;

private:
    platform::TextOutput& output_;
    platform::DcHandle dc_;
    platform::FontHandle font_;
    platform::FontHandle previous_ = nullptr;
};

void DrawItem(platform::DcHandle dc, const TextItem& item) {
    platform::TextOutput& output = platform::Get<platform::TextOutput>();
    SelectedItemFont font(dc, CreateItemFont(item.points, item.face, item.weight, dc));

    output.SetBackgroundColor(dc, item.bgcolor);
    output.SetBackgroundMode(dc, item.transparent == 0 ? platform::BackgroundMode::kOpaque
                                                        : platform::BackgroundMode::kTransparent);
    output.SetForegroundColor(dc, item.textcolor);
    output.SetCharacterExtra(dc, item.extra);

    platform::TextExtent extent;
    output.MeasureString(dc, item.string, extent);
    const std::int64_t left = std::int64_t{item.x} + AlignmentOffset(item.align, extent.cx);
    output.WriteString(dc, SaturateToInt32(left), item.y, item.string);
}

}  // namespace

TextItem DefaultTextItem(const RunSettings& settings) {
    TextItem item;
    item.x = settings.textStartX;
    item.y = settings.textStartY;
    item.weight = settings.fontWeight;
    item.points = settings.fontPoints;
    item.face = settings.fontFace;
    item.align = settings.textAlign;
    item.extra = settings.fontExtra;
    item.bgcolor = settings.backgroundColor;
    item.transparent = settings.transparent;
    item.textcolor = settings.textColor;
    return item;
}

void ReadTextItem(const std::string& attributes, TextItem& item) {
    GetIntAttribute(attributes, "x", item.x);
    GetIntAttribute(attributes, "y", item.y);
    GetIntAttribute(attributes, "points", item.points);
    GetAttribute(attributes, "face", item.face);
    GetIntAttribute(attributes, "weight", item.weight);
    GetIntAttribute(attributes, "align", item.align);
    GetIntAttribute(attributes, "extra", item.extra);
    GetHexAttribute(attributes, "bgcolor", item.bgcolor);
    GetHexAttribute(attributes, "textcolor", item.textcolor);
    GetIntAttribute(attributes, "transparent", item.transparent);
    GetAttribute(attributes, "string", item.string);
}

platform::LogFontRecord ItemLogFont(std::int32_t points, const std::string& face, std::int32_t weight,
                                    platform::DcHandle dc) {
    platform::TextOutput& output = platform::Get<platform::TextOutput>();

    // Pixels per inch x (points x 10) / 720, truncated toward zero, is the
    // same quotient as pixels per inch x points / 72; taken in 64 bits it
    // cannot overflow for any point size.
    const std::int64_t perInch = output.DeviceCaps(dc, platform::kLogPixelsY);
    const std::int64_t device = perInch * points / 72;

    // A length converts as the difference of two converted points.
    platform::DevicePoint ends[2] = {{0, 0}, {0, SaturateToInt32(device)}};
    output.DeviceToLogical(dc, ends, 2);
    const std::int64_t logical = std::int64_t{ends[1].y} - ends[0].y;

    platform::LogFontRecord record;
    // Negative: the character height, not the cell height.
    record.height = SaturateToInt32(-(logical < 0 ? -logical : logical));
    record.weight = weight;
    record.charSet = platform::kDefaultCharSet;
    // Cut to the record's 31 bytes, never inside a character.
    const std::size_t length = CharacterWidths().CutLength(face, platform::kFaceNameSize - 1);
    std::memcpy(record.faceName, face.data(), length);
    record.faceName[length] = '\0';
    return record;
}

platform::FontHandle CreateItemFont(std::int32_t points, const std::string& face, std::int32_t weight,
                                    platform::DcHandle dc, platform::LogFontRecord* record) {
    const platform::LogFontRecord made = ItemLogFont(points, face, weight, dc);
    if (record != nullptr) *record = made;
    return platform::Get<platform::TextOutput>().CreateFontFromRecord(made);
}

std::int64_t AlignmentOffset(std::int32_t align, std::int32_t width) {
    switch (align) {
        case 1:
            return std::int64_t{width} / -2;
        case 2:
            return -std::int64_t{width};
        default:
            return 0;
    }
}

void DrawTextItems(platform::DcHandle dc, const std::string& text, const RunSettings& settings) {
    try {
        std::int32_t position = 0;
        while (true) {
            std::string attributes;
            std::int32_t cursor = position;
            std::int32_t end = -1;
            if (!FindElement(text, "textat", attributes, cursor, end, SelfClosingMode)) return;
            TextItem item = DefaultTextItem(settings);
            ReadTextItem(attributes, item);
            DrawItem(dc, item);
            position = end;
        }
    } catch (...) {
        LogError("Error writing text into bitmap\n");
    }
}

}  // namespace paneloom
