#include "codepage/ansi_text.h"

#include <limits>

#include "platform/ansi_code_page.h"

namespace paneloom {

std::int32_t FindText(std::string_view text, std::string_view what, std::int32_t from) {
    if (from < 0 || static_cast<std::size_t>(from) > text.size()) return -1;
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return -1;
    platform::AnsiCodePage& codePage = platform::Get<platform::AnsiCodePage>();
    if (!codePage.HasLeadBytes()) {
        const std::size_t found = text.find(what, static_cast<std::size_t>(from));
        return found == std::string::npos ? -1 : static_cast<std::int32_t>(found);
    }
    // Walk whole characters from the start so that `from` and every candidate
    // position are known to be character boundaries.
    std::size_t position = 0;
    while (position < static_cast<std::size_t>(from)) {
        position += codePage.IsLeadByte(static_cast<unsigned char>(text[position])) ? 2 : 1;
    }
    while (position <= text.size()) {
        if (text.compare(position, what.size(), what) == 0 && position + what.size() <= text.size()) {
            return static_cast<std::int32_t>(position);
        }
        if (position == text.size()) break;
        position += codePage.IsLeadByte(static_cast<unsigned char>(text[position])) ? 2 : 1;
    }
    return -1;
}

void ToLowerAnsi(std::string& text) { platform::Get<platform::AnsiCodePage>().ToLower(text); }

void ToUpperAnsi(std::string& text) { platform::Get<platform::AnsiCodePage>().ToUpper(text); }

}  // namespace paneloom
