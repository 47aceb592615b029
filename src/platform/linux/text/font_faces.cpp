#include "platform/font_faces.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

namespace paneloom::platform {

namespace {

bool SameName(const char* a, const std::string& b) { return a != nullptr && strcasecmp(a, b.c_str()) == 0; }

// Asked as the text engine asks fontconfig, by family alone.
class FontconfigFaces final : public FontFaces {
public:
    FontconfigFaces() : config_(FcInitLoadConfigAndFonts()) {}
    ~FontconfigFaces() override {
        if (config_ != nullptr) FcConfigDestroy(config_);
    }

    bool Installed(const std::string& face, std::string& drawn) override {
        drawn.clear();
        if (config_ == nullptr || face.empty()) return true;
        FcPattern* pattern = FcPatternCreate();
        if (pattern == nullptr) return true;
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
        FcConfigSubstitute(config_, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* best = FcFontMatch(config_, pattern, &result);
        bool installed = true;
        if (best != nullptr) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(best, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr) {
                const char* name = reinterpret_cast<const char*>(family);
                installed = SameName(name, face) || StandsInFor(pattern, face, name);
                if (!installed) drawn = name;
            }
            FcPatternDestroy(best);
        }
        FcPatternDestroy(pattern);
        return installed;
    }

private:
    // The configuration's metric aliases put the faces that may replace a
    // family right after it in the request, bound as strongly as the family
    // itself; mere look-alikes and the defaults follow weakly bound.
    static bool StandsInFor(FcPattern* pattern, const std::string& face, const char* family) {
        bool afterFace = false;
        FcValue value;
        FcValueBinding binding;
        for (int i = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
            if (value.type != FcTypeString) continue;
            const char* name = reinterpret_cast<const char*>(value.u.s);
            if (SameName(name, face)) {
                afterFace = true;
                continue;
            }
            if (!afterFace) continue;
            if (binding == FcValueBindingWeak) return false;
            if (strcasecmp(name, family) == 0) return true;
        }
        return false;
    }

    FcConfig* config_;
};

}  // namespace

template <>
FontFaces& RealImpl<FontFaces>() {
    static FontconfigFaces faces;
    return faces;
}

}  // namespace paneloom::platform
