// The face a character is drawn in when the chosen face lacks it, chosen as
// Windows chooses it: the faces the font-link table names for the chosen
// face, then the face DirectWrite's system fallback maps it to, and where
// none of those is installed and has the character, any installed face
// that has it (by its Unicode ranges), proportional faces before
// fixed-pitch ones and then by name, so that the choice does not hang on
// the order in which the system lists its fonts.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace paneloom::platform {

// The face names of one font-link entry list (REG_MULTI_SZ of the
// SystemLink key): each entry is "FILE.TTF,Face Name" with, on some
// systems, scaling factors after a second comma; an entry without a face
// name names none.
std::vector<std::wstring> LinkedFaceNames(const std::wstring& entries);

// One installed face as the font enumeration lists it.
struct InstalledFace {
    std::wstring name;
    bool fixedPitch = false;
};

// The order in which installed faces are tried for a character: vertical
// ("@") faces left out, proportional faces first, each group by name
// without regard to case.
std::vector<InstalledFace> FallbackOrder(std::vector<InstalledFace> faces);

// Unicode ranges of a face, as GetFontUnicodeRanges gives them.
class FaceRanges {
public:
    FaceRanges() = default;
    explicit FaceRanges(std::vector<std::pair<char16_t, char16_t>> ranges);  // first, last
    bool Has(char16_t character) const;
    bool Empty() const { return ranges_.empty(); }

private:
    std::vector<std::pair<char16_t, char16_t>> ranges_;
};

class FallbackFaces {
public:
    // The one per process: fonts do not come and go during a run.
    static FallbackFaces& Instance();

    // The face `character` is drawn in where `face` (the name of the face
    // actually made, as GetTextFaceW gives it) lacks it; empty when no
    // installed face has it.
    std::wstring FaceFor(const std::wstring& face, char16_t character);

    // Whether `face` is installed under that name and has `character`.
    bool Has(const std::wstring& face, char16_t character);

    FallbackFaces(const FallbackFaces&) = delete;
    FallbackFaces& operator=(const FallbackFaces&) = delete;

private:
    FallbackFaces() = default;
    const FaceRanges& RangesOf(const std::wstring& face);
    const std::vector<std::wstring>& LinksOf(const std::wstring& face);
    const std::vector<InstalledFace>& Installed();

    std::map<std::wstring, FaceRanges> ranges_;
    std::map<std::wstring, std::vector<std::wstring>> links_;
    std::map<std::pair<std::wstring, char16_t>, std::wstring> chosen_;
    std::vector<InstalledFace> installed_;
    bool enumerated_ = false;
};

}  // namespace paneloom::platform
