// The description of one model cell shown while the mouse moves over the section: its
// coordinates and material, its resistance and capacitance along each axis, and the outputs
// and lumped elements standing on it.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "solver/elements.h"
#include "solver/solverdata.h"

namespace rv {

// The lines for cell (x, y, z). Cell sizes that cannot be read (or are not positive) end the
// description after the coordinates and the material. Resistances are given when the solver's
// material of the cell's X edge conducts, as GetEdgeMaterial finds it with d's object box
// (which the caller keeps covering the model), and the cell's own material is switched on
// with a conductivity above 0.
std::vector<std::string> CellInfoLines(const SolverData& d, const ElementArrays& a, int x, int y,
                                       int z, const std::array<std::string, 3>& sizes);

}  // namespace rv
