#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace sonlet {

// Frame counts are 64-bit, widget coordinates and ranges 32-bit: convert by holding a value
// at the 32-bit limits instead of letting it wrap.
inline std::int32_t SaturateToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace sonlet
