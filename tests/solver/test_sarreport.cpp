#include <algorithm>

#include "file_fixture.h"
#include "run_fixture.h"
#include "solver/edgematerial.h"
#include "solver/numtext.h"
#include "solver/sarreport.h"
#include "solver/yee.h"

using namespace rv;
using namespace runtest;
using namespace rvtest;

namespace {

// The number after ": " on the first line that starts with `head`.
double Figure(const std::vector<std::string>& lines, const std::string& head) {
  double v = NAN;
  for (const std::string& l : lines)
    if (l.rfind(head, 0) == 0) TryStrToFloat(l.substr(head.size()), v);
  return v;
}

std::string G(double v) { return FormatGeneral(v, 4, 2); }

void SetLayer(tLayer& L, const char* name, double sigma, double eps, double rho, bool on = true) {
  L.On = on ? 1 : 0;
  L.Name = name;
  L.Sigma = sigma;
  L.EpsStatic = L.EpsInf = eps;
  L.Density = rho;
}

// 4x4x4 cells of 1 mm, two cells of a lossy material and one of a switched-off one, 11
// steps done, the power sums still empty.
bool SmallBlock(SolverData& d) {
  SetGridSize(d, 5, 5, 5);
  ResizeSpace(d);
  d.CellVolume = 1e-9;
  d.SAROn = 1;
  if (AllocFieldArrays(d) <= 0) return false;
  SetLayer(d.Layers[1], "Мышца ё", 0.8, 50, 1000);
  SetLayer(d.Layers[2], "bone", 0.1, 10, 1900, false);
  d.Space(2, 2, 2) = d.Space(2, 2, 3) = 1;
  d.Space(3, 3, 3) = 2;
  Census(d);
  d.TimeStepSec = 0.5e-9;
  d.TimeStep = d.TimeStepSec * double(LightSpeed);
  d.CurTime = 5e-9 * double(LightSpeed);
  d.CurStep = 11;
  d.SARDelay = 1;
  return true;
}

}  // namespace

