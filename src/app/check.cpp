#include "app/check.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "app/console_log.h"
#include "app/run_main.h"
#include "app/variable_listing.h"
#include "codepage/ansi_text.h"
#include "common/format.h"
#include "common/scan.h"
#include "config/markup.h"
#include "platform/files.h"
#include "platform/font_faces.h"
#include "platform/text_output.h"

namespace paneloom {

namespace {

// ---------------------------------------------------------------------------
// The file as the run reads it, each byte knowing its line.

// Comments cut as the run cuts them (the blank lines the run also collapses
// change no element), keeping where each remaining byte stood in the file.
class Source {
public:
    explicit Source(const std::string& file) {
        for (std::size_t i = 0; i < file.size(); ++i) {
            if (file[i] == '\n') lineStarts_.push_back(static_cast<std::int32_t>(i) + 1);
        }
        const std::string_view text(file);
        std::int32_t copied = 0;
        std::int32_t begin = FindText(text, "<!--", 0);
        while (begin >= 0) {
            const std::int32_t close = FindText(text, "-->", begin);
            if (close < 0) {
                unclosedComment_ = begin;
                break;
            }
            Keep(file, copied, begin);
            copied = close + 3;
            begin = FindText(text, "<!--", copied);
        }
        Keep(file, copied, static_cast<std::int32_t>(file.size()));
    }

    const std::string& Document() const { return document_; }
    std::int32_t UnclosedComment() const { return unclosedComment_; }

    // The line of a position in the document.
    std::int32_t Line(std::int32_t position) const {
        std::int32_t at = 0;
        if (!origin_.empty()) {
            const auto index = static_cast<std::size_t>(
                std::clamp<std::int32_t>(position, 0, static_cast<std::int32_t>(origin_.size()) - 1));
            at = origin_[index];
        }
        return FileLine(at);
    }

    std::int32_t FileLine(std::int32_t filePosition) const {
        return static_cast<std::int32_t>(std::upper_bound(lineStarts_.begin(), lineStarts_.end(), filePosition) -
                                         lineStarts_.begin());
    }

private:
    void Keep(const std::string& file, std::int32_t from, std::int32_t to) {
        for (std::int32_t i = from; i < to; ++i) {
            document_ += file[static_cast<std::size_t>(i)];
            origin_.push_back(i);
        }
    }

