#include "platform/ansi_code_page.h"

#include <windows.h>

#include <cwchar>

#include "common/unicode_case.h"
#include "common/utf16.h"
#include "platform/win32/run_text.h"

namespace paneloom::platform {

namespace {

bool runInUtf8 = false;

// An ANSI run asks the system for everything, double-byte lead bytes and
// case mapping included, byte for byte as before. A UTF-8 run maps case
// with the same table as the Linux build, so that one configuration
// lower-cases and upper-cases alike on both.
class Win32AnsiCodePage final : public AnsiCodePage {
public:
    CharacterEncoding Encoding() override {
        if (runInUtf8) return CharacterEncoding::kUtf8;
        CPINFO info{};
        if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize <= 1) return CharacterEncoding::kSingleByte;
        return CharacterEncoding::kDoubleByte;
    }

    bool IsLeadByte(unsigned char byte) override { return !runInUtf8 && IsDBCSLeadByte(byte) != FALSE; }

    void ToLower(std::string& text) override {
        if (runInUtf8) {
            ToLowerUtf8(text);
        } else if (!text.empty()) {
            CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
        }
    }

    void ToUpper(std::string& text) override {
        if (runInUtf8) {
            ToUpperUtf8(text);
        } else if (!text.empty()) {
            CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
        }
    }

    void SelectUtf8(bool utf8) override { runInUtf8 = utf8; }
};

}  // namespace

bool RunInUtf8() { return runInUtf8; }

std::wstring WideFromRun(std::string_view text) {
    if (runInUtf8) {
        const std::u16string wide = Utf16FromUtf8(text);
        return std::wstring(wide.begin(), wide.end());
    }
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string RunFromWide(std::wstring_view text) {
    if (runInUtf8) return Utf8FromUtf16(std::u16string(text.begin(), text.end()));
    if (text.empty()) return std::string();
    const int length =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

std::string RunFromWideBuffer(const wchar_t* buffer, std::size_t size) {
    return RunFromWide(std::wstring_view(buffer, wcsnlen(buffer, size)));
}

template <>
AnsiCodePage& RealImpl<AnsiCodePage>() {
    static Win32AnsiCodePage codePage;
    return codePage;
}

}  // namespace paneloom::platform
