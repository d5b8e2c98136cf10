#include "project/runvalues.h"

#include <cmath>

#include "project/materialrange.h"
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

// Why a number the element's rule refuses cannot be used.
std::string WhyUnusable(double v) {
  return v == 0 ? "на ноль уравнение элемента делит, и поле заполнится бесконечностями"
                : "элемент с отрицательным значением отдает энергию, и поле в расчете растет без "
                  "ограничения";
}

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
    return CellRefusal(k, g, 3, r, k.badValue, "«" + g.Cells(3, 0) + "» = " + text + " — " + WhyUnusable(v));
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

}  // namespace

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

}  // namespace rv
