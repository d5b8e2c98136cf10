#include <omp.h>

#include <algorithm>
#include <sstream>

#include "boundaries/farfield.h"
#include "pml_fixture.h"
#include "solver/file_fixture.h"
#include "solver/numtext.h"

using namespace rv;
using namespace rvtest;

namespace {

constexpr double kPi = 3.141592653589793;

// A vacuum grid of n nodes per axis with the field arrays reserved.
void MakeGrid(SolverData& d, int n, double dx, double courant = 0.5) {
  SetGridSize(d, n, n, n);
  ASSERT_TRUE(ResizeSpace(d));
  d.Dx = d.Dy = d.Dz = dx;
  d.TimeStep = courant * dx;
  d.TimeStepSec = d.TimeStep / double(LightSpeed);
  ASSERT_GT(AllocFieldArrays(d), 0);
  ClearFields(d);
}

FarBox Around(int c, int h) { return {c - h, c + h, c - h, c + h, c - h, c + h}; }

// A box around node c, one receiver at (10.4, 20.5, 30.6), diagrams of radius 0.5 m.
FarFieldSettings Settings(int c, int h, std::array<bool, 3> diagrams) {
  FarFieldSettings fs;
  fs.Box = Around(c, h);
  fs.PointRows = {{"10.4", "20.5", "30.6"}};
  fs.DiagramOn = diagrams;
  fs.RadiusText = "0.5";
  return fs;
}

// Ez = g(t - r/c)/r of a point source at node (c, c, c), sampled at the integer indices.
void FillPointSource(SolverData& d, int c, double t, const std::function<double(double)>& g) {
  for (int i = 1; i < d.Ez.len1(); ++i)
    for (int j = 1; j < d.Ez.len2(); ++j)
      for (int k = 1; k < d.Ez.len3(); ++k) {
        const double r = std::sqrt(double((i - c) * (i - c) + (j - c) * (j - c) + (k - c) * (k - c))) * d.Dx;
        d.Ez(i, j, k) = r > 0 ? float(g(t - r / double(LightSpeed)) / r) : 0.0f;
      }
}

// Bin i of a receiver's Ez series / 4 pi against exact(i): peak ratio near 1, error small.
void ExpectReceiverMatches(const tFarPoint& fp, int steps, const std::function<double(int)>& exact) {
  double peak = 0, want = 0, err = 0;
  for (int i = 1; i < steps - 3; ++i) {
    const double e = exact(i), got = fp.Series[2][size_t(i)] / (4 * kPi);
    if (std::isnan(e)) continue;  // outside the record
    peak = std::max(peak, std::abs(got));
    want = std::max(want, std::abs(e));
    err = std::max(err, std::abs(got - e));
  }
  EXPECT_NEAR(peak / want, 1.0, 0.05);
  EXPECT_LT(err / want, 0.06);
}

}  // namespace

TEST(FarField, RetardedSampleBoundsAndBoxRule) {
  // n = StepCount-1 adds only a; StepCount-2 adds a and -b; beyond or below: nothing. A
  // series shorter than the step count bounds the writes as well.
  struct Case { int64_t n; int limit; std::vector<float> want; };
  for (const Case& c : {Case{4, 5, {0, 0, 0, 0, 1}}, Case{3, 5, {0, 0, 0, 1, -2}},
                        Case{2, 5, {0, 0, 1, -2, -1}}, Case{5, 5, {0, 0, 0, 0, 0}},
                        Case{-1, 5, {0, 0, 0, 0, 0}}, Case{3, 9, {0, 0, 0, 1, -2}}}) {
    std::vector<float> s(5, 0.0f);
    AddRetardedSample(s, c.limit, c.n, 1.0, 2.0);
    EXPECT_EQ(s, c.want) << c.n << " " << c.limit;
  }
  // Reads reach one cell beyond each face: 2 <= min < max <= N-2 on every axis.
  struct Box { FarBox b; bool ok; };
  for (const Box& c : {Box{{2, 18, 2, 18, 2, 18}, true}, Box{{1, 10, 2, 10, 2, 10}, false},
                       Box{{2, 19, 2, 10, 2, 10}, false}, Box{{2, 10, 5, 5, 2, 10}, false},
                       Box{{2, 10, 2, 10, 9, 3}, false}, Box{{2, 3, 2, 3, 2, 3}, true}})
    EXPECT_EQ(FarBoundsValid(c.b, 20, 20, 20), c.ok);
}

