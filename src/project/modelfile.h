// The binary model file beside a project: the cells as run-length pairs of 32-bit
// little-endian integers (material, count), x fastest, then y, then z.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "solver/arrays.h"
#include "solver/pendingfile.h"

namespace rv {

// What identifies a model file: its size and CRC-32. The project file keeps the stamp of the
// model file it was saved with, so a pair torn apart by an interrupted save is noticed.
struct ModelFileStamp {
  uint64_t Size = 0;
  uint32_t Crc = 0;
  bool operator==(const ModelFileStamp&) const = default;
};
// "<size> <CRC as 8 hex digits>", as the project file keeps it.
std::string StampText(const ModelFileStamp& s);
// False (s untouched) when the text is not of that form.
bool ParseStamp(const std::string& text, ModelFileStamp& s);
// The stamp of every byte a file holds; false when it cannot be read whole.
bool FileStamp(const std::string& path, ModelFileStamp& s);

// Writes the cells 1..nx, 1..ny, 1..nz of `space` (cells outside its extents count as
// empty) into an open pending file; false with err only for a grid below 1 cell (write
// failures come out of f.Finish). stamp (may be null) gets the stamp of the bytes written.
bool WriteModel(PendingFile& f, const tSpace& space, int nx, int ny, int nz, std::string& err,
                ModelFileStamp* stamp = nullptr);

// The same as a file of its own, replaced as a whole (a failed write leaves an older file
// intact, a read-only one is refused). Returns false with err set on failure.
bool WriteModelFile(const std::string& path, const tSpace& space, int nx, int ny, int nz,
                    std::string& err);

// What a read found against the cells the grid's layout needs. Counts are cells of the
// layout unless said otherwise; Read + Empty = Need.
struct ModelFileCheck {
  bool Opened = false;
  int64_t Need = 0;     // cells of the layout
  int64_t InFile = 0;   // cells the whole runs add up to, up to a run of a bad length
  int64_t Read = 0;     // cells given a material from the file
  int64_t Empty = 0;    // cells left empty: not reached, or of a material outside the format
  int64_t Shifted = 0;  // of those read, at most this many may stand out of place
  int64_t Dropped = 0;  // cells of the file past the layout's last cell (its last ones)
  ModelFileStamp Stamp; // of every byte the file holds
  bool Damaged = false;  // damaged in itself: cut, a bad run, stray bytes, a read error
  // What is wrong and where, each to follow "Файл модели <name> ".
  std::vector<std::string> Faults;
  // A sentence of its own after them: what a killed save left beside the file.
  std::string Copies;
  bool Exact() const { return Opened && Faults.empty(); }
};

// Reads a model file into `space`, which the caller has allocated empty for the grid, and
// checks it whole against the layout. fileFormat is the project's "FileFormat" text: at or
// after "5" (compared as text) the scan covers 1..N on each axis, before it 1..N-1. Cells
// past the layout's last cell, or past plane `zLimit` as the window's grid size allows, are
// not stored. Cells the file does not reach, and runs of a material outside 0..254, stay
// empty; writes stay inside `space`. A run length below 1 ends the reading of cells (where
// the next runs belong can't be known). `progress` (may be empty) gets the percent after
// each plane.
//
// Where the runs add up to more than the layout needs, the file can't show where the extra
// cells lie: every cell after the part of the first run that is surely right may be out of
// place, and Shifted counts them.
ModelFileCheck ReadModelFile(const std::string& path, const std::string& fileFormat, int nx,
                             int ny, int nz, int zLimit, tSpace& space,
                             const std::function<void(int)>& progress = {});

// The question before a model file that is not exactly what the layout needs is used: the
// file, what is wrong and where, and what would be read, left empty, possibly shifted or
// dropped. «Нет» keeps the project that is open. projectFaults, when not empty, is the
// project file's own damage, told first; `ask` (when not empty) then asks for both files.
std::string ModelFileQuestion(const std::string& path, const ModelFileCheck& c,
                              const std::string& projectFaults = "", const std::string& ask = "");
// The journal's line once such a file was loaded as it is.
std::string ModelFileNote(const std::string& path, const ModelFileCheck& c);
// The fault of a model file that is not the one the project was saved with.
std::string StampFault(const ModelFileStamp& file, const ModelFileStamp& saved);

// The cells a model file of that layout holds for the grid: NX·NY·NZ, or
// (NX-1)(NY-1)(NZ-1) for files older than "5".
int64_t ModelFileLayoutCells(const std::string& fileFormat, int nx, int ny, int nz);

// True when a "FileFormat" text selects the present layout (1..N).
bool ModelFileFullLayout(const std::string& fileFormat);

}  // namespace rv
