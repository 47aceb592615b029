#include "codepage/ansi_text.h"

#include <limits>

#include "platform/ansi_code_page.h"

namespace paneloom {

CharacterWidths::CharacterWidths() {
    platform::AnsiCodePage& codePage = platform::Get<platform::AnsiCodePage>();
    doubleByte_ = codePage.HasLeadBytes();
    if (!doubleByte_) return;
    for (std::size_t byte = 0; byte < leadBytes_.size(); ++byte) {
        leadBytes_[byte] = codePage.IsLeadByte(static_cast<unsigned char>(byte));
    }
}

std::size_t CharacterWidths::BoundaryAtOrAfter(std::string_view text, std::size_t offset) const {
    if (!doubleByte_) return offset;
    std::size_t position = 0;
    while (position < offset) position += Width(text[position]);
    return position;
}

std::int32_t FindText(std::string_view text, std::string_view what, std::int32_t from) {
    if (from < 0 || static_cast<std::size_t>(from) > text.size()) return -1;
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return -1;
    const TextFinder finder(what);
    const std::size_t found =
        finder.Find(text, finder.Widths().BoundaryAtOrAfter(text, static_cast<std::size_t>(from)));
    return found == std::string_view::npos ? -1 : static_cast<std::int32_t>(found);
}

void ToLowerAnsi(std::string& text) { platform::Get<platform::AnsiCodePage>().ToLower(text); }

void ToUpperAnsi(std::string& text) { platform::Get<platform::AnsiCodePage>().ToUpper(text); }

}  // namespace paneloom