TEST(FarField, CirclesCellsAndNames) {
  SolverData d;
  MakeGrid(d, 30, 0.01);
  FarFieldState s;
  FarFieldSettings fs = Settings(15, 5, {false, false, true});
  fs.PointCount = 4;
  std::string msg;
  ASSERT_TRUE(SetupFarField(s, d, fs, 10, msg)) << msg;
  // Circle Z (plane XY) starts on the Y axis and goes round through X.
  const auto& z = s.Diagrams[2];
  ASSERT_EQ(z.size(), 4u);
  const float r = 0.5f / 0.01f;
  const float want[4][2] = {{0, r}, {r, 0}, {0, -r}, {-r, 0}};
  for (size_t p = 0; p < 4; ++p)
    EXPECT_TRUE(std::abs(z[p].X - 15 - want[p][0]) < 1e-4 && std::abs(z[p].Y - 15 - want[p][1]) < 1e-4 &&
                z[p].Z == 15.0f) << p;
  EXPECT_EQ(FarPointFileName('E', s.FarPoints[0], 'y'), "E(10,20,31)y.grf");
  // Every face cell once; the nearest cell of the point gives RMin.
  EXPECT_EQ(s.CellCount, 6 * 11 * 11 - 12 * 11 + 8);
  EXPECT_NEAR(z[0].RMin, (r - 5) * 0.01f, 1e-6);

  // The memory estimate bounds the tables the set-up made (values of 4 bytes).
  for (int r = 0; r < s.ReceiverCount(); ++r) {
    const tFarPoint& p = s.Receiver(r);
    EXPECT_LE(4 * p.Runs.size() + p.BlockRuns.size() + p.W.size() + p.Cell.size() + p.CellW.size() +
                  p.SegBin.size() + p.SegEnd.size() + p.BlockSegs.size(),
              size_t(FarPointTableValues(fs.Box))) << r;
  }
  EXPECT_LE(4 * s.Cells.size() + s.Twin.size() + s.Gathered.size() + s.Packed.size() + 8 * s.Blocks.size(),
            size_t(FarSharedValues(fs.Box, false)));

  // A one-cell-thick box has only X-face cells.
  fs.Box = {10, 11, 10, 20, 10, 20};
  ASSERT_TRUE(SetupFarField(s, d, fs, 10, msg));
  EXPECT_EQ(s.CellCount, 2 * 11 * 11);

  // A refusal leaves nothing allocated.
  fs.Box = Around(15, 14);
  EXPECT_FALSE(SetupFarField(s, d, fs, 10, msg));
  EXPECT_FALSE(s.Allocated());
}

TEST(FarField, ShortRunWritesEmptySeriesAndZeroDiagrams) {
  SolverData d;
  MakeGrid(d, 20, 0.01);
  const TempDir tmp;
  d.FARDir = tmp / "FAR/";
  d.Ez.fill(1.0f);
  FarFieldState s;
  FarFieldSettings fs = Settings(10, 4, {true, true, false});
  fs.CalcFarH = true;
  std::string msg;
  d.StepCount = 3;
  ASSERT_TRUE(SetupFarField(s, d, fs, 3, msg)) << msg;
  // Of three steps only the middle one adds anything.
  for (int step : {0, 2}) AccumulateFarField(s, d, step);
  EXPECT_EQ(s.Diagrams[0][0].Series[2], std::vector<float>(3, 0.0f));
  AccumulateFarField(s, d, 1);
  EXPECT_NE(s.Diagrams[0][0].Series[2], std::vector<float>(3, 0.0f));
  std::vector<std::string> errors;
  SaveFarPoints(s, d, 3, errors);
  SaveFarDiagrams(s, d, 3, errors);
  EXPECT_TRUE(errors.empty());
  for (const char* n : {"E(10,20,31)x.grf", "E(10,20,31)y.grf", "E(10,20,31)z.grf",
                        "H(10,20,31)x.grf", "H(10,20,31)y.grf", "H(10,20,31)z.grf"}) {
    ASSERT_TRUE(std::filesystem::exists(d.FARDir + n)) << n;
    EXPECT_EQ(std::filesystem::file_size(d.FARDir + n), 0u) << n;
  }
  EXPECT_FALSE(std::filesystem::exists(d.FARDir + "DiagrZ_0.5.grf"));
  const std::string text = ReadBytes(d.FARDir + "DiagrX_0.5.grf");
  // 2*pi/36 as a 32-bit float, times 180/pi: 10 degrees less 3e-7.
  const std::string first = " 0.00000000000000E+0000  0.00000000000000E+0000 " + d.FARDir + "DiagrX_0.5.grf\r\n";
  const std::string second = " 9.99999970909292E+0000  0.00000000000000E+0000 \xF3\xE3\xEE\xEB, \xE3\xF0\xE0\xE4\r\n";
  EXPECT_EQ(text.substr(0, first.size() + second.size()), first + second);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 36);

  // A file that cannot be written does not stop the others; each failure is reported.
  std::filesystem::remove(d.FARDir + "E(10,20,31)x.grf");
  std::filesystem::create_directory(d.FARDir + "E(10,20,31)x.grf");
  std::filesystem::remove(d.FARDir + "DiagrY_0.5.grf");
  errors.clear();
  SaveFarPoints(s, d, 3, errors);
  SaveFarDiagrams(s, d, 3, errors);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(d.FARDir + "H(10,20,31)z.grf"));
  EXPECT_TRUE(std::filesystem::exists(d.FARDir + "DiagrY_0.5.grf"));
  std::filesystem::remove_all(std::filesystem::path(d.FARDir).parent_path().parent_path());
}

