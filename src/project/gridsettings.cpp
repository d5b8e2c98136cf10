#include "project/gridsettings.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "boundaries/farfield.h"
#include "boundaries/pml.h"
#include "project/borderdecode.h"
#include "solver/textutils.h"
#include "solver/constants.h"
#include "solver/numtext.h"
#include "solver/resultpaths.h"

namespace rv {

namespace {

constexpr double MB = 1048576.0;

// Whole number with a blank between groups of three digits.
std::string WithThousands(int64_t v) {
  std::string digits = IntToStr(v < 0 ? -v : v);
  std::string out;
  const int n = int(digits.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ' ';
    out += digits[size_t(i)];
  }
  return v < 0 ? "-" + out : out;
}

// A typed text quoted in a message: long ones are cut, never inside a UTF-8 character.
std::string CutQuote(const std::string& text) {
  constexpr size_t Longest = 40;
  if (text.size() <= Longest) return text;
  size_t n = Longest;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n) + "…";
}

}  // namespace

std::string CellSizeRefusal(char axis, const std::string& text) {
  double v = 0;
  const std::string head = std::string("по ") + axis + " = \"" + CutQuote(text) + "\" — ";
  if (!TryStrToFloat(text, v)) return head + NotNumberReason(text);
  if (!(v > 0)) return head + "не больше 0";
  return "";
}

std::string TimeStepRefusal(const std::string& text) {
  double v = 0;
  const std::string head = "«Шаг по времени, нс:» = \"" + CutQuote(text) + "\" — ";
  if (!TryStrToFloat(text, v)) return head + NotNumberReason(text);
  if (!(v > 0)) return head + "не больше 0";
  return "";
}

MemoryEstimate EstimateMemory(const MainSettings& s, int farPointRows) {
  MemoryEstimate m;
  const int64_t A = int64_t(s.spX) + 1, B = int64_t(s.spY) + 1, C = int64_t(s.spZ) + 1;
  const int64_t a = s.spX, b = s.spY, c = s.spZ;
  const int64_t N = s.sePMLCount;
  const auto& cb = s.ComboBox;

  m.GridMemory = A * b * c + a * B * c + a * b * C + a * B * C + A * b * C + A * B * c;
  if (s.cbBioMaterals) m.GridMemory += 3 * A * B * C;
  if (s.cbMagneticMaterals) m.GridMemory += A * B * C;

  if (s.cbEnergy) m.SARMemory = 3 * A * B * C + a * B * C + A * b * C + A * B * c;

  const int64_t S = B * c + b * C + A * c + a * C + A * b + a * B;
  if (AnyBorder(cb, BorderMur)) m.BorderMemory = 2 * S;
  if (AnyBorder(cb, BorderRTABC)) m.BorderMemory += 12 * S + 4 * S;
  if (AnyBorder(cb, BorderPML)) {
    m.BorderMemory += 12 * N;
    auto pml = [&](int face) { return cb[size_t(face - 1)] == BorderPML; };
    int64_t cells = 0;
    for (int f : {1, 2}) if (pml(f)) cells += A * N * C;
    for (int f : {3, 4}) if (pml(f)) cells += A * B * N;
    for (int f : {5, 6}) if (pml(f)) cells += N * B * C;
    const int edgesX[4][2] = {{1, 3}, {1, 4}, {2, 3}, {2, 4}};
    const int edgesY[4][2] = {{3, 6}, {3, 5}, {4, 5}, {4, 6}};
    const int edgesZ[4][2] = {{1, 5}, {1, 6}, {2, 5}, {2, 6}};
    for (auto& e : edgesX) if (pml(e[0]) && pml(e[1])) cells += A * N * N;
    for (auto& e : edgesY) if (pml(e[0]) && pml(e[1])) cells += N * B * N;
    for (auto& e : edgesZ) if (pml(e[0]) && pml(e[1])) cells += N * N * C;
    const int corners[8][3] = {{2, 3, 5}, {2, 3, 6}, {1, 3, 5}, {2, 4, 5},
                               {1, 3, 6}, {2, 4, 6}, {1, 4, 5}, {1, 4, 6}};
    for (auto& k : corners)
      if (pml(k[0]) && pml(k[1]) && pml(k[2])) cells += N * N * N;
    m.BorderMemory += 12 * cells;
  }

  m.ModelMemory = 2 * (A + 1) * (B + 1) * (C + 1);

  if (s.cbFarPoints || s.cbFarDiagram) {
    // A box whose maximum lies below its minimum is refused at run start; it counts as empty.
    // A receiver holds its tables (as the far field lays them out) and up to six series.
    const FarBox box{s.spFarXmin, s.spFarXmax, s.spFarYmin, s.spFarYmax, s.spFarZmin, s.spFarZmax};
    m.FarPointMemory = FarPointTableValues(box) + 6 * int64_t(s.seStepCount);
    if (s.cbFarPoints) m.FarMemory = int64_t(std::max(0, farPointRows)) * m.FarPointMemory;
    if (s.cbFarDiagram)
      for (bool on : {s.cbPX, s.cbPY, s.cbPZ})
        if (on) m.FarMemory += int64_t(s.edFarStep) * m.FarPointMemory;
    // and once, what the receivers share (the face cells and the rows gathered each step)
    if (m.FarMemory > 0) m.FarMemory += FarSharedValues(box, s.cbCalcFarH && s.cbFarPoints);
  }

  m.MemoryNeed =
      double(m.GridMemory + m.BorderMemory + m.SARMemory + m.FarMemory) * FloatSize +
      double(m.ModelMemory) + 1.5e7;
  return m;
}

