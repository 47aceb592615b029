#include "platform/ansi_code_page.h"

namespace paneloom::platform {

namespace {

// The Linux build treats 8-bit text as Windows-1252, the ANSI code page of
// Western Windows systems, so case mapping covers its accented letters too.
unsigned char LowerOf(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    switch (c) {
        case 0x8A: return 0x9A;
        case 0x8C: return 0x9C;
        case 0x8E: return 0x9E;
        case 0x9F: return 0xFF;
        default: return c;
    }
}

unsigned char UpperOf(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    switch (c) {
        case 0x9A: return 0x8A;
        case 0x9C: return 0x8C;
        case 0x9E: return 0x8E;
        case 0xFF: return 0x9F;
        default: return c;
    }
}

class LinuxAnsiCodePage final : public AnsiCodePage {
public:
    bool HasLeadBytes() override { return false; }
    bool IsLeadByte(unsigned char) override { return false; }

    void ToLower(std::string& text) override {
        for (char& c : text) c = static_cast<char>(LowerOf(static_cast<unsigned char>(c)));
    }

    void ToUpper(std::string& text) override {
        for (char& c : text) c = static_cast<char>(UpperOf(static_cast<unsigned char>(c)));
    }
};

}  // namespace

template <>
AnsiCodePage& RealImpl<AnsiCodePage>() {
    static LinuxAnsiCodePage codePage;
    return codePage;
}

}  // namespace paneloom::platform
