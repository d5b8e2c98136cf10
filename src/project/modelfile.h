// The binary model file beside a project: the cells as run-length pairs of 32-bit
// little-endian integers (material, count), x fastest, then y, then z.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "solver/arrays.h"
#include "solver/pendingfile.h"

namespace rv {

// Writes the cells 1..nx, 1..ny, 1..nz of `space` (cells outside its extents count as
// empty) into an open pending file; false with err only for a grid below 1 cell (write
// failures come out of f.Finish).
bool WriteModel(PendingFile& f, const tSpace& space, int nx, int ny, int nz, std::string& err);

// The same as a file of its own, replaced as a whole (a failed write leaves an older file
// intact, a read-only one is refused). Returns false with err set on failure.
bool WriteModelFile(const std::string& path, const tSpace& space, int nx, int ny, int nz,
                    std::string& err);

// Reads a model file into `space`, which the caller has allocated empty for the grid.
// fileFormat is the project's "FileFormat" text: at or after "5" (compared as text) the
// scan covers 1..N on each axis, before it 1..N-1. Reading stops once the scan passes the
// last plane or, as the window's grid size allows, plane `zLimit`. Cells the file does not
// reach stay empty; materials outside 0..254 are read as empty; writes stay inside `space`.
// A pair with a count below 1 means a damaged file: reading stops there with a message and
// the cells read so far stay. `progress` (may be empty) gets the percent after each plane.
// fileCells (may be null) gets the cells all the file's runs add up to, those past the grid
// included (the file is then read to its end).
bool ReadModelFile(const std::string& path, const std::string& fileFormat, int nx, int ny,
                   int nz, int zLimit, tSpace& space, std::string& err,
                   const std::function<void(int)>& progress = {}, int64_t* fileCells = nullptr);

// The cells a model file of that layout holds for the grid: NX·NY·NZ, or
// (NX-1)(NY-1)(NZ-1) for files older than "5".
int64_t ModelFileLayoutCells(const std::string& fileFormat, int nx, int ny, int nz);

// True when a "FileFormat" text selects the present layout (1..N).
bool ModelFileFullLayout(const std::string& fileFormat);

}  // namespace rv