double StabilityLimit(double dx, double dy, double dz) {
  if (dx == 0 || dy == 0 || dz == 0) return 0;
  const long double r = 1.0L / std::sqrt(1.0L / ((long double)dx * dx) +
                                         1.0L / ((long double)dy * dy) +
                                         1.0L / ((long double)dz * dz));
  return double(r / (long double)LightSpeed);
}

bool WithinStabilityLimit(double dtNs, double limitSec) {
  return dtNs <= limitSec * 1e9 * (1 + 1e-14);
}

GridSettingsView ComputeGridSettings(const MainSettings& s, double epsMax, int farPointRows) {
  GridSettingsView v;
  double dx = 0, dy = 0, dz = 0;
  const std::string* texts[3] = {&s.edX, &s.edY, &s.edZ};
  double* sizes[3] = {&dx, &dy, &dz};
  for (int i = 0; i < 3; ++i) {
    v.sizeRefusals[size_t(i)] = CellSizeRefusal(char('X' + i), *texts[i]);
    TryStrToFloat(*texts[i], *sizes[i]);
  }
  // Each size a number, but the cell's volume beyond the number range: the largest is named.
  if (v.sizeRefusals == std::array<std::string, 3>{} && !std::isfinite(dx * dy * dz)) {
    const int i = int(std::max_element(sizes, sizes + 3, [](double* a, double* b) { return *a < *b; }) - sizes);
    v.sizeRefusals[size_t(i)] = std::string("по ") + char('X' + i) + " = \"" + CutQuote(*texts[i]) +
                                "\" — объем ячейки вне диапазона чисел";
  }
  if (v.sizeRefusals != std::array<std::string, 3>{}) {
    std::string axes;
    for (int i = 0; i < 3; ++i)
      if (!v.sizeRefusals[size_t(i)].empty()) axes += std::string(axes.empty() ? "" : ", ") + char('X' + i);
    v.lbSummary = "Ошибка в размере ячейки по " + axes;
    v.lbKurant = "Предел устойчивости не вычислен: неверный размер ячейки";
    return v;
  }
  v.sizesOk = true;
  v.Dx = dx;
  v.Dy = dy;
  v.Dz = dz;

  double dt = StabilityLimit(dx, dy, dz);
  v.rtabc = AnyBorder(s.ComboBox, BorderRTABC);
  if (v.rtabc) dt = dx / 2 / double(LightSpeed);
  v.dtSec = dt;
  v.eddT = FormatGeneral(dt * 1e9, 15);
  // The limit with the digits of the step beside it: a step at the limit reads as equal.
  v.lbKurant = (v.rtabc ? "Для RT-ABC: = " : "По условию устойчивости: <= ") + v.eddT;

  auto side = [](int cells, double d) { return FormatGeneral((cells - 1) * d, 3, 3); };
  v.lbSummary = "Объем: (" + side(s.spX, dx) + " х " + side(s.spY, dy) + " х " + side(s.spZ, dz) + ") м";

  v.mem = EstimateMemory(s, farPointRows);
  v.lbMemory = "Счетный регион: " + FormatFixed(FloatSize / MB * double(v.mem.GridMemory), 15, 3) + " МБ";
  v.lbBordersMem = "Границы: " + FormatFixed(FloatSize / MB * double(v.mem.BorderMemory), 15, 3) + " МБ";
  v.lbMemory1 = "Объект:     " + FormatFixed(double(v.mem.ModelMemory) / MB, 15, 3) + " МБ";
  v.lbFarMem = "Дальнее поле:     " + FormatFixed(FloatSize * double(v.mem.FarMemory) / MB, 15, 3) + " МБ";
  v.lbTotal = "Количество ячеек: " +
              WithThousands(int64_t(s.spX) * int64_t(s.spY) * int64_t(s.spZ)) + " шт.";
  v.lbTop = "Приблизительно нужно: " + IntToStr((long long)std::floor(v.mem.MemoryNeed / MB) + 1) + " МБ";

  const double maxD = std::max({dx, dy, dz});
  const double eps = std::max(1.0, epsMax);
  v.lbMaxFreq = FormatFixed(300.0 / (std::sqrt(eps) * maxD * 20.0), 15, 2);
  return v;
}

