// printf-style formatting into a std::string.
#pragma once

#include <string>

namespace paneloom {

std::string StringPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace paneloom
