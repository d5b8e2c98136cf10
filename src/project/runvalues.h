// Values of the lumped-element tables and of the materials that no run can use, found by
// the run start before the first step, and the table rows a run leaves out.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "project/tables.h"
#include "solver/solverdata.h"

namespace rv {

// A refusal of the run start: the message, whose last line says where to change what is
// wrong, and the short text of the status line, which names the cause.
struct RunRefusal {
  std::string text;
  std::string status;
  explicit operator bool() const { return !text.empty(); }
};

// The rows of the five lumped-element tables read for d's grid (Nx, Ny, Nz).
struct LumpedRowsCheck {
  // The first row, in the order resistors, capacitors, sources, spark gaps, inductors, with
  // a coordinate that is no whole number or a value the element's update cannot use: not
  // a number, R or L not above 0, C below 0.
  RunRefusal refusal;
  // Rows the run leaves out as the tables allow: no X, a direction other than X, Y, Z, a
  // cell outside 1..N-1. One line each, naming the table, the row and why.
  std::string leftOut;
  std::string sourcesLeftOut;  // those of the sources table
  int sourcesUsed = 0;         // rows of the sources table the run uses
};
LumpedRowsCheck CheckLumpedRows(const LampedTables& t, const SolverData& d);

// The question before a run that leaves rows out (check.leftOut not empty).
std::string RowsLeftOutQuestion(const LumpedRowsCheck& check);

// The first row of the table «Разрядники» that a run uses whose edge (cell and direction)
// another row a run uses, of any of the five tables, shares too (FindLumpedClash): no
// update of one edge serves a gap together with another element. Names both rows.
RunRefusal SharedGapEdgeRefusal(const LampedTables& t, const SolverData& d);

// Which of the materials' values a run uses beyond permittivity and conductivity.
struct MaterialUse {
  bool polar = false;     // Debye terms: the relaxation time, and the high-frequency
                          // permittivity where the term is on (tau > 0, EpsInf != EpsStatic)
  bool magnetic = false;  // mu
  bool sar = false;       // the density, by which the SAR reports divide
  double cellVolume = 0;  // m^3, for the density's least value (0: not known, not checked)
};

// The first material with cells in the model (cellCounts[m-1] > 0) and switched on that
// holds, in the column order of the materials window, a value the run cannot use: a
// permittivity, mu or density not above 0, a conductivity or relaxation time below 0, or
// a value outside the range the run's 32-bit sums hold (MaterialRangeFault).
RunRefusal MaterialValueRefusal(const std::array<tLayer, MaxLayers>& layers,
                                const std::array<int32_t, MaxLayers - 1>& cellCounts, MaterialUse use);

// The first row of the table «Индуктивности» that a run uses whose inductor its update
// cannot step stably (CheckInductorStability): an L below the bound of the cells (dx, dy,
// dz) and the step (stepSec) beside the rows before it, or a place too near a Mur's, 1/R or
// RT-ABC face of grid (its faces and node counts). The media in use (materials with cells,
// switched on, as `use` reads them) count when one is faster than vacuum. Rows with a value
// or coordinate CheckLumpedRows refuses, and rows a run leaves out, are not looked at.
RunRefusal InductorBoundRefusal(const LampedTables& t, const SolverData& grid, double dx, double dy, double dz,
                                double stepSec, const std::array<tLayer, MaxLayers>& layers,
                                const std::array<int32_t, MaxLayers - 1>& cellCounts, MaterialUse use);

// The first row of the five lumped tables, in CheckLumpedRows' order, that a run uses and
// whose edge lies along the plane of a face with a condition (FaceWritingEdge): the face
// sets that edge itself, so the element would not act. The message names the row, the
// face and its condition, and where to put the element instead.
RunRefusal ElementOnFacePlaneRefusal(const LampedTables& t, const SolverData& d);

// The output rows whose values a face fixes, as one warning ("" when none): a probe of E or
// U along a PEC face's plane and a voltage line lying wholly in such planes read 0 for the
// whole run; a probe of I or J on the first plane of a face other than PEC takes part of
// its loop's H beyond the face, where the grid holds none. Current regions are not
// named: their loops always lie where the grid computes H. Rows the output set-up does not
// open are not looked at.
std::string OutputsOnFacePlanesWarning(const OutPointTables& t, const SolverData& d);

}  // namespace rv
