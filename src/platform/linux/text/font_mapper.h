// GDI's font mapper, built on fontconfig: which face file a logical font's
// face name and weight stand for. A named family is found as itself or as
// its metric-compatible substitute (Liberation Sans for Arial); anything
// else falls back to the system's default face. A character that face lacks
// is drawn from the first face fontconfig offers for the same request that
// has it, the way GDI's font linking draws CJK text in an Arial line.
#pragma once

#include <fontconfig/fontconfig.h>

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace paneloom::platform::lnx {

struct FaceMatch {
    bool found = false;
    std::string file;
    int index = 0;
    std::string family;  // UTF-8
};

class FontMapper {
public:
    // Tells whether a face that fontconfig offers can be used; the mapper
    // moves on to the next candidate when it cannot.
    using FaceCheck = std::function<bool(const std::string& file, int index)>;

    // fontconfig's configuration is loaded at the first question that needs
    // it, once for every match: it scans the font directories (or reads
    // their caches).
    FontMapper();
    ~FontMapper();
    FontMapper(const FontMapper&) = delete;
    FontMapper& operator=(const FontMapper&) = delete;

    // Keeps the face names' answers between runs in the memo at `path`
    // (face_memo.h): a face found there whose file can still be used needs
    // no configuration loaded. An empty path keeps nothing.
    void KeepAnswersIn(std::string path);

    // False once loading the configuration has failed.
    bool Ready() const { return !configFailed_; }

    // Whether fontconfig's configuration has been loaded.
    bool ConfigurationLoaded() const { return config_ != nullptr; }

    // The face for a requested face name (UTF-8; empty for the system's
    // default) and weight, matched on first use and remembered.
    const FaceMatch& Match(const std::string& face, int weight, const FaceCheck& usable);

    // A face that has `code`, for a request whose own face lacks it: the
    // first face, in fontconfig's order of preference for the same face name
    // and weight, whose character set holds it. Not found when none does.
    // Remembered by character, up to kRememberedCharacters per request.
    const FaceMatch& Fallback(const std::string& face, int weight, char32_t code, const FaceCheck& usable);

    // How many characters' fallback answers are remembered, for every
    // request together.
    std::size_t RememberedCharacters() const;

    // A text may hold every character there is; past this many answers a
    // request forgets them and finds them again, which costs a walk over its
    // faces' character sets, as the first time did.
    static constexpr std::size_t kRememberedCharacters = 4096;

    // How many face names' answers the memo between runs holds.
    static constexpr std::size_t kRememberedFaces = 64;

private:
    // The faces fontconfig offers for one request, best first, each adding
    // characters the ones before it lack; looked through per character.
    struct FallbackList {
        FcFontSet* fonts = nullptr;
        std::vector<FaceMatch> matches;  // per entry of fonts, once tried
        std::vector<bool> tried;
        std::unordered_map<char32_t, int> byCharacter;  // entry of fonts, or -1
    };

    bool LoadConfiguration();
    FcPattern* Request(const std::string& face, int weight) const;
    FaceMatch Find(const std::string& face, int weight, const FaceCheck& usable);
    // The memo's answer for a request, or null; read at the first call.
    const FaceMatch* Remembered(const std::pair<std::string, int>& key);
    void Remember(const std::pair<std::string, int>& key, const FaceMatch& match);

    FcConfig* config_ = nullptr;
    bool configFailed_ = false;
    std::string memoPath_;
    bool memoRead_ = false;
    std::map<std::pair<std::string, int>, FaceMatch> memo_;
    std::map<std::pair<std::string, int>, FaceMatch> matches_;
    std::map<std::pair<std::string, int>, FallbackList> fallbacks_;
    FaceMatch none_;
};

}  // namespace paneloom::platform::lnx
