// The source value and the lumped circuit elements that sit on single E edges: spark gaps,
// resistive voltage sources, resistors, capacitors and inductors. Once per step, right
// after the E update, every edge that carries elements is overwritten by one circuit update
// that takes all of them together, in parallel.
//
// A run works on its own copy of the element arrays, taken at run start: what the user
// edits in the tables during a run changes nothing under it. Records with X = 0 (an
// incomplete table row) and records whose cell lies outside the grid are skipped.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
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
  // (from GetEdgeMaterial, so edges the E update does not cover get theirs too), and
  // gathers the sources, resistors, capacitors and inductors of each edge into one update.
  // A value the element's update cannot use (see UsableResistance and the others) would
  // flood the field with infinities or make it grow without bound: such a record is left
  // out, and the result is false with a message naming the first of them. So is a spark
  // gap that shares its edge (FindLumpedClash): the result is false and the gap's edge is
  // stepped without it. The caller refuses the run; the run start refuses both before this.
  bool Prepare(const SolverData& d, const ElementArrays& src, std::string* err = nullptr);
  void Clear();

  // Copies the E of every source, resistor, capacitor and inductor edge: called right
  // before the step's E update. False, changing nothing, on arrays of another grid.
  bool KeepEdges(const SolverData& d);

  // UpdateLumpedElements: spark gaps in record order, then one update per edge for the
  // other four kinds; Step is the 0-based step of the time loop. Returns false, changing
  // nothing, when the field arrays do not have the prepared grid's lengths.
  //
  // The elements on one edge are parallel branches across its length len: with A the
  // cross-section, the edge's own capacitance eps0 A / len and the charge balance
  //   (eps0 A / dt) (E' - E) = A curl H - I,   I = sum of the branch currents at mid-step,
  // a resistor (and a source's inner R) carries len (E' + E) / 2 / R, a source adds
  // -pol V / R (V the signal now), a capacitor Cap len (E' - E) / dt and an inductor
  // (len dt / L) times the sum of the edge's E so far. Scaled by dt / (eps0 A) the factors
  // are beta = dt len / (2 R eps0 A), alpha = dt / (R eps0 A), kappa = Cap len / (eps0 A)
  // and lambda = len dt^2 / (eps0 A L); with B and K the sums of beta and kappa
  //   E' = (V sum pol alpha + (1 + K - B) E + curl term - sum lambda Accum) / (1 + K + B).
  // Two branches of a kind add as parallel elements do (two sources: the Norton sum).
  // An edge with one element gets the bits of that element's own update.
  bool Update(SolverData& d, const ISignal* signal, int Step);

  // The run's records (the solver writes Fired and Accum here); the reports read them.
  std::vector<tSparkGap> SparkGaps;
  std::vector<tVoltageSource> VoltageSources;
  std::vector<tLumpedElement> Resistors;
  std::vector<tLumpedElement> Capacitors;
  std::vector<tInductor> Inductors;

  // The power each element takes, W, summed over the steps whose absorbed power adds up
  // (SAROn, from step SARDelay) as the edges' sums are; one per record, 0 for a record the
  // run does not step. A branch's own power at its edge's voltage averaged over the step
  // (a source's is negative while it delivers); a spark gap's is the field energy it
  // removes from its edge when it fires. Capacitors and inductors only store energy: theirs
  // is the change of what they hold.
  std::vector<double> SourcePower, ResistorPower, CapacitorPower, InductorPower, GapPower;
  // Of the capacitors, inductors and spark gaps together, and how many of them the run steps.
  double OtherPower() const;
  int OtherCount() const;

  // An element's edge power is its element's, never its surroundings': after the step's
  // power was added to the edges' sums (and before symmetry faces copy them), the edges of
  // sources, resistors, capacitors and inductors keep no sum (their update sets the edge as
  // vacuum beside the elements, so no material loses power there), and a spark gap's edge
  // keeps its material's sum from before the gap fired (none for a lossless material).
  // False, changing nothing, on power arrays of another grid.
  bool SettlePower(SolverData& d) const;

  // A record's place on the grid, one per record of the arrays above (same order).
  struct Edge {
    bool Active = false;   // X != 0, the cell lies inside the grid, the value is usable
    int Axis = -1;         // 0, 1, 2 for Dir X, Y, Z; -1 for any other letter
    double Len = 0;        // cell size along Dir
    double Area = 0;       // product of the two other cell sizes
    float Ca = 1, Cb = 0;  // E-update coefficients of the edge
    bool Absorbs = false;  // its material's own E update loses energy (as the power sums take it)
    double Eps = 0;        // the permittivity its E update steps with, F/m
  };
  std::vector<Edge> GapEdges, SourceEdges, ResistorEdges, CapacitorEdges, InductorEdges;

  // How many records of all kinds were left out as incomplete, outside the grid or with
  // an unusable value.
  int Skipped() const { return skipped_; }

