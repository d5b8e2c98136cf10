// A run's watch on energy. A passive grid cannot hold more energy than it started with plus
// what its sources delivered, so a field that grows past that has run away (an element or a
// face that feeds energy in), long before its values turn INF. Every few steps the watch
// adds up the energy the grid holds and compares it with a bound of what the sources could
// have given; past a generous margin it ends the run as diverged, naming the step and the
// cell of the largest field.
//
// The bound, summed step by step with the run's own signal samples V:
// - a lumped source of inner R delivers at most V^2 / (4 R) whatever its load;
// - a plane wave (the TF-SF box, or the external field through the outer faces) of
//   amplitude V (V/m) holds at most eps0 V^2 per volume and carries at most eps0 c V^2 per
//   area: its bound is twice the grid's volume at the largest V so far plus twice the
//   grid's whole outer area times the integral of V^2 (the incident and the scattered field
//   each, the scatterer taking at most what crosses the grid);
// - the energy after the first step counts as given (fields set before the run).
// The energy: 1/2 eps E^2 over the edges the E update covers (eps of the edge's class; in a
// dispersive medium the permittivity at infinite frequency, the polarisation's own energy
// left out) and 1/2 mu H^2 over the faces the H update covers, both times the cell's
// volume, plus 1/2 C U^2 of the capacitors and 1/2 L I^2 of the inductors. The PML's own
// layer and the tangential E of the outer faces are left out: only less is counted.
//
// A source with a tiny inner R has a huge bound. So once the signal has stayed below 1e-6
// of its peak for longer than a wave takes to cross the grid twice, the energy may not grow
// to 100 times the least it held since: with the sources silent a passive grid only loses
// energy, and the sum swings about the conserved value by at most omega dt, under 2 times
// for any field the step resolves. A dispersive medium's polarisation and the PML's layer,
// which the sum leaves out, may hand energy back to the grid (up to about eps_s / eps_inf
// times what the sum shows; a wave's echo from the layer): with either the energy may not
// grow to 1e3 times the most the run held.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "solver/edgematerial.h"
#include "solver/lumped.h"
#include "solver/signal.h"
#include "solver/solverdata.h"

namespace rv {

// The energy the grid and the lumped elements hold, J (see above). Runs on the work pool;
// each x plane's sum is added in plane order, so the bits do not depend on the thread count.
// `planes` is scratch (one value per plane).
double StoredEnergy(const SolverData& d, const EdgeCoefCache& cache, const LumpedRun& lumped,
                    std::vector<double>& planes);

// The E edge of the largest |E|: axis 0..2 and its indices (the first in x, y, z order).
struct FieldPeak {
  int Axis = 0, I = 0, J = 0, K = 0;
  double Value = 0;
};
FieldPeak LargestField(const SolverData& d);

class GrowthWatch {
public:
  // Energy sums are this many steps apart (every step once the energy is past twice the
  // bound).
  static constexpr int kEvery = 32;
  // Stop when the energy exceeds this many times the bound.
  static constexpr double kMargin = 10;
  // With the sources silent, stop when the energy grows this many times over the least since
  // (over the most of the run with a dispersive medium or PML faces).
  static constexpr double kQuietGrowth = 1e2;
  static constexpr double kQuietGrowthDispersive = 1e3;

  // At run start, after the lumped elements are prepared.
  void Prepare(const SolverData& d, const LumpedRun& lumped);
  // After every step's items (0-based step). Throws RunDiverged when the energy runs away.
  void Step(const SolverData& d, const EdgeCoefCache& cache, const LumpedRun& lumped,
            const ISignal* signal, int step);

  // The last sum and its bound, and the largest energy / bound the run has seen.
  double Energy = 0, Bound = 0, WorstRatio = 0;
  int Checks = 0;

private:
  double quarterConductance_ = 0;  // sum of 1 / (4 R) of the sources in use
  bool planeWave_ = false;
  double volume_ = 0, area_ = 0;
  int crossSteps_ = 0;             // steps a wave takes across the grid's diagonal
  double floor_ = 0;               // energy of round-off, never a stop
  double initial_ = -1;            // energy after the first step
  double delivered_ = 0;           // the sources' bound so far, J
  double waveIntegral_ = 0;        // integral of V^2 dt of the plane wave (s V^2/m^2)
  double waveMax2_ = 0;            // the largest V^2 of the plane wave
  double peak_ = 0;                // the largest |V| so far
  int quietSteps_ = 0;             // steps since |V| last exceeded 1e-6 of the peak
  double quietLeast_ = -1;         // the least energy since the silence began to count
  double most_ = 0;                // the most energy of the sums so far
  int nextCheck_ = 0;              // the step of the next sum
  std::vector<double> planes_;
};

}  // namespace rv