// 4x4x4 cells of 1 mm, two cells of a lossy material, one of a switched-off one, and
// accumulators set by hand: every text of "SAR.txt", byte for byte in cp1251 with CR LF,
// the per-cell tables, and a second report appended.
TEST(SarReport, TextsOfASmallLossyBlock) {
  SolverData d;
  ASSERT_TRUE(SmallBlock(d));
  d.SARDelay = 11;
  TempDir tmp;
  d.SARDir = tmp / "deep/SAR/";
  SarReportInput in;
  std::string err;
  EXPECT_FALSE(WriteSARReports(d, in, err) || fs::exists(d.SARDir));  // no step accumulated: refused, nothing made
  d.SARDelay = 1;  // ten accumulated steps
  // Edges whose neighbours hold no power give equal shares to their cells of a lossy
  // material; empty cells take none.
  d.PowerZ(2, 2, 2) = 3;    // (2,2,2) gets 3, its only lossy cell
  d.PowerX(2, 3, 3) = 2;    // (2,2,2) and (2,2,3) get 1 each
  d.PowerZ(4, 4, 1) = -24;  // the source's edge, empty cells round it
  d.PowerY(4, 2, 4) = 8;    // the resistor's edge
  std::vector<tVoltageSource> src(4);
  src[0].X = 4; src[0].Y = 4; src[0].Z = 1; src[0].Dir = 'Z'; src[0].R = 50;
  src[1].Dir = 'Z';                                            // X = 0: incomplete row
  src[2].X = 9; src[2].Y = 1; src[2].Z = 1; src[2].Dir = 'X';  // outside the grid
  src[3] = src[0]; src[3].Dir = 'Q';                           // no axis
  std::vector<tLumpedElement> res(1);
  res[0].X = 4; res[0].Y = 2; res[0].Z = 4; res[0].Dir = 'Y'; res[0].Value = 100;
  in = {2, &src, &res, {}};
  SarSummary S;
  ASSERT_TRUE(WriteSARReports(d, in, err, &S)) << err;

  const double s222 = double(float(4.0 / 10)), s223 = double(float(1.0 / 10)), lp = s222 + s223;
  const double avg = double(float(float(s222 + s223) / 2e-6f));  // both cells, 2 mg
  const std::vector<std::string> lines = {
      "", "=========РЕЗУЛЬТАТЫ РАСЧЕТА===========",
      "Количество шагов/время: 11/ 5 нс",
      "Задержка SAR-вычислений, шагов/время: 1/ 0.5 нс",
      "Количество занятых ячеек: 2",
      "Объем объекта, куб.м  : " + G(2e-9),
      "Полная масса объекта, кг: " + G(2e-6),
      "", "Слой №1, Имя: /МЫШЦА Ё/, ячеек 2, масса " + G(2e-6) + " кг",
      "   Среднее значение SAR слоя, Вт/кг: " + G(lp / 2e-6),
      "   Максимальное значение SAR слоя, Вт/кг: " + G(s222 / 1000 / 1e-9) + " в ячейке (2, 2, 2)",
      "   Поглощенная мощность слоя, Вт: 0.5",
      "   Поглощенная максимальная мощность слоя, Вт: 0.4",
      "   Поглощенная энергия слоя, Дж: " + G(10 * lp * 0.5e-9),
      "", "Слой №2, Имя: /BONE/, ячеек 0, масса 0 кг",
      "  ВНИМАНИЕ! СЛОЙ ВЫКЛЮЧЕН ИЗ РАСЧЕТОВ ",
      "   ИСТОЧНИКИ НАПРЯЖЕНИЯ ",
      "", "Источник по Z: R=50 Ом (4,4,1):", "Выработанная мощность, Вт 2.4",
      "", "Резистор по Y: R=100 Ом (4,2,4):", "        мощность, Вт 0.8",
      "        энергия, Дж " + G(4e-9),
      "", "БАЛАНС МОЩНОСТИ",
      "Выработанная источниками мощность, Вт: 2.4",
      "Поглощенная в объекте мощность, Вт: 0.5",
      "Поглощенная резисторами и другими элементами мощность, Вт: 0.8",
      "Излученная за пределы объёма мощность, Вт: 1.1",
      "Баланс по объему, Вт: -1.1",
      "Ошибка, %: 0.0",  // (-1.1 - (0.5 - 2.4 + 0.8)) / -2.4
      "   Ошибка - мощность, накопленная на ребрах сверх поглощенной в слоях и элементах",
      "и выработанной источниками, в долях от выработанной: суммы ребер ячеек вывода P",
      "в материалах без потерь и округление сумм. Волн, оставшихся в объеме к концу счета,",
      "она не показывает",
      "", "УСРЕДНЕННЫЕ ЗНАЧЕНИЯ",
      "", "Слой №1, Имя: /МЫШЦА Ё",
      "   Максимальное значение SAR слоя, усредненное по 1 г, Вт/кг: " + G(avg) +
          " в ячейке (2, 2, 2) с массой 0.002 г",
      "", "Слой №2, Имя: /BONE", "  ВНИМАНИЕ! СЛОЙ ВЫКЛЮЧЕН ИЗ РАСЧЕТОВ ",
  };
  std::string bytes;
  for (const std::string& l : lines) bytes += Utf8ToCp1251(l) + "\r\n";
  EXPECT_EQ(ReadLines(d.SARDir + "SAR.txt"), lines);  // as text first: a readable difference
  EXPECT_EQ(ReadBytes(d.SARDir + "SAR.txt"), bytes);
  EXPECT_NEAR(S.BalanceError, 0, 1e-5);

  const auto cells = ReadLines(d.SARDir + "SAR_by_Cell.dat");
  const auto g1 = ReadLines(d.SARDir + "SAR_by_1g.dat");
  ASSERT_EQ(std::tuple(cells.size(), g1.size()), std::tuple(66u, 66u));
  auto at = [](int i, int j, int k) { return size_t(2 + (k - 1) * 16 + (j - 1) * 4 + (i - 1)); };
  const std::string zero = FormatExponent(0, 7, 2);
  // Cell (3,3,3) holds the switched-off material.
  EXPECT_EQ(std::tuple(cells[0], cells[1], cells[2], cells[at(2, 2, 2)], cells[at(3, 3, 3)]),
            std::tuple("=========SAR, Вт/кг===========", "4 4 4", "1 1 1  " + zero,
                       "2 2 2  " + FormatExponent(float(s222 / 1000 / 1e-9), 7, 2), "3 3 3  " + zero));
  EXPECT_EQ(std::tuple(g1[0], g1[at(2, 2, 3)], g1[at(1, 2, 2)]),
            std::tuple("=========SAR 1 g avg, Вт/кг===========", "2 2 3  " + FormatExponent(avg, 7, 2), "1 2 2  " + zero));

  ASSERT_TRUE(WriteSARReports(d, in, err)) << err;
  EXPECT_EQ(ReadBytes(d.SARDir + "SAR.txt"), bytes + bytes);
  EXPECT_EQ(ReadLines(d.SARDir + "SAR_by_Cell.dat"), cells);

  // A file where the folder should be: a clear failure, nothing thrown.
  WriteBytes(tmp / "blocker", "x");
  d.SARDir = tmp / "blocker/SAR/";
  EXPECT_FALSE(WriteSARReports(d, in, err) || err.empty());
}

