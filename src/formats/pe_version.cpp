#include "formats/pe_version.h"

#include <algorithm>
#include <cstring>

#include "common/cp1252.h"
#include "common/utf8.h"
#include "common/little_endian.h"

namespace paneloom::formats {
namespace {

// A record's root length is a 16-bit field: nothing past 64 KiB can belong to it.
constexpr std::size_t kMaxRecordSize = 0x10000;
// wLength, wValueLength, wType.
constexpr std::size_t kBlockHeaderSize = 6;

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint16_t kResourceTypeVersion = 16;  // RT_VERSION
constexpr std::uint16_t kVersionResourceId = 1;     // VS_VERSION_INFO
constexpr std::uint16_t kLanguageNeutral = 0x0000;
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;

std::size_t Align4(std::size_t n) { return (n + 3) & ~static_cast<std::size_t>(3); }

std::uint32_t FoldAscii(std::uint32_t u) { return (u >= 'A' && u <= 'Z') ? u + ('a' - 'A') : u; }

// ---------------------------------------------------------------------------
// Version record blocks

// One block of the record: header, NUL-terminated UTF-16 key, value, children.
// All positions are offsets into the record; ends are clipped to the block,
// whose own end is clipped to its parent's.
struct Block {
    std::size_t end = 0;
    std::size_t keyBegin = 0;
    std::size_t keyUnits = 0;
    std::uint16_t valueLength = 0;
    bool isText = false;
    std::size_t valueBegin = 0;
    std::size_t valueEnd = 0;      // as Windows sizes the value
    std::size_t textEnd = 0;       // wValueLength read as 16-bit characters
    std::size_t childrenBegin = 0; // may lie past `end` when there are none
};

// Reads the block at `offset` inside [.., limit). False when its header does not
// fit, its length is shorter than a header, or its key has no terminating NUL
// inside the block.
bool ParseBlock(const std::uint8_t* rec, std::size_t offset, std::size_t limit, Block& b) {
    if (limit < kBlockHeaderSize || offset > limit - kBlockHeaderSize) return false;
    const std::size_t length = ReadU16(rec + offset);
    if (length < kBlockHeaderSize) return false;
    b.end = std::min(offset + length, limit);
    b.valueLength = ReadU16(rec + offset + 2);
    b.isText = ReadU16(rec + offset + 4) != 0;

    b.keyBegin = offset + kBlockHeaderSize;
    std::size_t p = b.keyBegin;
    while (p + 2 <= b.end && ReadU16(rec + p) != 0) p += 2;
    if (p + 2 > b.end) return false;
    b.keyUnits = (p - b.keyBegin) / 2;

    // Alignment is counted from the block's start, as Windows does.
    const std::size_t valueBegin = offset + Align4(p + 2 - offset);
    const std::size_t valueBytes = static_cast<std::size_t>(b.valueLength) * (b.isText ? 2 : 1);
    b.valueBegin = std::min(valueBegin, b.end);
    b.valueEnd = std::min(valueBegin + valueBytes, b.end);
    b.textEnd = std::min(valueBegin + static_cast<std::size_t>(b.valueLength) * 2, b.end);
    b.childrenBegin = valueBegin + Align4(valueBytes);
    return true;
}

bool KeyMatches(const std::uint8_t* rec, const Block& b, const char* name, std::size_t length) {
    if (b.keyUnits != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t unit = ReadU16(rec + b.keyBegin + 2 * i);
        const std::uint32_t wanted = Cp1252ToUnicode(static_cast<unsigned char>(name[i]));
        if (FoldAscii(unit) != FoldAscii(wanted)) return false;
    }
    return true;
}

// The first child of `parent` whose key is `name`. A child with a damaged key
// is passed over; a child too short to step past ends the search, as on Windows.
// Every step moves at least 8 bytes forward inside the parent, so this ends.
bool FindChild(const std::uint8_t* rec, const Block& parent, const char* name,
               std::size_t length, Block& found) {
    std::size_t offset = parent.childrenBegin;
    while (offset < parent.end && parent.end - offset >= kBlockHeaderSize) {
        const std::size_t childLength = ReadU16(rec + offset);
        if (childLength < kBlockHeaderSize) return false;
        Block child;
        if (ParseBlock(rec, offset, parent.end, child) && KeyMatches(rec, child, name, length)) {
            found = child;
            return true;
        }
        offset += Align4(childLength);
    }
    return false;
}

// The characters of a text value, up to its NUL: a well-formed surrogate
// pair as one character, a broken surrogate as 0xFFFD.
template <typename Sink>
void ReadCharacters(const std::uint8_t* rec, std::size_t begin, std::size_t end, Sink sink) {
    std::size_t p = begin;
    while (p + 2 <= end) {
        const std::uint32_t unit = ReadU16(rec + p);
        p += 2;
        if (unit == 0) break;
        if (unit >= 0xD800 && unit <= 0xDBFF && p + 2 <= end) {
            const std::uint32_t low = ReadU16(rec + p);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                p += 2;
                sink(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        sink(unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
}

std::string ReadText(const std::uint8_t* rec, std::size_t begin, std::size_t end) {
    std::string text;
    // A character outside Windows-1252, a whole pair or a broken surrogate,
    // is one '?'.
    ReadCharacters(rec, begin, end, [&text](char32_t code) { text.push_back(UnicodeToCp1252(code)); });
    return text;
}

std::string ReadUtf8Text(const std::uint8_t* rec, std::size_t begin, std::size_t end) {
    std::string text;
    ReadCharacters(rec, begin, end, [&text](char32_t code) { AppendUtf8(text, code); });
    return text;
}

// Walks the path parts, splitting at backslashes and skipping empty parts.
bool FindPath(const std::uint8_t* rec, std::size_t size, const std::vector<std::string>& parts,
              Block& found) {
    if (rec == nullptr) return false;
    Block block;
    if (!ParseBlock(rec, 0, std::min(size, kMaxRecordSize), block)) return false;
    for (const std::string& part : parts) {
        Block child;
        if (!FindChild(rec, block, part.data(), part.size(), child)) return false;
        block = child;
    }
    found = block;
    return true;
}

std::vector<std::string> SplitPath(const std::string& subBlock) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= subBlock.size()) {
        std::size_t slash = subBlock.find('\\', start);
        if (slash == std::string::npos) slash = subBlock.size();
        if (slash > start) parts.push_back(subBlock.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

void FillValue(const std::uint8_t* rec, const Block& b, VersionValue& value) {
    value.isText = b.isText;
    value.data.assign(rec + b.valueBegin, rec + b.valueEnd);
    value.text = ReadText(rec, b.valueBegin, b.textEnd);
    value.utf8Text = ReadUtf8Text(rec, b.valueBegin, b.textEnd);
}

// ---------------------------------------------------------------------------
// PE image

class MemorySource final : public ImageSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t length) const override {
        if (offset > size_ || length > size_ - offset) return false;
        if (length != 0) std::memcpy(out, data_ + offset, length);
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint64_t span = 0;  // larger of the virtual and the raw size
    std::uint32_t rawSize = 0;
    std::uint32_t rawPointer = 0;
};

struct DirectoryEntry {
    std::uint32_t name = 0;
    std::uint32_t target = 0;
};

class Image {
public:
    explicit Image(const ImageSource& source) : source_(source) {}

    // DOS header, PE signature, COFF and optional header (PE32 or PE32+), the
    // resource data directory and the section table.
    bool ReadHeaders() {
        std::uint8_t dos[64];
        if (!source_.Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
        const std::uint64_t pe = ReadU32(dos + 0x3C);

        std::uint8_t nt[24];
        if (!source_.Read(pe, nt, sizeof nt)) return false;
        if (nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0) return false;
        const std::uint16_t sectionCount = ReadU16(nt + 6);
        const std::uint16_t optionalSize = ReadU16(nt + 20);

        std::uint8_t magic[2];
        if (optionalSize < sizeof magic || !source_.Read(pe + 24, magic, sizeof magic)) return false;
        std::size_t countOffset = 0;
        switch (ReadU16(magic)) {
        case 0x10B: countOffset = 92; break;   // PE32
        case 0x20B: countOffset = 108; break;  // PE32+
        default: return false;
        }
        const std::size_t directoriesOffset = countOffset + 4;
        const std::size_t needed = directoriesOffset + 3 * 8;  // up to the resource entry
        if (optionalSize < needed) return false;
        std::vector<std::uint8_t> optional(needed);
        if (!source_.Read(pe + 24, optional.data(), needed)) return false;
        if (ReadU32(optional.data() + countOffset) < 3) return false;
        resourceRva_ = ReadU32(optional.data() + directoriesOffset + 2 * 8);
        if (ReadU32(optional.data() + directoriesOffset + 2 * 8 + 4) == 0) return false;

        if (sectionCount == 0) return false;
        std::vector<std::uint8_t> table(static_cast<std::size_t>(sectionCount) * 40);
        if (!source_.Read(pe + 24 + optionalSize, table.data(), table.size())) return false;
        sections_.resize(sectionCount);
        for (std::size_t i = 0; i < sectionCount; ++i) {
            const std::uint8_t* h = table.data() + i * 40;
            Section& s = sections_[i];
            const std::uint32_t virtualSize = ReadU32(h + 8);
            s.virtualAddress = ReadU32(h + 12);
            s.rawSize = ReadU32(h + 16);
            s.rawPointer = ReadU32(h + 20);
            s.span = std::max(virtualSize, s.rawSize);
        }
        return true;
    }

    std::uint32_t ResourceRva() const { return resourceRva_; }

    // Reads [rva, rva + length) of the mapped image. The range must lie in one
    // section; the part past the section's raw data reads as zeros, as it does
    // when Windows maps the image.
    bool ReadRva(std::uint64_t rva, std::uint8_t* out, std::size_t length) const {
        std::uint64_t inRaw = 0;
        std::uint64_t fileOffset = 0;
        if (!Locate(rva, length, inRaw, fileOffset)) return false;
        if (inRaw != 0 && !source_.Read(fileOffset, out, static_cast<std::size_t>(inRaw))) return false;
        std::fill(out + inRaw, out + length, std::uint8_t{0});
        return true;
    }

    // As ReadRva, without reading.
    bool Fits(std::uint64_t rva, std::uint64_t length) const {
        std::uint64_t inRaw = 0;
        std::uint64_t fileOffset = 0;
        if (!Locate(rva, length, inRaw, fileOffset)) return false;
        return fileOffset <= source_.Size() && inRaw <= source_.Size() - fileOffset;
    }

private:
    bool Locate(std::uint64_t rva, std::uint64_t length, std::uint64_t& inRaw,
                std::uint64_t& fileOffset) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress || rva - s.virtualAddress >= s.span) continue;
            const std::uint64_t rel = rva - s.virtualAddress;
            if (length > s.span - rel) return false;
            inRaw = rel < s.rawSize ? std::min<std::uint64_t>(length, s.rawSize - rel) : 0;
            fileOffset = static_cast<std::uint64_t>(s.rawPointer) + rel;
            return true;
        }
        return false;
    }

    const ImageSource& source_;
    std::uint32_t resourceRva_ = 0;
    std::vector<Section> sections_;
};

// Reads the resource directory at `offset` from the start of the resource tree.
bool ReadDirectory(const Image& image, std::uint32_t offset, std::vector<DirectoryEntry>& entries,
                   std::size_t& namedCount) {
    const std::uint64_t at = static_cast<std::uint64_t>(image.ResourceRva()) + offset;
    std::uint8_t header[16];
    if (!image.ReadRva(at, header, sizeof header)) return false;
    namedCount = ReadU16(header + 12);
    const std::size_t count = namedCount + ReadU16(header + 14);
    std::vector<std::uint8_t> table(count * 8);
    if (count != 0 && !image.ReadRva(at + sizeof header, table.data(), table.size())) return false;
    entries.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        entries[i].name = ReadU32(table.data() + i * 8);
        entries[i].target = ReadU32(table.data() + i * 8 + 4);
    }
    return true;
}

const DirectoryEntry* FindId(const std::vector<DirectoryEntry>& entries, std::size_t namedCount,
                             std::uint16_t id) {
    for (std::size_t i = namedCount; i < entries.size(); ++i) {
        if (entries[i].name == id) return &entries[i];
    }
    return nullptr;
}

// The tree has exactly three levels, type, id and language, and nothing else
// is followed, so a directory pointing back at itself leads nowhere.
bool FindVersionRecord(const ImageSource& source, std::vector<std::uint8_t>& record) {
    Image image(source);
    if (!image.ReadHeaders()) return false;

    std::vector<DirectoryEntry> entries;
    std::size_t named = 0;
    if (!ReadDirectory(image, 0, entries, named)) return false;
    const DirectoryEntry* type = FindId(entries, named, kResourceTypeVersion);
    if (type == nullptr || (type->target & kHighBit) == 0) return false;

    if (!ReadDirectory(image, type->target & ~kHighBit, entries, named)) return false;
    const DirectoryEntry* id = FindId(entries, named, kVersionResourceId);
    if (id == nullptr || (id->target & kHighBit) == 0) return false;

    if (!ReadDirectory(image, id->target & ~kHighBit, entries, named)) return false;
    const DirectoryEntry* language = FindId(entries, named, kLanguageNeutral);
    if (language == nullptr) language = FindId(entries, named, kLanguageEnglishUs);
    if (language == nullptr && !entries.empty()) language = &entries.front();
    if (language == nullptr || (language->target & kHighBit) != 0) return false;

    std::uint8_t dataEntry[16];
    if (!image.ReadRva(static_cast<std::uint64_t>(image.ResourceRva()) + language->target,
                       dataEntry, sizeof dataEntry)) {
        return false;
    }
    const std::uint32_t dataRva = ReadU32(dataEntry);
    const std::uint32_t dataSize = ReadU32(dataEntry + 4);
    if (dataSize < kBlockHeaderSize || !image.Fits(dataRva, dataSize)) return false;

    std::vector<std::uint8_t> bytes(std::min<std::size_t>(dataSize, kMaxRecordSize));
    if (!image.ReadRva(dataRva, bytes.data(), bytes.size())) return false;
    record.swap(bytes);
    return true;
}

}  // namespace

bool QueryVersionValue(const std::uint8_t* record, std::size_t size, const std::string& subBlock,
                       VersionValue& value) {
    Block block;
    if (!FindPath(record, size, SplitPath(subBlock), block)) return false;
    FillValue(record, block, value);
    return true;
}

bool VersionResource::LoadFromImage(const std::uint8_t* data, std::size_t size) {
    Clear();
    if (data == nullptr) return false;
    return FindVersionRecord(MemorySource(data, size), record_);
}

bool VersionResource::LoadFromSource(const ImageSource& source) {
    Clear();
    return FindVersionRecord(source, record_);
}

bool VersionResource::LoadFromRecord(const std::uint8_t* data, std::size_t size) {
    Clear();
    if (data == nullptr || size < kBlockHeaderSize) return false;
    record_.assign(data, data + std::min(size, kMaxRecordSize));
    return true;
}

void VersionResource::Clear() { record_.clear(); }

std::size_t VersionResource::RecordSize() const { return record_.size(); }

const std::vector<std::uint8_t>& VersionResource::Record() const { return record_; }

bool VersionResource::QueryValue(const std::string& subBlock, VersionValue& value) const {
    if (record_.empty()) return false;
    return QueryVersionValue(record_.data(), record_.size(), subBlock, value);
}

bool VersionResource::HasTranslationTable() const {
    VersionValue value;
    return QueryValue("\\VarFileInfo\\Translation", value);
}

std::vector<VersionTranslation> VersionResource::Translations() const {
    std::vector<VersionTranslation> translations;
    VersionValue value;
    if (!QueryValue("\\VarFileInfo\\Translation", value)) return translations;
    for (std::size_t i = 0; i + 4 <= value.data.size(); i += 4) {
        translations.push_back({ReadU16(value.data.data() + i), ReadU16(value.data.data() + i + 2)});
    }
    return translations;
}

bool VersionResource::QueryString(const std::string& tableKey, const std::string& name,
                                  std::string& value) const {
    if (record_.empty() || tableKey.empty() || name.empty()) return false;
    if (tableKey.find('\\') != std::string::npos || name.find('\\') != std::string::npos) {
        return false;
    }
    Block block;
    if (!FindPath(record_.data(), record_.size(), {"StringFileInfo", tableKey, name}, block)) {
        return false;
    }
    value = ReadText(record_.data(), block.valueBegin, block.textEnd);
    return true;
}

}  // namespace paneloom::formats
