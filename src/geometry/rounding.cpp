#include <cstdint>

#include "geometry/object3d.h"

void RoundToNearest(double value, int32_t& out) { out = RoundToNearest(value); }
