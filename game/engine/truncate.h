// Float to integer as the game converts everywhere: toward zero.
#pragma once

#include <cstdint>
#include <limits>

// Values beyond the 32-bit range (and NaN) give the most negative value
// instead of undefined behaviour; no position or timer of the game gets there
// in play, and such a value reads as outside every grid and sheet.
constexpr std::int32_t Trunc(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}
