// The range of material values that the run's 32-bit sums and coefficients hold, narrower
// than the 32-bit range itself: what the run start refuses besides the signs of the values.
#pragma once
#include <cfloat>
#include <string>

#include "project/runvalues.h"

namespace rv {

// The largest magnitude of a value that enters the average of an E edge: the edge sums the
// values of three of its four cells in a 32-bit float before it adds its own, so three
// such values must stay finite. FLT_MAX / 3 is itself a float, and three times it is
// FLT_MAX exactly.
inline constexpr double MaterialSumLimit = double(FLT_MAX) / 3;

// The least mu whose cells' H coefficient, 1/(mu0 c) divided by mu in 32 bits, is finite.
double LeastMu();

// The least density whose cell mass, density times cellVolume, is a normal 32-bit float,
// as the 1 g averages hold it: below it the mass is 0 or has lost its digits, and the SAR
// of the cell, power over mass, is beyond the float range of the reports for any power
// above mass times FLT_MAX (less than 4 W). 0 when cellVolume is not above 0.
double LeastDensity(double cellVolume);

// Why the value v of the materials window's field cannot be held by a run that uses what
// `use` says, or "" when it can or the run does not use the field. The signs of the values
// are the caller's: a field that must be above 0 is asked for with v > 0 only.
std::string MaterialRangeFault(double tLayer::*field, double v, const MaterialUse& use);

}  // namespace rv
