// Physical constants of the solver, as 32-bit floats. Each quotient and product is formed
// in extended precision and rounded once when stored, so the bits are reproducible.
#pragma once
#include <cstdint>

namespace rv {

// 299792512 rather than 299792458: the single-precision value the solver has always used.
inline const float LightSpeed = 299792512.0f;
inline const float InvEta0 = float(795774.7154594767L / (long double)LightSpeed);
inline const float Eps0 = float((long double)InvEta0 / (long double)LightSpeed);
inline const float Eta0 = float(1.0L / (long double)InvEta0);
inline const float Mu0C = float(1.2566370614359173e-06L * (long double)LightSpeed);
inline const float Mu0 = 1.256637006e-06f;
// The incident plane waves take H as E / 120π.
inline constexpr double Eta120Pi = 376.9911184307752;

}  // namespace rv
