#include "platform/font_faces.h"

#include <windows.h>

#include <cstring>

namespace paneloom::platform {

namespace {

// Faces made with the metrics of the core Windows faces, which a system
// without those (Wine on Linux) draws in their place: lines fit as they would.
struct StandIn {
    const char* face;
    const char* drawn;
};
constexpr StandIn kStandIns[] = {
    {"Arial", "Liberation Sans"},          {"Arial", "Arimo"},
    {"Times New Roman", "Liberation Serif"}, {"Times New Roman", "Tinos"},
    {"Courier New", "Liberation Mono"},    {"Courier New", "Cousine"},
};

bool StandsIn(const char* face, const char* drawn) {
    for (const StandIn& standIn : kStandIns) {
        if (lstrcmpiA(face, standIn.face) == 0 && lstrcmpiA(drawn, standIn.drawn) == 0) return true;
    }
    return false;
}

// GDI's font mapper answers: the face a font made for the name really
// selects into a context.
class GdiFaces final : public FontFaces {
public:
    bool Installed(const std::string& face, std::string& drawn) override {
        drawn.clear();
        if (face.empty()) return true;
        LOGFONTA font{};
        font.lfCharSet = DEFAULT_CHARSET;
        std::strncpy(font.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        HFONT handle = CreateFontIndirectA(&font);
        HDC dc = CreateCompatibleDC(nullptr);
        bool installed = true;
        if (handle != nullptr && dc != nullptr) {
            HGDIOBJ previous = SelectObject(dc, handle);
            char name[LF_FACESIZE] = {};
            if (GetTextFaceA(dc, LF_FACESIZE, name) > 0 && lstrcmpiA(name, font.lfFaceName) != 0 &&
                !StandsIn(font.lfFaceName, name)) {
                installed = false;
                drawn = name;
            }
            SelectObject(dc, previous);
        }
        if (dc != nullptr) DeleteDC(dc);
        if (handle != nullptr) DeleteObject(handle);
        return installed;
    }
};

}  // namespace

template <>
FontFaces& RealImpl<FontFaces>() {
    static GdiFaces faces;
    return faces;
}

}  // namespace paneloom::platform