    std::string document_;
    std::vector<std::int32_t> origin_;
    std::vector<std::int32_t> lineStarts_{0};
    std::int32_t unclosedComment_ = -1;
};

// ---------------------------------------------------------------------------
// What the program reads.

enum class ValueKind { kText, kDecimal, kHex, kKeyword };

struct AttributeSpec {
    const char* name;
    ValueKind kind;
};

struct ElementSpec {
    const char* name;
    const char* parent;  // where the run looks for it; null: the whole file
    std::vector<AttributeSpec> attributes;
};

const std::vector<ElementSpec>& Elements() {
    static const std::vector<ElementSpec> elements = {
        {"globalsettings", nullptr, {}},
        {"displayoutput", nullptr, {}},
        {"usescreendepth", "globalsettings", {}},
        {"backgroundstyle", "globalsettings", {{"value", ValueKind::kKeyword}}},
        {"inputbmp", "globalsettings", {{"name", ValueKind::kText}}},
        {"outputbmp", "globalsettings", {{"name", ValueKind::kText}}},
        {"textsettings", "displayoutput", {}},
        {"output", "displayoutput", {}},
        {"textalign", "textsettings", {{"value", ValueKind::kKeyword}}},
        {"textstart", "textsettings", {{"x", ValueKind::kDecimal}, {"y", ValueKind::kDecimal}}},
        {"backgroundcolor",
         "textsettings",
         {{"red", ValueKind::kDecimal},
          {"green", ValueKind::kDecimal},
          {"blue", ValueKind::kDecimal},
          {"transparent", ValueKind::kDecimal}}},
        {"textcolor",
         "textsettings",
         {{"red", ValueKind::kDecimal}, {"green", ValueKind::kDecimal}, {"blue", ValueKind::kDecimal}}},
        {"font",
         "textsettings",
         {{"weight", ValueKind::kDecimal},
          {"extra", ValueKind::kDecimal},
          {"points", ValueKind::kDecimal},
          {"face", ValueKind::kText}}},
        {"executable", "textsettings", {{"name", ValueKind::kText}}},
        {"textline",
         "output",
         {{"points", ValueKind::kDecimal},
          {"face", ValueKind::kText},
          {"weight", ValueKind::kDecimal},
          {"align", ValueKind::kDecimal},
          {"extra", ValueKind::kDecimal},
          {"bgcolor", ValueKind::kHex},
          {"textcolor", ValueKind::kHex},
          {"transparent", ValueKind::kDecimal}}},
        {"textat",
         "output",
         {{"x", ValueKind::kDecimal},
          {"y", ValueKind::kDecimal},
          {"points", ValueKind::kDecimal},
          {"face", ValueKind::kText},
          {"weight", ValueKind::kDecimal},
          {"align", ValueKind::kDecimal},
          {"extra", ValueKind::kDecimal},
          {"bgcolor", ValueKind::kHex},
          {"textcolor", ValueKind::kHex},
          {"transparent", ValueKind::kDecimal},
          {"string", ValueKind::kText}}},
    };
    return elements;
}

const ElementSpec* FindSpec(const std::string& name) {
    for (const ElementSpec& spec : Elements()) {
        if (name == spec.name) return &spec;
    }
    return nullptr;
}

// Edits (insert, delete, replace, swap of neighbours) from one name to another.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// The known name nearest to `name`, when it is near enough to be a slip:
// one edit in a short name, two in a longer one.
std::string Nearest(const std::string& name, const std::vector<std::string>& known) {
    const std::string lowered = LowerAscii(name);
    std::string best;
    std::size_t bestDistance = lowered.size() >= 5 ? 3 : 2;
    for (const std::string& candidate : known) {
        const std::size_t distance = Distance(lowered, LowerAscii(candidate));
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::vector<std::string> ElementNames() {
    std::vector<std::string> names;
    for (const ElementSpec& spec : Elements()) names.emplace_back(spec.name);
    return names;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == ':' || c == '.';
}

// Up to 40 bytes of a text for a message, line breaks shown as \n.
std::string Shown(const std::string& text) {
    std::string shown;
    for (char c : text.substr(0, 40)) {
        if (c == '\n') shown += "\\n";
        else if (c == '\r') shown += "\\r";
        else if (c == '\t') shown += "\\t";
        else shown += c;
    }
    if (text.size() > 40) shown += "...";
    return shown;
}

// An attribute as its author wrote it, XML fashion.
struct WrittenAttribute {
    std::string name;
    std::int32_t nameAt = 0;
    std::int32_t valueAt = -1;  // first byte of the value; -1: no value
    std::int32_t valueEnd = -1;
    bool quoted = false;
};

std::vector<WrittenAttribute> ParseAttributes(const std::string& text, std::size_t from) {
    std::vector<WrittenAttribute> attributes;
    std::size_t i = from;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && IsBlank(text[i])) ++i;
        if (i >= n || text[i] == '/' || text[i] == '>') break;
        WrittenAttribute attribute;
        attribute.nameAt = static_cast<std::int32_t>(i);
        while (i < n && !IsBlank(text[i]) && text[i] != '=' && text[i] != '/' && text[i] != '>') ++i;
        attribute.name = text.substr(static_cast<std::size_t>(attribute.nameAt), i - attribute.nameAt);
        if (attribute.name.empty()) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < n && IsBlank(text[j])) ++j;
        if (j < n && text[j] == '=') {
            ++j;
            while (j < n && IsBlank(text[j])) ++j;
            if (j < n && (text[j] == '"' || text[j] == '\'')) {
                const std::size_t close = text.find(text[j], j + 1);
                attribute.quoted = text[j] == '"';
                attribute.valueAt = static_cast<std::int32_t>(j + 1);
                j = close == std::string::npos ? n : close + 1;
                attribute.valueEnd = static_cast<std::int32_t>(close == std::string::npos ? n : close);
            } else {
                attribute.valueAt = static_cast<std::int32_t>(j);
                while (j < n && !IsBlank(text[j]) && text[j] != '>' &&
                       !(text[j] == '/' && j + 1 < n && text[j + 1] == '>'))
                    ++j;
                attribute.valueEnd = static_cast<std::int32_t>(j);
            }
            i = j;
        }
        attributes.push_back(attribute);
    }
    return attributes;
}

// ---------------------------------------------------------------------------
// The walk: the elements in the order and by the searches of a run.

class Checker {
public:
    Checker(const std::string& file, const CheckMachine* machine) : source_(file), machine_(machine) {}

    void Walk() {
        const std::string& document = source_.Document();
        if (source_.UnclosedComment() >= 0) {
            AddAtFile(source_.UnclosedComment(),
                      "comment is never closed: it and everything after it are read as configuration");
        }

        std::string piece;
        std::int32_t start = -1;
        std::int32_t content = -1;
        if (Element(document, 0, "globalsettings", 0, piece, start, content) == Found::kWhole) {
            SettingsChildren(piece, content, "globalsettings");
        }

        std::int32_t cursor = 0;
        while (true) {
            std::int32_t end = -1;
            const Found found = Element(document, 0, "displayoutput", cursor, piece, start, content, &end);
            if (found != Found::kWhole) {
                if (found == Found::kUnclosed) unclosedDisplayOutput_ = start;
                break;
            }
            DisplayOutput(piece, content);
            cursor = end;
        }
        UnreadAndUnknownTags();
    }

    std::vector<Finding> TakeFindings() {
        std::stable_sort(findings_.begin(), findings_.end(),
                         [](const Finding& a, const Finding& b) { return a.line < b.line; });
        return std::move(findings_);
    }

    DrawnItemPlaces Places() const { return places_; }

private:
    enum class Found { kNone, kUnclosed, kWhole };

