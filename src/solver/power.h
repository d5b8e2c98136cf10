// Absorbed power: per step, every edge adds the power of the step (the current through the
// face the edge pierces, from the circulation of H round it, times the edge voltage
// averaged over the step) to PowerX/Y/Z; at the end of a run ComputeSAR shares each edge's
// sum among the four cells round it and divides by the number of accumulated steps.
#pragma once
#include <functional>

#include "solver/solverdata.h"
#include "solver/stepfusion.h"

namespace rv {

// Adds this step's power of every edge of the cells 1..N-1 to PowerX, PowerY, PowerZ (the
// sums are in W, not yet divided by the step count), then copies the accumulators of the
// first inner layer onto every symmetry face. Runs on all cores; the result does not
// depend on the thread count. Nothing happens when Enabled is false. Returns false, with
// nothing changed, when the fields, previous-E or power arrays do not have the grid's
// lengths.
// With fusion->Power the E pass has added the power of its rows: only the rows it left plain
// are done here (the edges outside the E pass's range carry no current).
// settle, when given, runs after the step's power was added and before the symmetry faces
// copy the sums (the run's lumped elements take their edges' power there); its false fails
// the call.
bool AccumulatePower(SolverData& d, bool Enabled, const StepFusion* fusion = nullptr,
                     const std::function<bool(SolverData&)>& settle = {});

// (Re)allocates SARCell (Nx+1, Ny+1, Nz+1) and fills it with the mean absorbed power of
// every cell, W, over CurStep - SARDelay accumulated steps: only cells of materials that
// lose energy absorb. The model and materials are the run's copies when given, else d's.
// False, with SARCell left empty, when no step was accumulated, the power arrays are
// missing or memory fails.
bool ComputeSAR(SolverData& d, const tSpace* space = nullptr,
                const std::array<tLayer, MaxLayers>* layers = nullptr);

// Every absorbed-power sum in PowerX, PowerY, PowerZ is a finite number.
bool PowerSumsFinite(const SolverData& d);

}  // namespace rv
