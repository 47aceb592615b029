// Which faces the machine has: a face the configuration names may be drawn
// by another one, without a word, when it is not installed.
#pragma once

#include <string>

#include "platform/seam.h"

namespace paneloom::platform {

class FontFaces {
public:
    virtual ~FontFaces() = default;

    // True when text asked for in `face` is drawn in that face, or in a face
    // made to take its place with the same metrics (Liberation Sans for
    // Arial), so that lines fit as they would on Windows. Otherwise false,
    // with `drawn` set to the face drawn instead.
    virtual bool Installed(const std::string& face, std::string& drawn) = 0;
};

template <>
FontFaces& RealImpl<FontFaces>();

}  // namespace paneloom::platform
