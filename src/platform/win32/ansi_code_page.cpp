#include "platform/ansi_code_page.h"

#include <windows.h>

namespace paneloom::platform {

namespace {

class Win32AnsiCodePage final : public AnsiCodePage {
public:
    CharacterEncoding Encoding() override {
        CPINFO info{};
        if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize <= 1) return CharacterEncoding::kSingleByte;
        return CharacterEncoding::kDoubleByte;
    }

    bool IsLeadByte(unsigned char byte) override { return IsDBCSLeadByte(byte) != FALSE; }

    void ToLower(std::string& text) override {
        if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    }

    void ToUpper(std::string& text) override {
        if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
    }
};

}  // namespace

template <>
AnsiCodePage& RealImpl<AnsiCodePage>() {
    static Win32AnsiCodePage codePage;
    return codePage;
}

}  // namespace paneloom::platform