double MaxStaticPermittivity(const SolverData& d, int layerCount) {
  double eps = 1.0;
  const int n = std::min(layerCount, MaxLayers - 1);
  for (int m = 1; m <= n; ++m)
    if (d.Layers[size_t(m)].On && d.Layers[size_t(m)].EpsStatic > eps) eps = d.Layers[size_t(m)].EpsStatic;
  return eps;
}

void ApplyGridToSolver(const GridSettingsView& v, const MainSettings& s, SolverData& d) {
  SetGridSize(d, std::max(1, s.spX), std::max(1, s.spY), std::max(1, s.spZ));
  if (v.sizesOk) {
    d.Dx = v.Dx;
    d.Dy = v.Dy;
    d.Dz = v.Dz;
  }
}

std::string ShownTimeStep(const GridSettingsView& v, const std::string& current) {
  if (v.rtabc) return v.eddT;
  // Cells that give no positive limit (a size of 0 on the way to another) replace nothing:
  // the run start refuses them, and the step typed stays for the sizes that follow.
  if (!(v.dtSec > 0)) return current;
  double ns = 0;
  if (TryStrToFloat(current, ns) && ns > 0 && WithinStabilityLimit(ns, v.dtSec)) return current;
  return v.eddT;
}

namespace {

// Why `step` gave way to the limit `shown`; `from` names where the step came from.
std::string LimitNote(const std::string& step, const std::string& shown, const std::string& from) {
  double ns = 0;
  if (TryStrToFloat(step, ns) && ns > 0)
    return "Шаг по времени" + from + " " + step + " нс больше предела устойчивости " + shown +
           " нс: вместо него взят предел.";
  return "Шаг по времени" + from + " \"" + TextPiece(step) +
         "\" не является положительным числом: взят предел устойчивости " + shown + " нс.";
}

}  // namespace

TimeStepUpdate NextTimeStep(const GridSettingsView& v, const std::string& field,
                            const std::string& typedStep) {
  TimeStepUpdate out{field, typedStep, ""};
  if (!v.sizesOk) return out;
  if (v.rtabc) {
    out.eddT = v.eddT;
    if (out.typedStep.empty()) out.typedStep = field;
    if (field != v.eddT)
      out.note = "С гранью RT-ABC шаг по времени равен половине ячейки по X: " + v.eddT +
                 " нс вместо " + field + " нс.";
    return out;
  }
  const std::string step = typedStep.empty() ? field : typedStep;
  out.typedStep.clear();
  out.eddT = ShownTimeStep(v, step);
  if (out.eddT == field) return out;
  out.note = out.eddT == step ? "Без граней RT-ABC шаг по времени снова введенный: " + step + " нс."
                              : LimitNote(step, out.eddT, "");
  return out;
}

