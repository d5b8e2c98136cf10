// The split-field absorbing layer (PML) on any face of the box.
//
// Every PML face carries a slab of N cells; where two PML faces meet an edge bar of N x N
// cells runs along the common edge, where three meet a corner cube of N x N x N. Each of the
// 26 possible regions is one block with its own lengths: along a graded axis (the normal of
// one of its faces) the index is the depth 0..N-1 counted outward, along a free axis it is
// the main grid's index less one. Every field component in a region is the sum of two
// parts, each fed by one spatial derivative; parts fed across the layer are graded by the
// depth tables, the others are plain vacuum updates. A region stores per component the sum
// and the part fed along the axis after the component's own (the other part is their
// difference), so a derivative reads one array; a component fed only along free axes (the
// normal one in a face) is a plain vacuum update and keeps the sum alone.
//
// A region's H update reads only its own E. Its E update reads, at depth 0 of each graded
// axis, the H of the block just inside (the main grid for a face, a face for an edge, an
// edge for a corner), and afterwards hands its depth-0 E back to that block: a face writes
// the main grid's tangential E on its interface plane, an edge writes both parts into the
// faces' side planes and the main grid's E on its edge line, a corner writes the edges' end
// planes. Face side planes and edge ends next to a PEC or symmetry face take that face's
// condition.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "solver/arrays.h"
#include "solver/solverdata.h"

namespace rv {

struct PmlProfile {
  int32_t N = 8;        // layers
  float R = 0.01f;      // normal-incidence reflection of the whole layer
  bool Parabolic = true;  // else geometric, ratio 2.15 per cell
};

// Conductivity (S/m) at depth rho (cells, may be half-integer) for a cell size d (m).
float PMLSigma(const PmlProfile& p, float d, float rho);
// Lowest usable frequency (Hz): the conductivity of the first cell over 2*pi*eps0.
float PMLLowFrequency(const PmlProfile& p, float d);
// 0 < R <= 1: below that the logarithm is undefined or infinite, above it the conductivity
// turns negative and the layer amplifies. R = 1 is the lossless layer.
bool PMLReflectionValid(float R);

// The parts of a cell: component, then the axis of the derivative that feeds it.
enum PmlPart : int { Exy, Exz, Eyx, Eyz, Ezx, Ezy, Hxy, Hxz, Hyx, Hyz, Hzx, Hzy, PmlPartCount };

// A region's arrays are stored with a free axis fastest where it has one (the rows the
// updates walk are then long whatever the face), so they are indexed through St, not as
// (i, j, k) in their own lengths.
struct PmlRegion {
  std::array<int, 3> Side{};  // per axis: +1 beyond the max face, -1 beyond face 1, 0 free
  std::array<int, 3> Len{};   // N along a graded axis, the node count along a free one
  std::array<int, 3> Axes{};  // storage order: slowest, middle, fastest axis
  std::array<size_t, 3> St{};  // element offset of one step along x, y, z
  int Order = 0;              // place in the update order
  std::array<int, 3> In{-1, -1, -1};  // per graded axis, the block just inside (-1: main grid)
  bool Exists = false;
  // By component, E x, y, z then H x, y, z: the full value, and the part fed along the
  // next axis in cyclic order (empty where both axes that feed the component are free).
  std::array<t3DSpaceArray, 6> Total, Split;

  size_t Offset(int i, int j, int k) const { return size_t(i) * St[0] + size_t(j) * St[1] + size_t(k) * St[2]; }
  // Full value of a component (0 x, 1 y, 2 z) of E (h false) or H.
  double Full(bool h, int comp, int i, int j, int k) const {
    return double(Total[size_t(h * 3 + comp)].data()[Offset(i, j, k)]);
  }
  // One part (PmlPart); a component with no split carries its whole value in the part fed
  // along the next axis.
  double PartValue(int part, int i, int j, int k) const;
};

// The layer of one run: tables, factors and regions.
struct PmlState {
  PmlProfile Profile;
  int Nx = 0, Ny = 0, Nz = 0;
  // Per axis, indexed by depth: decay and gain of the E parts (at whole depths) and of the H
  // parts (half a cell deeper).
  std::array<std::vector<float>, 3> DecayE, DecayH, GainE, GainH;
  // dt/(mu0 d) and dt/(eps0 d) per axis, for the parts fed along the layer.
  std::array<float, 3> HCoef{}, ECoef{};
  // Faces, edges, corners, in the order they are updated.
  std::array<PmlRegion, 26> Regions;
  std::vector<float> Zero;  // a row of zeros: the conducting wall beyond the last layer
  bool Threaded = false;
  // Blocks of rows of one region, each a unit of work of both passes: region, a range of
  // the slowest storage axis and one of the middle axis.
  struct Task { int Region, S0, S1, M0, M1; };
  std::vector<Task> Tasks;
  bool AnyFaceCond = false;  // some face's side plane takes a PEC or symmetry condition

  bool Allocated() const { return !Zero.empty(); }
  // The region beyond the given sides (each -1, 0 or +1), or null when it does not exist.
  PmlRegion* Find(int sx, int sy, int sz);
  const PmlRegion* Find(int sx, int sy, int sz) const;
};

// Fills the tables and factors from the profile, the grid's cell sizes and d.TimeStepSec.
void CalcPMLCoefficients(PmlState& s, const SolverData& d);
// Run start: does nothing unless d.AnyPML. Allocates the regions of the PML faces (all
// zero) and the tables. False with a message when R is out of range or memory fails; then
// nothing stays allocated.
bool SetupPML(PmlState& s, const SolverData& d, const PmlProfile& p, std::string& message);
void FreePML(PmlState& s);

// One step's H half of every region (after the main H update) and E half (after the main E
// update and the other boundaries, before PEC).
void UpdatePMLH(PmlState& s);
void UpdatePMLE(PmlState& s, SolverData& d);

// The diagnostic probe: Hy of the Y=max face at [Nx-2][0][49] plus Hx of the X=max face at
// [0][Ny-2][49]. False when those faces are not both PML or the grid has fewer than 50
// cells (51 nodes) along z.
bool PMLDProbe(const PmlState& s, double& value);

}  // namespace rv
