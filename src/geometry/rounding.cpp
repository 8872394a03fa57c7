#include <cmath>
#include <cstdint>

#include "geometry/object3d.h"

void RoundToNearest(double value, int32_t& out) {
    // The comparison is false for NaN as well; halves round to even, so
    // -2147483648.5 still lands on INT32_MIN and 2147483647.5 overflows.
    if (!(value >= -2147483648.5 && value < 2147483647.5)) {
        out = INT32_MIN;
        return;
    }
    out = static_cast<int32_t>(std::nearbyint(value));
}