// No power from sources, so no share to give the balance error in: a plane wave lit the
// block (the line says where the power came from), or a source ran without a signal. Either
// way a finite line saying why, never INF or NAN.
TEST(SarReport, BalanceWithoutSourcePower) {
  for (const bool wave : {true, false}) {
    SolverData d;
    ASSERT_TRUE(SmallBlock(d));
    d.TFSFSource = wave;
    d.PowerZ(2, 2, 2) = 3;
    std::vector<tVoltageSource> src(1);
    src[0].X = 4; src[0].Y = 4; src[0].Z = 1; src[0].Dir = 'Z'; src[0].R = 50;  // its edge took nothing
    TempDir tmp;
    d.SARDir = tmp / "";
    SarReportInput in{2, wave ? nullptr : &src, nullptr, {}};
    std::string err;
    SarSummary S;
    ASSERT_TRUE(WriteSARReports(d, in, err, &S)) << err;
    const std::vector<std::string> lines = ReadLines(d.SARDir + "SAR.txt");
    const auto balance = std::find(lines.begin(), lines.end(), "БАЛАНС МОЩНОСТИ");
    ASSERT_NE(balance, lines.end());
    std::vector<std::string> tail(balance + 5, std::find(balance, lines.end(), "УСРЕДНЕННЫЕ ЗНАЧЕНИЯ") - 1);
    std::vector<std::string> expected = {
        "Ошибка, %: не определена (источники напряжения не выработали мощности, а ошибка считается в долях от нее)"};
    if (wave) expected.push_back("   Поле в объем внесла падающая волна; ее мощность в этом балансе не учтена");
    EXPECT_EQ(tail, expected) << wave;
    EXPECT_EQ(std::tuple(balance[1], balance[4]),
              std::tuple("Выработанная источниками мощность, Вт: 0", "Баланс по объему, Вт: 0.3"));
    EXPECT_TRUE(std::isnan(S.BalanceError));
  }
}

// A material with no cell in the model gets a line saying so in place of its figures (no
// average over no cells); one that absorbed nothing has no maximum and names no cell, in
// its 1-g line too, even where its averages take in a neighbour's power.
TEST(SarReport, MaterialsWithoutCellsOrAbsorbedPower) {
  SolverData d;
  ASSERT_TRUE(SmallBlock(d));
  SetLayer(d.Layers[3], "Проводник", 5.8e7, 1, 8900);
  // A lossless cell beside the block, sharing no edge that holds power.
  SetLayer(d.Layers[4], "substrate", 0, 4, 1000);
  d.Space(3, 2, 2) = 4;
  Census(d);
  d.PowerZ(2, 2, 2) = 3;
  TempDir tmp;
  d.SARDir = tmp / "";
  std::string err;
  ASSERT_TRUE(WriteSARReports(d, SarReportInput{4, nullptr, nullptr, {}}, err)) << err;
  const std::vector<std::string> lines = ReadLines(d.SARDir + "SAR.txt");
  auto count = [&lines](const std::string& part) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
  };
  const std::string none = "Вт/кг: 0 (максимума нет: ни одна ячейка слоя не поглощала мощность)";
  EXPECT_EQ(count("   В модели нет ячеек этого слоя"), 2);  // in both parts, for material 3
  EXPECT_EQ(std::tuple(count("SAR слоя, " + none), count("по 1 г, " + none)), std::tuple(1, 1));
  EXPECT_EQ(count("в ячейке (2, 2, 2)"), 2);  // the block's own maxima
  EXPECT_EQ(count("ни одно среднее") + count("NAN") + count("(0, 0, 0)"), 0);
  Sar1gAverage a;
  ASSERT_TRUE(ComputeSAR1g(d, a));
  EXPECT_GT(a.Avg(3, 2, 2), 0);  // the substrate's average holds the block's power
}

