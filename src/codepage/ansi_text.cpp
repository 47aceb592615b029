#include "codepage/ansi_text.h"

#include <limits>

#include "common/utf16.h"

namespace paneloom {

namespace {

bool IsAscii(char byte) { return static_cast<unsigned char>(byte) < 0x80; }

}  // namespace

CharacterWidths::CharacterWidths() {
    platform::AnsiCodePage& codePage = platform::Get<platform::AnsiCodePage>();
    encoding_ = codePage.Encoding();
    if (encoding_ != platform::CharacterEncoding::kDoubleByte) return;
    for (std::size_t byte = 0; byte < leadBytes_.size(); ++byte) {
        leadBytes_[byte] = codePage.IsLeadByte(static_cast<unsigned char>(byte));
    }
}

std::size_t CharacterWidths::Width(std::string_view text, std::size_t position) const {
    switch (encoding_) {
        case platform::CharacterEncoding::kSingleByte: return 1;
        case platform::CharacterEncoding::kDoubleByte: return DoubleByteWidth(text[position]);
        case platform::CharacterEncoding::kUtf8: return DecodeCharacter(text, position).length;
    }
    return 1;
}

std::size_t CharacterWidths::BoundaryAtOrAfter(std::string_view text, std::size_t offset) const {
    switch (encoding_) {
        case platform::CharacterEncoding::kSingleByte: return offset;
        case platform::CharacterEncoding::kUtf8: return offset > text.size() ? offset : paneloom::BoundaryAtOrAfter(text, offset);
        case platform::CharacterEncoding::kDoubleByte: break;
    }
    std::size_t position = 0;
    while (position < offset) position += DoubleByteWidth(text[position]);
    return position;
}

std::size_t CharacterWidths::CutLength(std::string_view text, std::size_t limit) const {
    if (text.size() <= limit) return text.size();
    switch (encoding_) {
        case platform::CharacterEncoding::kSingleByte: return limit;
        case platform::CharacterEncoding::kUtf8: return BoundaryAtOrBefore(text, limit);
        case platform::CharacterEncoding::kDoubleByte: break;
    }
    std::size_t end = 0;
    while (end < limit) {
        const std::size_t width = DoubleByteWidth(text[end]);
        if (end + width > limit) break;
        end += width;
    }
    return end;
}

TextFinder::TextFinder(std::string_view what) : what_(what) {
    if (widths_.Encoding() == platform::CharacterEncoding::kUtf8 && !what.empty())
        anyPosition_ = IsAscii(what.front()) && IsAscii(what.back());
}

std::int32_t FindText(std::string_view text, std::string_view what, std::int32_t from) {
    if (from < 0 || static_cast<std::size_t>(from) > text.size()) return -1;
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return -1;
    const TextFinder finder(what);
    const std::size_t found =
        finder.Find(text, finder.Widths().BoundaryAtOrAfter(text, static_cast<std::size_t>(from)));
    return found == std::string_view::npos ? -1 : static_cast<std::int32_t>(found);
}

std::string BufferText(const std::string& value, std::size_t size) {
    std::string text = value.substr(0, value.find('\0'));
    if (size == 0) return std::string();
    text.resize(CharacterWidths().CutLength(text, size - 1));
    return text;
}

void SelectRunCodePage(std::string_view configuration) {
    platform::Get<platform::AnsiCodePage>().SelectUtf8(RunsInUtf8(configuration));
}

void ToLowerAnsi(std::string& text) { platform::Get<platform::AnsiCodePage>().ToLower(text); }

void ToUpperAnsi(std::string& text) { platform::Get<platform::AnsiCodePage>().ToUpper(text); }

}  // namespace paneloom
