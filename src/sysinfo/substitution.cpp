#include "sysinfo/substitution.h"

#include <array>

#include "app/error_log.h"
#include "net/network_variables.h"
#include "platform/ansi.h"
#include "sysinfo/os_processor.h"
#include "sysinfo/user_executable.h"
#include "sysinfo/volumes.h"

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
        if (!doubleByte_) return text.find(name_, from);
        const std::size_t last = text.size() - name_.size();
        std::size_t position = from;
        while (position <= last) {
            if (text.compare(position, name_.size(), name_) == 0) return position;
            position += leadBytes_[static_cast<unsigned char>(text[position])] ? 2 : 1;
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

    // One pass that copies the text once: the pieces between matches and the
    // value in place of each match. Scanning the original from the end of a
    // match is resuming right after the inserted value.
    std::string result;
    result.reserve(text.size() + (value.size() > name.size() ? value.size() - name.size() : 0));
    std::int32_t count = 0;
    std::size_t copied = 0;
    while (match != kNotFound) {
        result.append(text, copied, match - copied);
        result.append(value);
        copied = match + name.size();
        ++count;
        match = finder.Find(text, copied);
    }
    result.append(text, copied, kNotFound);
    text.swap(result);
    return count;
}

bool ContainsName(const std::string& text, const std::string& name) {
    return NameFinder(name).Find(text, 0) != kNotFound;
}

void SubstituteVariables(std::string& text) {
    try {
        SubstituteNetworkVariables(text);
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
