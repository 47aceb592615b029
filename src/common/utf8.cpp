#include "common/utf8.h"

#include "common/cp1252.h"

namespace paneloom {

namespace {

bool IsContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

}  // namespace

std::size_t WellFormedLength(std::string_view text, std::size_t position) {
    if (position >= text.size()) return 0;
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(position);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - position < length) return 0;
    const unsigned char second = byte(position + 1);
    if (second < low || second > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!IsContinuation(byte(position + i))) return 0;
    return length;
}

Utf8Character DecodeCharacter(std::string_view text, std::size_t position) {
    if (position >= text.size()) return {};
    const auto lead = static_cast<unsigned char>(text[position]);
    const std::size_t length = WellFormedLength(text, position);
    if (length == 1) return {lead, 1};
    if (length == 0) return {Cp1252ToUnicode(lead), 1};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (static_cast<unsigned char>(text[position + i]) & 0x3F);
    return {code, length};
}

bool IsCharacterBoundary(std::string_view text, std::size_t position) {
    if (position == 0 || position >= text.size()) return position <= text.size();
    if (!IsContinuation(static_cast<unsigned char>(text[position]))) return true;
    // A continuation byte lies inside a character only when a lead byte at
    // most three bytes before it begins a well-formed sequence that covers
    // it. Continuation bytes never begin one, so the lead byte is the start
    // of a character however the text before it reads.
    for (std::size_t back = 1; back <= 3 && back <= position; ++back) {
        const auto byte = static_cast<unsigned char>(text[position - back]);
        if (IsContinuation(byte)) continue;
        return WellFormedLength(text, position - back) <= back;
    }
    return true;
}

std::size_t BoundaryAtOrBefore(std::string_view text, std::size_t offset) {
    if (offset >= text.size()) return text.size();
    while (offset > 0 && !IsCharacterBoundary(text, offset)) --offset;
    return offset;
}

std::size_t BoundaryAtOrAfter(std::string_view text, std::size_t offset) {
    if (offset >= text.size()) return text.size();
    while (!IsCharacterBoundary(text, offset)) ++offset;
    return offset;
}

void AppendUtf8(std::string& out, char32_t code) {
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

std::string ToWellFormedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const Utf8Character character = DecodeCharacter(text, position);
        if (character.length > 1 || character.code < 0x80) {
            out.append(text.substr(position, character.length));
        } else {
            AppendUtf8(out, character.code);
        }
        position += character.length;
    }
    return out;
}

}  // namespace paneloom
