#include "project/doublevolume.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "solver/numtext.h"

namespace rv {

namespace {

// Rewrites one cell holding a whole number; other cells (empty ones included) stay.
void MapCell(StringGrid& g, int c, int r, const std::function<int64_t(int64_t)>& f) {
  int v = 0;
  if (!TryStrToInt(g.Cells(c, r), v)) return;
  const int64_t n = f(v);
  if (n < INT32_MIN || n > INT32_MAX) return;
  g.SetCell(c, r, IntToStr(n));
}

void MapColumns(StringGrid* g, int first, int last, const std::function<int64_t(int64_t)>& f) {
  if (!g) return;
  for (int r = 1; r < g->RowCount(); ++r)
    for (int c = first; c <= last; ++c) MapCell(*g, c, r, f);
}

}  // namespace

bool DoubleVolume(MainSettings& s, SolverData& d, const DoubleVolumeTables& t,
                  std::string& message) {
  if (d.CalcRunning) {
    message = "Во время счета удвоение объема невозможно.";
    return false;
  }
  const int64_t nx = int64_t(s.spX) * 2, ny = int64_t(s.spY) * 2, nz = int64_t(s.spZ) * 2;
  if (nx > GridCellsMax || ny > GridCellsMax || nz > GridCellsMax) {
    message = "Удвоенный размер " + IntToStr(nx) + " x " + IntToStr(ny) + " x " + IntToStr(nz) +
              " превышает допустимый (не более " + IntToStr(GridCellsMax) +
              " ячеек по оси). Объем не удвоен.";
    return false;
  }
  const int64_t steps = int64_t(s.seStepCount) * 2;
  if (steps > StepCountMax) {
    message = "Удвоенное число шагов " + IntToStr(steps) + " превышает допустимое (не более " +
              IntToStr(StepCountMax) + "). Объем не удвоен.";
    return false;
  }
  double dx = 0, dy = 0, dz = 0;
  if (!TryStrToFloat(s.edX, dx) || !TryStrToFloat(s.edY, dy) || !TryStrToFloat(s.edZ, dz)) {
    message = "Ошибка в задании шагов по пространству. Объем не удвоен.";
    return false;
  }

  // The refined model is built aside, so a failure leaves the project as it was.
  tSpace refined;
  if (!refined.allocate(int(nx) + 1, int(ny) + 1, int(nz) + 1)) {
    message = "Ошибка резервирования памяти. Объем не удвоен.";
    return false;
  }
  tSpace undo;
  const int oi = std::min(s.spX, d.Space.len1() - 1);
  const int oj = std::min(s.spY, d.Space.len2() - 1);
  const int ok = std::min(s.spZ, d.Space.len3() - 1);
  for (int i = 1; i <= oi; ++i)
    for (int j = 1; j <= oj; ++j)
      for (int k = 1; k <= ok; ++k) {
        const uint8_t m = d.Space(i, j, k);
        if (!m) continue;
        for (int a = 0; a < 2; ++a)
          for (int b = 0; b < 2; ++b)
            for (int c = 0; c < 2; ++c) refined(2 * i - a, 2 * j - b, 2 * k - c) = m;
      }
  undo = refined;
  if (undo.empty()) {
    message = "Ошибка резервирования памяти. Объем не удвоен.";
    return false;
  }

  // ---- commit
  s.spX = int(nx);
  s.spY = int(ny);
  s.spZ = int(nz);
  s.edX = FormatGeneral(dx / 2, 15);
  s.edY = FormatGeneral(dy / 2, 15);
  s.edZ = FormatGeneral(dz / 2, 15);
  s.seStepCount = int(steps);
  // Half the cell, half the step: the same Courant number and end time. A step that is no
  // positive number is left for the page to replace.
  double dt = 0;
  if (TryStrToFloat(s.eddT, dt) && dt > 0) s.eddT = FormatGeneral(dt / 2, 15);
  auto twice = [](int v) { return int(std::clamp<int64_t>(int64_t(v) * 2, INT32_MIN, INT32_MAX)); };
  s.spFarXmin = twice(s.spFarXmin);
  s.spFarXmax = twice(s.spFarXmax);
  s.spFarYmin = twice(s.spFarYmin);
  s.spFarYmax = twice(s.spFarYmax);
  s.spFarZmin = twice(s.spFarZmin);
  s.spFarZmax = twice(s.spFarZmax);

  auto dbl = [](int64_t v) { return 2 * v; };
  auto dblMinus1 = [](int64_t v) { return 2 * v - 1; };
  MapColumns(t.sgOutPoint, 2, 4, dbl);
  if (t.sgCurrent) {
    StringGrid& g = *t.sgCurrent;
    for (int r = 1; r < g.RowCount(); ++r) {
      for (int c = 0; c <= 2; ++c) MapCell(g, c, r, dbl);
      for (int c = 3; c <= 5; ++c) {
        const std::string first = g.Cells(c - 3, r);  // already doubled
        MapCell(g, c, r, [&](int64_t v) {
          int f = 0;
          return TryStrToInt(first, f) && 2 * v == f ? 2 * v : 2 * v - 1;
        });
      }
    }
  }
  MapColumns(t.sgVoltage, 0, 5, dblMinus1);
  MapColumns(t.sgFarPoints, 0, 2, dblMinus1);
  for (StringGrid* g : {t.sgResistors, t.sgRazraydnic, t.sgCapacitors, t.sgSourses, t.sgInductor})
    MapColumns(g, 0, 2, dbl);

  d.Space = std::move(refined);
  d.UndoSpace = std::move(undo);
  SetGridSize(d, s.spX, s.spY, s.spZ);
  d.Dx = dx / 2;
  d.Dy = dy / 2;
  d.Dz = dz / 2;
  d.Modified = 1;
  return true;
}

}  // namespace rv
