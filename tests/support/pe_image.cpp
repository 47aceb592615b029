#include "support/pe_image.h"

#include <map>

namespace paneloom::testing::pe {

namespace {

void PadTo(Bytes& b, std::size_t alignment) {
    while (b.size() % alignment != 0) b.push_back(0);
}

}  // namespace

void Put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, static_cast<std::uint16_t>(v));
    Put16(b, static_cast<std::uint16_t>(v >> 16));
}

void Set16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Set32(Bytes& b, std::size_t at, std::uint32_t v) {
    Set16(b, at, static_cast<std::uint16_t>(v));
    Set16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

Bytes Utf16(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s) Put16(b, static_cast<std::uint16_t>(c));
    return b;
}

// ---------------------------------------------------------------------------
// Version records, laid out as resource compilers write them.

Bytes Serialize(const VBlock& block) {
    Bytes out(6, 0);
    Bytes key = Utf16(block.key);
    out.insert(out.end(), key.begin(), key.end());
    Put16(out, 0);
    PadTo(out, 4);
    out.insert(out.end(), block.value.begin(), block.value.end());
    for (const VBlock& child : block.children) {
        PadTo(out, 4);
        Bytes c = Serialize(child);
        out.insert(out.end(), c.begin(), c.end());
    }
    Set16(out, 0, static_cast<std::uint16_t>(out.size()));
    Set16(out, 2, block.valueLength);
    Set16(out, 4, block.type);
    return out;
}

VBlock Text(const std::u16string& name, const std::u16string& value) {
    Bytes bytes = Utf16(value);
    Put16(bytes, 0);
    return {name, bytes, static_cast<std::uint16_t>(value.size() + 1), 1, {}};
}

VBlock Table(const std::u16string& key, std::vector<VBlock> strings) {
    return {key, {}, 0, 1, std::move(strings)};
}

VBlock StringInfo(std::vector<VBlock> tables) {
    return {u"StringFileInfo", {}, 0, 1, std::move(tables)};
}

VBlock VarInfo(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& pairs) {
    Bytes value;
    for (const auto& p : pairs) {
        Put16(value, p.first);
        Put16(value, p.second);
    }
    VBlock var{u"Translation", value, static_cast<std::uint16_t>(value.size()), 0, {}};
    return {u"VarFileInfo", {}, 0, 1, {var}};
}

VBlock Root(std::vector<VBlock> children) {
    Bytes fixed;
    const std::uint32_t fields[13] = {0xFEEF04BD, 0x00010000, 0x00010002, 0x00030004,
                                      0x00010002, 0x00030004, 0x3F,       0,
                                      0x00040004, 1,          0,          0,
                                      0};
    for (std::uint32_t f : fields) Put32(fixed, f);
    return {u"VS_VERSION_INFO", fixed, 52, 0, std::move(children)};
}

std::vector<VBlock> StandardStrings(bool withCopyright) {
    std::vector<VBlock> strings = {
        Text(u"CompanyName", u"Paneloom Makers"),
        Text(u"ProductName", u"Paneloom"),
        Text(u"ProductVersion", u"2.5.1"),
    };
    if (withCopyright) strings.push_back(Text(u"LegalCopyright", u"(c) 2024 Paneloom Makers"));
    return strings;
}

Bytes StandardRecord(bool withCopyright, bool withVarFileInfo) {
    std::vector<VBlock> children = {StringInfo({Table(u"040904b0", StandardStrings(withCopyright))})};
    if (withVarFileInfo) children.push_back(VarInfo({{0x0409, 0x04B0}}));
    return Serialize(Root(children));
}

// ---------------------------------------------------------------------------
// Resource trees and PE images.

ResNode Dir(std::uint32_t id, std::vector<ResNode> children) { return {u"", id, std::move(children), false, {}}; }
ResNode NamedDir(const std::u16string& name, std::vector<ResNode> children) {
    return {name, 0, std::move(children), false, {}};
}
ResNode Leaf(std::uint32_t language, Bytes data) { return {u"", language, {}, true, std::move(data)}; }

ResNode VersionTree(Bytes record, std::uint32_t language) {
    return Dir(0, {Dir(3, {Dir(1, {Leaf(0x0409, Bytes(40, 0x11))})}),
                   Dir(16, {Dir(1, {Leaf(language, std::move(record))})})});
}

