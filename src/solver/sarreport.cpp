#include "solver/sarreport.h"

#include <algorithm>
#include <cmath>

#include "solver/codepage.h"
#include "solver/constants.h"
#include "solver/lumped.h"
#include "solver/numtext.h"
#include "solver/power.h"
#include "solver/resultpaths.h"
#include "solver/workpool.h"

namespace rv {

namespace {

std::string G(double v) { return FormatGeneral(v, 4, 2); }
std::string E(double v) { return FormatExponent(v, 7, 2); }
std::string I(long long v) { return IntToStr(v); }

constexpr float OneGram = 0.001f;
constexpr int MaxShell = 11;

// The model the report reads: the run's own copy, or the data's.
struct Model {
  const tSpace& Space;
  const std::array<tLayer, MaxLayers>& Layers;
  Model(const SolverData& d, const SarModel& m)
      : Space(m.Space ? *m.Space : d.Space), Layers(m.Layers ? *m.Layers : d.Layers) {}
  // The material a cell counts for, or 0.
  int Counted(int i, int j, int k) const {
    if (!Space.inside(i, j, k)) return 0;
    const int m = Space(i, j, k);
    return m != 0 && m < MaxLayers && Layers[size_t(m)].On ? m : 0;
  }
};

bool GridArraysMatch(const SolverData& d, const Model& md) {
  const int n1 = d.Nx + 1, n2 = d.Ny + 1, n3 = d.Nz + 1;
  auto fits = [&](const t3DSpaceArray& a) {
    return a.len1() >= n1 && a.len2() >= n2 && a.len3() >= n3;
  };
  return d.Nx >= 2 && d.Ny >= 2 && d.Nz >= 2 && fits(d.PowerX) && fits(d.PowerY) &&
         fits(d.PowerZ) && md.Space.len1() >= d.Nx && md.Space.len2() >= d.Ny &&
         md.Space.len3() >= d.Nz;
}

// The 1-g average of one counted cell of material m.
float Average1g(const SolverData& d, const Model& md, int i, int j, int k, int m,
                float& massOut) {
  const double V = d.CellVolume;
  float mass = float(md.Layers[size_t(m)].Density * V);
  float power = d.SARCell(i, j, k);
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  bool full = !(mass < OneGram);
  // Adds one cell of a shell; true once the gram is reached.
  auto visit = [&](int x, int y, int z) {
    if (x < 1 || x > nx || y < 1 || y > ny || z < 1 || z > nz) return false;
    const int mm = md.Counted(x, y, z);
    if (!mm) return false;
    const double rho = md.Layers[size_t(mm)].Density;
    if (!(rho > 0)) return false;
    mass = float(double(mass) + rho * V);
    power = float(double(power) + double(d.SARCell.at(x, y, z)));
    return !(mass < OneGram);
  };
  // Shell r is the surface of the cube of half-width r, visited x outer, z inner.
  for (int r = 1; r <= MaxShell && !full; ++r) {
    for (int x = i - r; x <= i + r && !full; ++x) {
      const bool xs = x == i - r || x == i + r;
      for (int y = j - r; y <= j + r && !full; ++y) {
        if (xs || y == j - r || y == j + r) {
          for (int z = k - r; z <= k + r && !full; ++z) full = visit(x, y, z);
        } else {
          full = visit(x, y, k - r) || visit(x, y, k + r);
        }
      }
    }
  }
  massOut = mass;
  const float v = float(double(power) / double(mass));
  return std::isfinite(v) ? v : 0.0f;
}

class Report {
public:
  explicit Report(std::string& err) : err_(err) {}
  bool Open(const std::string& dir, const std::string& name, bool append) {
    if (!EnsureDir(dir, &err_)) return false;
    if (!f_.open(dir + name, append)) {
      err_ = f_.error();
      return false;
    }
    return true;
  }
  void Line(const std::string& s) { f_.writeLine(s); }
  bool Close() {
    if (!f_.close()) {
      err_ = f_.error();
      return false;
    }
    return true;
  }

private:
  TextFileWriter f_;
  std::string& err_;
};

// A material the report gives no figures for, switched off or with no cell in the model
// (an average over no cells has no value): writes the line that says so.
bool WithoutFigures(Report& f, const tLayer& L, int cells) {
  if (L.On && cells > 0) return false;
  f.Line(L.On ? "   В модели нет ячеек этого слоя" : "  ВНИМАНИЕ! СЛОЙ ВЫКЛЮЧЕН ИЗ РАСЧЕТОВ ");
  return true;
}

constexpr const char* kNoneAbsorbed = " (максимума нет: ни одна ячейка слоя не поглощала мощность)";

// The mass of a 1-g average, g: a full gram in tenths; less (the shells ran out) in three
// significant digits, so a few cells never read 0.0.
std::string MassText(double kg) {
  return float(kg) < OneGram ? FormatGeneral(kg * 1000, 3, 2) : FormatFixed(kg * 1000, 2, 1);
}

// A maximum, its cell and what follows; a material none of whose values exceeds 0 has no
// maximum, and no cell to name.
std::string MaxText(const SarLayerMax& M, const std::string& value, const std::string& after,
                    const char* none) {
  if (M.Cell[0] == 0) return G(0) + none;
  const std::array<int32_t, 3>& c = M.Cell;
  return value + " в ячейке (" + I(c[0]) + ", " + I(c[1]) + ", " + I(c[2]) + ")" + after;
}

// Accumulated power of the edge a lumped element sits on, or false when the record takes no
// part in the report.
bool ElementPower(const SolverData& d, int x, int y, int z, char dir, double& p) {
  if (x == 0 || !LumpedCellInside(d, x, y, z)) return false;
  const t3DSpaceArray* a = dir == 'X' ? &d.PowerX : dir == 'Y' ? &d.PowerY : dir == 'Z' ? &d.PowerZ : nullptr;
  if (!a) return false;
  p = double(a->at(x, y, z));
  return true;
}

void CellTableHead(Report& f, const SolverData& d, const char* title) {
  f.Line(title);
  f.Line(I(d.Nx - 1) + " " + I(d.Ny - 1) + " " + I(d.Nz - 1));
}

std::string CellLine(int i, int j, int k, float v) {
  return I(i) + " " + I(j) + " " + I(k) + "  " + E(std::isfinite(v) ? v : 0.0f);
}

}  // namespace

std::string SarUpperName(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (size_t n = 0; n < s.size(); ++n) {
    const unsigned char c = static_cast<unsigned char>(s[n]);
    if (c >= 'a' && c <= 'z') {
      r += char(c - 32);
    } else if ((c == 0xD0 || c == 0xD1) && n + 1 < s.size()) {
      // Cyrillic: а..п (D0 B0..BF) -> А..П (D0 90..9F), р..я (D1 80..8F) -> Р..Я (D0 A0..AF),
      // ѐ..џ (D1 90..9F) -> Ѐ..Џ (D0 80..8F).
      const unsigned char c2 = static_cast<unsigned char>(s[n + 1]);
      unsigned char o1 = c, o2 = c2;
      if (c == 0xD0 && c2 >= 0xB0 && c2 <= 0xBF) o2 = c2 - 0x20;
      else if (c == 0xD1 && c2 >= 0x80 && c2 <= 0x8F) { o1 = 0xD0; o2 = c2 + 0x20; }
      else if (c == 0xD1 && c2 >= 0x90 && c2 <= 0x9F) { o1 = 0xD0; o2 = c2 - 0x10; }
      r += char(o1);
      r += char(o2);
      ++n;
    } else {
      r += char(c);
    }
  }
  return r;
}

bool ComputeSAR1g(const SolverData& d, Sar1gAverage& out, std::string* err,
                  const SarModel& model) {
  const Model md(d, model);
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  if (nx < 2 || ny < 2 || nz < 2 || d.SARCell.len1() < nx + 1 || d.SARCell.len2() < ny + 1 ||
      d.SARCell.len3() < nz + 1) {
    if (err) *err = "Массив SAR не соответствует сетке";
    return false;
  }
  if (!out.Avg.allocate(nx + 1, ny + 1, nz + 1)) {
    if (err) *err = "Не хватает памяти для усреднения SAR по 1 г";
    return false;
  }
  Sar1gAverage& o = out;
  t3DSpaceArray mass;
  if (!mass.allocate(nx + 1, ny + 1, nz + 1)) {
    o.Avg.free();
    if (err) *err = "Не хватает памяти для усреднения SAR по 1 г";
    return false;
  }
  // Each cell's average depends only on SARCell and the model: any split gives the same bits.
  ParallelFor(1, nx, [&](int i) {
    for (int j = 1; j <= ny - 1; ++j)
      for (int k = 1; k <= nz - 1; ++k) {
        const int m = md.Counted(i, j, k);
        if (!m) continue;
        float ms = 0;
        o.Avg(i, j, k) = Average1g(d, md, i, j, k, m, ms);
        mass(i, j, k) = ms;
      }
  });
  // Maxima in the order of the file, first cell wins on a tie.
  o.Max = {};
  for (int k = 1; k <= nz - 1; ++k)
    for (int j = 1; j <= ny - 1; ++j)
      for (int i = 1; i <= nx - 1; ++i) {
        const int m = md.Counted(i, j, k);
        if (!m) continue;
        SarLayerMax& L = o.Max[size_t(m)];
        const float v = o.Avg(i, j, k);
        if (v > L.Value) {
          L.Value = v;
          L.Cell = {i, j, k};
          L.Mass = mass(i, j, k);
        }
      }
  // A material none of whose cells absorbed power has no maximum of its own: its averages
  // hold only its neighbours' power, over whatever mass the shells found.
  std::array<bool, MaxLayers> absorbed{};
  for (int i = 1; i <= nx; ++i)
    for (int j = 1; j <= ny; ++j)
      for (int k = 1; k <= nz; ++k)
        if (const int m = md.Counted(i, j, k); m && d.SARCell(i, j, k) > 0) absorbed[size_t(m)] = true;
  for (size_t m = 0; m < absorbed.size(); ++m)
    if (!absorbed[m]) o.Max[m] = {};
  return true;
}

bool WriteSARReports(SolverData& d, const SarReportInput& in, std::string& err,
                     SarSummary* summary) {
  const int n = d.CurStep - d.SARDelay;
  if (n < 1) {
    err = "Нет накопленных шагов для расчета SAR";
    return false;
  }
  const Model md(d, in.Model);
  if (!GridArraysMatch(d, md)) {
    err = "Массивы поглощенной мощности не соответствуют сетке";
    return false;
  }
  const int nx = d.Nx, ny = d.Ny, nz = d.Nz;
  const double V = d.CellVolume, dtSec = d.TimeStepSec, c = LightSpeed;
  const int layerCount = std::clamp(in.LayerCount, 0, MaxLayers - 1);
  auto cellsOf = [&](int m) { return d.MaterialCellCount[size_t(m) - 1]; };
  SarSummary S;
  std::array<SarLayerMax, MaxLayers> cellMax{};

  // ---- SAR.txt, first part
  {
    Report f(err);
    if (!f.Open(d.SARDir, "SAR.txt", true)) return false;
    f.Line("");
    f.Line("=========РЕЗУЛЬТАТЫ РАСЧЕТА===========");
    f.Line("Количество шагов/время: " + I(d.CurStep) + "/ " + G(d.CurTime / c * 1e9) + " нс");
    f.Line("Задержка SAR-вычислений, шагов/время: " + I(d.SARDelay) + "/ " +
           G(d.SARDelay * d.TimeStep / c * 1e9) + " нс");
    f.Line("Количество занятых ячеек: " + I(d.ObjectCellCount));
    f.Line("Объем объекта, куб.м  : " + G(d.ObjectCellCount * V));
    double totalMass = 0;
    for (int m = 1; m <= 254; ++m) totalMass += cellsOf(m) * md.Layers[size_t(m)].Density * V;
    f.Line("Полная масса объекта, кг: " + G(totalMass));

    if (!ComputeSAR(d, &md.Space, &md.Layers) || d.SARCell.len1() < nx + 1 || d.SARCell.len2() < ny + 1 ||
        d.SARCell.len3() < nz + 1) {
      f.Close();
      err = "Не удалось вычислить SAR (нет памяти или массивов расчета)";
      return false;
    }
    float totalEnergy = 0;
    for (int i = 1; i <= nx; ++i)
      for (int j = 1; j <= ny; ++j)
        for (int k = 1; k <= nz; ++k) {
          const double p = double(d.PowerX(i, j, k)) + double(d.PowerY(i, j, k)) +
                           double(d.PowerZ(i, j, k));
          totalEnergy = float(double(totalEnergy) + p * dtSec);
          const int m = md.Counted(i, j, k);
          if (!m) continue;
          const double s = d.SARCell(i, j, k);
          S.LayerPower[size_t(m)] += s;
          if (s > cellMax[size_t(m)].Value) {
            cellMax[size_t(m)].Value = s;
            cellMax[size_t(m)].Cell = {i, j, k};
          }
        }
    S.TotalEnergy = totalEnergy;

    for (int m = 1; m <= layerCount; ++m) {
      const tLayer& L = md.Layers[size_t(m)];
      const double rho = L.Density, cm = cellsOf(m), P = S.LayerPower[size_t(m)];
      f.Line("");
      f.Line("Слой №" + I(m) + ", Имя: /" + SarUpperName(L.Name) + "/, ячеек " + I(cellsOf(m)) +
             ", масса " + G(cm * V * rho) + " кг");
      if (WithoutFigures(f, L, cellsOf(m))) continue;
      const SarLayerMax& M = cellMax[size_t(m)];
      f.Line("   Среднее значение SAR слоя, Вт/кг: " + G(P / (cm * rho * V)));
      f.Line("   Максимальное значение SAR слоя, Вт/кг: " +
             MaxText(M, G(M.Value / rho / V), "", kNoneAbsorbed));
      f.Line("   Поглощенная мощность слоя, Вт: " + G(P));
      f.Line("   Поглощенная максимальная мощность слоя, Вт: " + G(M.Value));
      f.Line("   Поглощенная энергия слоя, Дж: " + G(n * P * dtSec));
    }

    f.Line("   ИСТОЧНИКИ НАПРЯЖЕНИЯ ");
    float sourceSum = 0;
    // Element power the edges' sums do not hold (the run keeps it with the elements).
    double offEdges = 0;
    // The element's own power where the run kept it, else the edge's sum.
    auto own = [&offEdges](const std::vector<double>* v, size_t r, double& P) {
      if (v && r < v->size() && !std::isnan((*v)[r])) {
        P = (*v)[r];
        offEdges += P;
      }
    };
    if (in.Sources)
      for (size_t rec = 0; rec < in.Sources->size(); ++rec) {
        const tVoltageSource& s = (*in.Sources)[rec];
        double P = 0;
        if (!ElementPower(d, s.X, s.Y, s.Z, s.Dir, P)) continue;
        own(in.SourcePower, rec, P);
        f.Line("");
        f.Line(std::string("Источник по ") + s.Dir + ": R=" + G(s.R) + " Ом " + "(" + I(s.X) +
               "," + I(s.Y) + "," + I(s.Z) + "):");
        f.Line("Выработанная мощность, Вт " + G(-P / n));
        sourceSum = float(double(sourceSum) + P / n);
      }
    float elementSum = 0;
    int resistors = 0;
    if (in.Resistors)
      for (size_t rec = 0; rec < in.Resistors->size(); ++rec) {
        const tLumpedElement& r = (*in.Resistors)[rec];
        double P = 0;
        if (!ElementPower(d, r.X, r.Y, r.Z, r.Dir, P)) continue;
        own(in.ResistorPower, rec, P);
        elementSum = float(double(elementSum) + P / n);
        ++resistors;
        f.Line("");
        f.Line(std::string("Резистор по ") + r.Dir + ": R=" + G(r.Value) + " Ом " + "(" + I(r.X) +
               "," + I(r.Y) + "," + I(r.Z) + "):");
        f.Line("        мощность, Вт " + G(P / n));
        f.Line("        энергия, Дж " + G(P * dtSec));
      }

    f.Line("");
    f.Line("БАЛАНС МОЩНОСТИ");
    float layerSum = 0;
    for (int m = 1; m <= layerCount; ++m)
      layerSum = float(double(layerSum) + S.LayerPower[size_t(m)]);
    offEdges += in.OtherPower;
    elementSum = float(double(elementSum) + in.OtherPower / n);
    const bool elements = resistors > 0 || in.OtherCount > 0;
    f.Line("Выработанная источниками мощность, Вт: " + G(-sourceSum));
    f.Line("Поглощенная в объекте мощность, Вт: " + G(layerSum));
    if (elements)
      f.Line("Поглощенная резисторами и другими элементами мощность, Вт: " + G(elementSum));
    const double radiated = -(double(layerSum) + sourceSum + elementSum);
    f.Line("Излученная за пределы объёма мощность, Вт: " + G(radiated));
    // The volume's balance: every edge's sum and the elements' power kept off the edges.
    const double B = double(totalEnergy) / dtSec / n + offEdges / n;
    f.Line("Баланс по объему, Вт: " + G(B));
    // The error is a share of the sources' power: with none delivered (a plane-wave run, a
    // source without signal) there is nothing to take the share of.
    float balanceError = NAN;
    if (sourceSum != 0) {
      balanceError = float((B - (double(layerSum) + double(sourceSum) + elementSum)) / sourceSum * 100);
      f.Line("Ошибка, %: " + FormatFixed(std::fabs(balanceError), 5, 1));
      // What the error holds: the energy still stored in the volume is not part of it.
      f.Line("   Ошибка - мощность, накопленная на ребрах сверх поглощенной в слоях и элементах");
      f.Line("и выработанной источниками, в долях от выработанной: суммы ребер ячеек вывода P");
      f.Line("в материалах без потерь и округление сумм. Волн, оставшихся в объеме к концу счета,");
      f.Line("она не показывает");
    } else {
      f.Line("Ошибка, %: не определена (источники напряжения не выработали мощности, а ошибка "
             "считается в долях от нее)");
      if (d.ExternalField || d.TFSFSource)
        f.Line("   Поле в объем внесла падающая волна; ее мощность в этом балансе не учтена");
    }
    if (!f.Close()) return false;
    S.SourcePowerSum = sourceSum;
    S.LayerPowerSum = layerSum;
    S.ElementPowerSum = elementSum;
    S.Radiated = radiated;
    S.VolumeBalance = B;
    S.BalanceError = balanceError;
  }

  // ---- SAR_by_Cell.dat
  {
    Report f(err);
    if (!f.Open(d.SARDir, "SAR_by_Cell.dat", false)) return false;
    CellTableHead(f, d, "=========SAR, Вт/кг===========");
    for (int k = 1; k <= nz - 1; ++k)
      for (int j = 1; j <= ny - 1; ++j)
        for (int i = 1; i <= nx - 1; ++i) {
          const int m = md.Counted(i, j, k);
          const float v =
              m ? float(double(d.SARCell(i, j, k)) / md.Layers[size_t(m)].Density / V) : 0.0f;
          f.Line(CellLine(i, j, k, v));
        }
    if (!f.Close()) return false;
  }

  // ---- the 1-g averages and SAR_by_1g.dat
  Sar1gAverage avg;
  if (!ComputeSAR1g(d, avg, &err, in.Model)) return false;
  {
    Report f(err);
    if (!f.Open(d.SARDir, "SAR_by_1g.dat", false)) return false;
    CellTableHead(f, d, "=========SAR 1 g avg, Вт/кг===========");
    for (int k = 1; k <= nz - 1; ++k)
      for (int j = 1; j <= ny - 1; ++j)
        for (int i = 1; i <= nx - 1; ++i) f.Line(CellLine(i, j, k, avg.Avg(i, j, k)));
    if (!f.Close()) return false;
  }

  // ---- SAR.txt, second part
  {
    Report f(err);
    if (!f.Open(d.SARDir, "SAR.txt", true)) return false;
    f.Line("");
    f.Line("УСРЕДНЕННЫЕ ЗНАЧЕНИЯ");
    for (int m = 1; m <= layerCount; ++m) {
      const tLayer& L = md.Layers[size_t(m)];
      f.Line("");
      f.Line("Слой №" + I(m) + ", Имя: /" + SarUpperName(L.Name));
      if (WithoutFigures(f, L, cellsOf(m))) continue;
      const SarLayerMax& M = avg.Max[size_t(m)];
      f.Line("   Максимальное значение SAR слоя, усредненное по 1 г, Вт/кг: " +
             MaxText(M, G(M.Value), " с массой " + MassText(M.Mass) + " г",
                     cellMax[size_t(m)].Cell[0] == 0 ? kNoneAbsorbed
                                                     : " (максимума нет: ни одно среднее по 1 г в слое не больше 0)"));
    }
    if (!f.Close()) return false;
  }
  if (summary) *summary = S;
  return true;
}

}  // namespace rv