// The surface integral alone, fed with the exact field of a point source, gives that
// field at the receivers: g(t - r/c)/r, bin i dated (i - 1) dt + RMin/c; the same bits on
// 1 and 4 threads.
TEST(FarField, PointSourceFieldIsReproducedAtReceiversAnyThreadCount) {
  const int n = 40, c = 20;
  const double dx = 0.01;
  SolverData d;
  MakeGrid(d, n, dx);
  const double T = 8 * dx / double(LightSpeed), t0 = 3 * T;
  auto g = [&](double t) { return std::exp(-((t - t0) / T) * ((t - t0) / T)); };
  FarFieldSettings fs;
  fs.Box = Around(c, 10);
  const double far = 1000 / dx;  // 1000 m
  fs.PointRows = {{IntToStr(c + 30), IntToStr(c), IntToStr(c)},
                  {IntToStr(c + 20), IntToStr(c + 20), IntToStr(c + 10)},
                  {FormatGeneral(c + far * 0.6, 15), IntToStr(c), FormatGeneral(c + far * 0.8, 15)}};
  fs.CalcFarH = true;  // Hz gets Ez's values: its series must be Ez's, bit for bit
  const int steps = 320;
  d.StepCount = steps;
  auto run = [&](int threads, FarFieldState& s) {
    omp_set_num_threads(threads);
    std::string msg;
    ASSERT_TRUE(SetupFarField(s, d, fs, steps, msg)) << msg;
    for (int step = 0; step < steps; ++step) {
      FillPointSource(d, c, step * d.TimeStepSec, g);
      for (int i = c - 11; i <= c + 11; ++i)
        for (int j = c - 11; j <= c + 11; ++j)
          for (int k = c - 11; k <= c + 11; ++k) d.Hz(i, j, k) = d.Ez(i, j, k);
      AccumulateFarField(s, d, step);
    }
  };
  FarFieldState one, four;
  run(1, one);
  run(4, four);
  omp_set_num_threads(omp_get_num_procs());
  const double dist[3] = {30 * dx, std::sqrt(900.0) * dx, 1000};
  for (size_t p = 0; p < 3; ++p) {
    const tFarPoint& fp = one.FarPoints[p];
    for (int q = 0; q < 6; ++q)
      EXPECT_EQ(fp.Series[size_t(q)], four.FarPoints[p].Series[size_t(q)]) << p << " " << q;
    EXPECT_EQ(fp.Series[5], fp.Series[2]) << p;
    SCOPED_TRACE(p);
    ExpectReceiverMatches(fp, steps, [&](int i) {
      const double t = (i - 1) * d.TimeStepSec + double(fp.RMin) / double(LightSpeed);
      return g(t - dist[p] / double(LightSpeed)) / dist[p];
    });
    EXPECT_EQ(fp.Series[0], std::vector<float>(size_t(steps), 0.0f));  // Ex was never set
  }
}

