#include "editor/thinwire.h"

#include <algorithm>
#include <cmath>

namespace rv {

ThinWireResult ThinWire(const ThinWireInput& in) {
  double L = in.Dx, a = in.Dy, b = in.Dz;
  if (in.Dir == 'Y') L = in.Dy, a = in.Dx, b = in.Dz;
  if (in.Dir == 'Z') L = in.Dz, a = in.Dx, b = in.Dy;
  const double d = in.DiameterMm * 0.001, f = in.FrequencyMHz * 1e6, s = in.Sigma;
  const double mu0 = 4 * M_PI * 1e-7;
  ThinWireResult r;
  r.SkinDepth = std::sqrt(1 / (M_PI * f * s * mu0));
  // The current keeps to a ring one skin depth deep; once that ring would be wider than the
  // wire (low frequencies, thin wires) the whole cross-section carries it, as at DC.
  const double A = std::min(M_PI * d * r.SkinDepth, M_PI * d * d / 4);
  r.R = L / A / s;
  r.SigmaNew = L / (r.R * a * b);
  return r;
}

}  // namespace rv
