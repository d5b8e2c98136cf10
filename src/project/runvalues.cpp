#include "project/runvalues.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "project/mainsettings.h"
#include "project/materialrange.h"
#include "solver/textutils.h"
#include "solver/constants.h"
#include "solver/faces.h"
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
    // A threshold of 0 or below fires the gap at the first step, as a gap does: any 32-bit number.
    {&LampedTables::sgRazraydnic, "Разрядники", "Неверное напряжение пробоя разрядника",
     "Неверная координата разрядника", UsableThreshold},
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
                         "\"" + TextPiece(g.Cells(c, r)) + "\" в столбце «" + g.Cells(c, 0) + "» не целое число");
  const std::string& text = g.Cells(3, r);
  double v = 0;
  if (!TryStrToFloat(text, v))
    return CellRefusal(k, g, 3, r, k.badValue,
                       "\"" + TextPiece(text) + "\" в столбце «" + g.Cells(3, 0) + "» " +
                           (NotNumberReason(text) == OutOfRangeReason ? OutOfRangeReason : "не является числом"));
  if (k.usable && !k.usable(v))
    return CellRefusal(k, g, 3, r, k.badValue, "«" + g.Cells(3, 0) + "» = " + TextPiece(text) + " — " + WhyLumpedValueUnusable(v));
  const std::string dir = UpperCaseText(g.Cells(4, r));
  if (dir.empty() || (dir[0] != 'X' && dir[0] != 'Y' && dir[0] != 'Z'))
    leftOut = "направление \"" + TextPiece(g.Cells(4, r)) + "\" не X, Y или Z";
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

// A row of a lumped table that a run uses (CheckLumpedRows neither refuses nor leaves it
// out): its row, cell, the axis 0..2 of its edge and its value.
struct UsedRow {
  int row = 0;
  int at[3] = {0, 0, 0};
  int axis = 0;
  double value = 0;
};

std::vector<UsedRow> UsedRows(const LumpedKind& k, const StringGrid& g, const SolverData& grid) {
  std::vector<UsedRow> rows;
  for (int r = 1; r < g.RowCount(); ++r) {
    std::string why;
    if (g.Cells(0, r).empty() || ReadRow(k, g, r, grid, why) || !why.empty()) continue;
    UsedRow u;
    u.row = r;
    for (int c = 0; c < 3; ++c) TryStrToInt(g.Cells(c, r), u.at[c]);
    TryStrToFloat(g.Cells(3, r), u.value);
    u.axis = UpperCaseText(g.Cells(4, r))[0] - 'X';
    rows.push_back(u);
  }
  return rows;
}

