// The absorbed-power (SAR) reports written at the end of a run, in the "SAR" folder of the
// results: "SAR.txt" (per material, voltage sources, resistors, power balance, then the 1-g
// averages; appended to, so successive runs follow each other), "SAR_by_Cell.dat" and
// "SAR_by_1g.dat" (per-cell tables, rewritten by every run). cp1251 text, CR LF.
//
// Nothing here touches a window: the whole report may run on a worker thread while nothing
// else writes the run's data.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "solver/elements.h"
#include "solver/solverdata.h"

namespace rv {

// The largest value of one material: the value, its cell and (for the 1-g averages) the
// mass it was averaged over, kg. Cell (0, 0, 0) when no cell of the material exceeds 0.
struct SarLayerMax {
  double Value = 0;
  std::array<int32_t, 3> Cell{};
  double Mass = 0;
};

// 1-g averages of the absorbed power per mass, W/kg: for every counted cell the power of
// the cell and of the cube shells round it (radius 1 to 11), taken shell by shell until
// their mass reaches 1 g, divided by that mass. Cells of no material, of a switched-off
// one, or whose average is not a finite number hold 0.
struct Sar1gAverage {
  t3DSpaceArray Avg;                        // (Nx+1, Ny+1, Nz+1); cells 1..N-1 are filled
  // Per material 1..254, in file order; none for a material no cell of which absorbed power.
  std::array<SarLayerMax, MaxLayers> Max;
};

// The model and materials a report reads; null reads those of the SolverData. A run gives
// the copies it took at its start, so edits made meanwhile never reach its report.
struct SarModel {
  const tSpace* Space = nullptr;
  const std::array<tLayer, MaxLayers>* Layers = nullptr;
};

// Computes the 1-g averages from SARCell (ComputeSAR must have run). A plain function of the
// data: the result does not depend on the thread count or on the thread it runs on. False,
// with a message, when SARCell or the model does not match the grid or memory fails.
bool ComputeSAR1g(const SolverData& d, Sar1gAverage& out, std::string* err = nullptr,
                  const SarModel& model = {});

// What the report reads besides SolverData.
struct SarReportInput {
  int LayerCount = 1;  // materials 1..LayerCount are listed
  // The run's voltage sources and resistors; records with X = 0, a cell outside the grid or
  // a direction other than X, Y, Z are left out of the report.
  const std::vector<tVoltageSource>* Sources = nullptr;
  const std::vector<tLumpedElement>* Resistors = nullptr;
  SarModel Model;
  // Per record of Sources and Resistors, the element's own power summed as the edges' sums
  // (LumpedRun keeps it; the run leaves no sum on an element's edge). NaN, or no array: the
  // edge's sum is the element's.
  const std::vector<double>* SourcePower = nullptr;
  const std::vector<double>* ResistorPower = nullptr;
  // The power of the run's capacitors, inductors and spark gaps, summed as the edges' sums,
  // and how many of them the run stepped.
  double OtherPower = 0;
  int OtherCount = 0;
};

// The figures of the power balance, as written.
struct SarSummary {
  std::array<double, MaxLayers> LayerPower{};  // mean absorbed power per material, W
  float TotalEnergy = 0;                       // J, all edges
  float SourcePowerSum = 0;                    // W (negative: delivered)
  float LayerPowerSum = 0;                     // W
  float ElementPowerSum = 0;                   // W, the other elements' (resistors and the rest)
  double Radiated = 0;                         // W, as written
  double VolumeBalance = 0;                    // W
  float BalanceError = 0;                      // per cent, signed; NaN when the sources delivered nothing
};

// ComputeSAR, then the three files. Needs SAROn's arrays and at least one accumulated step
// (CurStep - SARDelay >= 1). Stops at the first failure (a folder or file that cannot be
// made or written) and returns false with the message; what was written stays.
bool WriteSARReports(SolverData& d, const SarReportInput& in, std::string& err,
                     SarSummary* summary = nullptr);

// A material name as the report writes it: ASCII and Cyrillic letters upper-cased.
std::string SarUpperName(const std::string& utf8);

}  // namespace rv
