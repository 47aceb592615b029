// DirectWrite's system font fallback (Windows 8.1 on): the face Windows
// itself maps a character to when a face lacks it. Asked here for a name
// only; the text is still drawn through GDI.
#pragma once

#include <string>

namespace paneloom::platform {

// The family DirectWrite's system fallback maps `character` to from the
// family `face`, at normal weight; empty where it maps none, or where
// DirectWrite or its fallback is not present. dwrite.dll is loaded from the
// system folder at the first call.
std::wstring SystemFallbackFace(const std::wstring& face, char16_t character);

}  // namespace paneloom::platform
