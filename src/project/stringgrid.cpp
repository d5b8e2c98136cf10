#include "project/stringgrid.h"

#include <algorithm>
#include <string>

#include "solver/inifile.h"
#include "solver/numtext.h"

namespace rv {

namespace {
const std::string kEmpty;
}  // namespace

std::string GridCellKey(int c, int r) { return "Cell" + std::to_string(c) + "x" + std::to_string(r); }

StringGrid::StringGrid(std::string name, int colCount, int tag)
    : name_(std::move(name)), colCount_(std::max(colCount, 1)), tag_(tag) {
  rows_.assign(1, std::vector<std::string>(colCount_));
}

void StringGrid::SetRowCount(int n) {
  n = std::max(n, 1);
  rows_.resize(static_cast<size_t>(n), std::vector<std::string>(colCount_));
  if (fixedRows_ >= n) fixedRows_ = n - 1;
  if (row_ >= n) row_ = n - 1;
}

void StringGrid::SetFixedRows(int n) { fixedRows_ = std::clamp(n, 0, RowCount() - 1); }

void StringGrid::SetCurrent(int col, int row) {
  col_ = std::clamp(col, 0, colCount_ - 1);
  row_ = std::clamp(row, 0, RowCount() - 1);
}

const std::string& StringGrid::Cells(int c, int r) const {
  if (c < 0 || c >= colCount_ || r < 0 || r >= RowCount()) return kEmpty;
  return rows_[static_cast<size_t>(r)][static_cast<size_t>(c)];
}

bool StringGrid::SetCell(int c, int r, std::string text) {
  if (c < 0 || c >= colCount_ || r < 0 || r >= RowCount()) return false;
  rows_[static_cast<size_t>(r)][static_cast<size_t>(c)] = std::move(text);
  return true;
}

// ---------------------------------------------------------------- row operations

void AddGridRow(StringGrid& g, ModifiedFlag& modified) {
  g.SetRowCount(g.RowCount() + 1);
  g.SetFixedRows(1);
  g.SetEnabled(true);
  g.SetCurrent(0, g.RowCount() - 1);
  modified = 1;
}

void DeleteGridRow(StringGrid& g, ModifiedFlag& modified) {
  const int cur = g.Row();
  if (g.RowCount() == 1 || cur == 0) return;
  const int last = g.RowCount() - 1;
  for (int r = cur; r < last; ++r)
    for (int c = 0; c < g.ColCount(); ++c) g.SetCell(c, r, g.Cells(c, r + 1));
  g.SetRowCount(last);
  if (g.RowCount() < 2) g.SetEnabled(false);
  modified = 1;
}

void ClearGrid(StringGrid& g, ModifiedFlag& modified) {
  if (g.RowCount() < 2) return;
  g.SetRowCount(1);
  g.SetEnabled(false);
  modified = 1;
}

int ShiftGridColumns(StringGrid& g, int firstCol, int dX, int dY, int dZ) {
  const int d[3] = {dX, dY, dZ};
  int left = 0;
  for (int r = 1; r < g.RowCount(); ++r) {
    for (int k = 0; k < 3; ++k) {
      const int c = firstCol + k;
      if (c < 0 || c >= g.ColCount()) continue;
      int v = 0;
      if (!TryStrToInt(g.Cells(c, r), v)) {
        ++left;
        continue;
      }
      const long long sum = static_cast<long long>(v) + d[k];
      if (sum < INT32_MIN || sum > INT32_MAX) {
        ++left;
        continue;
      }
      g.SetCell(c, r, IntToStr(sum));
    }
  }
  return left;
}

int ShiftGridCoords(StringGrid& g, int dX, int dY, int dZ) {
  return ShiftGridColumns(g, 0, dX, dY, dZ);
}

// ---------------------------------------------------------------- cycling cells

bool LampedSelectCell(StringGrid& g, int col, int row, ModifiedFlag& modified) {
  if (!g.IsDataRow(row)) return true;
  bool canSelect = true;
  if (col == 5 && g.Tag() == 10) {
    canSelect = false;
    g.SetCell(col, row, g.Cells(col, row) == "+" ? "-" : "+");
  } else if (col == 4) {
    canSelect = false;
    const std::string old = UpperCaseText(g.Cells(col, row));
    const char* next = "X";
    if (!old.empty() && old[0] == 'X') next = "Y";
    else if (!old.empty() && old[0] == 'Y') next = "Z";
    g.SetCell(col, row, next);
  }
  modified = 1;
  return canSelect;
}

bool OutPointSelectCell(StringGrid& g, int col, int row, ModifiedFlag& modified) {
  if (!g.IsDataRow(row) || col != 1) return true;
  const std::string old = UpperCaseText(g.Cells(col, row));
  const char* next = "X";
  if (old == "X") next = "Y";
  else if (old == "Y") next = "Z";
  else if (old == "Z") next = "";
  // A changed direction is a changed project, like any other table edit.
  if (g.Cells(col, row) != next) {
    g.SetCell(col, row, next);
    modified = 1;
  }
  return false;
}

// ---------------------------------------------------------------- project-file sections

void SaveGridSection(IniFile& ini, const StringGrid& g) {
  ini.writeInteger(g.Name(), "Count", g.RowCount());
  for (int r = 1; r < g.RowCount(); ++r)
    for (int c = 0; c < g.ColCount(); ++c) ini.writeString(g.Name(), GridCellKey(c, r), g.Cells(c, r));
}

bool CheckGridSection(const IniFile& ini, const StringGrid& g, Messages& msgs) {
  const int n = ini.readInteger(g.Name(), "Count", 1);
  if (n - 1 <= MaxGridDataRows) return true;
  msgs.push_back("Раздел \"" + g.Name() + "\" файла проекта: слишком большое число строк таблицы (" +
                 IntToStr(n) + "). Допустимо не более " + IntToStr(MaxGridDataRows + 1) + ".");
  return false;
}

void LoadGridSection(const IniFile& ini, StringGrid& g, ModifiedFlag& modified) {
  ClearGrid(g, modified);
  const int n = std::min(ini.readInteger(g.Name(), "Count", 1), MaxGridDataRows + 1);
  for (int r = 1; r < n; ++r) {
    AddGridRow(g, modified);
    for (int c = 0; c < g.ColCount(); ++c) g.SetCell(c, r, ini.readString(g.Name(), GridCellKey(c, r), ""));
  }
}

// ---------------------------------------------------------------- text helpers

std::string UpperCaseText(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(out[i]);
    if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 32);
      continue;
    }
    if (i + 1 >= out.size()) break;
    unsigned char b2 = static_cast<unsigned char>(out[i + 1]);
    if (b == 0xD0 && b2 >= 0xB0 && b2 <= 0xBF) {         // а..п -> А..П
      out[i + 1] = static_cast<char>(b2 - 0x20);
      ++i;
    } else if (b == 0xD1 && b2 >= 0x80 && b2 <= 0x8F) {  // р..я -> Р..Я
      out[i] = static_cast<char>(0xD0);
      out[i + 1] = static_cast<char>(b2 + 0x20);
      ++i;
    } else if (b == 0xD1 && b2 >= 0x90 && b2 <= 0x9F) {  // ѐ..џ (ё, є, і, ї, ў...) -> Ѐ..Џ
      out[i] = static_cast<char>(0xD0);
      out[i + 1] = static_cast<char>(b2 - 0x10);
      ++i;
    } else if (b == 0xD2 && b2 == 0x91) {                // ґ -> Ґ
      out[i + 1] = static_cast<char>(0x90);
      ++i;
    } else if (b >= 0xC0) {
      ++i;  // the second byte of another two-byte character
    }
  }
  return out;
}

}  // namespace rv
