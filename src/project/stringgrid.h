// The text tables of outputs and lumped elements, kept as string grids.
//
// Row 0 is the title row and RowCount counts it: a table with n entries has RowCount n+1,
// an empty one RowCount 1. Cells are addressed column first, Cells(c, r), as in the
// windows. While a table has data rows, row 0 is its one fixed row; an empty table has no
// fixed row. Every cell holds UTF-8 text; numbers are parsed only when the element arrays
// are built.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rv {

class IniFile;

// The project's "unsaved changes" flag (SolverData::Modified).
using ModifiedFlag = std::atomic<uint8_t>;
// Diagnostics handed back to the caller, one text per message; the window shows each once.
using Messages = std::vector<std::string>;

// A file may claim any row count; more data rows than this is taken as a damaged file.
inline constexpr int MaxGridDataRows = 100000;

class StringGrid {
public:
  // name: the grid's name, which is also its project-file section; tag 10 marks the
  // voltage-source table (its polarity column).
  StringGrid(std::string name, int colCount, int tag = 0);

  const std::string& Name() const { return name_; }
  int Tag() const { return tag_; }
  int ColCount() const { return colCount_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // At least 1 (the title row). New rows are empty; rows dropped lose their texts. Fewer
  // rows than fixed rows lowers FixedRows, and the current row follows the last row.
  void SetRowCount(int n);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int n);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }

  // The current cell (what the view has selected); row 0 means no data row is current.
  int Row() const { return row_; }
  int Col() const { return col_; }
  // Out-of-range values are clamped to the table.
  void SetCurrent(int col, int row);

  // Empty text for a cell outside the table.
  const std::string& Cells(int c, int r) const;
  // False (nothing changed) for a cell outside the table.
  bool SetCell(int c, int r, std::string text);
  bool IsDataRow(int r) const { return r >= 1 && r < RowCount(); }

private:
  std::string name_;
  int colCount_;
  int tag_;
  int fixedRows_ = 0;
  bool enabled_ = true;
  int row_ = 0, col_ = 0;
  std::vector<std::vector<std::string>> rows_;  // rows_[r][c]
};

// ---- row operations shared by every table

// Appends one empty data row, makes row 0 the fixed row, enables the table, makes column 0
// of the new row current, marks the project modified.
void AddGridRow(StringGrid& g, ModifiedFlag& modified);
// Removes the current row when it is a data row (later rows move up); disables the table
// when no data row is left; marks the project modified. Nothing happens with row 0 current.
void DeleteGridRow(StringGrid& g, ModifiedFlag& modified);
// Removes every data row and disables the table; nothing happens on an empty table.
void ClearGrid(StringGrid& g, ModifiedFlag& modified);
// Adds dX, dY, dZ to columns 0, 1, 2 of every data row. A cell that holds no whole number
// (an empty one included), or whose sum would leave the 32-bit range, keeps its text and
// the other cells are still shifted. Does not mark the project modified (the caller does).
// Returns the number of cells left as they were.
int ShiftGridCoords(StringGrid& g, int dX, int dY, int dZ);
// The same on columns firstCol, firstCol+1, firstCol+2 (the output tables keep their
// coordinates in other columns).
int ShiftGridColumns(StringGrid& g, int firstCol, int dX, int dY, int dZ);

// ---- cell clicks that cycle a letter instead of opening the cell for editing

// Lumped-element tables: column 4 steps the direction (empty -> X, then by the first letter
// X -> Y, Y -> Z, anything else -> X); column 5 of the sources table (tag 10) toggles the
// polarity between "+" and "-". Any data-row selection marks the project modified.
// Returns whether the cell may be selected (false for the cycled cells).
bool LampedSelectCell(StringGrid& g, int col, int row, ModifiedFlag& modified);
// Probe table: column 1 cycles X, Y, Z, empty (anything else gives X). A change of the
// text marks the project modified. Returns whether the cell may be selected.
bool OutPointSelectCell(StringGrid& g, int col, int row, ModifiedFlag& modified);

// ---- project-file sections: "Count" = RowCount, then "Cell<c>x<r>" for every data cell

// The key of cell c of row r: "Cell" + c + "x" + r.
std::string GridCellKey(int c, int r);
void SaveGridSection(IniFile& ini, const StringGrid& g);
// Checks "Count" of the grid's section: appends a message and returns false when it asks
// for more rows than a table may hold. The table is not touched.
bool CheckGridSection(const IniFile& ini, const StringGrid& g, Messages& msgs);
// Clears the table and reads it back (a missing section gives an empty table, a missing
// cell an empty text). Call CheckGridSection first; an unchecked count is capped.
void LoadGridSection(const IniFile& ini, StringGrid& g, ModifiedFlag& modified);

// ---- text helpers of the tables

// Upper case of ASCII and Cyrillic letters in UTF-8 text; other characters are kept.
std::string UpperCaseText(std::string_view utf8);

}  // namespace rv