private:
  bool Fits(const SolverData& d) const;

  // One edge of sources, resistors, capacitors and inductors, with the factors of its
  // update (see Update).
  struct Joint {
    int Axis = 0, X = 0, Y = 0, Z = 0;
    long double Den = 1;   // 1 + K + B
    long double Keep = 1;  // (1 + K - B) / (1 + K + B)
    std::vector<std::pair<size_t, long double>> Sources;    // record, alpha
    std::vector<std::pair<size_t, long double>> Inductors;  // record, lambda
    std::vector<size_t> Resistors;                          // records
    std::vector<size_t> Capacitors;                         // records
    double Len = 0;        // the edge's length
    float OldE = 0;        // the edge's E before this step's E update (KeepEdges)
  };
  std::vector<Joint> joints_;
  // A spark gap's edge sum while it had not fired (its material's, when that absorbs).
  mutable std::vector<float> gapHeld_;

  int nx_ = 0, ny_ = 0, nz_ = 0;
  int skipped_ = 0;
};

// The kinds of lumped records, in the order of a run's arrays.
enum LumpedKindIndex { KindSparkGap, KindSource, KindResistor, KindCapacitor, KindInductor };

// Two records on one edge that no joint update serves: a spark gap and any other element,
// another gap too (a gap's breakdown is defined for an edge it holds alone). The first
// gap, in record order, that shares its edge, and the first record sharing it in the
// order gaps, sources, resistors, capacitors, inductors. Records a run leaves out (X = 0,
// a cell outside the grid, a direction other than X, Y, Z) share no edge.
struct LumpedClash {
  int Gap = -1;                // the gap's record; -1: no clash
  int Kind = KindSparkGap;     // the other record's kind
  int Record = -1;             // and its index in that kind's array
  explicit operator bool() const { return Gap >= 0; }
};
LumpedClash FindLumpedClash(const SolverData& d, const ElementArrays& el);

// Values the element updates can use. R and L divide, and a negative R, C or L feeds energy
// into the field, which then grows without bound: R and L must be finite and above 0, C
// finite and not below 0 (0 leaves the edge a plain vacuum edge). Each must also be a 32-bit
// number other than 0 (a gap's threshold only not above the largest one), as the run's
// fields and curves are.
bool UsableResistance(double R);
bool UsableCapacitance(double C);
bool UsableInductance(double L);
bool UsableThreshold(double V);
// Why a number those rules refuse cannot be used, for the messages that name it.
std::string WhyLumpedValueUnusable(double v);

// The inductor update's own stability bound. The update sums the edge's E, so it closes on
// the Yee scheme as E(n+1) - 2 E(n) + E(n-1) = -(K + lambda P) E(n), K the grid's curl-curl
// operator times (c dt)^2 and P the projection on the edge: the fields stay bounded while
// every eigenvalue of K + lambda P stays below 4. K alone stays below 4 S^2 (S the Courant
// number at the run's step), so an inductor may add only as much as the margin 4 - K leaves
// near its edge: lambda * e (4 - K)^-1 e < 1, the sum taken on the unbounded vacuum grid of
// the run's cells. The lumped update treats its edge as vacuum whatever the medium; a wall
// (PEC, a gap that fired), a lossy or denser medium, a resistor or a capacitor nearby only
// widen the margin, and so do PML faces. Inductors near each other and the mirror images of
// an inductor in the symmetry faces share the margin: their couplings enter one matrix,
// which must stay below the identity. An inductor along a face's plane is not checked: the
// face sets that edge itself, and the run start refuses it for its place.
// The other elements have no bound of their own: a capacitor adds to its edge's
// capacitance, a resistor or a source's inner resistance is taken at mid-step and only takes
// energy out, a gap that fired holds its edge at 0.
// On the inductor's own edge too: a capacitor there makes the scheme
// (1 + kappa P)(E(n+1) - 2 E(n) + E(n-1)) = -(K + lambda P) E(n), stable while
// 4 (I + kappa P) - K - lambda P stays positive, i.e. the bound above with lambda - 4 kappa
// in place of lambda: the check, made without it, asks more than needed. A resistor there
// adds B P (E(n+1) - E(n-1)) to the left side, a damping that only takes energy out of the
// same quadratic form.
// The faces Mur's, 1/R and RT-ABC extrapolate the field of the planes next to them as a wave
// leaving along the normal. The near field of an inductor is no such wave: close to the face
// they hand it back a little stronger each time, and the inductor's slow oscillation grows
// over tens of thousands of steps (fastest for L of tens of nH, at a few hundred steps per
// tenfold from one cell away). That field dies off over a few cell sizes along the face, so
// the inductor must keep its distance (InductorFaceReach; bench/inductor_face_bench.cpp
// measures it).

