// A line of UTF-16 text measured and drawn as Windows draws Unicode text:
// complex scripts shaped by Uniscribe (Arabic joined, right-to-left runs
// in visual order), and each character the selected face lacks drawn from
// a fallback face (fallback_faces.h) at the same height and weight, on the
// same baseline. A line the selected face draws whole with no shaping goes
// to GDI's wide functions as it stands, so it is drawn exactly as GDI draws
// it; so do Latin, Greek, Cyrillic and CJK runs in any line, which keep
// GDI's whole-pixel advances and the character extra.
#pragma once

#include <windows.h>

#include <string>

namespace paneloom::platform {

// The width of the line in the font selected into `dc`, the character
// extra included, and the height of that font's cell. False, with `size`
// untouched, where GDI measures the line alone (GetTextExtentPoint32W).
bool MeasureShapedLine(HDC dc, const std::wstring& text, SIZE& size);

// Writes the line with its cell's top-left corner at (x, y), the cell
// painted first in opaque mode. Runs that lie wholly off the bitmap
// selected into `dc` are left out. False, with nothing drawn, where GDI
// draws the line alone (TextOutW).
bool WriteShapedLine(HDC dc, int x, int y, const std::wstring& text);

}  // namespace paneloom::platform
