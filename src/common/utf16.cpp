#include "common/utf16.h"

#include "common/utf8.h"

namespace paneloom {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string Utf16FromUtf8(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const Utf8Character character = DecodeCharacter(text, position);
        position += character.length;
        if (character.code < 0x10000) {
            wide.push_back(static_cast<char16_t>(character.code));
        } else {
            const char32_t code = character.code - 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        }
    }
    return wide;
}

std::string Utf8FromUtf16(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(narrow, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(narrow, 0xFFFD);
        } else {
            AppendUtf8(narrow, unit);
        }
    }
    return narrow;
}

bool DecodeUtf16File(std::string_view bytes, std::string& text) {
    if (bytes.size() < 2) return false;
    const auto first = static_cast<unsigned char>(bytes[0]);
    const auto second = static_cast<unsigned char>(bytes[1]);
    const bool little = first == 0xFF && second == 0xFE;
    if (!little && !(first == 0xFE && second == 0xFF)) return false;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        const char16_t unit = little ? static_cast<char16_t>(a | (b << 8)) : static_cast<char16_t>((a << 8) | b);
        // A text ends at its first zero, as an 8-bit one does.
        if (unit == 0) break;
        units.push_back(unit);
    }
    std::string decoded(kUtf8Mark);
    decoded += Utf8FromUtf16(units);
    text.swap(decoded);
    return true;
}

bool RunsInUtf8(std::string_view text) {
    if (text.substr(0, kUtf8Mark.size()) == kUtf8Mark) return true;
    bool beyondAscii = false;
    for (std::size_t position = 0; position < text.size();) {
        if (static_cast<unsigned char>(text[position]) < 0x80) {
            ++position;
            continue;
        }
        const std::size_t length = WellFormedLength(text, position);
        if (length == 0) return false;
        beyondAscii = true;
        position += length;
    }
    return beyondAscii;
}

}  // namespace paneloom