// The grid, step and faces an inductor's bound depends on.
struct InductorGrid {
  int Nx = 0, Ny = 0, Nz = 0;     // nodes
  double Dx = 0, Dy = 0, Dz = 0;  // cell sizes, m
  double TimeStep = 0;            // c*dt, m
  FaceFlags MurFace{}, DissipationFace{}, RTABCFace{}, SymEFace{}, SymHFace{};
  // The least permittivity and permeability of the media in use when below 1: in a
  // faster medium the grid has less margin.
  double EpsMin = 1, MuMin = 1;
};
// Those of a run's d (media: vacuum).
InductorGrid InductorGridOf(const SolverData& d);

// lambda of the inductor update on an edge along axis 0..2 (X, Y, Z) of g's cells at g's
// step: Len * TimeStep^2 / (InvEta0 * Area * L * LightSpeed), as the update has it.
double InductorLambda(const InductorGrid& g, int axis, double L);

// One inductor of a run: its record's cell, the axis 0..2 of its edge and its L in H.
struct InductorSite {
  int X = 0, Y = 0, Z = 0;
  int Axis = 2;
  double L = 0;
};

// Whole cells an inductor must keep between its edge and a Mur's or 1/R face normal to axis
// 0..2 of cells (dx, dy, dz), for any L: as many as make 2.25 times the larger cell size
// along the face plus 1.75 cells across it (4 cubic cells; cells thin across the face need
// more). Runs of 120,000 steps at the step's limit grow at 3 cubic cells, at 10 cells of
// 5 x 5 x 1 mm (face Z) or 1 x 1 x 5 mm (face X) and at 1 cell of 1 x 1 x 5 mm (face Z);
// they stay bounded from 4, 12-13 and 2. The reach does not shrink for an L near its edge's
// own bound: such an inductor oscillates faster, but its mode, near the bound's limit, reaches
// as far, and runs at 1.02-1.05 times the bound grow at 6-7 cells of 5 x 5 x 1 and
// 10 x 10 x 1 mm (bench/inductor_face_bench.cpp --q). Not covered: an inductor tuned to a
// mode of a closed box (PEC faces and one Mur face) still feeds it slowly from farther out
// (4-8 cubic cells in a 17 mm box at 4.2-5.5 nH, 1.6-3 times per 120,000 steps).
int InductorFaceReach(int axis, double dx, double dy, double dz);
// The same for an RT-ABC face, whose cells are always cubic: runs of 60,000 steps grow at 1
// cell for any L, and for an L 1.02-1.5 times its edge's bound also at 3 and 4 cells (x1.5-2
// at 4 over the run); from 5 they stay bounded.
inline constexpr int kRTABCFaceReach = 6;

// The largest share of the step's limit at which an inductor may run beside Mur's faces. Right
// at the limit the grid keeps a field that flips its sign every step and does not travel:
// Mur's faces do not take it out (a kick in a box of Mur faces keeps a third of itself for
// 60,000 steps at the limit, and dies away at 0.997 of it), and an inductor, which the
// bound above lets through only while 4 - K keeps its margin, feeds it: in a 24^3 box of
// Mur faces the field grows at the limit for every L tried (1.02-40 times the bound, up to
// x10^0.5 per 1,000 steps), at 0.9999 of it for L 1.02 times the bound, at 0.9995 of it
// still for 5 x 5 x 1 mm cells; from 0.999 down it stays bounded. A PEC box stays bounded
// at the limit (bench/inductor_face_bench.cpp --all).
inline constexpr double kMurInductorStepShare = 0.998;

// What CheckInductorStability found.
struct InductorBound {
  int Site = -1;          // the first site refused; -1 when none is
  // Refused for the step: its share of the limit, above kMurInductorStepShare with a Mur
  // face (0 otherwise).
  double StepShare = 0;
  // Refused for its place: the face (1..6) it is too near, the whole cells between its
  // edge and that face, and the cells it needs. 0 when refused for its L.
  int Face = 0, FaceCells = 0, NeedCells = 0;
  // Refused for its L:
  double MinL = 0;        // the smallest L that site may have beside the sites before it
  double AloneMinL = 0;   // the smallest L of an inductor of its axis alone on the grid
  std::vector<int> Near;  // sites before it that raise its bound (nearest first)
  bool Mirrored = false;  // its images in the symmetry faces raise its bound
};

// Checks the sites in order on g; each site is taken with the ones before it that
// passed. The step must be within the grid's own limit.
InductorBound CheckInductorStability(const InductorGrid& g, const std::vector<InductorSite>& sites);

// True when a record at cell (X, Y, Z) may be used on d's grid: every index in 1..N-1, the
// range where the curl and the edge exist.
bool LumpedCellInside(const SolverData& d, int X, int Y, int Z);

}  // namespace rv
