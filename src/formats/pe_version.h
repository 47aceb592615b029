// A portable reader of the version record (VS_VERSIONINFO) that Windows
// programs carry as a resource. The Linux build answers with it the questions
// that Windows answers with GetFileVersionInfoSizeA, GetFileVersionInfoA and
// VerQueryValueA, so an executable named in the configuration is read the same
// on both builds. It is plain C++ over bytes: no operating-system headers.
//
// What it follows from Windows:
// - The record is the RT_VERSION (16) resource with the id 1 (VS_VERSION_INFO),
//   as the Windows calls look it up; a version resource stored under another id
//   or under a name is not seen, on Windows either. Among its languages the
//   neutral one (0) is taken first, then English (United States) (0x0409),
//   then the first one listed: what Windows picks on an English (US) system.
// - Sub-block paths are split at backslashes, empty parts are skipped, and each
//   part matches a key regardless of ASCII letter case. "\" is the root, whose
//   value is the VS_FIXEDFILEINFO.
// - A value's size is wValueLength units: 16-bit characters when wType is not 0
//   (text), bytes otherwise.
//
// Where it is stricter or more forgiving than Windows, on purpose:
// - Input is untrusted. Every offset and length is checked against its block
//   and the file; nothing is read outside them and every loop is bounded.
//   Headers, resource directories and the resource's own extent must fit, or
//   loading fails. A record whose inside is damaged still loads (on Windows
//   too the size query succeeds); the lookups that meet the damage fail.
// - Text is read from the value's start up to the first NUL, at most
//   wValueLength characters and never past the end of its block. Writers that
//   count bytes instead of characters, or leave out the NUL, read correctly.
//   A text with wValueLength 0 is empty.
// - 8-bit text is Windows-1252: ASCII and U+00A0..U+00FF are kept as they are,
//   the characters of 0x80..0x9F are mapped to their code, every other
//   character (and a broken surrogate) becomes one '?'. No best-fit mapping.
//   Each value's text is also read into UTF-8, for the Linux build.
// - Only PE images (PE32 and PE32+) are read, not 16-bit NE files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace paneloom::formats {

// One entry of "\VarFileInfo\Translation": a language id and a code page.
struct VersionTranslation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
};

// Random access to the bytes of an image, wherever they are kept.
class ImageSource {
public:
    virtual ~ImageSource() = default;
    virtual std::uint64_t Size() const = 0;
    // False, with nothing promised about `out`, unless all of
    // [offset, offset + length) lies inside the source and could be read.
    virtual bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const = 0;
};

// A value found by a sub-block path.
struct VersionValue {
    // wType of the block: true when the file declares the value as text.
    bool isText = false;
    // The value's bytes as stored (little-endian), clipped to its block.
    std::vector<std::uint8_t> data;
    // The value read as text (see above), whatever its declared type; this
    // is what VerQueryValueA hands back for a text value.
    std::string text;
    // The same text in UTF-8, every character kept (a broken surrogate as
    // U+FFFD): what it is where UTF-8 is the code page.
    std::string utf8Text;
};

// Looks a sub-block path up in a version record (the bytes GetFileVersionInfoA
// would copy), like VerQueryValueA. False when the path is not in the record.
bool QueryVersionValue(const std::uint8_t* record, std::size_t size,
                       const std::string& subBlock, VersionValue& value);

class VersionResource {
public:
    // Finds the version record in a whole PE image (the bytes of a .exe or
    // .dll). False, leaving nothing loaded, when the bytes are not a PE image,
    // hold no version resource, or the way to it does not fit.
    bool LoadFromImage(const std::uint8_t* data, std::size_t size);

    // As LoadFromImage, reading only the parts of the image it needs from
    // `source` (a file, opened as the platform opens files). False also when
    // a read fails.
    bool LoadFromSource(const ImageSource& source);

    // Takes the bytes of a version record itself (as found in a .res file or
    // returned by GetFileVersionInfoA). False when they cannot even hold a
    // block header.
    bool LoadFromRecord(const std::uint8_t* data, std::size_t size);

    // Forgets what was loaded.
    void Clear();

    // The size of the version record held, 0 when none is loaded; at most
    // 64 KiB, all that a record's own 16-bit length can describe. Nonzero
    // where GetFileVersionInfoSizeA would be.
    std::size_t RecordSize() const;

    // The record's bytes, empty when none is loaded.
    const std::vector<std::uint8_t>& Record() const;

    // VerQueryValueA over the loaded record.
    bool QueryValue(const std::string& subBlock, VersionValue& value) const;

    // True when "\VarFileInfo\Translation" is present, even if it is empty.
    bool HasTranslationTable() const;

    // The entries of "\VarFileInfo\Translation" in file order; empty when it
    // is absent or too short to hold one entry.
    std::vector<VersionTranslation> Translations() const;

    // The text of "\StringFileInfo\<tableKey>\<name>", for example table
    // "040904b0" and name "CompanyName"; both match regardless of ASCII case.
    // False when absent, or when either part is empty or holds a backslash.
    bool QueryString(const std::string& tableKey, const std::string& name,
                     std::string& value) const;

private:
    std::vector<std::uint8_t> record_;
};

}  // namespace paneloom::formats
