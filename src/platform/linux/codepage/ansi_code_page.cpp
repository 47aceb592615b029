#include "platform/ansi_code_page.h"

#include <algorithm>

#include "common/utf8.h"
#include "platform/linux/codepage/unicode_case.h"

namespace paneloom::platform {

namespace {

// Maps each character of a text to its other case. A character that
// changes is written back in UTF-8; every other keeps its bytes, so a byte
// that stands alone for its Windows-1252 character stays one byte unless
// its case changes. (Writing the changed one as a single byte could make a
// well-formed sequence with the bytes around it, which would then read as
// another character.)
template <typename Mapping>
void MapCase(std::string& text, Mapping mapping) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        for (char& c : text) c = static_cast<char>(mapping(static_cast<unsigned char>(c)));
        return;
    }
    std::string mapped;
    mapped.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const Utf8Character character = DecodeCharacter(text, position);
        char32_t other = mapping(character.code);
        // Keywords and attribute names are ASCII and matched after lower-
        // casing: no other character may turn into one of their letters (the
        // Kelvin sign into k, the dotted capital I into i).
        if (other < 0x80 && character.code >= 0x80) other = character.code;
        if (other == character.code) {
            mapped.append(text, position, character.length);
        } else {
            AppendUtf8(mapped, other);
        }
        position += character.length;
    }
    text.swap(mapped);
}

// The Linux build's code page is UTF-8, what Linux's own texts are in; a
// byte that is not part of well-formed UTF-8 stands for its Windows-1252
// character, so configurations written for an 8-bit Western Windows read as
// before. Case mapping is Unicode's simple mapping, character by character.
class LinuxAnsiCodePage final : public AnsiCodePage {
public:
    CharacterEncoding Encoding() override { return CharacterEncoding::kUtf8; }
    bool IsLeadByte(unsigned char) override { return false; }

    void ToLower(std::string& text) override { MapCase(text, lnx::SimpleLowerCase); }

    void ToUpper(std::string& text) override { MapCase(text, lnx::SimpleUpperCase); }
};

}  // namespace

template <>
AnsiCodePage& RealImpl<AnsiCodePage>() {
    static LinuxAnsiCodePage codePage;
    return codePage;
}

}  // namespace paneloom::platform
