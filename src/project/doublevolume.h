// "Удвоить объем": the whole project at twice the resolution. Every cell becomes eight,
// the cell sizes are halved, the step count doubled, and the coordinates in the element
// and output tables follow.
#pragma once
#include <string>

#include "project/mainsettings.h"
#include "project/stringgrid.h"
#include "solver/solverdata.h"

namespace rv {

// The tables whose coordinates follow the doubling; a null table is skipped.
struct DoubleVolumeTables {
  StringGrid* sgOutPoint = nullptr;    // columns 2..4: v -> 2v
  StringGrid* sgCurrent = nullptr;     // first corner 2v; second 2v, or 2v-1 unless flat
  StringGrid* sgVoltage = nullptr;     // columns 0..5: v -> 2v-1
  StringGrid* sgFarPoints = nullptr;   // columns 0..2: v -> 2v-1
  StringGrid* sgResistors = nullptr;   // lumped tables, columns 0..2: v -> 2v
  StringGrid* sgRazraydnic = nullptr;
  StringGrid* sgCapacitors = nullptr;
  StringGrid* sgSourses = nullptr;
  StringGrid* sgInductor = nullptr;
};

// Doubles the grid of `s` and the model `d.Space` (refined into 2x2x2 blocks; the undo copy
// holds the refined model too), halves edX..edZ and the time step eddT (when it is a
// positive number), doubles seStepCount and the far-field box,
// and rewrites the table coordinates (a cell that is not a whole number is left as it is).
// Everything is checked first: during a run, when a doubled size or step count does not fit
// its spin box, when a cell size is not a number, or when the refined model does not fit in
// memory, nothing changes and false is returned with a message. Reads of the old model are
// bounded by its own extents.
bool DoubleVolume(MainSettings& s, SolverData& d, const DoubleVolumeTables& t,
                  std::string& message);

}  // namespace rv
