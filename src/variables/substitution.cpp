#include "variables/substitution.h"

#include <array>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "log/error_log.h"
#include "variables/network.h"
#include "platform/ansi_code_page.h"
#include "variables/os_processor.h"
#include "variables/user_executable.h"
#include "variables/volumes.h"

namespace paneloom {

namespace {

constexpr std::size_t kNotFound = std::string::npos;

// Finds `name` in `text` from `from` on. In a double-byte code page the walk
// goes whole characters at a time, `from` being a character boundary, so a
// match never starts on a trailing byte.
class NameFinder {
public:
    explicit NameFinder(const std::string& name) : name_(name) {
        platform::AnsiCodePage& codePage = platform::Get<platform::AnsiCodePage>();
        doubleByte_ = codePage.HasLeadBytes();
        if (doubleByte_) {
            for (std::size_t byte = 0; byte < leadBytes_.size(); ++byte) {
                leadBytes_[byte] = codePage.IsLeadByte(static_cast<unsigned char>(byte));
            }
        }
    }

    std::size_t Find(const std::string& text, std::size_t from) const {
        if (name_.empty() || text.size() < name_.size()) return kNotFound;
        const std::size_t last = text.size() - name_.size();
        const char* const data = text.data();
        const std::size_t rest = name_.size() - 1;
        std::size_t position = from;
        if (!doubleByte_) {
            // memchr to the next byte that can start the name, then compare
            // the remainder there.
            while (position <= last) {
                const void* found = std::memchr(data + position, name_[0], last - position + 1);
                if (found == nullptr) return kNotFound;
                position = static_cast<std::size_t>(static_cast<const char*>(found) - data);
                if (std::memcmp(data + position + 1, name_.data() + 1, rest) == 0) return position;
                ++position;
            }
            return kNotFound;
        }
        while (position <= last) {
            if (data[position] == name_[0] && std::memcmp(data + position + 1, name_.data() + 1, rest) == 0) {
                return position;
            }
            position += leadBytes_[static_cast<unsigned char>(data[position])] ? 2 : 1;
        }
        return kNotFound;
    }

private:
    const std::string& name_;
    bool doubleByte_ = false;
    std::array<bool, 256> leadBytes_{};
};

}  // namespace

std::int32_t ReplaceAll(std::string& text, const std::string& name, const std::string& value) {
    const NameFinder finder(name);
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
    return NameFinder(name).Find(text, 0) != kNotFound;
}

void SubstituteVariables(std::string& text) {
    try {
        // The run's network, until the run context carries it.
        SubstituteNetworkVariables(text, ProcessNetwork());
        SubstituteOsVariables(text);
        SubstituteProcessorVariables(text);
        SubstituteVolumeVariables(text);
        SubstituteUserAndMemoryVariables(text);
        SubstituteExecutableVariables(text);
    } catch (...) {
        LogError("Error doing variable substitution\n");
    }
}

void ResetVariableCachesForTest() {
    OsVersion::ResetForTest();
    SystemInfo::ResetForTest();
    DriveList::ResetForTest();
}

}  // namespace paneloom
