// The element arrays a run reads, built from the rows of the output and lumped-element
// tables, and the lookups that tell which element stands at a cell.
#pragma once
#include "project/stringgrid.h"
#include "project/tables.h"
#include "solver/elements.h"

namespace rv {

struct SolverData;

// Rebuilds the eight arrays: one record per data row, record i from row i+1, so each
// array is as long as its table has data rows. Coordinates are whole numbers, values
// decimal numbers with ".", letters are the first character upper-cased, file names
// upper-cased. A row whose first column is empty, or any of whose numbers cannot be read,
// gives a record with all coordinates 0 and no message; such a record keeps its other
// fields as they were, and every reader skips it. Existing records keep the fields that
// are not read from the rows (Fired, Accum).
// A current region that is flat in no axis gets Plane 'E' and one message; a voltage line
// that is flat in no axis gets Plane 0.
// Does nothing while a run is active (d.CalcRunning), so a run's arrays never change.
Messages LoadElementArrays(const SolverData& d, const OutPointTables& outputs,
                           const LampedTables& lamped, ElementArrays& a);

// 'X' when X1 = X2, else 'Y' when Y1 = Y2, else 'Z' when Z1 = Z2, else 0.
char RegionPlane(const tCurrentRegion& r);

// Which element stands at cell (x, y, z): the first usable record in array order with that
// cell (the direction is not compared). FindOutputPointAt gives the record's number counted
// from 1 (its table row); the others the array index counted from 0.
bool FindOutputPointAt(const ElementArrays& a, int x, int y, int z, int& index);
bool FindSparkGapAt(const ElementArrays& a, int x, int y, int z, int& index);
bool FindSourceAt(const ElementArrays& a, int x, int y, int z, int& index);
bool FindResistorAt(const ElementArrays& a, int x, int y, int z, int& index);
bool FindCapacitorAt(const ElementArrays& a, int x, int y, int z, int& index);
bool FindInductorAt(const ElementArrays& a, int x, int y, int z, int& index);

}  // namespace rv
