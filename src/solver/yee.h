// Interior Yee updates of H and E (plain and Debye media) and the previous-E copy.
//
// The normalised scheme: H in A/m, E in V/m, time as c*t, the Courant numbers c*dt/d carry
// the grid steps. Arithmetic is in double from the float fields; results are stored as
// float. The kernels run on all cores (workpool.h) over the outer x index, and each value
// depends only on its own inputs, so the bits do not depend on the thread count. Every
// kernel checks that the arrays it touches have the lengths of d's grid and does nothing
// (returning false) when they do not.
#pragma once
#include "solver/edgematerial.h"
#include "solver/solverdata.h"
#include "solver/stepfusion.h"

namespace rv {

// The six field arrays have the lengths of d's grid (and the grid at least 2 cells a side).
bool FieldArraysMatch(const SolverData& d);

// Advances Hx, Hy, Hz by one step; per-cell coefficient HCoefCell when MagneticMaterials,
// else HCoefUniform.
bool UpdateH(SolverData& d);

// Advances Ex, Ey, Ez in non-dispersive media over the interior edges (the tangential E on
// the outer faces is left to the boundaries). When SAROn and ExPrev..EzPrev exist, the
// values the update overwrites are first kept there, at exactly the updated indices.
//
// With a fusion (stepfusion.h) the pass also does, on every row not marked plain, this
// step's absorbed power (fusion->Power; the previous E is then kept only on the plain rows;
// without fusion->Accumulate it is not kept at all),
// the Mur Z faces' update and plane save (fusion->MurZ) and the PEC Z faces' zeros
// (fusion->PecZ); power and previous E only on the edges of fusion->Spans when built.
bool UpdateE(SolverData& d, const EdgeCoefCache& cache, const StepFusion* fusion = nullptr);

// The same for dispersive media: the curl bracket gains InvEta0 * D, and after the new E is
// stored D := E_new * DebyeCoef + D * DebyeDecay whatever the decay is (so a relaxation time
// far below dt keeps the static permittivity). Rows along z with no dispersive edge take the
// plain update and leave their D, which starts at 0 and stays 0 there. Needs
// AllocDebyeArrays.
bool UpdateEDebye(SolverData& d, const EdgeCoefCache& cache, const StepFusion* fusion = nullptr);

// UpdateH and then UpdateE (UpdateEDebye with PolarDielectrics) in one sweep over the x
// planes, so each plane's fields are read from memory once per step; the same bits as the
// two calls. Only for steps where nothing runs between the two updates.
bool UpdateHE(SolverData& d, const EdgeCoefCache& cache, const StepFusion* fusion = nullptr);

// Keeps E in ExPrev..EzPrev over the ranges UpdateE overwrites (UpdateE and UpdateEDebye do
// this themselves when SAROn; callable on its own for code that updates E elsewhere).
bool SavePreviousE(SolverData& d);

// Allocates DebyeX, DebyeY, DebyeZ as (SpaceNx+1, SpaceNy+1, SpaceNz+1), zeroed. False when
// memory fails (the three are then left empty).
bool AllocDebyeArrays(SolverData& d);

// The curl term of the E edge (i, j, k) of component Axis exactly as the E update forms it,
// e.g. for 'X' (Hz[i][j][k] - Hz[i][j-1][k])*CourantY - (Hy[i][j][k] - Hy[i][j][k-1])*CourantZ,
// in double. H outside its array reads as 0; an unknown axis gives 0.
double EdgeCurlH(const SolverData& d, char Axis, int i, int j, int k);

}  // namespace rv
