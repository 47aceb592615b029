// Narrowing with saturation, for positions and sizes computed in 64 bits
// from configuration values that no range check holds back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace paneloom {

inline std::int32_t SaturateToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

}  // namespace paneloom