    void Add(std::int32_t position, const std::string& message) {
        if (machine_ != nullptr) findings_.push_back({source_.Line(position), message});
    }
    void AddAtFile(std::int32_t filePosition, const std::string& message) {
        if (machine_ != nullptr) findings_.push_back({source_.FileLine(filePosition), message});
    }

    // FindElement in ContentMode, as the run asks it, with where the element
    // starts and its content begins (positions in the document).
    Found Element(const std::string& text, std::int32_t offset, const char* name, std::int32_t cursor,
                  std::string& piece, std::int32_t& start, std::int32_t& content, std::int32_t* endOut = nullptr) {
        start = FindText(text, std::string("<") + name, cursor);
        std::int32_t end = -1;
        std::int32_t at = cursor;
        const bool found = FindElement(text, name, piece, at, end, ContentMode);
        if (start < 0) return Found::kNone;
        read_.insert(offset + start);
        if (!found) {
            Add(offset + start, StringPrintf("<%s> is never closed with </%s>: %s", name, name,
                                             std::string(name) == "displayoutput"
                                                 ? "it and every displayoutput after it are not drawn"
                                                 : "nothing of it is read"));
            return Found::kUnclosed;
        }
        content = offset + at;
        if (endOut != nullptr) *endOut = end;
        if (std::string(name) == "globalsettings" || std::string(name) == "displayoutput") {
            containers_.emplace_back(content, offset + end);
        }
        return Found::kWhole;
    }

    void DisplayOutput(const std::string& element, std::int32_t offset) {
        std::string piece;
        std::int32_t start = -1;
        std::int32_t content = -1;
        if (Element(element, offset, "textsettings", 0, piece, start, content) == Found::kWhole) {
            SettingsChildren(piece, content, "textsettings");
        }
        if (Element(element, offset, "output", 0, piece, start, content) == Found::kWhole) {
            Output(piece, content, offset + start);
        }
    }

    // The self-closing child tags of a settings element, each first one read
    // by FindTag and lower-cased whole before its attributes are read.
    void SettingsChildren(const std::string& content, std::int32_t offset, const char* parent) {
        for (const ElementSpec& spec : Elements()) {
            if (spec.parent == nullptr || std::string(spec.parent) != parent) continue;
            std::string tag;
            if (!FindTag(content, spec.name, tag)) continue;
            const std::int32_t start = FindText(content, std::string("<") + spec.name, 0);
            read_.insert(offset + start);
            if (std::string(spec.name) == "inputbmp") places_.inputPictureLine = source_.Line(offset + start);
            if (!SelfClosed(tag, offset + start, spec.name)) continue;
            // The name as written, which may go on past the one searched for.
            std::size_t nameEnd = 1;
            while (nameEnd < tag.size() && IsNameChar(tag[nameEnd])) ++nameEnd;
            if (std::string(spec.name) == "usescreendepth" && !ParseAttributes(tag, nameEnd).empty()) {
                Add(offset + start, "<usescreendepth> turns screen depth on whatever its attributes say");
            }
            if (spec.attributes.empty()) continue;
            Attributes(LowerAscii(tag), tag, offset + start, nameEnd, spec, true);
        }
    }

    // False when the tag has no "/>" of its own: then FindTag reads up to a
    // later tag's, or reads nothing.
    bool SelfClosed(const std::string& tag, std::int32_t position, const char* name) {
        if (tag.empty()) {
            Add(position, StringPrintf("<%s> is not closed with \"/>\": none of its attributes is read", name));
            return false;
        }
        if (tag.find('>') != std::string::npos || tag.find('<', 1) != std::string::npos) {
            Add(position, StringPrintf("<%s> is not closed with \"/>\": its attributes are read up to the \"/>\" "
                                       "of a later tag",
                                       name));
            return false;
        }
        return true;
    }

    void Output(const std::string& content, std::int32_t offset, std::int32_t elementStart) {
        std::vector<std::int32_t> items{source_.Line(elementStart)};
        Variables(content, offset);

        // The lines, as ConvertTextLines finds them.
        std::int32_t search = 0;
        while (true) {
            std::string text;
            std::int32_t cursor = search;
            std::int32_t end = -1;
            const std::int32_t start = FindText(content, "<textline", search);
            if (!FindElement(content, "textline", text, cursor, end, ContentMode)) {
                if (start >= 0) {
                    read_.insert(offset + start);
                    Add(offset + start, "<textline> is never closed with </textline>: it and the lines after it "
                                        "are not drawn");
                }
                break;
            }
            read_.insert(offset + start);
            items.push_back(source_.Line(offset + start));
            std::string attributes;
            std::int32_t tagCursor = search;
            std::int32_t tagEnd = -1;
            FindElement(content, "textline", attributes, tagCursor, tagEnd, StartTagMode);
            const ElementSpec& spec = *FindSpec("textline");
            Attributes(attributes, attributes, offset + tagCursor, 0, spec, false);
            DrawnText(text, offset + cursor, "<textline>");
            search = end;
        }

        // The textat elements, as CollectTextAt finds them.
        search = 0;
        while (true) {
            std::string attributes;
            std::int32_t cursor = search;
            std::int32_t end = -1;
            const std::int32_t start = FindText(content, "<textat", search);
            if (!FindElement(content, "textat", attributes, cursor, end, SelfClosingMode)) {
                if (start >= 0) {
                    read_.insert(offset + start);
                    Add(offset + start, "<textat> is not closed with \"/>\": it is not drawn");
                }
                break;
            }
            read_.insert(offset + start);
            items.push_back(source_.Line(offset + start));
            if (attributes.find('<') != std::string::npos || attributes.find('>') != std::string::npos) {
                Add(offset + start, "<textat> is not closed with \"/>\": its attributes are read up to the \"/>\" "
                                    "of a later tag");
            } else {
                Attributes(attributes, attributes, offset + cursor, 0, *FindSpec("textat"), false);
                std::string string;
                if (GetAttribute(attributes, "string", string)) DrawnText(string, offset + cursor, "<textat>");
            }
            search = end;
        }
        // Lines first, then textat: the order they are drawn in; sorting
        // each group is not needed, the searches go forward.
        places_.outputs.push_back(items);
    }

