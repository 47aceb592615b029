#include "platform/win32/fallback_faces.h"

#include <algorithm>

#include "platform/win32/system_fallback.h"

namespace paneloom::platform {

namespace {

const wchar_t* const kSystemLinkKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";

// Face names are matched without regard to case, as GDI matches them.
std::wstring Folded(const std::wstring& name) {
    std::wstring folded = name;
    if (!folded.empty()) CharLowerBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

bool SameFace(const std::wstring& a, const std::wstring& b) { return Folded(a) == Folded(b); }

class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (dc_ != nullptr) DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM context) {
    auto& faces = *reinterpret_cast<std::vector<InstalledFace>*>(context);
    faces.push_back(InstalledFace{font->lfFaceName, (font->lfPitchAndFamily & 0x3) == FIXED_PITCH});
    return 1;
}

}  // namespace

std::vector<std::wstring> LinkedFaceNames(const std::wstring& entries) {
    std::vector<std::wstring> names;
    std::size_t start = 0;
    while (start < entries.size()) {
        std::size_t end = entries.find(L'\0', start);
        if (end == std::wstring::npos) end = entries.size();
        const std::wstring entry = entries.substr(start, end - start);
        start = end + 1;
        const std::size_t comma = entry.find(L',');
        if (comma == std::wstring::npos) continue;
        std::wstring name = entry.substr(comma + 1, entry.find(L',', comma + 1) - comma - 1);
        const std::size_t first = name.find_first_not_of(L' ');
        const std::size_t last = name.find_last_not_of(L' ');
        if (first == std::wstring::npos) continue;
        names.push_back(name.substr(first, last - first + 1));
    }
    return names;
}

std::vector<InstalledFace> FallbackOrder(std::vector<InstalledFace> faces) {
    faces.erase(std::remove_if(faces.begin(), faces.end(),
                               [](const InstalledFace& face) { return face.name.empty() || face.name[0] == L'@'; }),
                faces.end());
    std::stable_sort(faces.begin(), faces.end(), [](const InstalledFace& a, const InstalledFace& b) {
        if (a.fixedPitch != b.fixedPitch) return !a.fixedPitch;
        const std::wstring foldedA = Folded(a.name);
        const std::wstring foldedB = Folded(b.name);
        return foldedA != foldedB ? foldedA < foldedB : a.name < b.name;
    });
    // A face listed once per character set it has counts once.
    faces.erase(std::unique(faces.begin(), faces.end(),
                            [](const InstalledFace& a, const InstalledFace& b) { return SameFace(a.name, b.name); }),
                faces.end());
    return faces;
}

FaceRanges::FaceRanges(std::vector<std::pair<char16_t, char16_t>> ranges) : ranges_(std::move(ranges)) {
    std::sort(ranges_.begin(), ranges_.end());
}

bool FaceRanges::Has(char16_t character) const {
    auto after = std::upper_bound(ranges_.begin(), ranges_.end(), std::make_pair(character, char16_t{0xFFFF}));
    if (after == ranges_.begin()) return false;
    --after;
    return character >= after->first && character <= after->second;
}

FallbackFaces& FallbackFaces::Instance() {
    static FallbackFaces faces;
    return faces;
}

const FaceRanges& FallbackFaces::RangesOf(const std::wstring& face) {
    const std::wstring key = Folded(face);
    const auto known = ranges_.find(key);
    if (known != ranges_.end()) return known->second;
    FaceRanges ranges;
    MemoryDc dc;
    LOGFONTW request{};
    request.lfHeight = -16;
    request.lfCharSet = DEFAULT_CHARSET;
    face.copy(request.lfFaceName, LF_FACESIZE - 1);
    const HFONT font = face.size() < LF_FACESIZE ? CreateFontIndirectW(&request) : nullptr;
    if (dc.get() != nullptr && font != nullptr) {
        const HGDIOBJ previous = SelectObject(dc.get(), font);
        // A face that is not installed is replaced by another: only the face
        // itself counts.
        wchar_t made[LF_FACESIZE] = {};
        GetTextFaceW(dc.get(), LF_FACESIZE, made);
        const DWORD size = SameFace(made, face) ? GetFontUnicodeRanges(dc.get(), nullptr) : 0;
        if (size >= sizeof(GLYPHSET)) {
            std::vector<std::uint8_t> buffer(size);
            auto* set = reinterpret_cast<GLYPHSET*>(buffer.data());
            if (GetFontUnicodeRanges(dc.get(), set) == size) {
                std::vector<std::pair<char16_t, char16_t>> list;
                for (DWORD i = 0; i < set->cRanges; ++i) {
                    const WCRANGE& range = set->ranges[i];
                    if (range.cGlyphs == 0) continue;
                    const unsigned last = std::min<unsigned>(0xFFFF, unsigned{range.wcLow} + range.cGlyphs - 1);
                    list.emplace_back(range.wcLow, static_cast<char16_t>(last));
                }
                ranges = FaceRanges(std::move(list));
            }
        }
        SelectObject(dc.get(), previous);
    }
    if (font != nullptr) DeleteObject(font);
    return ranges_.emplace(key, std::move(ranges)).first->second;
}

const std::vector<std::wstring>& FallbackFaces::LinksOf(const std::wstring& face) {
    const std::wstring key = Folded(face);
    const auto known = links_.find(key);
    if (known != links_.end()) return known->second;
    std::vector<std::wstring> names;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSystemLinkKey, 0, KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(opened, face.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
            type == REG_MULTI_SZ && size > 0) {
            std::wstring entries(size / sizeof(wchar_t) + 1, L'\0');
            if (RegQueryValueExW(opened, face.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&entries[0]),
                                 &size) == ERROR_SUCCESS) {
                entries.resize(size / sizeof(wchar_t));
                names = LinkedFaceNames(entries);
            }
        }
        RegCloseKey(opened);
    }
    return links_.emplace(key, std::move(names)).first->second;
}

const std::vector<InstalledFace>& FallbackFaces::Installed() {
    if (enumerated_) return installed_;
    enumerated_ = true;
    MemoryDc dc;
    if (dc.get() == nullptr) return installed_;
    LOGFONTW any{};
    any.lfCharSet = DEFAULT_CHARSET;
    std::vector<InstalledFace> faces;
    EnumFontFamiliesExW(dc.get(), &any, reinterpret_cast<FONTENUMPROCW>(&CollectFace),
                        reinterpret_cast<LPARAM>(&faces), 0);
    installed_ = FallbackOrder(std::move(faces));
    return installed_;
}

bool FallbackFaces::Has(const std::wstring& face, char16_t character) { return RangesOf(face).Has(character); }

std::wstring FallbackFaces::FaceFor(const std::wstring& face, char16_t character) {
    const auto key = std::make_pair(Folded(face), character);
    const auto known = chosen_.find(key);
    if (known != chosen_.end()) return known->second;
    std::wstring chosen;
    for (const std::wstring& linked : LinksOf(face)) {
        if (Has(linked, character)) {
            chosen = linked;
            break;
        }
    }
    if (chosen.empty()) {
        const std::wstring mapped = SystemFallbackFace(face, character);
        if (!mapped.empty() && !SameFace(mapped, face) && Has(mapped, character)) chosen = mapped;
    }
    if (chosen.empty()) {
        for (const InstalledFace& installed : Installed()) {
            if (!SameFace(installed.name, face) && Has(installed.name, character)) {
                chosen = installed.name;
                break;
            }
        }
    }
    chosen_.emplace(key, chosen);
    return chosen;
}

}  // namespace paneloom::platform
