// The configuration file looks like XML but is read by plain, case-sensitive
// substring searches. These operations, blind spots included, define the
// file format: every element and attribute the program reads goes through
// them. Each answers true (found or done) or false (absent or failed);
// output parameters change only as documented.
#pragma once

#include <cstdint>
#include <string>

namespace paneloom {

enum FindElementMode : int {
    SelfClosingMode = 0,  // piece ends at the next "/>"
    ContentMode = 1,      // piece is what lies between the start tag and "</name>"
    StartTagMode = 2,     // piece ends at the next ">"
};

// Reads the whole file under an exclusive open; the text ends at the file's
// first zero byte. A file that cannot be opened gives false silently; one
// that fails while being read is logged.
bool LoadFile(const std::string& path, std::string& text);

// Cuts every "<!--" ... "-->" comment. With collapseBlankLines, runs of CR LF
// pairs are collapsed too (only when something was removed). True when at
// least one comment was removed.
bool RemoveComments(std::string& text, bool collapseBlankLines);

// Finds "<name" from `cursor`, then the mode's end marker. On success `piece`
// holds the returned text, `cursor` its start and `end` where the end marker
// begins. `piece` is emptied on every call.
bool FindElement(const std::string& text, const std::string& name, std::string& piece,
                 std::int32_t& cursor, std::int32_t& end, FindElementMode mode);

// The first "<name" tag through the "/" of its "/>". With no "/>" after it the
// tag text is empty and the tag still counts as present.
bool FindTag(const std::string& text, const std::string& name, std::string& tag);

// The quoted value after the first occurrence of `name` anywhere in `text`,
// the next "=" and the next `"`.
bool GetAttribute(const std::string& text, const std::string& name, std::string& value);

// Where GetAttribute finds that value: its first byte and its length. Both
// written only when the answer is true.
bool FindAttributeValue(const std::string& text, const std::string& name, std::int32_t& from,
                        std::int32_t& count);

// The attribute value read with sscanf "%d" / "%x"; `number` written only
// when the answer is true.
bool GetIntAttribute(const std::string& text, const std::string& name, std::int32_t& number);
bool GetHexAttribute(const std::string& text, const std::string& name, std::uint32_t& number);

}  // namespace paneloom
