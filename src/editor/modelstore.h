// The model store of the editor: the default materials, the one-level undo copy of the
// model and the materials, and the materials-table operations that renumber cells.
//
// Invariant kept between commands: Space holds only 0..LayerCount, and CurLayer is in
// 1..LayerCount. Every loop is bounded by the arrays' own extents as well as by the grid.
// Nothing here allocates or frees Space or UndoSpace, so a run may go on meanwhile.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "solver/solverdata.h"

namespace rv {

inline constexpr int MaxMaterials = 254;  // materials 1..254

using LayerTable = std::array<tLayer, MaxLayers>;

// The editor's material counters.
struct MaterialState {
  int LayerCount = 1;      // materials 1..LayerCount are in use
  int UndoLayerCount = 1;  // LayerCount at the last snapshot
  int CurLayer = 1;        // the material the drawing tools write
  bool UndoReady = false;  // a snapshot exists that has not been restored yet
};

// Every writer of the model's cells or of the materials' switches calls this with its writes
// (before a window may draw again).
inline void ModelChanged(SolverData& d) { ++d.ModelVersion; }

// The default colour of material n (0x00BBGGRR).
uint32_t DefaultLayerColor(int n);
// Entries 1..254 get the defaults; entry 0 is left alone.
void FillDefaultLayers(LayerTable& layers);

// Copies the model cells 1..N-1 and materials 1..254 into the undo copy; sets Modified.
void SaveUndo(SolverData& d, MaterialState& m);
// Puts the snapshot back, once; false when there is none. CurLayer stays in
// 1..LayerCount.
bool RestoreUndo(SolverData& d, MaterialState& m);

// The undo level as it stood, for an operation that takes its own snapshot and may be
// abandoned: putting it back offers the user's earlier undo again.
struct UndoLevel {
  bool Ready = false;
  int LayerCount = 1;
  std::vector<uint8_t> Cells;  // the whole undo array; empty when there was no snapshot
  LayerTable Layers{};
};
UndoLevel KeepUndoLevel(const SolverData& d, const MaterialState& m);
// No level is offered when the undo array changed its size meanwhile.
void PutBackUndoLevel(SolverData& d, MaterialState& m, const UndoLevel& u);

// Cells of each material number over the grid's cells (index 0 counts empty cells).
std::array<int64_t, 256> MaterialHistogram(const SolverData& d);
bool MaterialUsed(const SolverData& d, int material);

// A new material at the end, made current. False (nothing changed) at 254 materials.
bool AddLayer(SolverData& d, MaterialState& m);
inline constexpr const char* TooManyLayers = "Больше 254 материалов задать нельзя";

// Deletes the current material: its cells are emptied, the materials above move down one
// entry and their cells follow. Does nothing (false) when only one material is left. The
// caller asks and takes the snapshot first when the material is used.
bool DeleteCurrentLayer(SolverData& d, MaterialState& m);

// Removes every material no cell uses, lowest first, while more than one is left; the
// others move down and their cells follow, CurLayer with its material. Returns the count
// removed.
int DeleteUnusedLayers(SolverData& d, MaterialState& m);

// ---- the materials table's texts

// The nine columns of the materials table.
enum LayerColumn {
  ColColor = 0, ColOn, ColEpsStatic, ColSigma, ColMu, ColName, ColEpsInf, ColTau, ColDensity,
  LayerColumnCount
};
const std::array<const char*, LayerColumnCount>& LayerColumnTitles();
const char* OnText(uint8_t on);  // "вкл" / "ОТКЛ"
// The texts of row i (material i): numbers in the general format, 15 digits.
std::array<std::string, LayerColumnCount> LayerRowTexts(const tLayer& L);

// Where a transfer of the table's texts stopped.
struct CellError {
  int col = -1, row = -1;  // -1: no error
  bool ok() const { return row < 0; }
};

// Applies rows 1..rows.size() (row r is material r) of the numeric and name columns:
// with full, columns 2..8 (the "Ok" transfer), else columns 2..5 (a click in the table).
// A row is applied only when every one of its numbers reads and is physical (EpsStatic,
// EpsInf and Mu above 0, Sigma, Tau and Density not negative); the transfer stops at the
// first bad cell, rows before it applied.
using LayerRows = std::vector<std::array<std::string, LayerColumnCount>>;
CellError ApplyLayerRows(const LayerRows& rows, bool full, LayerTable& layers);

// What the window says of the wrong cell `e` of `rows`: the first line `head`, then the
// material's number and name, the column's title, the text and why it cannot be taken, and
// last where to change it.
std::string LayerCellRefusal(const char* head, const CellError& e, const LayerRows& rows);

}  // namespace rv