    // A text that is drawn as written (before its variables are replaced).
    void DrawnText(const std::string& text, std::int32_t position, const char* element) {
        const std::size_t breakAt = text.find_first_of("\r\n");
        if (breakAt != std::string::npos) {
            Add(position + static_cast<std::int32_t>(breakAt),
                StringPrintf("a line break inside the text of %s draws as a box: write each line as a <textline> "
                             "of its own",
                             element));
        }
        const std::size_t tab = text.find('\t');
        if (tab != std::string::npos) {
            Add(position + static_cast<std::int32_t>(tab),
                StringPrintf("a tab inside the text of %s draws as a box: use spaces", element));
        }
        if (std::string(element) == "<textline>") {
            const std::size_t quote = text.find('"');
            if (quote != std::string::npos) {
                Add(position + static_cast<std::int32_t>(quote),
                    "a double quote inside a <textline> ends its text: only what comes before it is drawn");
            }
            const std::size_t close = text.find("/>");
            if (close != std::string::npos) {
                Add(position + static_cast<std::int32_t>(close),
                    "\"/>\" inside a <textline> ends its item early: the line is drawn with no text");
            }
        }
    }

    // The attributes of one tag. `runText` is the text the run searches
    // (lower-cased for the settings tags), `written` the same bytes as in
    // the file; `from` where the attributes begin in them.
    void Attributes(const std::string& runText, const std::string& written, std::int32_t position, std::size_t from,
                    const ElementSpec& spec, bool folded) {
        const std::string tagName = spec.name;
        const std::vector<WrittenAttribute> attributes = ParseAttributes(written, from);
        std::vector<std::string> known;
        for (const AttributeSpec& a : spec.attributes) known.emplace_back(a.name);
        auto same = [folded](const std::string& a, const std::string& b) {
            return folded ? LowerAscii(a) == LowerAscii(b) : a == b;
        };

        for (const WrittenAttribute& attribute : attributes) {
            const bool isKnown =
                std::any_of(known.begin(), known.end(), [&](const std::string& k) { return same(attribute.name, k); });
            const std::int32_t at = position + attribute.nameAt;
            if (isKnown) continue;
            if (tagName == "textline" && (attribute.name == "x" || attribute.name == "y" || attribute.name == "string")) {
                Add(at, StringPrintf("<textline> has no %s: lines are placed by <textstart> in <textsettings>, "
                                     "and <textat> places a text where it is written",
                                     attribute.name.c_str()));
                continue;
            }
            const std::string nearest = Nearest(attribute.name, known);
            if (!folded && LowerAscii(nearest) == LowerAscii(attribute.name)) {
                Add(at, StringPrintf("attribute %s of <%s> is not read: attribute names are case-sensitive here; "
                                     "write %s",
                                     attribute.name.c_str(), tagName.c_str(), nearest.c_str()));
            } else if (!nearest.empty()) {
                Add(at, StringPrintf("unknown attribute %s of <%s>, ignored: did you mean %s?", attribute.name.c_str(),
                                     tagName.c_str(), nearest.c_str()));
            } else {
                Add(at, StringPrintf("unknown attribute %s of <%s>, ignored", attribute.name.c_str(), tagName.c_str()));
            }
        }

        for (const AttributeSpec& a : spec.attributes) {
            const std::string name = a.name;
            const WrittenAttribute* own = nullptr;
            for (const WrittenAttribute& attribute : attributes) {
                if (same(attribute.name, name)) {
                    own = &attribute;
                    break;
                }
            }
            std::int32_t valueAt = 0;
            std::int32_t count = 0;
            if (!FindAttributeValue(runText, name, valueAt, count)) {
                if (own != nullptr && own->valueAt >= 0 && !own->quoted) {
                    Add(position + own->nameAt, StringPrintf("the value of %s in <%s> has no double quotes: it is not "
                                                             "read",
                                                             own->name.c_str(), tagName.c_str()));
                }
                continue;
            }
            const std::string value = written.substr(static_cast<std::size_t>(valueAt), static_cast<std::size_t>(count));
            if (own == nullptr || own->valueAt != valueAt) {
                MisreadAttribute(runText, attributes, name, own, valueAt, value, position, tagName, from);
                continue;
            }
            ValueProblems(a, runText, value, position + valueAt, tagName);
        }
    }

