#include "common/format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace paneloom {

std::string StringPrintf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        result.assign(buffer.data(), static_cast<std::size_t>(needed));
    }
    va_end(arguments);
    return result;
}

}  // namespace paneloom
