#include "project/runvalues.h"

#include <cmath>

#include "project/mainsettings.h"
#include "project/materialrange.h"
#include "solver/constants.h"
#include "solver/lumped.h"
#include "solver/numtext.h"

namespace rv {

namespace {

// One lumped-element table: its tab in the window «Сосредоточенные элементы», the first
// words of the messages on a bad value and a bad coordinate, and the rule for its value
// (none: any number).
struct LumpedKind {
  StringGrid LampedTables::*grid;
  const char* table;
  const char* badValue;
  const char* badCoordinate;
  bool (*usable)(double);
};

const LumpedKind kLumpedKinds[] = {
    {&LampedTables::sgResistors, "Резисторы", "Неверное сопротивление резистора",
     "Неверная координата резистора", UsableResistance},
    {&LampedTables::sgCapacitors, "Конденсаторы", "Неверная емкость конденсатора",
     "Неверная координата конденсатора", UsableCapacitance},
    {&LampedTables::sgSourses, "Источники", "Неверное внутреннее сопротивление источника напряжения",
     "Неверная координата источника напряжения", UsableResistance},
    // A threshold of 0 or below fires the gap at the first step, as a gap does: any number.
    {&LampedTables::sgRazraydnic, "Разрядники", "Неверное напряжение пробоя разрядника",
     "Неверная координата разрядника", nullptr},
    {&LampedTables::sgInductor, "Индуктивности", "Неверная индуктивность",
     "Неверная координата индуктивности", UsableInductance},
};

constexpr const char* kCannotRun = ". Работа невозможна!\n";

// The refusal of one cell of a lumped table.
RunRefusal CellRefusal(const LumpedKind& k, const StringGrid& g, int c, int r, const char* what,
                       const std::string& detail) {
  const std::string row = IntToStr(r), column = g.Cells(c, 0);
  RunRefusal f;
  f.status = std::string(k.table) + ", строка " + row + (c < 3 ? ": неверная координата «" : ": неверное значение «") +
             column + "»";
  f.text = std::string(what) + " в строке " + row + " таблицы «" + k.table + "»: " + detail + kCannotRun +
           "Измените «" + column + "» в строке " + row + " таблицы «" + k.table +
           "» окна «Сосредоточенные элементы» (меню «Окна»).";
  return f;
}

// Reads row r of a lumped table: a refusal, a reason the run leaves it out, or neither.
RunRefusal ReadRow(const LumpedKind& k, const StringGrid& g, int r, const SolverData& d,
                   std::string& leftOut) {
  bool blank = true;
  for (int c = 0; c < g.ColCount(); ++c) blank = blank && g.Cells(c, r).empty();
  if (blank) return {};
  if (g.Cells(0, r).empty()) {
    leftOut = "не задана координата X";
    return {};
  }
  int xyz[3] = {0, 0, 0};
  for (int c = 0; c < 3; ++c)
    if (!TryStrToInt(g.Cells(c, r), xyz[c]))
      return CellRefusal(k, g, c, r, k.badCoordinate,
                         "\"" + g.Cells(c, r) + "\" в столбце «" + g.Cells(c, 0) + "» не целое число");
  const std::string& text = g.Cells(3, r);
  double v = 0;
  if (!TryStrToFloat(text, v))
    return CellRefusal(k, g, 3, r, k.badValue,
                       "\"" + text + "\" в столбце «" + g.Cells(3, 0) + "» не является числом");
  if (k.usable && !k.usable(v))
    return CellRefusal(k, g, 3, r, k.badValue, "«" + g.Cells(3, 0) + "» = " + text + " — " + WhyLumpedValueUnusable(v));
  const std::string dir = UpperCaseText(g.Cells(4, r));
  if (dir.empty() || (dir[0] != 'X' && dir[0] != 'Y' && dir[0] != 'Z'))
    leftOut = "направление \"" + g.Cells(4, r) + "\" не X, Y или Z";
  else if (!LumpedCellInside(d, xyz[0], xyz[1], xyz[2]))
    leftOut = "ячейка (" + IntToStr(xyz[0]) + ", " + IntToStr(xyz[1]) + ", " + IntToStr(xyz[2]) +
              ") вне счетного объема";
  return {};
}

// A column of the materials window, the run's rule for its value and the box on the page
// «Геометрия» under which the run uses it (none: always).
struct MaterialField {
  double tLayer::*value;
  const char* column;
  bool zeroAllowed;
  const char* rule;
  const char* box;
};

const MaterialField kMaterialFields[] = {
    {&tLayer::EpsStatic, "Диэл.пр.(f=0)", false, "диэлектрическая проницаемость должна быть больше 0",
     nullptr},
    {&tLayer::Sigma, "Провод-сть(См/м)", true,
     "проводимость не может быть отрицательной: такой материал отдает энергию, и поле в расчете "
     "растет без ограничения",
     nullptr},
    {&tLayer::Mu, "Магн. пр.", false, "магнитная проницаемость должна быть больше 0", "Магнитные материалы"},
    {&tLayer::EpsInf, "Диэл.пр.(f=~)", false, "проницаемость на бесконечной частоте должна быть больше 0",
     "Полярные диэлектрики (дисперсия Дебая)"},
    {&tLayer::Tau, "T релакс, с", true, "время релаксации не может быть отрицательным",
     "Полярные диэлектрики (дисперсия Дебая)"},
    {&tLayer::Density, "Плотн, (кг/м3)", false, "плотность должна быть больше 0: на нее делится SAR",
     "Вычислять поглощенную мощность и SAR"},
};

// Whether the run uses field f of material L.
bool Used(const MaterialField& f, const tLayer& L, MaterialUse use) {
  if (f.value == &tLayer::Mu) return use.magnetic;
  if (f.value == &tLayer::Tau) return use.polar;
  if (f.value == &tLayer::EpsInf) return use.polar && L.Tau > 0 && L.EpsInf != L.EpsStatic;
  if (f.value == &tLayer::Density) return use.sar;
  return true;
}

// ---- the inductors' bound

// An inductor row a run uses: its row, and the site it gives.
struct InductorRow {
  int row = 0;
  InductorSite site;
};

std::vector<InductorRow> UsedInductorRows(const StringGrid& g, const SolverData& grid) {
  const LumpedKind& k = kLumpedKinds[4];
  std::vector<InductorRow> rows;
  for (int r = 1; r < g.RowCount(); ++r) {
    std::string why;
    if (g.Cells(0, r).empty() || ReadRow(k, g, r, grid, why) || !why.empty()) continue;
    InductorRow ir;
    ir.row = r;
    TryStrToInt(g.Cells(0, r), ir.site.X);
    TryStrToInt(g.Cells(1, r), ir.site.Y);
    TryStrToInt(g.Cells(2, r), ir.site.Z);
    TryStrToFloat(g.Cells(3, r), ir.site.L);
    ir.site.Axis = UpperCaseText(g.Cells(4, r))[0] - 'X';
    rows.push_back(ir);
  }
  return rows;
}

// The least permittivity and permeability of the media in use, 1 when none is below.
std::pair<double, double> SlowestMediaFactors(const std::array<tLayer, MaxLayers>& layers,
                                              const std::array<int32_t, MaxLayers - 1>& counts, MaterialUse use) {
  double eps = 1, mu = 1;
  for (int m = 1; m < MaxLayers; ++m) {
    const tLayer& L = layers[size_t(m)];
    if (counts[size_t(m) - 1] <= 0 || !L.On) continue;
    eps = std::min(eps, L.EpsStatic);
    if (Used(kMaterialFields[3], L, use)) eps = std::min(eps, L.EpsInf);
    if (use.magnetic) mu = std::min(mu, L.Mu);
  }
  return {eps, mu};
}

// A value shown to be typed back: 4 digits, never below v.
std::string AtLeast(double v) { return FormatGeneral(v * (1 + 1e-3), 4); }

// "N ячеек" as a subject and after "не меньше".
std::string CellsNominative(int n) {
  const int t = n % 100, u = n % 10;
  return IntToStr(n) + (t / 10 != 1 && u == 1 ? " ячейка" : t / 10 != 1 && u >= 2 && u <= 4 ? " ячейки" : " ячеек");
}
std::string CellsGenitive(int n) { return IntToStr(n) + (n % 100 != 11 && n % 10 == 1 ? " ячейки" : " ячеек"); }

std::string RowList(const std::vector<int>& rows) {
  std::string s;
  for (size_t i = 0; i < rows.size(); ++i) s += (i ? ", " : "") + IntToStr(rows[i]);
  return s;
}

const char* const kFaceNames[7] = {"", "Y=1", "Y=max", "Z=max", "Z=1", "X=max", "X=1"};

RunRefusal FaceReachRefusal(const InductorRow& ir, const InductorBound& b, const SolverData& grid) {
  const size_t f = size_t(b.Face);
  const int kind = grid.MurFace[f] ? BorderMur : grid.DissipationFace[f] ? BorderDissipation : BorderRTABC;
  const std::string row = IntToStr(ir.row), face = kFaceNames[f];
  RunRefusal r;
  r.status = "Индуктивности, строка " + row + ": слишком близко к грани " + face;
  r.text = "Индуктивность в строке " + row + " таблицы «Индуктивности» слишком близко к грани " + face +
           " с условием \"" + BorderKindNames()[size_t(kind)] + "\": " +
           (b.FaceCells > 0 ? "между ее ребром и гранью " + CellsNominative(b.FaceCells) : "ее ребро лежит на грани") +
           ", а нужно не меньше " + CellsGenitive(b.NeedCells) + ". Такая грань достраивает поле по соседним "
           "плоскостям, и рядом с индуктивностью поле в расчете растет без ограничения. Работа невозможна!\n" +
           "Отодвиньте индуктивность от грани (столбцы «X», «Y», «Z» в строке " + row +
           " таблицы «Индуктивности» окна «Сосредоточенные элементы», меню «Окна») или задайте грани " + face +
           " условие \"" + BorderKindNames()[BorderPML] + "\" («Граничные условия» на странице «Гранич. услов.»).";
  return r;
}

RunRefusal LowInductanceRefusal(const std::vector<InductorRow>& rows, const InductorBound& b, const StringGrid& g,
                                double dx, double dy, double dz, double stepSec) {
  const InductorRow& ir = rows[size_t(b.Site)];
  const std::string row = IntToStr(ir.row), column = g.Cells(3, 0);
  std::vector<int> near;
  for (const int j : b.Near) near.push_back(rows[size_t(j)].row);
  std::string company;
  if (!near.empty()) company = (near.size() == 1 ? " рядом с индуктивностью в строке " : " рядом с индуктивностями в строках ") + RowList(near);
  if (b.Mirrored) company += std::string(near.empty() ? "" : " и") + " с ее отражением в гранях симметрии";
  RunRefusal r;
  r.status = "Индуктивности, строка " + row + ": «" + column + "» ниже предела устойчивости";
  r.text = "Индуктивность в строке " + row + " таблицы «Индуктивности»: «" + column + "» = " + g.Cells(3, ir.row) +
           " меньше предела устойчивости " + AtLeast(b.MinL) + " Гн" + company + " при ячейке " +
           FormatGeneral(dx, 15) + " x " + FormatGeneral(dy, 15) + " x " + FormatGeneral(dz, 15) +
           " м и шаге по времени " + FormatGeneral(stepSec * 1e9, 15) + " нс" +
           (company.empty() ? "" : " (одна она допускала бы " + AtLeast(b.AloneMinL) + " Гн)") +
           ": с меньшей L поле в расчете растет без ограничения. Работа невозможна!\n" +
           "Увеличьте L до " + AtLeast(b.MinL) + " Гн или больше" + (near.empty() ? "" : " (или L соседних строк)") +
           ", или уменьшите шаг по времени (предел L убывает почти как квадрат шага), или уменьшите ячейки вместе с "
           "шагом.\nИзмените «" + column + "» в строке " + row + " таблицы «Индуктивности» окна «Сосредоточенные "
           "элементы» (меню «Окна») или «Шаг по времени, нс:» и «Размер ячейки, м:» на странице «Геометрия».";
  return r;
}

}  // namespace

std::string WhyLumpedValueUnusable(double v) {
  return v == 0 ? "на ноль уравнение элемента делит, и поле заполнится бесконечностями"
                : "элемент с отрицательным значением отдает энергию, и поле в расчете растет без "
                  "ограничения";
}

LumpedRowsCheck CheckLumpedRows(const LampedTables& t, const SolverData& d) {
  LumpedRowsCheck check;
  for (const LumpedKind& k : kLumpedKinds) {
    const StringGrid& g = t.*k.grid;
    const bool sources = k.grid == &LampedTables::sgSourses;
    for (int r = 1; r < g.RowCount(); ++r) {
      std::string why;
      RunRefusal f = ReadRow(k, g, r, d, why);
      if (f && !check.refusal) check.refusal = std::move(f);
      if (f) continue;
      const std::string line = std::string(k.table) + ", строка " + IntToStr(r) + ": " + why;
      if (!why.empty()) {
        check.leftOut += "\n" + line;
        if (sources) check.sourcesLeftOut += "\n" + line;
      } else if (sources && !g.Cells(0, r).empty()) {
        ++check.sourcesUsed;
      }
    }
  }
  return check;
}

std::string RowsLeftOutQuestion(const LumpedRowsCheck& check) {
  return "Эти строки сосредоточенных элементов не войдут в расчет:" + check.leftOut +
         "\nЧтобы они вошли в расчет, измените их в окне «Сосредоточенные элементы» (меню «Окна»)."
         "\nНачать расчет без них?";
}

RunRefusal MaterialValueRefusal(const std::array<tLayer, MaxLayers>& layers,
                                const std::array<int32_t, MaxLayers - 1>& cellCounts, MaterialUse use) {
  for (int m = 1; m < MaxLayers; ++m) {
    const tLayer& L = layers[size_t(m)];
    if (cellCounts[size_t(m) - 1] <= 0 || !L.On) continue;
    for (const MaterialField& f : kMaterialFields) {
      const double v = L.*f.value;
      const bool signOk = !Used(f, L, use) || v > 0 || (f.zeroAllowed && v == 0);
      const std::string range = signOk ? MaterialRangeFault(f.value, v, use) : "";
      if (signOk && range.empty()) continue;
      const std::string column = std::string("«") + f.column + "»", number = IntToStr(m);
      RunRefusal r;
      r.status = "Материал " + number + ": недопустимое значение " + column;
      r.text = "Материал " + number + " \"" + L.Name + "\": " + column + " = " + FormatGeneral(v, 15) +
               " — " + (signOk ? range : f.rule) +
               kCannotRun + "Измените " + column + " в строке " + number +
               " окна материалов (меню «Окна» → «Материалы»)" +
               (f.box ? std::string(" или снимите флажок «") + f.box + "» на странице «Геометрия»" : "") + ".";
      return r;
    }
  }
  return {};
}

RunRefusal InductorBoundRefusal(const LampedTables& t, const SolverData& grid, double dx, double dy, double dz,
                                double stepSec, const std::array<tLayer, MaxLayers>& layers,
                                const std::array<int32_t, MaxLayers - 1>& cellCounts, MaterialUse use) {
  const std::vector<InductorRow> rows = UsedInductorRows(t.sgInductor, grid);
  if (rows.empty()) return {};
  InductorGrid g = InductorGridOf(grid);
  g.Dx = dx; g.Dy = dy; g.Dz = dz;
  g.TimeStep = stepSec * double(LightSpeed);
  std::tie(g.EpsMin, g.MuMin) = SlowestMediaFactors(layers, cellCounts, use);
  std::vector<InductorSite> sites;
  for (const InductorRow& r : rows) sites.push_back(r.site);
  const InductorBound b = CheckInductorStability(g, sites);
  if (b.Site < 0) return {};
  if (b.Face) return FaceReachRefusal(rows[size_t(b.Site)], b, grid);
  return LowInductanceRefusal(rows, b, t.sgInductor, dx, dy, dz, stepSec);
}

}  // namespace rv
