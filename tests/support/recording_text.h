// A text-output fake that records every call on a device context and
// answers measures by a simple rule, so the layout and drawing logic can be
// checked call by call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/text_output.h"

namespace paneloom::testing {

class RecordingTextOutput : public platform::TextOutput {
public:
    // One string written, with the state of the context at that moment.
    struct Written {
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::string text;
        platform::LogFontRecord font;  // the selected font's record
        std::uint32_t bkColor = 0;
        platform::BackgroundMode bkMode = platform::BackgroundMode::kOpaque;
        std::uint32_t textColor = 0;
        int extra = 0;
        platform::DcHandle dc = nullptr;
    };

    // The font a fresh context holds, as its index in the calls.
    static constexpr std::size_t kStockFont = 999;

    // Answers.
    int pixelsPerInch = 96;
    int logicalPerDevice = 1;     // DPtoLP divides by this
    std::int32_t charWidth = 10;  // width of every character
    std::int32_t fixedWidth = -1; // when >= 0, the width of every string (extra not added)

    // Records.
    std::vector<std::string> calls;
    std::vector<platform::LogFontRecord> fonts;  // every font created, in order
    std::vector<Written> written;
    std::vector<platform::DcHandle> capsContexts;  // the context of every GetDeviceCaps
    int liveFonts = 0;       // created and not deleted

    int DeviceCaps(platform::DcHandle dc, int index) override {
        calls.push_back("GetDeviceCaps " + std::to_string(index));
        capsContexts.push_back(dc);
        return index == platform::kLogPixelsY ? pixelsPerInch : 0;
    }
    bool DeviceToLogical(platform::DcHandle, platform::DevicePoint* points, int count) override {
        calls.push_back("DPtoLP " + std::to_string(count));
        for (int i = 0; i < count; ++i) {
            points[i].x /= logicalPerDevice;
            points[i].y /= logicalPerDevice;
        }
        return true;
    }
    platform::FontHandle CreateFontFromRecord(const platform::LogFontRecord& record) override {
        fonts.push_back(record);
        ++liveFonts;
        calls.push_back("CreateFontIndirect " + std::to_string(fonts.size()));
        return FontHandleOf(fonts.size());
    }
    platform::FontHandle SelectFontObject(platform::DcHandle, platform::FontHandle font) override {
        calls.push_back("SelectFont " + std::to_string(IndexOf(font)));
        const platform::FontHandle previous = selected_;
        selected_ = font;
        return previous;
    }
    void DeleteFontObject(platform::FontHandle font) override {
        calls.push_back("DeleteFont " + std::to_string(IndexOf(font)));
        if (IndexOf(font) >= 1 && IndexOf(font) <= fonts.size()) --liveFonts;
    }
    std::uint32_t SetBackgroundColor(platform::DcHandle, std::uint32_t color) override {
        calls.push_back("SetBkColor " + Hex(color));
        return Exchange(bkColor_, color);
    }
    platform::BackgroundMode SetBackgroundMode(platform::DcHandle, platform::BackgroundMode mode) override {
        calls.push_back("SetBkMode " + std::to_string(static_cast<int>(mode)));
        return Exchange(bkMode_, mode);
    }
    std::uint32_t SetForegroundColor(platform::DcHandle, std::uint32_t color) override {
        calls.push_back("SetTextColor " + Hex(color));
        return Exchange(textColor_, color);
    }
    int SetCharacterExtra(platform::DcHandle, int extra) override {
        calls.push_back("SetTextCharacterExtra " + std::to_string(extra));
        return Exchange(extra_, extra);
    }
    bool MeasureString(platform::DcHandle, const std::string& text, platform::TextExtent& extent) override {
        calls.push_back("GetTextExtentPoint32 " + text);
        const auto length = static_cast<std::int64_t>(text.size());
        const std::int64_t width = fixedWidth >= 0 ? fixedWidth : length * (std::int64_t{charWidth} + extra_);
        extent.cx = static_cast<std::int32_t>(std::clamp<std::int64_t>(width, INT32_MIN, INT32_MAX));
        const std::int32_t height = SelectedRecord().height;
        extent.cy = height < 0 ? -height : height;
        return true;
    }
    bool WriteString(platform::DcHandle dc, std::int32_t x, std::int32_t y, const std::string& text) override {
        calls.push_back("TextOut " + std::to_string(x) + " " + std::to_string(y) + " " + text);
        written.push_back(Written{x, y, text, SelectedRecord(), bkColor_, bkMode_, textColor_, extra_, dc});
        return true;
    }

    // The face name of a record as a string.
    static std::string Face(const platform::LogFontRecord& record) {
        return std::string(record.faceName, strnlen(record.faceName, sizeof(record.faceName)));
    }

private:
    platform::FontHandle selected_ = FontHandleOf(kStockFont);  // a fresh context's font
    std::uint32_t bkColor_ = 0xFFFFFF;
    platform::BackgroundMode bkMode_ = platform::BackgroundMode::kOpaque;
    std::uint32_t textColor_ = 0;
    int extra_ = 0;

    static platform::FontHandle FontHandleOf(std::size_t index) {
        return reinterpret_cast<platform::FontHandle>(static_cast<std::uintptr_t>(index));
    }
    static std::size_t IndexOf(platform::FontHandle font) { return reinterpret_cast<std::uintptr_t>(font); }

    platform::LogFontRecord SelectedRecord() const {
        const std::size_t index = IndexOf(selected_);
        return index >= 1 && index <= fonts.size() ? fonts[index - 1] : platform::LogFontRecord{};
    }

    template <class T>
    static T Exchange(T& field, T value) {
        const T previous = field;
        field = value;
        return previous;
    }

    static std::string Hex(std::uint32_t value) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%06X", value);
        return buffer;
    }
};

}  // namespace paneloom::testing