// 1-g averages by hand: 1 cm cells of density 600 (0.6 g) take the cell and the first cell
// of the first shell (x outer, z inner) that counts and weighs; an isolated 1 mg cell
// collects nothing in eleven shells and keeps its own SAR.
TEST(Sar1g, ShellOrderStopRuleAndIsolatedCell) {
  SolverData d;
  SetGridSize(d, 6, 6, 6);
  ResizeSpace(d);
  d.CellVolume = 1e-6;
  SetLayer(d.Layers[1], "a", 0, 1, 600);
  SetLayer(d.Layers[2], "light", 0, 1, 0);
  SetLayer(d.Layers[3], "off", 0, 1, 600, false);
  ASSERT_TRUE(d.SARCell.allocate(7, 7, 7));
  for (int i = 1; i <= 5; ++i)
    for (int j = 1; j <= 5; ++j)
      for (int k = 1; k <= 5; ++k) {
        d.Space(i, j, k) = 1;
        d.SARCell(i, j, k) = float(i + 10 * j + 100 * k) * 1e-4f;
      }
  d.Space(2, 2, 2) = 2;  // first in the shell of (3,3,3), but weightless
  d.Space(2, 2, 3) = 3;  // next, switched off
  Sar1gAverage a;
  ASSERT_TRUE(ComputeSAR1g(d, a));
  auto s = [&](int i, int j, int k) { return double(d.SARCell(i, j, k)); };
  const double twoCells = double(float(double(float(600e-6)) + 600e-6));
  EXPECT_FLOAT_EQ(a.Avg(3, 3, 3), float(double(float(s(3, 3, 3) + s(2, 2, 4))) / twoCells));
  EXPECT_FLOAT_EQ(a.Avg(1, 1, 1), float(double(float(s(1, 1, 1) + s(1, 1, 2))) / twoCells));
  EXPECT_FLOAT_EQ(a.Avg(2, 2, 2), float((s(2, 2, 2) + s(1, 1, 1) + s(1, 1, 2)) / twoCells));
  EXPECT_EQ(std::tuple(a.Avg(2, 2, 3), a.Max[1].Cell), std::tuple(0.0f, std::array<int32_t, 3>{5, 5, 5}));  // largest
  EXPECT_NEAR(a.Max[1].Mass, 1.2e-3, 1e-9);

  SolverData e;
  SetGridSize(e, 30, 30, 30);
  ResizeSpace(e);
  e.CellVolume = 1e-9;
  SetLayer(e.Layers[1], "a", 0, 1, 1000);
  e.Space(15, 15, 15) = 1;
  ASSERT_TRUE(e.SARCell.allocate(31, 31, 31));
  e.SARCell(15, 15, 15) = 2e-6f;
  e.SARCell(15, 15, 16) = 1;  // an empty cell's power is never taken
  ASSERT_TRUE(ComputeSAR1g(e, a));
  EXPECT_FLOAT_EQ(a.Avg(15, 15, 15), float(double(2e-6f) / double(float(1e-6))));
}

namespace {

// A pulse source in a closed box of 5 mm cells with a lossy block; `sigmaE2` sums, every
// step, sigma * E^2 over the block's edges (each edge's own averaged conductivity, E
// averaged over the step as the absorbed power takes it).
struct LossyBox {
  SolverData d;
  RunKernels k;
  Pulse sig;
  double sigmaE2 = 0;
  bool Run() {
    MakeBox(d, 14, 5e-3, true);
    SetLayer(d.Layers[1], "muscle", 0.5, 20, 1000);
    for (int i = 8; i <= 11; ++i)
      for (int j = 5; j <= 9; ++j)
        for (int l = 5; l <= 9; ++l) d.Space(i, j, l) = 1;
    FindObjectBounds(d);
    if (AllocFieldArrays(d) == 0) return false;
    ClearFields(d);
    Census(d);
    ElementArrays el;
    el.VoltageSources.resize(1);
    tVoltageSource& s = el.VoltageSources[0];
    s.X = 4; s.Y = 7; s.Z = 7; s.Dir = 'Z'; s.R = 50;
    // Each edge keeps its E of the step before (the fields start at 0).
    struct Edge { const t3DSpaceArray* E; int i, j, k; double sigma; float last; };
    std::vector<Edge> edges;
    for (int i = 7; i <= 12; ++i)
      for (int j = 4; j <= 10; ++j)
        for (int l = 4; l <= 10; ++l)
          for (char ax : {'X', 'Y', 'Z'})
            if (const double sg = GetEdgeMaterial(d, i, j, l, ax).Sigma; sg > 0)
              edges.push_back({ax == 'X' ? &d.Ex : ax == 'Y' ? &d.Ey : &d.Ez, i, j, l, sg, 0.0f});
    return RunSteps(d, k, el, &sig, 2000, [&](int) {
             for (Edge& e : edges) {
               const float now = (*e.E)(e.i, e.j, e.k);
               const double v = 0.5 * (double(now) + e.last);
               e.last = now;
               sigmaE2 += e.sigma * v * v;
             }
           }).End == RunEnd::Completed;
  }
};

}  // namespace

