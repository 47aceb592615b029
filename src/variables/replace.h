// The substitution engine: how a variable's value enters a text. Every
// family of variables replaces its names through ReplaceAll, so they all
// match names by one rule.
#pragma once

#include <cstdint>
#include <string>

namespace paneloom {

// Replaces every occurrence of `name` in `text` by `value`: exact bytes, case
// sensitive, left to right, resuming after each inserted value (so matches
// never overlap and a value is not searched again for the same name), and,
// under a double-byte code page, starting only on character boundaries.
// Returns the number of replacements; an empty `name` replaces nothing. When
// it fails (exhausted memory) the text is left as it was.
std::int32_t ReplaceAll(std::string& text, const std::string& name, const std::string& value);

// True when `name` occurs in `text` by the same rule as ReplaceAll.
bool ContainsName(const std::string& text, const std::string& name);

}  // namespace paneloom
