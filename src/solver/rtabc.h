// The RT-ABC absorbing faces: each tangential E edge of the face plane is extrapolated from
// the stored history of the three outermost planes. The grid is fixed for it (equal cell
// sizes, c*dt = half a cell), so a wave at normal incidence moves one cell every two steps.
// With the external field on, Ex and Ey work on the scattered field: the incident wave is
// taken out of every stored level and put back when the face is written.
//
// With E^m_d the scattered field at depth d (1 = the face plane) after step m, the value
// written at step s+1 is E^s_2 + E^(s-1)_2 - E^(s-2)_2 + (E^(s-1)_1 - E^(s-1)_3)/2, which
// carries any wave g(2d + m) with g of degree 2 or less exactly, less a tenth of
// E^s_1 - E^(s-2)_2 (E^s_1 as the face wrote it): that term is 0 for such a wave and damps
// the drift uniform along the normal and linear in time that the bare rule keeps for ever
// and long runs feed until it grows without bound.
#pragma once
#include "solver/mur.h"
#include "solver/solverdata.h"

namespace rv {

// Twelve slots, one per face and tangential component, with the Mur planes' faces, order
// and shapes: 0 X=1 Ez, 1 X=max Ez, 2 X=1 Ey, 3 X=max Ey, 4 Y=1 Ez, 5 Y=max Ez, 6 Y=1 Ex,
// 7 Y=max Ex, 8 Z=1 Ey, 9 Z=max Ey, 10 Z=1 Ex, 11 Z=max Ex.
inline constexpr int RTABCSlotCount = 12;
// Where a slot's levels live in SolverData::RTABCPlanes: the three depths as the previous
// step left them, the same one step older, and the value to write next step (scattered part).
// Planes 84..95 are reserved and unused.
inline constexpr int RTABCLastPlane(int slot, int depth) { return 3 * slot + depth; }
inline constexpr int RTABCPrevPlane(int slot, int depth) { return 36 + 3 * slot + depth; }
inline constexpr int RTABCNextPlane(int slot) { return 72 + slot; }

// Writes the faces whose RTABCFace flag is set with the values computed in the previous step
// and computes those of the next step, for each face pair with an RT-ABC face (the partner's
// next values are computed, never written). Rim lines parallel to z and y belong to the X
// faces, those parallel to x to the Y faces. False, with nothing changed, when an axis has
// fewer than 3 nodes or the arrays do not have the grid's lengths.
bool ApplyRTABC(SolverData& d, const tIncidentWave& w);

// Moves the history one step on for all twelve slots: the stored levels become the older
// ones, and the three outer planes of every face (incident wave taken out of Ex and Ey)
// become the newer ones.
bool ShiftRTABCLevels(SolverData& d, const tIncidentWave& w);

}  // namespace rv
