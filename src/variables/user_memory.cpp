#include "variables/user_memory.h"

#include "common/format.h"
#include "platform/system_facts.h"
#include "variables/replace.h"

namespace paneloom {

std::string RamInfoText(std::uint64_t totalBytes) {
    // 64-bit throughout: machines past 4 GB, or past 2 TB where a 32-bit
    // count of kilobytes would wrap, show their real size.
    const std::uint64_t kilobytes = totalBytes / 1024 + (totalBytes % 1024 != 0 ? 1 : 0);
    return StringPrintf("%llu Kb RAM", static_cast<unsigned long long>(kilobytes));
}

void SubstituteUserAndMemoryVariables(std::string& text) {
    platform::SystemFacts& facts = platform::Get<platform::SystemFacts>();
    const std::uint64_t totalMemory = facts.TotalPhysicalMemory();
    std::string user;
    if (facts.QueryUserName(user)) {
        user = user.substr(0, user.find('\0'));
    } else {
        user = "[unknown]";
    }
    ReplaceAll(text, "%USERNAME%", user);
    ReplaceAll(text, "%RAMINFO%", RamInfoText(totalMemory));
}

}  // namespace paneloom
