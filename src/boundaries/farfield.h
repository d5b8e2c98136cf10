// The far field: the time-domain field at receivers far outside the grid, from a surface
// integral (Kirchhoff form) of the near field over the faces of a box.
//
// Every step each face cell adds, at the receiver's bin of retarded time
// n = Round((R - RMin)/(c dt)) + step, a time-derivative term a (added to bin n, taken
// from bin n+2) and a static term b (taken from bin n+1). Bin n of a series stands for the
// time n dt + RMin/c. Receivers are the user's points (E, optionally H) and the points of
// up to three diagram circles around the box centre (E only).
//
// What depends on a receiver alone (the bin offset of each face cell and the factors of
// its two terms) is computed once at set-up. Each step the face values of each component
// (F0 on the face, F_out - F_in across it) are gathered once for all receivers, in blocks
// of whole face rows; groups of receivers then sum each block while it is in cache, every
// receiver its cells per bin before touching its series. One thread computes all the
// series of a receiver in an order fixed by its tables, so the bits do not depend on the
// number of threads.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "boundaries/farbox.h"
#include "solver/solverdata.h"

namespace rv {

// A run of neighbouring face cells of one receiver that share a bin offset: Length
// columns of the gathered rows from Start, on face Face (0..5). Flat: every cell of the
// run has the same weight, kept once (a receiver far out, where R differs along a row by
// less than its last bit).
struct FarRun {
  int32_t Start, Length, Bin;
  int16_t Face, Flat;
  int32_t Weights() const { return Flat ? 1 : Length; }
};

// One receiver. The tables list the box's face cells in their fixed order.
struct tFarPoint {
  float X = 0, Y = 0, Z = 0;  // position, cells (may lie far outside the grid)
  double RMin = 0;            // smallest face-cell distance, metres
  std::array<float, 6> CosCentre{};  // face-centre cosines, faces X1, XMax, Y1, YMax, Z1, ZMax
  // The face cells split by their bin offset Round((R - RMin)/(c dt)). Each face is read
  // along the axis on which the offset changes least; runs of at least LongRun
  // neighbouring cells sharing an offset are summed straight from the gathered rows, the
  // other cells through an index, grouped by block and offset. Factors: a = A F0 and
  // b = B (F_out - F_in) - C F0.
  // On a face the normal's distance to the receiver is one number, so a cell's factors
  // follow from w = RMax/R alone: A = KA w^2 (KA w for the accelerated diagram),
  // B = KB w, C = KC w^3 (0), with KA, KB, KC per face. A cell keeps only w.
  std::vector<FarRun> Runs;       // in block order
  std::vector<int32_t> BlockRuns;  // per block of the state: end of its runs in Runs
  std::vector<float> W;            // the runs' weights in order, then LaneCount zeros
  std::array<double, 6> KA{}, KB{}, KC{};
  bool Fast = false;
  // The other cells (where their first-half cell's packed values start), by block, then
  // by offset: a segment per offset within a block.
  std::vector<int32_t> Cell;
  std::vector<float> CellW;
  std::vector<int32_t> SegBin, SegEnd;  // per segment: its offset, the end of its cells
  std::vector<int32_t> BlockSegs;       // per block: end of its segments
  int32_t BinCount = 0;         // largest offset + 1
  std::vector<double> Sums;     // per offset, the a and b sums of one step
  // Ex, Ey, Ez, Hx, Hy, Hz; H only for user points with H asked for.
  std::array<std::vector<float>, 6> Series;
  int Components = 3;
};

// What the run start hands over from the windows.
struct FarFieldSettings {
  FarBox Box;
  // Rows of the far-point table (X, Y, Z texts); empty when user points are off.
  std::vector<std::array<std::string, 3>> PointRows;
  std::array<bool, 3> DiagramOn{};  // circles in the planes YZ, XZ, XY
  std::string RadiusText = "1000";  // metres, as typed (also part of the file names)
  int32_t PointCount = 36;          // points per circle
  bool FastDiagram = false;
  bool CalcFarH = false;
};

// A face cell of the box: node indices, the axis of its normal (0 x, 1 y, 2 z), +1 on a
// max face and -1 on a min face, and the face (0..5: X1, XMax, Y1, YMax, Z1, ZMax).
struct FarFaceCell {
  int32_t i, j, k;
  int8_t axis, sign, face;
};

// One face read along one of its in-plane axes (a "half" of the gathered columns): Rows
// rows of RowLength cells from column Column; cell (row, v) lies at node
// Fixed on axis Normal, Outer0 + row on axis OuterAxis and Inner0 + v on axis InnerAxis.
struct FarFaceGeom {
  int32_t Column = 0, Rows = 0, RowLength = 0;
  int8_t Normal = 0, Sign = 1, OuterAxis = 0, InnerAxis = 0;
  int32_t Fixed = 0, Outer0 = 0, Inner0 = 0;
  int32_t FirstBlock = 0, BlockRows = 1;  // its blocks: the first, and rows per block
};

// A block of whole rows of one face in one half: the unit gathered at once and summed by
// a group of receivers while it stays in cache. Blocks are listed face by face.
struct FarBlock {
  int8_t Half = 0, Face = 0;
  int32_t Row0 = 0, Row1 = 0;
  int32_t Column0 = 0, Column1 = 0;
  bool Rows = false;    // some receiver sums runs from its gathered rows
  bool Packed = false;  // some receiver's other cells lie in it (first half only)
};

struct FarFieldState {
  FarFieldSettings Settings;
  double Dx = 0, Dy = 0, Dz = 0, TimeStepSec = 0;
  float FarC = 0, FarCdt = 0;
  float DiagramRadius = 0;
  float DiagramAngleStep = 0;
  float CentreX = 0, CentreY = 0, CentreZ = 0;
  int32_t SeriesLength = 0;  // every series has this length
  std::vector<tFarPoint> FarPoints;
  std::array<std::vector<tFarPoint>, 3> Diagrams;  // X (plane YZ), Y (plane XZ), Z (plane XY)
  // The face cells twice: each face along its first in-plane axis, then each face along
  // its second (Twin: the index of the same cell in the first half). FaceBegin: where each
  // face starts in either half (6 faces, then the end).
  std::vector<FarFaceCell> Cells;
  std::vector<int32_t> Twin;
  std::array<std::array<int32_t, 7>, 2> FaceBegin{};
  std::array<std::array<FarFaceGeom, 6>, 2> Faces{};
  std::vector<FarBlock> Blocks;
  int32_t CellCount = 0;  // cells of the box (half of Cells)
  // Gathered each step, one row of RowStride columns per quantity (all cells, then
  // LaneCount zeros): F0 of each component in use, then F_out - F_in of each.
  std::vector<float> Gathered;
  size_t RowStride = 0;
  // The same values cell by cell for the first half, PackStride per cell: per three
  // components F0 of the three, F_out - F_in of the three and two unused lanes, so an
  // indexed cell is one load per three components.
  std::vector<float> Packed;
  int PackStride = 8;
  int GatherComponents = 3;