std::vector<InductorRow> UsedInductorRows(const StringGrid& g, const SolverData& grid) {
  std::vector<InductorRow> rows;
  for (const UsedRow& u : UsedRows(kLumpedKinds[4], g, grid)) {
    InductorRow ir;
    ir.row = u.row;
    ir.site = {u.at[0], u.at[1], u.at[2], u.axis, u.value};
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

// ---- elements and outputs on the planes of the faces

// The element of each lumped table, in the order of kLumpedKinds.
const char* const kElementNames[5] = {"Резистор", "Конденсатор", "Источник напряжения", "Разрядник",
                                      "Индуктивность"};
constexpr size_t kGapKind = 3, kInductorKind = 4;

// The nearest place across an RT-ABC face an element of that kind may take: one cell in,
// an inductor kRTABCFaceReach whole cells between its edge and the face.
int RTABCNearest(size_t kind, bool low, int plane) {
  const int cells = kind == kInductorKind ? kRTABCFaceReach : 1;
  return low ? plane + cells : plane - 1 - cells;
}

// The normal axis (0..2) of a face, and whether it is the face at node 1.
int FaceNormal(int face) {
  return face == FaceX1 || face == FaceXMax ? 0 : face == FaceY1 || face == FaceYMax ? 1 : 2;
}
bool LowFace(int face) { return face == FaceX1 || face == FaceY1 || face == FaceZ1; }

// The condition of a face (a BorderKind); -1 when it has none.
int FaceKind(const SolverData& d, int face) {
  const size_t f = size_t(face);
  const FaceFlags* flags[BorderKindCount] = {&d.PECFace, &d.MurFace, &d.DissipationFace, &d.RTABCFace,
                                             &d.PMLFace, &d.SymEFace, &d.SymHFace};
  for (int k = 0; k < BorderKindCount; ++k)
    if ((*flags[k])[f]) return k;
  return -1;
}

// "грани X=1 с условием "PEC(...)"".
std::string FaceWithKind(const SolverData& d, int face) {
  const int kind = FaceKind(d, face);
  return std::string("грани ") + kFaceNames[face] + " с условием \"" +
         (kind >= 0 ? BorderKindNames()[size_t(kind)] : "") + "\"";
}

// The plane's node index along the face's normal, and that of the first plane inside.
int FacePlane(const SolverData& d, int face) {
  const int n[3] = {d.Nx, d.Ny, d.Nz};
  return LowFace(face) ? 1 : n[FaceNormal(face)];
}
int InnerPlane(const SolverData& d, int face) { return FacePlane(d, face) + (LowFace(face) ? 1 : -1); }

std::string PlaneName(int axis, int index) { return std::string(1, "XYZ"[axis]) + "=" + IntToStr(index); }

// What the face does to the E edges along its plane.
std::string FaceWritesPlane(const SolverData& d, int face) {
  const std::string inner = PlaneName(FaceNormal(face), InnerPlane(d, face));
  switch (FaceKind(d, face)) {
    case BorderPEC: return "на каждом шаге после элементов она их обнуляет";
    case BorderSymE: return "на каждом шаге после элементов она копирует их с плоскости " + inner;
    case BorderSymH:
      return "на каждом шаге после элементов она копирует их с плоскости " + inner + " с обратным знаком";
    case BorderMur: return "на каждом шаге после элементов она пересчитывает их по плоскости " + inner;
    case BorderRTABC: return "на каждом шаге после элементов она пересчитывает их по трем крайним плоскостям";
    case BorderPML: return "на каждом шаге после элементов она записывает в них поле слоя PML";
    case BorderDissipation:
      return "она рассчитывает их перед обновлением E, а элемент заменил бы это значение своим, посчитанным "
             "без поля за гранью, и грань перестала бы там поглощать";
    default: return "";
  }
}

// The cell "(x, y, z)".
std::string CellText(const int (&at)[3]) {
  return "(" + IntToStr(at[0]) + ", " + IntToStr(at[1]) + ", " + IntToStr(at[2]) + ")";
}

RunRefusal FacePlaneRefusal(size_t kind, const StringGrid& g, const UsedRow& u, const SolverData& d, int face) {
  const LumpedKind& k = kLumpedKinds[kind];
  const int normal = FaceNormal(face), plane = FacePlane(d, face), inner = InnerPlane(d, face);
  const bool low = LowFace(face);
  const std::string row = IntToStr(u.row), column = g.Cells(normal, 0), axis(1, "XYZ"[normal]);
  const int kindOf = FaceKind(d, face);
  RunRefusal r;
  r.status = std::string(k.table) + ", строка " + row + ": на плоскости грани " + kFaceNames[face];
  r.text = std::string(kElementNames[kind]) + " в строке " + row + " таблицы «" + k.table + "» лежит на плоскости " +
           FaceWithKind(d, face) + ": ребро " + "XYZ"[u.axis] + " ячейки " + CellText(u.at) +
           " идет вдоль грани, а такие ребра задает сама грань: " + FaceWritesPlane(d, face) +
           (kindOf == BorderDissipation ? "" : ". Элемент там не действует") + kCannotRun +
           "Перенесите элемент внутрь объема: «" + column + "» = " + IntToStr(inner) +
           (low ? " или больше" : " или меньше") + ". " +
           (kindOf == BorderRTABC
                ? "Касаться грани с условием \"" + std::string(BorderKindNames()[BorderRTABC]) +
                      "\" элементу нельзя и поперек нее: ближе всего — направление " + axis + " при «" + column +
                      "» = " + IntToStr(RTABCNearest(kind, low, plane)) + "."
                : "Элемент, который должен касаться грани, ставьте поперек нее: направление " + axis + " при «" +
                      column + "» = " + IntToStr(low ? plane : plane - 1) + ".");
  if (kind == kInductorKind && (kindOf == BorderMur || kindOf == BorderDissipation))
    r.text += " Индуктивности нужно отступить от такой грани дальше (на 4 ячейки при кубических ячейках, на "
              "больше при ячейках, тонких поперек грани): «Пуск» назовет, на сколько.";
  if (kindOf == BorderSymE || kindOf == BorderSymH)
    r.text += " Зеркало грани симметрии лежит посередине между плоскостями " + PlaneName(normal, plane) + " и " +
              PlaneName(normal, inner) + ": плоскость " + PlaneName(normal, plane) + " — отражение плоскости " +
              PlaneName(normal, inner) + ", и элемент на " + PlaneName(normal, inner) +
              " сам получает отражение на " + PlaneName(normal, plane) +
              ". На самом зеркале лежат только ребра поперек грани: так ставят питание диполя, разрезанного "
              "зеркалом поперек оси, при условии \"" + BorderKindNames()[BorderSymH] + "\".";
  r.text += "\nИзмените «" + column + "» или «" + g.Cells(4, 0) + "» в строке " + row + " таблицы «" + k.table +
            "» окна «Сосредоточенные элементы» (меню «Окна»).";
  return r;
}

// An element on an edge across an RT-ABC face from its plane (RTABCFaceTouchedBy).
RunRefusal RTABCTouchRefusal(size_t kind, const StringGrid& g, const UsedRow& u, const SolverData& d, int face) {
  const LumpedKind& k = kLumpedKinds[kind];
  const bool low = LowFace(face);
  const int plane = FacePlane(d, face);
  const std::string row = IntToStr(u.row), column = g.Cells(u.axis, 0);
  RunRefusal r;
  r.status = std::string(k.table) + ", строка " + row + ": касается грани " + kFaceNames[face] + " с условием \"" +
             BorderKindNames()[BorderRTABC] + "\"";
  r.text = std::string(kElementNames[kind]) + " в строке " + row + " таблицы «" + k.table + "» касается " +
           FaceWithKind(d, face) + ": ребро " + "XYZ"[u.axis] + " ячейки " + CellText(u.at) +
           " идет поперек грани от ее плоскости. Грань достраивает свою плоскость по трем крайним плоскостям как "
           "волну, уходящую от грани со скоростью света; элемент на ребре между ними меняет поле там иначе, грань "
           "возвращает его усиленным, и за сотни шагов поле в расчете вырастает без ограничения" + kCannotRun +
           "Перенесите элемент внутрь: «" + column + "» = " + IntToStr(RTABCNearest(kind, low, plane)) +
           (low ? " или больше" : " или меньше") + ", или задайте грани " + kFaceNames[face] +
           " другое условие («Граничные условия» на странице «Гранич. услов.»).\nИзмените «" + column +
           "» в строке " + row + " таблицы «" + k.table + "» окна «Сосредоточенные элементы» (меню «Окна»).";
  return r;
}

// The face that keeps the E edge at zero for the whole run (a PEC face's plane), or 0.
int ZeroingFace(const SolverData& d, int axis, const int (&at)[3]) {
  const int f = FaceWritingEdge(d, axis, at[0], at[1], at[2]);
  return f && d.PECFace[size_t(f)] ? f : 0;
}

// A probe row's kind, direction and cell when the run records it; false otherwise (the
// output set-up reports such rows itself).
bool ReadProbeRow(const StringGrid& g, int r, const SolverData& d, char& kind, int& dir, int (&at)[3]) {
  if (g.Cells(5, r).empty()) return false;
  const std::string k = UpperCaseText(g.Cells(0, r)), a = UpperCaseText(g.Cells(1, r));
  if (k.size() != 1 || std::string("EUIJ").find(k[0]) == std::string::npos) return false;
  if (!a.empty() && (a.size() != 1 || a[0] < 'X' || a[0] > 'Z')) return false;
  kind = k[0];
  dir = a.empty() ? -1 : a[0] - 'X';
  const int n[3] = {d.Nx, d.Ny, d.Nz};
  const bool loop = kind == 'I' || kind == 'J';
  for (int c = 0; c < 3; ++c) {
    const int hi = n[c] - 1 - (loop && c != dir ? 1 : 0);
    if (!TryStrToInt(g.Cells(2 + c, r), at[c]) || at[c] < 1 || at[c] > hi) return false;
  }
  return true;
}

// Why a probe row reads what a face fixes, or "".
std::string ProbeOnFace(const SolverData& d, char kind, int dir, const int (&at)[3]) {
  if (kind == 'E' || kind == 'U') {
    // Without a direction the probe shows the length of E, whose normal part stays.
    const int f = dir >= 0 ? ZeroingFace(d, dir, at) : 0;
    return f ? "ребро вдоль плоскости " + FaceWithKind(d, f) + ", которая его обнуляет: выход весь расчет равен 0" : "";
  }
  // A loop around an edge along a reads H half a cell beyond the cell on both other axes;
  // beyond the plane of a face the grid holds no H (it reads 0). Beyond a PEC face the field
  // is 0 indeed; beyond any other face it is not, and the current is wrong.
  const int low[3] = {FaceX1, FaceY1, FaceZ1};
  for (int a = 0; a < 3; ++a) {
    if (dir >= 0 && a != dir) continue;
    for (int c = 0; c < 3; ++c)
      if (c != a && at[c] == 1 && FaceKind(d, low[c]) != BorderPEC && FaceKind(d, low[c]) >= 0)
        return "часть контура тока лежит за плоскостью " + FaceWithKind(d, low[c]) +
               ", где сетка не хранит H (там 0): значение тока неверно";
  }
  return "";
}

// The face that zeroes every edge a voltage line sums, or 0 (also for a line of no edges).
int LineZeroedBy(const SolverData& d, const int (&p)[6]) {
  int face = 0;
  bool any = false;
  auto edge = [&](int axis, int i, int j, int k) {
    const int at[3] = {i, j, k};
    const int f = ZeroingFace(d, axis, at);
    if (!face) face = f;
    any = true;
    return f != 0;
  };
  // The legs LineVoltage sums: along x at (Y1, Z1), along y at (X2, Z1), along z at (X2, Y2).
  for (int i = std::min(p[0], p[3]); i < std::max(p[0], p[3]); ++i)
    if (!edge(0, i, p[1], p[2])) return 0;
  for (int j = std::min(p[1], p[4]); j < std::max(p[1], p[4]); ++j)
    if (!edge(1, p[3], j, p[2])) return 0;
  for (int k = std::min(p[2], p[5]); k < std::max(p[2], p[5]); ++k)
    if (!edge(2, p[3], p[4], k)) return 0;
  return any ? face : 0;
}

RunRefusal FaceReachRefusal(const InductorRow& ir, const InductorBound& b, const SolverData& grid,
                             const StringGrid& g) {
  const size_t f = size_t(b.Face);
  const int kind = grid.MurFace[f] ? BorderMur : grid.DissipationFace[f] ? BorderDissipation : BorderRTABC;
  const std::string row = IntToStr(ir.row), face = kFaceNames[f];
  RunRefusal r;
  r.status = "Индуктивности, строка " + row + ": слишком близко к грани " + face;
  r.text = "Индуктивность в строке " + row + " таблицы «Индуктивности» слишком близко к грани " + face +
           " с условием \"" + BorderKindNames()[size_t(kind)] + "\": " +
           (b.FaceCells > 0 ? "между ее ребром и гранью " + CellsNominative(b.FaceCells)
                            : std::string("ее ребро упирается в грань")) +
           ", а нужно не меньше " + CellsGenitive(b.NeedCells) + " при любой «" + g.Cells(3, 0) + "»" +
           ". Такая грань достраивает поле по соседним "
           "плоскостям как волну, уходящую от грани; ближнее поле индуктивности — не такая волна, грань возвращает его "
           "чуть усиленным, и за десятки тысяч шагов поле в расчете вырастает без ограничения. Работа невозможна!\n" +
           "Отодвиньте индуктивность от грани (столбцы «X», «Y», «Z» в строке " + row +
           " таблицы «Индуктивности» окна «Сосредоточенные элементы», меню «Окна») или задайте грани " + face +
           " условие \"" + BorderKindNames()[BorderPML] + "\" («Граничные условия» на странице «Гранич. услов.»).";
  return r;
}

// A step right under its limit with Mur's faces (InductorBound::StepShare).
RunRefusal MurStepRefusal(const InductorRow& ir, const InductorBound& b, const SolverData& grid, double stepSec) {
  int face = 0;
  for (int f = 1; f <= 6 && !face; ++f)
    if (grid.MurFace[size_t(f)]) face = f;
  const double stepNs = stepSec * 1e9, limitNs = stepNs / b.StepShare;
  // Four digits, rounded down, so the step typed stays at or below the share.
  const double e = std::pow(10.0, std::floor(std::log10(limitNs * kMurInductorStepShare)) - 3);
  const double upTo = std::floor(limitNs * kMurInductorStepShare / e) * e;
  const std::string row = IntToStr(ir.row);
  RunRefusal r;
  const std::string mur = std::string("\"") + BorderKindNames()[BorderMur] + "\"";
  r.status = "Индуктивности, строка " + row + ": шаг по времени у самого предела при условии " + mur;
  r.text = "Индуктивность в строке " + row + " таблицы «Индуктивности» стоит в расчете с условием " + mur +
           " на грани " + kFaceNames[face] + ", а шаг по времени " + FormatGeneral(stepNs, 15) + " нс — " +
           FormatGeneral(b.StepShare, 6) + " предела устойчивости " + FormatGeneral(limitNs, 9) +
           " нс. У самого предела сетка держит поле, которое меняет знак каждый шаг и не бежит к граням; грани " + mur +
           " его не выводят, а индуктивность раскачивает, и поле в расчете растет без ограничения. При шаге не больше " +
           FormatGeneral(kMurInductorStepShare, 6) + " предела это поле уходит" + kCannotRun +
           "Уменьшите «Шаг по времени, нс:» на странице «Геометрия» до " + FormatGeneral(upTo, 4) +
           " нс или меньше, или задайте граням с условием " + mur +
           " другое условие («Граничные условия» на странице «Гранич. услов.»).";
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
           ", или уменьшите шаг по времени (вдвое меньший шаг снижает предел L в 4-8 раз), или уменьшите ячейки вместе с "
           "шагом.\nИзмените «" + column + "» в строке " + row + " таблицы «Индуктивности» окна «Сосредоточенные "
           "элементы» (меню «Окна») или «Шаг по времени, нс:» и «Размер ячейки, м:» на странице «Геометрия».";
  return r;
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

namespace {

// The rows of the five tables a run uses as records with their cells and directions (the
// records of other rows keep X = 0), in the run's arrays, record r from row r + 1.
ElementArrays UsedRowEdges(const LampedTables& t, const SolverData& d) {
  ElementArrays a;
  auto fill = [&](const LumpedKind& k, auto& recs) {
    const StringGrid& g = t.*k.grid;
    recs.resize(size_t(g.RowCount() > 1 ? g.RowCount() - 1 : 0));
    for (const UsedRow& u : UsedRows(k, g, d)) {
      auto& rec = recs[size_t(u.row - 1)];
      rec.X = u.at[0];
      rec.Y = u.at[1];
      rec.Z = u.at[2];
      rec.Dir = char('X' + u.axis);
    }
  };
  fill(kLumpedKinds[3], a.SparkGaps);
  fill(kLumpedKinds[2], a.VoltageSources);
  fill(kLumpedKinds[0], a.Resistors);
  fill(kLumpedKinds[1], a.Capacitors);
  fill(kLumpedKinds[4], a.Inductors);
  return a;
}

}  // namespace

RunRefusal SharedGapEdgeRefusal(const LampedTables& t, const SolverData& d) {
  const ElementArrays a = UsedRowEdges(t, d);
  const LumpedClash c = FindLumpedClash(d, a);
  if (!c) return {};
  // By the solver's kinds: the table, and the element after "с".
  const int table[5] = {3, 2, 0, 1, 4};
  const char* const with[5] = {"разрядником", "источником напряжения", "резистором", "конденсатором",
                               "индуктивностью"};
  const tSparkGap& gap = a.SparkGaps[size_t(c.Gap)];
  const std::string row = IntToStr(c.Gap + 1), other = IntToStr(c.Record + 1);
  const std::string otherTable = kLumpedKinds[table[c.Kind]].table;
  RunRefusal f;
  f.status = "Разрядники, строка " + row + ": на одном ребре со строкой " + other + " таблицы «" + otherTable + "»";
  f.text = "Разрядник в строке " + row + " таблицы «Разрядники» стоит на одном ребре с " + with[c.Kind] +
           " в строке " + other + " таблицы «" + otherTable + "» (ячейка (" + IntToStr(gap.X) + ", " +
           IntToStr(gap.Y) + ", " + IntToStr(gap.Z) + "), направление " + std::string(1, gap.Dir) +
           "): разрядник должен быть на ребре один — его пробой определен только для ребра без других "
           "элементов" + kCannotRun +
           "Перенесите один из них на другое ребро или удалите его строку в окне «Сосредоточенные элементы» "
           "(меню «Окна»).";
  return f;
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
  if (b.StepShare > 0) return MurStepRefusal(rows[size_t(b.Site)], b, grid, stepSec);
  if (b.Face) return FaceReachRefusal(rows[size_t(b.Site)], b, grid, t.sgInductor);
  return LowInductanceRefusal(rows, b, t.sgInductor, dx, dy, dz, stepSec);
}

RunRefusal ElementOnFacePlaneRefusal(const LampedTables& t, const SolverData& d) {
  for (size_t k = 0; k < std::size(kLumpedKinds); ++k) {
    const StringGrid& g = t.*kLumpedKinds[k].grid;
    for (const UsedRow& u : UsedRows(kLumpedKinds[k], g, d)) {
      if (const int f = FaceWritingEdge(d, u.axis, u.at[0], u.at[1], u.at[2])) return FacePlaneRefusal(k, g, u, d, f);
      // A spark gap there stays bounded: unfired it is vacuum, fired it holds its edge at 0.
      if (k == kGapKind) continue;
      if (const int t = RTABCFaceTouchedBy(d, u.axis, u.at[0], u.at[1], u.at[2]))
        return RTABCTouchRefusal(k, g, u, d, t);
    }
  }
  return {};
}

std::string OutputsOnFacePlanesWarning(const OutPointTables& t, const SolverData& d) {
  std::string lines;
  const StringGrid& p = t.sgOutPoint;
  for (int r = 1; r < p.RowCount(); ++r) {
    char kind = 0;
    int dir = -1, at[3];
    if (!ReadProbeRow(p, r, d, kind, dir, at)) continue;
    const std::string why = ProbeOnFace(d, kind, dir, at);
    if (!why.empty())
      lines += "\n«Одиночные точки», строка " + IntToStr(r) + " (" + kind +
               (dir >= 0 ? std::string(1, char('x' + dir)) : "") + " в ячейке " + CellText(at) + "): " + why + ".";
  }
  const StringGrid& v = t.sgVoltage;
  for (int r = 1; r < v.RowCount(); ++r) {
    if (v.Cells(6, r).empty()) continue;
    int c[6];
    bool ok = true;
    const int n[3] = {d.Nx, d.Ny, d.Nz};
    for (int a = 0; a < 6 && ok; ++a) ok = TryStrToInt(v.Cells(a, r), c[a]) && c[a] >= 1 && c[a] <= n[a % 3] - 1;
    if (!ok) continue;
    if (const int f = LineZeroedBy(d, c))
      lines += "\n«Разности потенциалов», строка " + IntToStr(r) + ": все ребра линии лежат на плоскости " +
               FaceWithKind(d, f) + ", которая их обнуляет: напряжение весь расчет равно 0.";
  }
  if (lines.empty()) return "";
  return "Предупреждение: эти выходы читают поле, которое задает грань, а не расчет внутри объема:" + lines +
         "\nЧтобы они показывали поле объема, перенесите их внутрь (окно «Точки вывода», меню «Окна»).";
}

}  // namespace rv