// The block's mean SAR in the report equals sigma <E^2> / rho from the same fields.
TEST(SarReport, MeanSarIsSigmaMeanSquareFieldOverDensity) {
  LossyBox b;
  ASSERT_TRUE(b.Run());
  SolverData& d = b.d;
  TempDir tmp;
  d.SARDir = tmp / "";
  SarReportInput in{1, &b.k.Lumped.VoltageSources, nullptr, {}};
  std::string err;
  ASSERT_TRUE(WriteSARReports(d, in, err)) << err;
  const double cells = d.MaterialCellCount[0], n = d.CurStep - d.SARDelay;
  const double expected = b.sigmaE2 / n / cells / 1000;
  ASSERT_GT(expected, 0);
  const std::vector<std::string> lines = ReadLines(d.SARDir + "SAR.txt");
  const double written = Figure(lines, "   Среднее значение SAR слоя, Вт/кг: ");
  EXPECT_NEAR(written / expected, 1.0, 0.01);
  // Cells of 0.125 g: a full gram, in tenths as ever.
  EXPECT_NE(lines.back().find(" с массой 1.0 г"), std::string::npos) << lines.back();
}

// Every element's power is its own: the cells round its edge get only their material's loss.
// A source in a layer drives a two-wire line in a closed PEC box into a resistor, then also a
// capacitor, an inductor and a spark gap; once the fields die down the balance closes.
TEST(SarReport, ElementPowerIsTheElementsAndTheBalanceCloses) {
  struct Layer { double sigma, epsS, epsI, tau; };
  for (const Layer layer : {Layer{0, 4, 4, 0}, Layer{1, 40, 40, 0}, Layer{0.5, 40, 4, 2e-11}})
    for (const bool all : {false, true}) {
      SCOPED_TRACE(G(layer.sigma) + (all ? ", all kinds" : ""));
      Line L;
      ASSERT_TRUE(BuildLine(L, 14, 2e-3, true));
      SolverData& d = L.d;
      rvtest::SetMaterial(d, 2, layer.sigma, layer.epsS, layer.epsI, layer.tau);
      d.PolarDielectrics = layer.tau > 0;
      ASSERT_TRUE(!d.PolarDielectrics || AllocDebyeArrays(d));
      for (const int x : {Line::X0, 7})
        for (int i = x - 1; i <= x; ++i)
          for (int j = Line::Y - 1; j <= Line::Y; ++j) d.Space(i, j, Line::Z) = 2;
      FindObjectBounds(d);
      Census(d);
      ElementArrays el;
      el.VoltageSources.push_back(SourceAt(Line::X0, 50));
      el.Resistors.push_back(ElementAt(Line::X1, 50));
      if (all) {
        el.Capacitors.push_back(ElementAt(Line::X1, 0.2e-12));
        el.Inductors.push_back({Line::X1, Line::Y, Line::Z, 'Z', 20e-9, 0});
        el.SparkGaps.push_back({7, Line::Y, Line::Z, 0.05, 'Z', 0});
      }
      Pulse pulse;
      pulse.T0 = 0.2e-9;
      pulse.Tau = 0.05e-9;
      ASSERT_EQ(RunSteps(d, L.k, el, &pulse, 3000).End, RunEnd::Completed);
      TempDir tmp;
      d.SARDir = tmp / "";
      const LumpedRun& run = L.k.Lumped;
      SarReportInput in{2, &run.VoltageSources, &run.Resistors, {}, &run.SourcePower, &run.ResistorPower,
                        run.OtherPower(), run.OtherCount()};
      std::string err;
      SarSummary S;
      ASSERT_TRUE(WriteSARReports(d, in, err, &S)) << err;
      // No cell takes a negative share; a lossless layer takes exactly 0.
      EXPECT_GE(*std::min_element(d.SARCell.data(), d.SARCell.data() + d.SARCell.size()), 0.0f);
      EXPECT_EQ(S.LayerPower[2] > 0, layer.sigma > 0);
      EXPECT_TRUE(!all || (run.SparkGaps[0].Fired && run.GapPower[0] > 0));
      EXPECT_TRUE(S.SourcePowerSum < 0 && S.ElementPowerSum > 0) << S.SourcePowerSum << " " << S.ElementPowerSum;
      EXPECT_NEAR(S.Radiated / S.SourcePowerSum, 0.0, 0.02);  // a closed box radiates nothing
      EXPECT_LT(std::fabs(S.BalanceError), 0.5);
      Sar1gAverage avg;
      ASSERT_TRUE(ComputeSAR1g(d, avg));
      EXPECT_NE(avg.Max[1].Cell[0], 0);  // the copper keeps its 1-g maximum
    }
}