    // The run reads `name` from a value that is not its own.
    void MisreadAttribute(const std::string& runText, const std::vector<WrittenAttribute>& attributes,
                          const std::string& name, const WrittenAttribute* own, std::int32_t valueAt,
                          const std::string& value, std::int32_t position, const std::string& tagName,
                          std::size_t from) {
        std::string owner = "another attribute";
        for (const WrittenAttribute& attribute : attributes) {
            if (attribute.valueAt == valueAt) owner = attribute.name;
        }
        const std::int32_t first = FindText(runText, name, 0);
        std::string where = "the tag";
        if (first >= 0 && static_cast<std::size_t>(first) < from) {
            where = "the tag name " + tagName;
        } else {
            for (const WrittenAttribute& attribute : attributes) {
                if (first >= attribute.nameAt &&
                    first < attribute.nameAt + static_cast<std::int32_t>(attribute.name.size())) {
                    where = "the attribute name " + attribute.name;
                } else if (attribute.valueAt >= 0 && first >= attribute.valueAt && first < attribute.valueEnd) {
                    where = "the value of " + attribute.name;
                }
            }
        }
        if (own != nullptr && own->valueAt >= 0 && !own->quoted) {
            Add(position + own->nameAt,
                StringPrintf("%s=%s in <%s> has no double quotes: %s is read as \"%s\", the value of %s", name.c_str(),
                             runText.substr(static_cast<std::size_t>(own->valueAt),
                                            static_cast<std::size_t>(own->valueEnd - own->valueAt))
                                 .c_str(),
                             tagName.c_str(), name.c_str(), Shown(value).c_str(), owner.c_str()));
        } else if (own != nullptr) {
            Add(position + own->nameAt,
                StringPrintf("%s in <%s> is read as \"%s\", the value of %s: the first \"%s\" in the tag is in %s; "
                             "write %s first",
                             name.c_str(), tagName.c_str(), Shown(value).c_str(), owner.c_str(), name.c_str(),
                             where.c_str(), name.c_str()));
        } else {
            Add(position + valueAt,
                StringPrintf("<%s> has no %s, yet %s is read as \"%s\", the value of %s: the first \"%s\" in the "
                             "tag is in %s",
                             tagName.c_str(), name.c_str(), name.c_str(), Shown(value).c_str(), owner.c_str(),
                             name.c_str(), where.c_str()));
        }
    }

    void ValueProblems(const AttributeSpec& a, const std::string& runText, const std::string& value,
                       std::int32_t position, const std::string& tagName) {
        const std::string name = a.name;
        if (a.kind == ValueKind::kDecimal) {
            std::int32_t number = 0;
            if (!GetIntAttribute(runText, name, number)) {
                Add(position, StringPrintf("%s=\"%s\" in <%s> is not a number: it changes nothing", name.c_str(),
                                           Shown(value).c_str(), tagName.c_str()));
            }
        } else if (a.kind == ValueKind::kHex) {
            std::uint32_t number = 0;
            if (!GetHexAttribute(runText, name, number)) {
                Add(position, StringPrintf("%s=\"%s\" in <%s> is not a colour: write six hexadecimal digits, blue "
                                           "first (BBGGRR); it changes nothing",
                                           name.c_str(), Shown(value).c_str(), tagName.c_str()));
            }
        } else if (a.kind == ValueKind::kKeyword) {
            const std::string lowered = LowerAscii(value);
            const bool style = tagName == "backgroundstyle";
            const bool known = style ? (lowered == "center" || lowered == "tile" || lowered == "stretch")
                                     : (lowered == "left" || lowered == "center" || lowered == "right");
            if (!known) {
                Add(position, StringPrintf("value \"%s\" of <%s> changes nothing: write %s", Shown(value).c_str(),
                                           tagName.c_str(),
                                           style ? "center, tile or stretch" : "left, center or right"));
            }
        } else if (name == "face" && value.find('%') == std::string::npos) {
            Face(value, position);
        } else if (name == "name" && machine_ != nullptr && machine_->namesIgnoreCase) {
            std::string lowered = value;
            ToLowerAnsi(lowered);
            if (lowered != value) {
                Add(position, StringPrintf("the name \"%s\" in <%s> is read lower-cased, as \"%s\"",
                                           Shown(value).c_str(), tagName.c_str(), Shown(lowered).c_str()));
            }
        }
    }

    void Face(const std::string& face, std::int32_t position) {
        if (machine_ == nullptr || face.empty()) return;
        auto known = faces_.find(LowerAscii(face));
        if (known == faces_.end()) {
            std::string drawn;
            const bool installed = platform::Get<platform::FontFaces>().Installed(face, drawn);
            known = faces_.emplace(LowerAscii(face), installed ? std::string() : drawn).first;
        }
        if (known->second.empty()) return;
        Add(position, StringPrintf("face \"%s\" is not installed: \"%s\" is drawn instead", face.c_str(),
                                   known->second.c_str()));
    }