// Receivers 1 km and 100 km out on 0.1 mm cells (the differences of their distances to the
// face cells lie far below a float's last digit there) see the point source's field with
// its delay and its 1/R; the file of the far one dates its lines a step apart. A receiver
// so far out that even doubles lose the box is refused.
TEST(FarField, FarAwayReceiversKeepDelayAndOneOverR) {
  const int n = 40, c = 20, steps = 320;
  const double dx = 1e-4;
  SolverData d;
  MakeGrid(d, n, dx);
  const TempDir tmp;
  d.FARDir = tmp / "FAR/";
  const double T = 8 * dx / double(LightSpeed), t0 = 3 * T;
  auto g = [&](double t) { return std::exp(-((t - t0) / T) * ((t - t0) / T)); };
  FarFieldSettings fs;
  fs.Box = Around(c, 10);
  fs.PointRows = {{"6000020", "20", "8000020"}, {"600000020", "20", "800000020"}};
  d.StepCount = steps;
  FarFieldState s;
  std::string msg;
  ASSERT_TRUE(SetupFarField(s, d, fs, steps, msg)) << msg;
  for (int step = 0; step < steps; ++step) {
    FillPointSource(d, c, step * d.TimeStepSec, g);
    AccumulateFarField(s, d, step);
  }
  for (const tFarPoint& fp : s.FarPoints) {
    // From the stored (float) position; about 1 km and 100 km.
    const double dist = std::hypot(double(fp.X) - c, double(fp.Y) - c, double(fp.Z) - c) * dx;
    SCOPED_TRACE(dist);
    ExpectReceiverMatches(fp, steps, [&](int i) {
      const double t = (i - 1) * d.TimeStepSec + fp.RMin / double(LightSpeed);
      return g(t - dist / double(LightSpeed)) / dist;
    });
  }
  std::vector<std::string> errors;
  SaveFarPoints(s, d, steps, errors);
  ASSERT_TRUE(errors.empty());
  std::istringstream lines(ReadBytes(d.FARDir + FarPointFileName('E', s.FarPoints[1], 'z')));
  std::vector<double> times;
  for (std::string line; std::getline(lines, line);) times.push_back(std::stod(line.substr(0, 23)) * 1e-9);
  ASSERT_EQ(times.size(), size_t(steps - 3));
  EXPECT_NEAR(times[0], s.FarPoints[1].RMin / double(LightSpeed), 1e-3 * d.TimeStepSec);
  for (size_t i = 1; i < times.size(); ++i)
    ASSERT_NEAR(times[i] - times[i - 1], d.TimeStepSec, 1e-3 * d.TimeStepSec) << i;

  fs.PointRows = {{"1E33", "20", "20"}};
  EXPECT_FALSE(SetupFarField(s, d, fs, steps, msg));
  EXPECT_EQ(msg, "Точка дальнего поля в строке 1 лежит слишком далеко: время прихода волны не определяется");
}

// A short z-directed current element in the FDTD grid: its diagrams are the dipole's (the
// accelerated ones too), and a receiver 40 cells out sees the field the grid computes there.
TEST(FarField, DipoleInTheGrid) {
  PmlRun run;
  const int c = 12, out = 40, steps = 260;
  PmlProfile pr;
  pr.N = 8;
  ASSERT_TRUE(run.Make(c + out + 4, 24, 24, 0.01, 0.01, 0.01, "LLLLLL", pr));
  SolverData& d = run.d;
  d.StepCount = steps;
  FarFieldSettings fs;
  fs.Box = Around(c, 10);
  fs.DiagramOn = {true, true, true};
  FarFieldState quick, full;
  std::string msg;
  fs.FastDiagram = true;
  ASSERT_TRUE(SetupFarField(quick, d, fs, steps, msg)) << msg;
  fs.FastDiagram = false;
  fs.PointRows = {{IntToStr(c + out), IntToStr(c), IntToStr(c)}};
  ASSERT_TRUE(SetupFarField(full, d, fs, steps, msg)) << msg;
  const double T = 8 * d.Dx / double(LightSpeed), t0 = 4 * T;
  std::vector<double> probe;
  for (int step = 0; step < steps; ++step) {
    run.Step(step, [&](SolverData& dd, int k) {
      const double x = (k * dd.TimeStepSec - t0) / T;  // derivative of a Gaussian: no charge left
      dd.Ez(c, c, c) += float(-2 * x * std::exp(-x * x));
    });
    AccumulateFarField(quick, d, step);
    AccumulateFarField(full, d, step);
    probe.push_back(d.Ez(c + out, c, c));
  }
  auto diagram = [&](const FarFieldState& s, int g) {
    std::vector<double> v;
    for (const tFarPoint& fp : s.Diagrams[size_t(g)])
      v.push_back(FarDiagramPeak(fp, steps) / (s.Settings.FastDiagram ? 8 : 4));
    return v;
  };
  const std::vector<double> z = diagram(full, 2);
  ASSERT_EQ(z.size(), 36u);
  const auto [lo, hi] = std::minmax_element(z.begin(), z.end());
  EXPECT_LT(Db(*hi / *lo), 0.5);
  for (int g = 0; g < 3; ++g) {
    const std::vector<double> v = diagram(full, g), fast = diagram(quick, g);
    const double top = *std::max_element(v.begin(), v.end());
    for (int p = 0; p < 36; ++p) {
      const double cs = std::abs(std::cos(p * 10 * kPi / 180)), rel = v[size_t(p)] / top;
      EXPECT_LT(std::abs(Db(fast[size_t(p)] / v[size_t(p)])), 0.01) << g << " " << p * 10;
      // The E-plane cuts follow |cos| and have their nulls along the dipole.
      EXPECT_LT(g < 2 && cs >= 0.5 ? std::abs(Db(rel / cs)) : 0, 0.8) << g << " " << p * 10;
      EXPECT_LT(g < 2 && (p == 9 || p == 27) ? rel : 0, 0.06) << g << " " << p * 10;
    }
  }
  // Bin i of the receiver holds the field of step i - 1 + RMin/(c dt) there.
  const tFarPoint& p = full.FarPoints[0];
  const double shift = double(p.RMin) / (double(LightSpeed) * d.TimeStepSec) - 1;
  ExpectReceiverMatches(p, steps, [&](int i) {
    const double at = i + shift;
    const int k = int(std::floor(at));
    if (k < 0 || k + 1 >= steps) return double(NAN);
    return probe[size_t(k)] + (at - k) * (probe[size_t(k) + 1] - probe[size_t(k)]);
  });
}

