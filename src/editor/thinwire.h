// The conductivity that makes a row of cells carry current like a thin round wire at one
// frequency, with the skin effect.
#pragma once

namespace rv {

struct ThinWireInput {
  double DiameterMm = 2.5;
  double FrequencyMHz = 12;
  double Sigma = 2e7;   // the wire metal, S/m
  char Dir = 'Y';       // the current's axis; anything but 'Y' or 'Z' counts as 'X'
  double Dx = 0.01, Dy = 0.01, Dz = 0.01;  // cell sizes, m
};

struct ThinWireResult {
  double SkinDepth = 0;  // m
  double R = 0;          // resistance of one cell length of the wire, Ohm
  double SigmaNew = 0;   // S/m
};

// The wire's resistance per cell length L: the current flows in a ring one skin depth deep,
// or in the whole cross-section when that ring would not fit in it.
// The cell row (length L along the current, a x b across it) gets the wire's resistance:
// sigma_new = L / (R a b). Zero sizes give infinite or undefined numbers, not an error.
ThinWireResult ThinWire(const ThinWireInput& in);

}  // namespace rv