    // The %NAME% tokens of an output element's content that no variable
    // replaces on this machine.
    void Variables(const std::string& content, std::int32_t offset) {
        if (machine_ == nullptr) return;
        std::size_t open = content.find('%');
        while (open != std::string::npos) {
            const std::size_t close = content.find('%', open + 1);
            if (close == std::string::npos) break;
            const std::string inner = content.substr(open + 1, close - open - 1);
            const bool isName = !inner.empty() && std::all_of(inner.begin(), inner.end(), [](char c) {
                return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
            });
            if (!isName) {
                open = close;
                continue;
            }
            const std::string token = content.substr(open, close - open + 1);
            UnknownVariable(token, offset + static_cast<std::int32_t>(open));
            open = content.find('%', close + 1);
        }
    }

    void UnknownVariable(const std::string& token, std::int32_t position) {
        const std::vector<std::string>& names = machine_->variables;
        if (std::find(names.begin(), names.end(), token) != names.end()) {
            if (machine_->unreplaced.count(token) != 0) {
                Add(position, token + " is not replaced on this machine: it is drawn as written");
            }
            return;
        }
        const std::string inner = token.substr(1, token.size() - 2);
        const std::string upper = [&] {
            std::string u = inner;
            for (char& c : u) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            return u;
        }();
        // An adapter, interface or drive this machine does not have.
        const char* family = nullptr;
        if (upper.rfind("ADAPTER_", 0) == 0 && upper.size() > 8 && upper[8] >= '0' && upper[8] <= '9') {
            family = "adapter";
        } else if (upper.rfind("INTERFACE_", 0) == 0 && upper.size() > 10 && upper[10] >= '0' && upper[10] <= '9') {
            family = "interface";
        } else if (upper.rfind("VOLUME_", 0) == 0 && upper.size() == 13 && upper.compare(8, 5, "_INFO") == 0) {
            family = "drive";
        }
        if (family != nullptr && upper == inner) {
            Add(position, StringPrintf("%s is not replaced: this machine has no such %s; it is drawn as written",
                                       token.c_str(), family));
            return;
        }
        std::vector<std::string> candidates = names;
        candidates.insert(candidates.end(), {"%PROCMHZ%", "%PROCNAME%", "%PROCCOUNT%", "%PROCINFO%",
                                             "%EXECUTABLE_COMPANY%", "%EXECUTABLE_PRODUCT%", "%EXECUTABLE_VERSION%",
                                             "%EXECUTABLE_COPYRIGHT%"});
        const std::string nearest = Nearest(token, candidates);
        if (!nearest.empty() && LowerAscii(nearest) == LowerAscii(token)) {
            Add(position, StringPrintf("%s is not replaced: variable names are case-sensitive; write %s",
                                       token.c_str(), nearest.c_str()));
        } else if (!nearest.empty()) {
            Add(position, StringPrintf("%s is not a variable and is drawn as written: did you mean %s?", token.c_str(),
                                       nearest.c_str()));
        } else {
            Add(position, token + " is not a variable: it is drawn as written");
        }
    }

    // Every tag of the document that the walk did not read.
    void UnreadAndUnknownTags() {
        const std::string& document = source_.Document();
        const std::vector<std::string> known = ElementNames();
        for (std::size_t i = document.find('<'); i != std::string::npos; i = document.find('<', i + 1)) {
            std::size_t j = i + 1;
            while (j < document.size() && IsNameChar(document[j])) ++j;
            if (j == i + 1) continue;  // a closing tag, a prolog, a declaration
            const std::string name = document.substr(i + 1, j - i - 1);
            const auto position = static_cast<std::int32_t>(i);
            const bool read = read_.count(position) != 0;
            if (const ElementSpec* spec = FindSpec(name)) {
                if (!read) Unread(*spec, position);
                continue;
            }
            if (read) {
                // Found by a search for a shorter name it starts with.
                for (const std::string& k : known) {
                    if (name.rfind(k, 0) == 0 && k.size() < name.size()) {
                        Add(position, StringPrintf("<%s> is read as <%s>: the program finds elements by the start of "
                                                   "their name",
                                                   name.c_str(), k.c_str()));
                        break;
                    }
                }
                continue;
            }
            const std::string nearest = Nearest(name, known);
            if (!nearest.empty() && LowerAscii(nearest) == LowerAscii(name)) {
                Add(position, StringPrintf("<%s> is ignored: element names are case-sensitive; write <%s>",
                                           name.c_str(), nearest.c_str()));
            } else if (!nearest.empty()) {
                Add(position,
                    StringPrintf("unknown element <%s>, ignored: did you mean %s?", name.c_str(), nearest.c_str()));
            } else if (std::any_of(containers_.begin(), containers_.end(), [position](const auto& range) {
                           return position >= range.first && position < range.second;
                       })) {
                Add(position, StringPrintf("unknown element <%s> is ignored", name.c_str()));
            }
        }
    }

