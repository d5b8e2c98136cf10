// Material of one E edge, averaged from the four cells around it, and the update
// coefficients derived from it; plus the per-run cache of those coefficients that the
// E updates read.
//
// GetEdgeMaterial is the rule; EdgeCoefCache holds its results for every edge of a run as a
// small table of distinct coefficient sets and one class per edge, so the kernels never
// recompute them. Both read only the model, the materials, the object box and the run
// settings (PolarDielectrics, TimeStepSec), never a field.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "solver/solverdata.h"

namespace rv {

struct tEdgeMaterial {
  float Sigma = 0;       // conductivity averaged over the four cells, S/m
  float EpsStatic = 1;   // permittivity at f = 0, averaged, times Eps0 (F/m); 1 outside the box
  float EpsInf = 1;      // permittivity at f = infinity, averaged, times Eps0; 1 outside the box
  float Tau = 0;         // relaxation time averaged, s
  float Mu = 1;          // relative permeability averaged
  float Density = 0;     // kg/m^3 averaged
  float Ca = 1;          // coefficient of the old E
  float Cb = 0;          // coefficient of the curl term
  float DebyeCoef = 0;   // coefficient of the new E in the Debye recursion (0: not dispersive)
  float DebyeDecay = 1;  // exp(-dt/tau) of the Debye recursion (1: not dispersive)
  std::array<uint8_t, 3> Neighbour{};  // materials of the three other cells that count
  uint8_t NeighbourCount = 0;
};

// Fills M for the E edge (I, J, K) of component Axis ('X', 'Y' or 'Z'; indices as in that
// component's array). Cells outside Space's own extents, empty cells, switched-off
// materials and numbers that are no material count as vacuum. Reentrant; any index is
// safe. An Axis other than 'X', 'Y', 'Z' gives the vacuum edge of the own cell only.
void GetEdgeMaterial(const SolverData& d, int I, int J, int K, char Axis, tEdgeMaterial& M);
tEdgeMaterial GetEdgeMaterial(const SolverData& d, int I, int J, int K, char Axis);

// The index ranges the E update covers for axis 0..2 (X, Y, Z): {i0, i1, j0, j1, k0, k1}.
std::array<int, 6> UpdatedRange(int axis, int nx, int ny, int nz);

// The four numbers the E updates need of an edge.
struct EdgeCoefs {
  float Ca = 1, Cb = 0, DebyeCoef = 0, DebyeDecay = 1;
};

// Per-run coefficient cache. Build() once at run start (after the grid, the object box,
// TimeStepSec and PolarDielectrics are set); the kernels then read it. A row along z keeps
// one class, or runs of one class each when they are long (24 edges on average or more),
// or else a class per edge, so the kernels mostly run with constant coefficients.
class EdgeCoefCache {
public:
  // One row along z of one component: a single class for every edge of the row; or, for a
  // row that crosses a few material surfaces, runs of one class each (Segs[Offset ..
  // Offset+SegCount), each running from its K0 to the next run's K0 - 1 or the row's end);
  // or, for a row with many short runs, one class per edge (Index16/Index32 from Offset,
  // the row's k = 0 element).
  struct Row {
    int32_t Uniform = -1;  // class of every edge when >= 0
    int32_t SegCount = 0;  // runs of the row when > 0
    int64_t Offset = -1;   // into Segs, or element offset of k = 0 in Index16/Index32
  };
  struct Seg {
    int32_t K0 = 0;        // first edge of the run
    uint32_t Class = 0;
  };

  // Builds the cache for d's grid (Nx, Ny, Nz) and model. False, with a message in *err
  // and the cache left empty, when the grid is not set or memory runs out.
  bool Build(const SolverData& d, std::string* err = nullptr);
  void Clear();
  bool Empty() const { return Table.empty(); }
  // True when the cache was built for this grid size.
  bool Matches(const SolverData& d) const {
    return !Table.empty() && d.Nx == Nx && d.Ny == Ny && d.Nz == Nz;
  }

  // Class and coefficients of one edge (Axis 'X', 'Y', 'Z'). Only the edges the E update
  // covers are kept: any other edge, or an unknown axis, gives class -1 and the vacuum
  // coefficients of an edge outside the box (ask GetEdgeMaterial for those).
  int ClassOf(char Axis, int i, int j, int k) const;
  EdgeCoefs Coefs(char Axis, int i, int j, int k) const;

  // ---- what the kernels read
  int Nx = 0, Ny = 0, Nz = 0;
  std::vector<EdgeCoefs> Table;      // distinct coefficient sets, by class
  std::vector<float> TabCa, TabCb, TabDebyeCoef, TabDebyeDecay;  // Table by field
  std::array<std::vector<Row>, 3> Rows;  // per axis 0..2 (X, Y, Z): index i * (Ny+1) + j
  std::vector<Seg> Segs;
  bool Wide = false;                 // per-edge classes in Index32 (more than 65536 classes)
  std::vector<uint16_t> Index16;
  std::vector<uint32_t> Index32;
  bool AnyDispersive = false;        // some class has DebyeCoef != 0 or DebyeDecay != 1

  const Row& RowOf(int axis, int i, int j) const { return Rows[axis][size_t(i) * (Ny + 1) + j]; }
};

}  // namespace rv
