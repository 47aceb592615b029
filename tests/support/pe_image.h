// Windows executables made by the tests, byte by byte: version records laid
// out as resource compilers write them, resource trees, and PE32 or PE32+
// images that carry them. Written apart from the program's own reader, so
// that a fault there cannot hide in both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace paneloom::testing::pe {

using Bytes = std::vector<std::uint8_t>;

// Marks a resource directory entry that names a subdirectory (or a name).
inline constexpr std::uint32_t kHighBit = 0x80000000u;

// Little-endian fields, appended or written in place.
void Put16(Bytes& b, std::uint16_t v);
void Put32(Bytes& b, std::uint32_t v);
void Set16(Bytes& b, std::size_t at, std::uint16_t v);
void Set32(Bytes& b, std::size_t at, std::uint32_t v);

// UTF-16LE code units, no terminating NUL.
Bytes Utf16(const std::u16string& s);

// ---------------------------------------------------------------------------
// Version records.

// One block: a key, a value and children, each child aligned to 4 bytes.
struct VBlock {
    std::u16string key;
    Bytes value;
    std::uint16_t valueLength = 0;  // stored as given, to imitate odd writers
    std::uint16_t type = 1;
    std::vector<VBlock> children;
};

Bytes Serialize(const VBlock& block);

// A text value, its length counted in characters with the NUL.
VBlock Text(const std::u16string& name, const std::u16string& value);
VBlock Table(const std::u16string& key, std::vector<VBlock> strings);
VBlock StringInfo(std::vector<VBlock> tables);
// "VarFileInfo" with a "Translation" of (language, code page) pairs.
VBlock VarInfo(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& pairs);
// "VS_VERSION_INFO" with a fixed file information of version 1.2.3.4.
VBlock Root(std::vector<VBlock> children);

// CompanyName "Paneloom Makers", ProductName "Paneloom", ProductVersion
// "2.5.1" and, when asked, LegalCopyright "(c) 2024 Paneloom Makers".
std::vector<VBlock> StandardStrings(bool withCopyright);
// Those strings in table "040904b0", with a translation table 0409/04B0.
Bytes StandardRecord(bool withCopyright = true, bool withVarFileInfo = true);

// ---------------------------------------------------------------------------
// Resource trees and PE images.

struct ResNode {
    std::u16string name;  // used when not empty, else `id`
    std::uint32_t id = 0;
    std::vector<ResNode> children;
    bool leaf = false;
    Bytes data;
};

ResNode Dir(std::uint32_t id, std::vector<ResNode> children);
ResNode NamedDir(const std::u16string& name, std::vector<ResNode> children);
ResNode Leaf(std::uint32_t language, Bytes data);

// A root with an icon (type 3) and the version record as RT_VERSION (16),
// id 1, in `language`.
ResNode VersionTree(Bytes record, std::uint32_t language = 0x0409);

// The section bytes of a tree placed at `sectionRva`: directories first
// (depth first), then names, then data entries, then data, which is where
// linkers put them too.
Bytes BuildResourceSection(const ResNode& root, std::uint32_t sectionRva);

struct BuiltImage {
    Bytes bytes;
    std::size_t resourceOffset = 0;  // file offset of the resource tree
    std::size_t pe = 0;              // file offset of the PE signature
    std::size_t optional = 0;        // file offset of the optional header
};

// DOS header, PE headers, a .text section and a .rsrc section holding `tree`.
BuiltImage BuildImage(const ResNode& tree, bool pe64 = true);

// An image holding StandardRecord().
BuiltImage StandardImage(bool pe64 = true);

// The Subsystem field of an image's optional header, which tells Windows
// whether to give the program a console: 2 the Windows GUI (none), 3 the
// console. 0 when the bytes hold no PE image.
inline constexpr std::uint16_t kSubsystemWindowsGui = 2;
inline constexpr std::uint16_t kSubsystemConsole = 3;
std::uint16_t Subsystem(const Bytes& image);

}  // namespace paneloom::testing::pe