  bool Allocated() const { return !Cells.empty() || !FarPoints.empty(); }
  static constexpr int LongRun = 8;
  static constexpr int LaneCount = 8;      // cells summed side by side in a run
  static constexpr int BlockCells = 8192;  // cells of a block at most (whole rows)
  int ReceiverCount() const;
  tFarPoint& Receiver(int r);
};

// 2 <= min < max <= N - 2 on every axis: the sums read one cell beyond each face, and the
// shortest component array has N entries along its own axis.
bool FarBoundsValid(const FarBox& b, int nx, int ny, int nz);

// Values (32-bit) a receiver's tables take at most for a box, without its series.
int64_t FarPointTableValues(const FarBox& b);
// Values (32-bit) the receivers share for a box: the face cells and the rows gathered each
// step (six components when H is asked for at user points).
int64_t FarSharedValues(const FarBox& b, bool withH);

// The checks SetupFarField makes before it sizes anything, on d's grid size only: the box,
// every point row (a number, not on the box or inside it), the radius and the point count
// of the diagrams. False with the message for the user. The points and the radius read go
// to the optional outputs.
bool CheckFarFieldSettings(const SolverData& d, const FarFieldSettings& settings, std::string& message,
                           std::vector<std::array<float, 3>>* points = nullptr, double* radius = nullptr);

// Builds the receivers of a run: box checked first, then every point row and the radius
// read, then the tables (in parallel). A receiver on the box's faces or inside the box is
// refused. False with the message for the user; nothing then stays allocated. Uses d's cell
// sizes, time step and grid size.
bool SetupFarField(FarFieldState& s, const SolverData& d, const FarFieldSettings& settings,
                   int32_t seriesLength, std::string& message);

// Adds a to s[n], subtracts b from s[n+1] and a from s[n+2], each only below `limit` and
// the series' length; nothing when n < 0.
void AddRetardedSample(std::vector<float>& s, int32_t limit, int64_t n, double a, double b);

// One step's contribution (0-based step, after the E update). Follows the step count:
// when it has grown past the series, every series grows first, keeping its samples.
void AccumulateFarField(FarFieldState& s, const SolverData& d, int32_t step);

void FreeFarField(FarFieldState& s);

// Every sample of every receiver's series is a finite number (a run whose sums ran away
// would write INF and NaN into every file).
bool FarFieldFinite(const FarFieldState& s);

// The end-of-run files in d.FARDir (created when missing). Every file is tried; each one
// that fails adds a message to `errors`. curStep: steps done.
void SaveFarPoints(const FarFieldState& s, const SolverData& d, int32_t curStep,
                   std::vector<std::string>& errors);
void SaveFarDiagrams(const FarFieldState& s, const SolverData& d, int32_t curStep,
                     std::vector<std::string>& errors);

// The file name of a user point's E series ('E') or H series ('H') for a component suffix.
std::string FarPointFileName(char field, const tFarPoint& p, char comp);
// Peak |E| of one diagram point over the bins written for curStep steps.
float FarDiagramPeak(const tFarPoint& p, int32_t curStep);

}  // namespace rv
