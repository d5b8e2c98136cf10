// The default set-up of a run's step items: the kernels, boundaries, lumped elements and
// absorbed power of the solver plugged into the time loop's hooks. Items of other parts
// (PML, TF-SF, external field, far field, output recording) stay empty here; their owners
// fill the hooks when they exist.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "solver/dissipation.h"
#include "solver/edgematerial.h"
#include "solver/elements.h"
#include "solver/growthwatch.h"
#include "solver/lumped.h"
#include "solver/mur.h"
#include "solver/signal.h"
#include "solver/solverdata.h"
#include "solver/stepfusion.h"
#include "solver/timeloop.h"

namespace rv {

// What the run's default items work on; built at run start and kept for the whole run.
struct RunKernels {
  EdgeCoefCache Cache;
  LumpedRun Lumped;          // the run's own copy of the lumped elements
  const ISignal* Signal = nullptr;
  tIncidentWave Wave;        // the external plane wave as the boundaries see it
  tScatterCentre Centre;     // of the 1/R faces
  DissipationRun Dissipation;  // their weights, worked out at the run's first step
  StepFusion Fusion;         // what each step folds into its E pass
  // Cells whose three edges' power sums an output reads (set before PrepareRunKernels).
  std::vector<std::array<int, 3>> PowerReadCells;
  // The energy watch (growthwatch.h); off only for sweeps that measure growth themselves.
  bool WatchGrowth = true;
  GrowthWatch Growth;
};

// Builds the coefficient cache and the run's lumped elements from d (grid, model, object
// box, TimeStepSec, PolarDielectrics set) and a copy of the element arrays. With SAROn, the
// run adds up absorbed power on the edges of absorbing materials and those of
// k.PowerReadCells; the lumped elements keep their edges' power (LumpedRun::SettlePower). False, with a
// message, when the cache cannot be built or a lumped element has an unusable value.
bool PrepareRunKernels(const SolverData& d, const ElementArrays& elements, const ISignal* signal,
                       RunKernels& k, std::string* err = nullptr);

// Throws, ending the run as failed, when a kernel found the run's arrays not matching the
// grid (`what` names the item).
void CheckRunArrays(bool ok, const char* what);

// Hooks calling the solver's own items on d and k. A kernel that finds the run's arrays
// not matching the grid throws, so the run ends as failed instead of stepping nothing; an
// E pass that wrote a field value that is not a finite number, or an element edge whose E
// is no longer one after the elements' update, throws RunDiverged, and so does the energy
// watch (prepared here, on d's flags as they stand) when the energy runs away.
StepHooks DefaultStepHooks(SolverData& d, RunKernels& k);

}  // namespace rv
