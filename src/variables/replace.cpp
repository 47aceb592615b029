#include "variables/replace.h"

#include <cstring>
#include <stdexcept>
#include <vector>

#include "codepage/ansi_text.h"

namespace paneloom {

namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

}  // namespace

std::int32_t ReplaceAll(std::string& text, const std::string& name, const std::string& value) {
    if (name.empty()) return 0;
    const TextFinder finder(name);
    std::size_t match = finder.Find(text, 0);
    if (match == kNotFound) return 0;

    // Scanning the original from the end of each match is resuming right
    // after the inserted value. The matches are found first so that the
    // result is allocated once, at its exact size, and filled in one pass.
    std::vector<std::size_t> matches;
    while (match != kNotFound) {
        matches.push_back(match);
        match = finder.Find(text, match + name.size());
    }
    const std::size_t count = matches.size();
    const std::size_t kept = text.size() - count * name.size();
    if (value.size() != 0 && count > (std::string().max_size() - kept) / value.size()) {
        throw std::length_error("substituted text too long");
    }
    std::string result(kept + count * value.size(), '\0');
    char* out = &result[0];
    std::size_t copied = 0;
    for (const std::size_t position : matches) {
        std::memcpy(out, text.data() + copied, position - copied);
        out += position - copied;
        std::memcpy(out, value.data(), value.size());
        out += value.size();
        copied = position + name.size();
    }
    std::memcpy(out, text.data() + copied, text.size() - copied);
    text.swap(result);
    return static_cast<std::int32_t>(count);
}

bool ContainsName(const std::string& text, const std::string& name) {
    return !name.empty() && TextFinder(name).Find(text, 0) != kNotFound;
}

}  // namespace paneloom