std::string StoredTimeStepNote(const MainSettings& stored) {
  const GridSettingsView v = ComputeGridSettings(stored, 1, 0);
  // Under RT-ABC the step always follows the cells; the field is not the user's then.
  if (!v.sizesOk || v.rtabc) return "";
  const std::string shown = ShownTimeStep(v, stored.eddT);
  if (shown == stored.eddT) return "";
  return LimitNote(stored.eddT, shown, " из проекта");
}

std::string EndTimeText(int steps, const std::string& eddT) {
  double dt = 0;
  if (!TryStrToFloat(eddT, dt)) return "";
  return "Конечное время: " + FormatGeneral(double(steps) * dt, 5) + " нс";
}

PMLLabels ComputePMLLabels(const MainSettings& s, const RunFeatures& f) {
  PMLLabels out;
  double r = 0;
  if (!TryStrToFloat(s.edpmlR, r)) {
    out.ok = false;
    return out;
  }
  double dx = 0, dy = 0, dz = 0;
  if (!f.PMLLowFrequency || !TryStrToFloat(s.edX, dx) || !TryStrToFloat(s.edY, dy) ||
      !TryStrToFloat(s.edZ, dz))
    return out;
  // A reflection the run would refuse shows no limits.
  if (!PMLReflectionValid(float(r))) return out;
  RunSettings rs;
  rs.PMLParabolic = s.rgPMLprofile == 0;
  rs.PMLCount = s.sePMLCount;
  rs.PMLReflection = float(r);
  const float dmin = float(std::min({dx, dy, dz}));
  const double fr = f.PMLLowFrequency(rs, dmin);
  out.lbPMLFreq = "Минимальная частота, МГц: " + FormatGeneral(fr / 1e6, 5);
  out.lbPMLTime = "Максимальное время, нс: " + FormatGeneral(1e9 / fr, 5);
  return out;
}

MemoryLabels FormatMemoryLabels(uint64_t totalPhys, uint64_t availPhys, int memoryLoad) {
  MemoryLabels l;
  l.lbTotalMem = "Объем ОЗУ: " + IntToStr((long long)(totalPhys >> 20)) + " МБ";
  l.lbMemoryLoad = "Занято: " + IntToStr(memoryLoad) + "%";
  l.lbMemoryFree = "Свободно: " + IntToStr((long long)(availPhys >> 20)) + " МБ";
  return l;
}

bool AutoFarBox(MainSettings& s, SolverData& d, std::string& message) {
  SetGridSize(d, std::max(1, s.spX), std::max(1, s.spY), std::max(1, s.spZ));
  if (!ResizeSpace(d)) {
    message = "Ошибка резервирования памяти";
    return false;
  }
  FindObjectBounds(d);
  s.spFarXmin = d.ObjXMin - 3;
  s.spFarXmax = d.ObjXMax + 3;
  s.spFarYmin = d.ObjYMin - 3;
  s.spFarYmax = d.ObjYMax + 3;
  s.spFarZmin = d.ObjZMin - 3;
  s.spFarZmax = d.ObjZMax + 3;
  const auto open = OpenFaces(s.ComboBox);
  if (!open[FaceY1]) s.spFarYmin = 1;
  if (!open[FaceYMax]) s.spFarYmax = d.Ny;
  if (!open[FaceZMax]) s.spFarZmax = d.Nz;
  if (!open[FaceZ1]) s.spFarZmin = 1;
  if (!open[FaceXMax]) s.spFarXmax = d.Nx;
  if (!open[FaceX1]) s.spFarXmin = 1;
  return true;
}

}  // namespace rv
