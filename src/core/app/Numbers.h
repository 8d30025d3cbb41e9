#pragma once

#include <cmath>
#include <cstdint>

namespace pvsm {

// Geometry everywhere is defined with "round half to even", the rounding of
// the Windows platform's integer conversion. std::lround would round halves
// away from zero and shift renderer geometry by a pixel.
inline double NearestD(double v)
{
    return std::nearbyint(v); // default FE_TONEAREST: halves go to the even neighbour
}

inline int32_t Nearest(double v)
{
    const double r = std::nearbyint(v);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(r);
}

// Integer part (truncation towards zero).
inline int32_t IntPart(double v)
{
    const double r = std::trunc(v);
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(r);
}

} // namespace pvsm