Bytes BuildResourceSection(const ResNode& root, std::uint32_t sectionRva) {
    std::vector<const ResNode*> dirs, names, leaves;
    auto collect = [&](const ResNode& n, auto& self) -> void {
        if (!n.name.empty()) names.push_back(&n);
        if (n.leaf) {
            leaves.push_back(&n);
            return;
        }
        dirs.push_back(&n);
        for (const ResNode& c : n.children) self(c, self);
    };
    collect(root, collect);

    std::map<const ResNode*, std::uint32_t> dirAt, nameAt, entryAt, dataAt;
    std::uint32_t at = 0;
    for (const ResNode* d : dirs) {
        dirAt[d] = at;
        at += 16 + 8 * static_cast<std::uint32_t>(d->children.size());
    }
    for (const ResNode* n : names) {
        nameAt[n] = at;
        at += 2 + 2 * static_cast<std::uint32_t>(n->name.size());
        at = (at + 3) & ~3u;
    }
    for (const ResNode* l : leaves) {
        entryAt[l] = at;
        at += 16;
    }
    for (const ResNode* l : leaves) {
        at = (at + 3) & ~3u;
        dataAt[l] = at;
        at += static_cast<std::uint32_t>(l->data.size());
    }

    Bytes out(at, 0);
    for (const ResNode* d : dirs) {
        Bytes dir(16, 0);
        std::uint16_t namedCount = 0;
        for (const ResNode& c : d->children) namedCount += c.name.empty() ? 0 : 1;
        Set16(dir, 12, namedCount);
        Set16(dir, 14, static_cast<std::uint16_t>(d->children.size() - namedCount));
        for (int pass = 0; pass < 2; ++pass) {
            for (const ResNode& c : d->children) {
                if ((pass == 0) == c.name.empty()) continue;
                Put32(dir, c.name.empty() ? c.id : (kHighBit | nameAt[&c]));
                Put32(dir, c.leaf ? entryAt[&c] : (kHighBit | dirAt[&c]));
            }
        }
        std::copy(dir.begin(), dir.end(), out.begin() + dirAt[d]);
    }
    for (const ResNode* n : names) {
        Set16(out, nameAt[n], static_cast<std::uint16_t>(n->name.size()));
        Bytes s = Utf16(n->name);
        std::copy(s.begin(), s.end(), out.begin() + nameAt[n] + 2);
    }
    for (const ResNode* l : leaves) {
        Set32(out, entryAt[l], sectionRva + dataAt[l]);
        Set32(out, entryAt[l] + 4, static_cast<std::uint32_t>(l->data.size()));
        std::copy(l->data.begin(), l->data.end(), out.begin() + dataAt[l]);
    }
    return out;
}

// DOS header, PE headers, a .text section and a .rsrc section holding `tree`.
BuiltImage BuildImage(const ResNode& tree, bool pe64) {
    constexpr std::uint32_t kTextRva = 0x1000, kResourceRva = 0x2000;
    constexpr std::uint32_t kTextRaw = 0x200, kResourceRaw = 0x400;
    const Bytes resources = BuildResourceSection(tree, kResourceRva);
    const std::uint32_t resourceRawSize = (static_cast<std::uint32_t>(resources.size()) + 0x1FF) & ~0x1FFu;

    BuiltImage image;
    Bytes& b = image.bytes;
    b.assign(0x40, 0);
    b[0] = 'M';
    b[1] = 'Z';
    image.pe = 0x80;
    Set32(b, 0x3C, static_cast<std::uint32_t>(image.pe));
    b.resize(image.pe, 0);
    b.insert(b.end(), {'P', 'E', 0, 0});
    const std::uint16_t optionalSize = pe64 ? 240 : 224;
    Put16(b, pe64 ? 0x8664 : 0x14C);  // machine
    Put16(b, 2);                       // sections
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put16(b, optionalSize);
    Put16(b, 0x22);

    image.optional = b.size();
    Bytes opt(optionalSize, 0);
    Set16(opt, 0, pe64 ? 0x20B : 0x10B);
    Set32(opt, 32, 0x1000);  // section alignment
    Set32(opt, 36, 0x200);   // file alignment
    Set32(opt, 56, kResourceRva + 0x1000 + (resourceRawSize & ~0xFFFu));
    Set32(opt, 60, 0x200);  // size of headers
    Set16(opt, 68, 3);      // console
    const std::size_t count = pe64 ? 108 : 92;
    Set32(opt, count, 16);
    Set32(opt, count + 4 + 2 * 8, kResourceRva);
    Set32(opt, count + 4 + 2 * 8 + 4, static_cast<std::uint32_t>(resources.size()));
    b.insert(b.end(), opt.begin(), opt.end());

    auto section = [&](const char* name, std::uint32_t virtualSize, std::uint32_t rva,
                       std::uint32_t rawSize, std::uint32_t raw) {
        Bytes h(40, 0);
        for (int i = 0; name[i] != '\0'; ++i) h[i] = static_cast<std::uint8_t>(name[i]);
        Set32(h, 8, virtualSize);
        Set32(h, 12, rva);
        Set32(h, 16, rawSize);
        Set32(h, 20, raw);
        Set32(h, 36, 0x40000040);
        b.insert(b.end(), h.begin(), h.end());
    };
    section(".text", 0x10, kTextRva, 0x200, kTextRaw);
    section(".rsrc", static_cast<std::uint32_t>(resources.size()), kResourceRva, resourceRawSize,
            kResourceRaw);

    b.resize(kTextRaw, 0);
    b.resize(kResourceRaw, 0xCC);
    b.insert(b.end(), resources.begin(), resources.end());
    b.resize(kResourceRaw + resourceRawSize, 0);
    image.resourceOffset = kResourceRaw;
    return image;
}

BuiltImage StandardImage(bool pe64) { return BuildImage(VersionTree(StandardRecord()), pe64); }

std::uint16_t Subsystem(const Bytes& image) {
    auto read = [&image](std::size_t at, std::size_t size) -> std::uint32_t {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(image[at + i]) << (8 * i);
        return value;
    };
    if (image.size() < 0x40 || image[0] != 'M' || image[1] != 'Z') return 0;
    const std::size_t pe = read(0x3C, 4);
    // The field lies at the same place in PE32 and PE32+ optional headers.
    const std::size_t field = pe + 24 + 68;
    if (pe > image.size() || image.size() - pe < 24 + 70) return 0;
    if (read(pe, 4) != 0x4550) return 0;  // "PE\0\0"
    return static_cast<std::uint16_t>(read(field, 2));
}

}  // namespace paneloom::testing::pe