    void Unread(const ElementSpec& spec, std::int32_t position) {
        const std::string name = spec.name;
        // What follows a displayoutput that is never closed was told with it.
        if (unclosedDisplayOutput_ >= 0 && position > unclosedDisplayOutput_ &&
            (spec.parent == nullptr || std::string(spec.parent) != "globalsettings"))
            return;
        if (name == "displayoutput") {
            Add(position, "<displayoutput> inside another one is not read");
            return;
        }
        if (name == "globalsettings") {
            Add(position, "only the first <globalsettings> is read: this one is ignored");
        } else if (name == "textline" || name == "textat") {
            Add(position, StringPrintf("<%s> is not drawn: texts are drawn only from the first <output> of a "
                                       "<displayoutput>",
                                       name.c_str()));
        } else {
            const std::string parent = spec.parent;
            const std::string where = parent == "globalsettings" ? "the first <globalsettings>"
                                      : parent == "displayoutput" ? "each <displayoutput>"
                                                                  : "the first <textsettings> of each <displayoutput>";
            Add(position, StringPrintf("<%s> is ignored: only the first <%s> inside %s is read", name.c_str(),
                                       name.c_str(), where.c_str()));
        }
    }

    Source source_;
    const CheckMachine* machine_;
    std::vector<Finding> findings_;
    std::set<std::int32_t> read_;
    std::map<std::string, std::string> faces_;
    // The contents of the globalsettings and displayoutput elements read.
    std::vector<std::pair<std::int32_t, std::int32_t>> containers_;
    std::int32_t unclosedDisplayOutput_ = -1;  // where one starts that is never closed
    DrawnItemPlaces places_;
};

// ---------------------------------------------------------------------------
// A run of the file that draws but writes nothing, watched.

// What each output element drew, and where.
struct DrawnText {
    std::size_t output = 0;  // counted from 0
    std::size_t item = 0;    // within its output element
    std::int32_t x = 0;
    std::int32_t y = 0;
    platform::TextExtent extent;
    std::string text;
};

// Hands every call to the real text output and keeps what was written.
class WatchedTextOutput final : public platform::TextOutput {
public:
    explicit WatchedTextOutput(platform::TextOutput& real) : real_(real) {}

    void StartOutput() {
        ++outputs_;
        item_ = 0;
    }
    const std::vector<DrawnText>& Drawn() const { return drawn_; }

    int DeviceCaps(platform::DcHandle dc, int index) override { return real_.DeviceCaps(dc, index); }
    bool DeviceToLogical(platform::DcHandle dc, platform::DevicePoint* points, int count) override {
        return real_.DeviceToLogical(dc, points, count);
    }
    platform::FontHandle CreateFontFromRecord(const platform::LogFontRecord& record) override {
        return real_.CreateFontFromRecord(record);
    }
    platform::FontHandle SelectFontObject(platform::DcHandle dc, platform::FontHandle font) override {
        return real_.SelectFontObject(dc, font);
    }
    void DeleteFontObject(platform::FontHandle font) override { real_.DeleteFontObject(font); }
    std::uint32_t SetBackgroundColor(platform::DcHandle dc, std::uint32_t color) override {
        return real_.SetBackgroundColor(dc, color);
    }
    platform::BackgroundMode SetBackgroundMode(platform::DcHandle dc, platform::BackgroundMode mode) override {
        return real_.SetBackgroundMode(dc, mode);
    }
    std::uint32_t SetForegroundColor(platform::DcHandle dc, std::uint32_t color) override {
        return real_.SetForegroundColor(dc, color);
    }
    int SetCharacterExtra(platform::DcHandle dc, int extra) override { return real_.SetCharacterExtra(dc, extra); }
    bool MeasureString(platform::DcHandle dc, const std::string& text, platform::TextExtent& extent) override {
        const bool measured = real_.MeasureString(dc, text, extent);
        lastExtent_ = measured ? extent : platform::TextExtent();
        return measured;
    }
    bool WriteString(platform::DcHandle dc, std::int32_t x, std::int32_t y, const std::string& text) override {
        if (outputs_ > 0) drawn_.push_back({outputs_ - 1, item_++, x, y, lastExtent_, text});
        return real_.WriteString(dc, x, y, text);
    }

private:
    platform::TextOutput& real_;
    std::vector<DrawnText> drawn_;
    std::size_t outputs_ = 0;
    std::size_t item_ = 0;
    platform::TextExtent lastExtent_;
};

class CheckEffects final : public RunEffects {
public:
    CheckEffects(const std::string& configPath, WatchedTextOutput& text) : configPath_(configPath), text_(text) {}

    void ResolveConfiguration(RunSettings& settings) override { settings.configPath = configPath_; }
    void ApplyStyle(std::int32_t) override {}
    void DrawOutput(std::string& content, platform::DcHandle dc, RunContext& context) override {
        text_.StartOutput();
        RunEffects::DrawOutput(content, dc, context);
    }
    bool WriteResult(const RunSettings&, platform::BitmapHandle bitmap, platform::PaletteHandle) override {
        drawn_ = platform::Get<platform::Graphics>().GetBitmapRecord(bitmap, picture_);
        return drawn_;
    }
    void SetWallpaper(const std::string&) override {}

