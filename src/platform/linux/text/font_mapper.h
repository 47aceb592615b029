// GDI's font mapper, built on fontconfig: which face file a logical font's
// face name and weight stand for. A named family is found as itself or as
// its metric-compatible substitute (Liberation Sans for Arial); anything
// else falls back to the system's default face.
#pragma once

#include <fontconfig/fontconfig.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

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

    // Loads fontconfig's configuration, once for every match: it scans the
    // font directories (or reads their caches).
    FontMapper();
    ~FontMapper();
    FontMapper(const FontMapper&) = delete;
    FontMapper& operator=(const FontMapper&) = delete;

    // The configuration loaded.
    bool Ready() const { return config_ != nullptr; }

    // The face for a requested face name (UTF-8; empty for the system's
    // default) and weight, matched on first use and remembered.
    const FaceMatch& Match(const std::string& face, int weight, const FaceCheck& usable);

private:
    FaceMatch Find(const std::string& face, int weight, const FaceCheck& usable) const;

    FcConfig* config_ = nullptr;
    std::map<std::pair<std::string, int>, FaceMatch> matches_;
};

}  // namespace paneloom::platform::lnx