// A receiver on the box's faces (a face cell's own node among them) or inside the box: the
// distance to a face cell can be zero, and inside the surface integral does not give the
// field. Such a point or diagram radius is refused, naming it; a receiver just outside the
// box, or in a face's plane beside the face, is taken.
TEST(FarField, ReceiversOnOrInsideTheBoxAreRefused) {
  SolverData d;
  MakeGrid(d, 20, 0.01);
  const int steps = 12;
  d.StepCount = steps;
  // The refusal of the settings; nothing is reserved.
  auto refusal = [&](const FarFieldSettings& fs) {
    FarFieldState s;
    std::string msg;
    EXPECT_FALSE(SetupFarField(s, d, fs, steps, msg) || s.Allocated());
    return msg;
  };
  const std::string where = "внутри области интегрирования дальнего поля или на ее границе: дальнее поле "
                            "рассчитывается только для точек вне этой области";
  using Row = std::array<std::string, 3>;
  const Row outside{"15.5", "10", "10"};
  const struct { Row row; const char* shown; } inside[] = {
      {{"10", "10", "5"}, "(10; 10; 5)"},        // a face cell's node
      {{"5", "5", "5"}, "(5; 5; 5)"},            // a corner
      {{"15", "7.5", "12.25"}, "(15; 7.5; 12.25)"},  // on a face between nodes
      {{"10", "10", "10"}, "(10; 10; 10)"},      // the box's centre
      {{"12", "11", "9"}, "(12; 11; 9)"}};
  for (const auto& c : inside) {
    FarFieldSettings fs;
    fs.Box = Around(10, 5);
    fs.PointRows = {outside, c.row};
    EXPECT_EQ(refusal(fs), std::string("Точка дальнего поля в строке 2 ") + c.shown + " лежит " + where);
  }
  // Diagram circles of 36 points around the centre: up to 5 cells they reach the faces,
  // at 6 cells the points at 40 degrees still lie inside; 8 cells clear the box.
  for (const char* radius : {"0", "0.03", "0.05", "0.06"}) {
    FarFieldSettings fs = Settings(10, 5, {false, false, true});
    fs.PointRows = {outside};
    fs.RadiusText = radius;
    EXPECT_EQ(refusal(fs), "Радиус диаграммы направленности \"" + std::string(radius) + "\" слишком мал: ее точки лежат " + where);
  }
  FarFieldSettings fs = Settings(10, 5, {true, true, true});
  fs.RadiusText = "0.08";
  fs.PointRows = {outside, {"5", "18", "10"}, {"10", "10", "4.999"}};
  FarFieldState s;
  std::string msg;
  EXPECT_TRUE(SetupFarField(s, d, fs, steps, msg)) << msg;
}
