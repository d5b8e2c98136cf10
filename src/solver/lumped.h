// The source value and the lumped circuit elements that sit on single E edges: spark gaps,
// resistive voltage sources, resistors, capacitors and inductors. Once per step, right
// after the E update, each element's edge is overwritten by its circuit update.
//
// A run works on its own copy of the element arrays, taken at run start: what the user
// edits in the tables during a run changes nothing under it. Records with X = 0 (an
// incomplete table row) and records whose cell lies outside the grid are skipped.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "solver/elements.h"
#include "solver/signal.h"
#include "solver/solverdata.h"

namespace rv {

// The source signal at T metres of c*t: 0 when NoSource is set, T < 0 or there is no
// signal; otherwise the signal at T / LightSpeed seconds.
double SourceValue(const ISignal* signal, bool NoSource, double T);

// The lumped elements of one run.
class LumpedRun {
public:
  // Copies the five lumped arrays of src (spark gaps start unfired, inductors with an empty
  // sum) and prepares each record for d's grid: its edge, sizes and E-update coefficients
  // (from GetEdgeMaterial, so edges the E update does not cover get theirs too).
  // A value the element's update cannot use (see UsableResistance and the others) would
  // flood the field with infinities or make it grow without bound: such a record is left
  // out, and the result is false with a message naming the first of them (the caller
  // refuses the run; the run start refuses such rows before this).
  bool Prepare(const SolverData& d, const ElementArrays& src, std::string* err = nullptr);
  void Clear();

  // Copies the E of every source, resistor, capacitor and inductor edge: called right
  // before the step's E update. False, changing nothing, on arrays of another grid.
  bool KeepEdges(const SolverData& d);

  // UpdateLumpedElements: spark gaps, then voltage sources, resistors, capacitors,
  // inductors, each in record order; Step is the 0-based step of the time loop. Returns
  // false, changing nothing, when the field arrays do not have the prepared grid's lengths.
  bool Update(SolverData& d, const ISignal* signal, int Step);

  // The run's records (the solver writes Fired and Accum here); the reports read them.
  std::vector<tSparkGap> SparkGaps;
  std::vector<tVoltageSource> VoltageSources;
  std::vector<tLumpedElement> Resistors;
  std::vector<tLumpedElement> Capacitors;
  std::vector<tInductor> Inductors;

  // A record's place on the grid, one per record of the arrays above (same order).
  struct Edge {
    bool Active = false;   // X != 0, the cell lies inside the grid, the value is usable
    int Axis = -1;         // 0, 1, 2 for Dir X, Y, Z; -1 for any other letter
    double Len = 0;        // cell size along Dir
    double Area = 0;       // product of the two other cell sizes
    float Ca = 1, Cb = 0;  // E-update coefficients of the edge
    float OldE = 0;        // the edge's E before this step's E update (KeepEdges)
  };
  std::vector<Edge> GapEdges, SourceEdges, ResistorEdges, CapacitorEdges, InductorEdges;

  // How many records of all kinds were left out as incomplete, outside the grid or with
  // an unusable value.
  int Skipped() const { return skipped_; }

private:
  bool Fits(const SolverData& d) const;

  int nx_ = 0, ny_ = 0, nz_ = 0;
  int skipped_ = 0;
};

// Values the element updates can use. R and L divide, and a negative R, C or L feeds energy
// into the field, which then grows without bound: R and L must be finite and above 0, C
// finite and not below 0 (0 leaves the edge a plain vacuum edge).
bool UsableResistance(double R);
bool UsableCapacitance(double C);
bool UsableInductance(double L);

// True when a record at cell (X, Y, Z) may be used on d's grid: every index in 1..N-1, the
// range where the curl and the edge exist.
bool LumpedCellInside(const SolverData& d, int X, int Y, int Z);

}  // namespace rv
