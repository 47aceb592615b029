// Windows-1252, the 8-bit code page the program's texts are in wherever the
// system does not say otherwise (the Linux build, version records).
#pragma once

namespace paneloom {

// The character a byte stands for. The five bytes the code page leaves
// unassigned stand for the C1 controls of the same number, as in Windows'
// own tables, so they convert both ways.
char32_t Cp1252ToUnicode(unsigned char byte);

// The byte for a character, or '?' when the code page has none.
char UnicodeToCp1252(char32_t code);

}  // namespace paneloom
