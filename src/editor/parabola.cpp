#include "editor/parabola.h"

#include <algorithm>
#include <cmath>

#include "editor/modelstore.h"

namespace rv {

int DrawParabola(SolverData& data, int fx, int fy, int z, int f, int d, bool minus,
                 uint8_t material) {
  if (f < 1) return 0;
  tSpace& s = data.Space;
  const int nx = std::min(data.Nx, s.len1()), ny = std::min(data.Ny, s.len2());
  if (z < 1 || z >= std::min(data.Nz, s.len3())) return 0;
  const int h = d / 2;
  const double k = 0.25 / f;
  int written = 0;
  const auto set = [&](int x, int y) {
    if (x < 1 || x >= nx || y < 1 || y >= ny) return;
    s(x, y, z) = material;
    ++written;
  };
  // Rounding to the nearest, halves to even (the default rounding mode).
  for (int y = fy - h; y <= fy + h; ++y) {
    int x = int(std::nearbyint(k * double(y - fy) * double(y - fy) + fx - f));
    if (minus) x = 2 * fx - x;
    set(x, y);
  }
  for (int xp = 1; xp <= data.Nx; ++xp) {
    const double r = (xp - fx + f) / k;
    if (r < 0) continue;  // before the vertex
    const double root = std::sqrt(r);
    const int x = minus ? 2 * fx - xp : xp;
    for (int y : {int(std::nearbyint(fy + root)), int(std::nearbyint(fy - root))})
      if (y >= fy - h && y <= fy + h) set(x, y);
  }
  if (written) ModelChanged(data);
  return written;
}

}  // namespace rv
