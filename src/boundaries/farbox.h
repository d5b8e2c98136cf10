// The box the far field integrates over, which also bounds the TF-SF source: node indices
// on each axis, both faces included.
#pragma once
#include <cstdint>

namespace rv {

struct FarBox {
  int32_t xmin = 1, xmax = 1, ymin = 1, ymax = 1, zmin = 1, zmax = 1;
};

}  // namespace rv
