// Whole-model and selection operations of the editor: delete all, delete the selection,
// clone it into other sections, move, rotate, and sweep it into a body of revolution.
//
// They change material numbers only (no material is added, renamed or renumbered). Every
// one that needs a temporary copy of the model allocates it before anything changes and
// refuses (false, nothing changed, no snapshot) when it cannot be had.
#pragma once
#include <string>

#include "editor/modelstore.h"
#include "editor/section.h"

namespace rv {

struct OutPointTables;
struct LampedTables;

inline constexpr const char* NoMemoryText = "Ошибка резервирования памяти";
inline constexpr const char* DeleteAllQuestion = "Очистить объем, удалив все?";

// A rectangle of section-grid cells, corners in any order.
struct GridRect {
  int Col1 = 0, Row1 = 0, Col2 = 0, Row2 = 0;
};

// Every cell with indices 1..SpaceN (index N included) becomes empty. Takes no snapshot
// (the question before it guards it) but marks the model modified.
void DeleteAll(SolverData& d);

// Snapshot, then the model cells the rectangle of the section shows become empty.
void DeleteSelected(SolverData& d, MaterialState& m, const SectionView& v, const GridRect& sel);

struct CloneOptions {
  enum Direction { Forward, Backward, ToSection } Mode = ToSection;
  int Count = 1;      // sections forward or backward
  int Section = 1;    // the target section
  bool CopyEmpty = false;        // empty source cells clear their targets
  bool CopyHidden = false;       // switched-off materials are copied
  bool OverwriteHidden = false;  // targets of switched-off materials may be overwritten
};
// Copies the rectangle of the current section into other sections, model cells only (up to
// N-1 along the axis, where the undo copy reaches): copies forward stop there, and a target
// section past it is refused (false, nothing changed, no snapshot).
int CloneLastSection(const SolverData& d, SectionAxis a);
bool CloneSelection(SolverData& d, MaterialState& m, const SectionView& v, const GridRect& sel,
                    const CloneOptions& o);

// Shifts every model cell by whole cells; cells leaving 1..N-1 are lost, switched-off
// materials stay where they are. False with err when the temporary cannot be had.
bool MoveModel(SolverData& d, MaterialState& m, int dx, int dy, int dz, std::string& err);

// Shifts the coordinates in every element and output table by the same offsets; cells that
// hold no whole number keep their text. Returns how many were left so.
int ShiftTableCoords(OutPointTables& out, LampedTables& lamped, int dx, int dy, int dz);
// The report of ShiftTableCoords' cells left ("" for none).
std::string CellsLeftText(int cells);

// The axis of a turn: the model turns in the plane across it about (ca, cb), the centre's
// coordinates on the turned axes (a, b) = (y, z) for X, (x, z) for Y, (y, x) for Z. sy and
// sz are dY/dX and dZ/dX, so that distances keep their physical lengths.
struct Turn {
  SectionAxis Axis = SectionAxis::X;
  int Centre1 = 1, Centre2 = 1;  // the dialog's two centre fields: the lower axis first
  double Sy = 1, Sz = 1;
};

// Turns the whole model by theta radians (axis X from +Y toward +Z, Y from +X toward +Z,
// Z from +Y toward +X) into cells 1..N-1, then fills every cell left empty whose inverse turn
// rounds to an occupied source cell, so a turn by an odd angle leaves no holes.
bool RotateModel(SolverData& d, MaterialState& m, const Turn& t, double theta, std::string& err);

// Adds the body that the rectangle of the section sweeps when turned once round the axis;
// switched-off materials take no part. Angles are dense enough that the ring of every
// source cell is closed.
bool RevolveSelection(SolverData& d, MaterialState& m, const SectionView& v, const GridRect& sel,
                      const Turn& t, std::string& err);

}  // namespace rv
