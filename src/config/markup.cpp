#include "config/markup.h"

#include <string_view>

#include "log/error_log.h"
#include "common/format.h"
#include "codepage/ansi_text.h"
#include "common/scan.h"
#include "common/utf16.h"
#include "platform/files.h"

namespace paneloom {

namespace {

// Longer paths cannot be opened on the target platform; refusing them here
// keeps both builds alike.
constexpr std::size_t kMaxPathBytes = 260;

std::string Piece(const std::string& text, std::int32_t from, std::int32_t count) {
    if (count <= 0 || from < 0 || static_cast<std::size_t>(from) >= text.size()) return std::string();
    return text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
}

// Replaces every "\r\n\r\n" by "\r\n", left to right, without overlaps.
// Each search covers only the rest of the text after the last match, which
// starts on a character boundary since the pairs are single-byte characters.
bool CollapseOnePass(std::string& text) {
    static const std::string kDouble = "\r\n\r\n";
    const std::string_view view(text);
    std::int32_t found = FindText(view, kDouble, 0);
    if (found < 0) return false;
    std::string out;
    out.reserve(text.size());
    std::size_t last = 0;
    while (found >= 0) {
        const std::size_t at = last + static_cast<std::size_t>(found);
        out.append(text, last, at - last);
        out += "\r\n";
        last = at + kDouble.size();
        found = FindText(view.substr(last), kDouble, 0);
    }
    out.append(text, last, std::string::npos);
    text.swap(out);
    return true;
}

// sscanf's "%d" and "%x" conversions, without their undefined behaviour on
// values that do not fit: such values are held at the nearest limit, so both
// builds read the same number. Leading white space is skipped, a sign is
// allowed, and conversion stops at the first character that does not fit.
// Not ParseSigned or ParseHex: those take only a whole number and refuse one
// that does not fit, where sscanf reads "12px" as 12.
bool ScanNumber(const std::string& value, bool hex, long long& out) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    auto digit = [hex](char c) -> int {
        if (hex) return HexDigitValue(c);
        return c >= '0' && c <= '9' ? c - '0' : -1;
    };
    if (hex && i + 1 < value.size() && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X') &&
        i + 2 < value.size() && digit(value[i + 2]) >= 0) {
        i += 2;
    }
    if (i >= value.size() || digit(value[i]) < 0) return false;
    const long long limit = hex ? 0xFFFFFFFFLL : 0x80000000LL;
    long long magnitude = 0;
    for (; i < value.size() && digit(value[i]) >= 0; ++i) {
        magnitude = magnitude * (hex ? 16 : 10) + digit(value[i]);
        if (magnitude > limit) magnitude = limit;
    }
    if (!hex && !negative && magnitude > 0x7FFFFFFFLL) magnitude = 0x7FFFFFFFLL;
    if (hex && negative) {
        // "%x" negates as an unsigned number.
        out = static_cast<long long>(static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude)));
    } else {
        out = negative ? -magnitude : magnitude;
    }
    return true;
}

}  // namespace

bool LoadFile(const std::string& path, std::string& text) {
    try {
        if (path.size() >= kMaxPathBytes || path.find('\0') != std::string::npos) return false;
        std::string bytes;
        if (!platform::Get<platform::Files>().ReadWholeExclusive(path, bytes)) return false;
        // What Notepad saves as "Unicode" is UTF-16; read as 8-bit text it
        // would end at the zero byte of its first character.
        std::string decoded;
        if (DecodeUtf16File(bytes, decoded)) {
            text.swap(decoded);
            return true;
        }
        const std::size_t zero = bytes.find('\0');
        if (zero != std::string::npos) bytes.resize(zero);
        text.swap(bytes);
        return true;
    } catch (...) {
        LogError(StringPrintf("Error loading file [%s]\n", path.c_str()));
        return false;
    }
}

