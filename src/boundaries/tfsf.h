// The total-field/scattered-field plane-wave source: inside a box of the grid (faces
// included) the grid carries the total field, outside it only the scattered field. The
// wave never exists as a field of its own; each step the H just outside the box faces and
// the E on the box faces are corrected with the analytic incident wave. Positions in
// cells, distances and times as c*t in metres.
#pragma once
#include <array>
#include <string>

#include "boundaries/farbox.h"
#include "solver/signal.h"
#include "solver/solverdata.h"

namespace rv {

// The source of one run, built at run start and read by the calculation thread.
struct TFSFState {
  const ISignal* Signal = nullptr;  // none: every incident value is 0
  float WaveTheta = 0, WavePhi = 0;  // radians; theta from the y axis, phi from z toward x
  bool EVertical = true;             // E polarisation "вертик." (else "гориз.")
  int32_t TFSFInset = 0;             // 2 with the far field on: its box lies outside this one
  FarBox Box;                        // as entered; the check tests this one
  FarBox TFSFBox;                    // Box inset: the planes the corrections work on
  std::array<float, 3> WaveDir{}, EPol{}, HPol{};  // unit vectors; k, E, H right-handed
  float TFSFDelay = 0;               // smallest k.r over the box corners, metres
  float TFSFECoef = 0;               // 1/(Eps0 c), the vacuum E update factor
  // Index by Face: that grid face is neither PEC nor a symmetry plane; only box faces on
  // open sides are corrected.
  std::array<bool, 7> FaceOpen{};
};

// Angles in degrees as entered, the polarisation, the box and whether the far field is on.
// Leaves TFSFDelay 0: it depends on the cell sizes the run settles later (CalcTFSFDelay).
void SetupTFSF(TFSFState& s, float thetaDeg, float phiDeg, bool eVertical, const FarBox& box,
               bool farFieldOn);

// Sets FaceOpen from d's face flags and checks the box against the grid and its faces. False
// with the first failing message; `d` needs Nx, Ny, Nz and the per-face flags only.
bool CheckTFSFBorders(TFSFState& s, const SolverData& d, std::string& message);

// k.r in metres of the point (x, y, z) cells.
float WavePhase(const SolverData& d, const TFSFState& s, float x, float y, float z);
// The smallest WavePhase over the eight corners of TFSFBox: the wave reaches the first box
// corner at time 0.
float CalcTFSFDelay(const SolverData& d, const TFSFState& s);

// The incident components at their Yee positions around the node (i, j, k), offset metres
// of c*t later than CurTime; exactly 0 before the front arrives.
double IncidentEx(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset);
double IncidentEy(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset);
double IncidentEz(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset);
double IncidentHx(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset);
double IncidentHy(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset);
double IncidentHz(const SolverData& d, const TFSFState& s, double i, double j, double k, double offset);

// The box's corrections fit the field arrays of d (false: the run's arrays do not match).
bool TFSFArraysMatch(const SolverData& d, const TFSFState& s);
// Corrects the H just outside the open box faces (called after the H update with offset
// -c*dt/2) and the E on them (after the E update with offset 0). False, with nothing
// changed, when the box does not fit the arrays.
bool CorrectTFSFH(SolverData& d, const TFSFState& s, double offset);
bool CorrectTFSFE(SolverData& d, const TFSFState& s, double offset);

}  // namespace rv
