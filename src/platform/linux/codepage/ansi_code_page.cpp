#include "platform/ansi_code_page.h"

#include "common/unicode_case.h"

namespace paneloom::platform {

namespace {

// The Linux build's code page is UTF-8, what Linux's own texts are in; a
// byte that is not part of well-formed UTF-8 stands for its Windows-1252
// character, so configurations written for an 8-bit Western Windows read as
// before. Case mapping is Unicode's simple mapping, character by character.
// Every run is a UTF-8 run, so the run's choice changes nothing here.
class LinuxAnsiCodePage final : public AnsiCodePage {
public:
    CharacterEncoding Encoding() override { return CharacterEncoding::kUtf8; }
    bool IsLeadByte(unsigned char) override { return false; }

    void ToLower(std::string& text) override { ToLowerUtf8(text); }

    void ToUpper(std::string& text) override { ToUpperUtf8(text); }
};

}  // namespace

template <>
AnsiCodePage& RealImpl<AnsiCodePage>() {
    static LinuxAnsiCodePage codePage;
    return codePage;
}

}  // namespace paneloom::platform