    // The picture's size, once the run got as far as writing it.
    bool Picture(platform::BitmapRecord& record) const {
        record = picture_;
        return drawn_;
    }

private:
    std::string configPath_;
    WatchedTextOutput& text_;
    platform::BitmapRecord picture_;
    bool drawn_ = false;
};

class CapturedLog final : public LogDestination {
public:
    void Line(const char* line, std::size_t size) noexcept override {
        try {
            std::string text(line, size);
            // The message without its timestamp and line feeds.
            const std::size_t separator = text.find(" : ");
            if (separator != std::string::npos) text.erase(0, separator + 3);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            messages.push_back(text);
        } catch (...) {
        }
    }
    std::vector<std::string> messages;
};

std::size_t CountOf(const std::vector<DrawnText>& drawn, std::size_t output) {
    return static_cast<std::size_t>(
        std::count_if(drawn.begin(), drawn.end(), [output](const DrawnText& d) { return d.output == output; }));
}

std::vector<Finding> RunProblems(const std::string& configPath, const DrawnItemPlaces& places) {
    std::vector<Finding> findings;
    CapturedLog log;
    ScopedLogDestination toCapture(log);
    WatchedTextOutput text(platform::Get<platform::TextOutput>());
    platform::ScopedFake<platform::TextOutput> watching(text);
    RunContext context;
    CheckEffects effects(configPath, text);
    const int code = RunMain(context, effects);

    for (const std::string& message : log.messages) {
        if (message.rfind("Could not LoadImage", 0) == 0 || message.rfind("Could not LoadBMPImage", 0) == 0) {
            findings.push_back({places.inputPictureLine,
                                StringPrintf("the input picture \"%s\" cannot be read: a run ends here with exit code %d",
                                             context.settings.inputBitmapPath.c_str(), code)});
        } else {
            findings.push_back({1, "a run logs: " + message});
        }
    }

    platform::BitmapRecord picture;
    if (!effects.Picture(picture)) return findings;
    const std::int64_t width = picture.width;
    const std::int64_t height = std::abs(static_cast<std::int64_t>(picture.height));
    for (const DrawnText& drawn : text.Drawn()) {
        if (drawn.text.empty()) continue;
        const std::int64_t left = drawn.x;
        const std::int64_t top = drawn.y;
        const bool outside = left >= width || top >= height || left + std::max(drawn.extent.cx, 1) <= 0 ||
                             top + std::max(drawn.extent.cy, 1) <= 0;
        if (!outside) continue;
        std::int32_t line = 1;
        if (drawn.output < places.outputs.size()) {
            const std::vector<std::int32_t>& items = places.outputs[drawn.output];
            // An output element without items of its own draws the last
            // one's again: those are told at the element itself.
            line = items.size() == 1 + CountOf(text.Drawn(), drawn.output) && drawn.item + 1 < items.size()
                       ? items[drawn.item + 1]
                       : items[0];
        }
        findings.push_back({line, StringPrintf("text \"%s\" at %d,%d falls wholly outside the %lldx%lld picture",
                                               Shown(drawn.text).c_str(), static_cast<int>(drawn.x),
                                               static_cast<int>(drawn.y), static_cast<long long>(width),
                                               static_cast<long long>(height))});
    }
    return findings;
}

}  // namespace

std::vector<Finding> FindTextProblems(const std::string& file, const CheckMachine& machine) {
    Checker checker(file, &machine);
    checker.Walk();
    return checker.TakeFindings();
}

DrawnItemPlaces FindDrawnItemPlaces(const std::string& file) {
    Checker checker(file, nullptr);
    checker.Walk();
    return checker.Places();
}

int CheckConfiguration(const std::string& configPath) {
    platform::Console& console = platform::Get<platform::Console>();
    std::string file;
    {
        CapturedLog quiet;
        ScopedLogDestination toCapture(quiet);
        if (!LoadFile(configPath, file)) {
            console.Write(platform::ConsoleStream::kOutput,
                          configPath + ":1: cannot be read: a run would do nothing and exit with code 0\n");
            return 1;
        }
    }

    CheckMachine machine;
    machine.namesIgnoreCase = platform::Get<platform::Files>().NamesIgnoreCase();
    {
        CapturedLog quiet;
        ScopedLogDestination toCapture(quiet);
        for (const auto& [name, value] : VariableValues(configPath)) {
            machine.variables.push_back(name);
            if (value == name) machine.unreplaced.insert(name);
        }
    }

    std::vector<Finding> findings = FindTextProblems(file, machine);
    const std::vector<Finding> run = RunProblems(configPath, FindDrawnItemPlaces(file));
    findings.insert(findings.end(), run.begin(), run.end());
    std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) { return a.line < b.line; });

    std::string report;
    for (const Finding& finding : findings) {
        report += StringPrintf("%s:%d: ", configPath.c_str(), static_cast<int>(finding.line)) + finding.message + "\n";
    }
    if (!report.empty()) console.Write(platform::ConsoleStream::kOutput, report);
    return findings.empty() ? 0 : 1;
}

}  // namespace paneloom