bool RemoveComments(std::string& text, bool collapseBlankLines) {
    try {
        // The rest of the text after the last comment cut is a view, never a
        // copy: a configuration of millions of comments costs one pass.
        // Every search starts at the front of that rest, as though what came
        // before were gone; "-->" ends on a character boundary.
        std::string_view rest(text);
        std::int32_t begin = FindText(rest, "<!--", 0);
        if (begin < 0) return false;
        std::string result;
        bool removed = false;
        while (begin >= 0) {
            // Searching from the comment's own "<" makes "<!-->" a complete comment.
            const std::int32_t close = FindText(rest, "-->", begin);
            if (close < 0) break;
            removed = true;
            result.append(rest.data(), static_cast<std::size_t>(begin));
            rest.remove_prefix(static_cast<std::size_t>(close) + 3);
            begin = FindText(rest, "<!--", 0);
        }
        if (!removed) return false;
        result.append(rest.data(), rest.size());
        if (collapseBlankLines) {
            for (int pass = 0; pass < 20; ++pass) {
                if (!CollapseOnePass(result)) break;
            }
        }
        text.swap(result);
        return true;
    } catch (...) {
        LogError("Error removing comments\n");
        return false;
    }
}

bool FindElement(const std::string& text, const std::string& name, std::string& piece,
                 std::int32_t& cursor, std::int32_t& end, FindElementMode mode) {
    try {
        piece.clear();
        const std::string startMarker = "<" + name;
        std::string endMarker;
        switch (mode) {
            case SelfClosingMode: endMarker = "/>"; break;
            case ContentMode: endMarker = "</" + name + ">"; break;
            default: endMarker = ">"; break;
        }
        const std::int32_t start = FindText(text, startMarker, cursor);
        cursor = start;
        if (start < 0) return false;
        const std::int32_t endAt = FindText(text, endMarker, start);
        end = endAt;
        if (endAt < 0) return false;
        std::int32_t from;
        if (mode == ContentMode) {
            // The end marker holds a ">" after the start, so this is always found.
            from = FindText(text, ">", start) + 1;
        } else {
            // The character straight after the name is skipped, whatever it is.
            from = start + static_cast<std::int32_t>(startMarker.size()) + 1;
        }
        piece = Piece(text, from, endAt - from);
        cursor = from;
        return true;
    } catch (...) {
        LogError(StringPrintf("Error parsing for tag <%s>\n", name.c_str()));
        return false;
    }
}

bool FindTag(const std::string& text, const std::string& name, std::string& tag) {
    try {
        const std::int32_t start = FindText(text, "<" + name, 0);
        if (start < 0) return false;
        const std::int32_t close = FindText(text, "/>", start);
        // Through the "/" of "/>", without the ">".
        tag = close < 0 ? std::string() : Piece(text, start, close - start + 1);
        return true;
    } catch (...) {
        LogError(StringPrintf("Error parsing for tag <%s>\n", name.c_str()));
        return false;
    }
}

bool FindAttributeValue(const std::string& text, const std::string& name, std::int32_t& from,
                        std::int32_t& count) {
    const std::int32_t at = FindText(text, name, 0);
    if (at < 0) return false;
    const std::int32_t equals = FindText(text, "=", at);
    if (equals < 0) return false;
    const std::int32_t open = FindText(text, "\"", equals);
    if (open < 0) return false;
    const std::int32_t close = FindText(text, "\"", open + 1);
    if (close < 0) return false;
    from = open + 1;
    count = close - open - 1;
    return true;
}

bool GetAttribute(const std::string& text, const std::string& name, std::string& value) {
    try {
        std::int32_t from = 0;
        std::int32_t count = 0;
        if (!FindAttributeValue(text, name, from, count)) return false;
        value = Piece(text, from, count);
        return true;
    } catch (...) {
        LogError(StringPrintf("Error parsing [%s] for attribute <%s>\n", text.c_str(), name.c_str()));
        return false;
    }
}

bool GetIntAttribute(const std::string& text, const std::string& name, std::int32_t& number) {
    try {
        std::string value;
        if (!GetAttribute(text, name, value)) return false;
        long long parsed = 0;
        if (!ScanNumber(value, false, parsed)) return false;
        number = static_cast<std::int32_t>(parsed);
        return true;
    } catch (...) {
        LogError(StringPrintf("Error parsing [%s] for attribute <%s>\n", text.c_str(), name.c_str()));
        return false;
    }
}

bool GetHexAttribute(const std::string& text, const std::string& name, std::uint32_t& number) {
    try {
        std::string value;
        if (!GetAttribute(text, name, value)) return false;
        long long parsed = 0;
        if (!ScanNumber(value, true, parsed)) return false;
        number = static_cast<std::uint32_t>(parsed);
        return true;
    } catch (...) {
        LogError(StringPrintf("Error parsing [%s] for attribute <%s>\n", text.c_str(), name.c_str()));
        return false;
    }
}

}  // namespace paneloom
