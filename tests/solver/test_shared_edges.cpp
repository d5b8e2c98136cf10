#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "file_fixture.h"
#include "run_fixture.h"
#include "solver/lumped.h"
#include "solver/sarreport.h"
#include "solver/yee.h"

using namespace rv;
using namespace runtest;

namespace {

using LD = long double;

// A PEC box of n nodes per axis, 1 mm cells, c*dt = dx/2, fields reserved.
bool Box(SolverData& d, int n) {
  MakeBox(d, n, 1e-3, false);
  return rvtest::Allocate(d);
}

template <class Rec>
Rec At(int x, int y, int z, char dir) {
  Rec r;
  r.X = x; r.Y = y; r.Z = z; r.Dir = dir;
  return r;
}
tVoltageSource Src(int x, int y, int z, char dir, double R, char pol) {
  tVoltageSource s = At<tVoltageSource>(x, y, z, dir);
  s.R = R; s.Polarity = pol;
  return s;
}
tLumpedElement Elem(int x, int y, int z, char dir, double v) {
  tLumpedElement e = At<tLumpedElement>(x, y, z, dir);
  e.Value = v;
  return e;
}
tInductor Ind(int x, int y, int z, char dir, double L) {
  tInductor e = At<tInductor>(x, y, z, dir);
  e.L = L;
  return e;
}

int Axis(char dir) { return dir - 'X'; }
float& EdgeOf(SolverData& d, char dir, int x, int y, int z) {
  return dir == 'X' ? d.Ex(x, y, z) : dir == 'Y' ? d.Ey(x, y, z) : d.Ez(x, y, z);
}

}  // namespace

// Edges that hold one element each step a whole run with the bits of the kinds' own
// formulas as they were before edges could be shared, kept here as the reference: every
// record from the edge's E before the step's E update and its curl, in extended precision.
TEST(SharedEdges, AnEdgeWithOneElementKeepsTheBitsOfThatElementsOwnUpdate) {
  SolverData d;
  ASSERT_TRUE(Box(d, 10));
  std::mt19937 rng(7);
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) rvtest::FillRandom(*a, rng, 1e-2f);
  ElementArrays el;
  el.VoltageSources = {Src(3, 3, 3, 'Z', 50, '+'), Src(4, 6, 5, 'X', 73, '-')};
  el.Resistors = {Elem(5, 5, 5, 'Y', 100)};
  el.Capacitors = {Elem(6, 3, 4, 'Z', 1e-12), Elem(3, 7, 6, 'Y', 0)};
  el.Inductors = {Ind(7, 7, 7, 'Z', 1e-8)};
  Pulse sig;
  sig.T0 = 20e-12; sig.Tau = 10e-12;
  RunKernels k;
  d.StepCount = 40;
  ASSERT_TRUE(PrepareRunKernels(d, el, &sig, k));
  StepHooks h = DefaultStepHooks(d, k);
  std::map<std::array<int, 4>, float> before;  // each element edge's E before the step
  auto each = [&](auto&& f) {
    for (const auto& r : el.VoltageSources) f(r.X, r.Y, r.Z, r.Dir);
    for (const auto& r : el.Resistors) f(r.X, r.Y, r.Z, r.Dir);
    for (const auto& r : el.Capacitors) f(r.X, r.Y, r.Z, r.Dir);
    for (const auto& r : el.Inductors) f(r.X, r.Y, r.Z, r.Dir);
  };
  auto updateH = h.UpdateH;
  h.UpdateH = [&] {
    each([&](int x, int y, int z, char dir) { before[{Axis(dir), x, y, z}] = EdgeOf(d, dir, x, y, z); });
    updateH();
  };
  auto lumped = h.UpdateLumpedElements;
  int checked = 0, moved = 0;
  h.UpdateLumpedElements = [&](int step) {
    const LD inv = InvEta0, ts = d.TimeStep, c = LightSpeed, V = SourceValue(&sig, false, d.CurTime);
    auto old = [&](int x, int y, int z, char dir) { return LD(before[{Axis(dir), x, y, z}]); };
    auto curl = [&](int x, int y, int z, char dir) { return LD(EdgeCurlH(d, dir, x, y, z)); };
    std::vector<float> want;
    for (const tVoltageSource& s : el.VoltageSources) {
      const LD pol = s.Polarity == '-' ? -1 : 1, R = s.R, A = 1e-6, len = 1e-3;
      const LD alpha = ts / R / inv / A, beta = ts * len / 2 / R / inv / A;
      want.push_back(float(pol * V * alpha / (1 + beta) + (1 - beta) / (1 + beta) * old(s.X, s.Y, s.Z, s.Dir) +
                           curl(s.X, s.Y, s.Z, s.Dir) / inv / (1 + beta)));
    }
    for (const tLumpedElement& s : el.Resistors) {
      const LD beta = ts * LD(1e-3) / 2 / LD(s.Value) / inv / LD(1e-6);
      want.push_back(float((1 - beta) / (1 + beta) * old(s.X, s.Y, s.Z, s.Dir) + curl(s.X, s.Y, s.Z, s.Dir) / inv / (1 + beta)));
    }
    for (const tLumpedElement& s : el.Capacitors) {
      const LD kappa = LD(s.Value) * LD(1e-3) / inv / LD(1e-6) * c;
      want.push_back(float(old(s.X, s.Y, s.Z, s.Dir) + curl(s.X, s.Y, s.Z, s.Dir) / inv / (1 + kappa)));
    }
    float accum = step == 0 ? 0 : k.Lumped.Inductors[0].Accum;
    for (const tInductor& s : el.Inductors) {
      const LD lambda = LD(1e-3) * ts * ts / LD(InvEta0) / LD(1e-6) / LD(s.L) / LD(LightSpeed);
      want.push_back(float(old(s.X, s.Y, s.Z, s.Dir) + curl(s.X, s.Y, s.Z, s.Dir) / inv - lambda * LD(accum)));
      accum = float(LD(accum) + LD(want.back()));
    }
    lumped(step);
    size_t n = 0;
    each([&](int x, int y, int z, char dir) {
      const float got = EdgeOf(d, dir, x, y, z);
      checked += std::memcmp(&got, &want[n], sizeof got) == 0;
      moved += got != before[{Axis(dir), x, y, z}];
      ++n;
    });
    EXPECT_EQ(std::memcmp(&accum, &k.Lumped.Inductors[0].Accum, sizeof accum), 0) << step;
  };
  NullCallbacks cb;
  OneThread one;
  ASSERT_EQ(RunTimeLoop(d, h, cb).End, RunEnd::Completed);
  EXPECT_EQ(checked, 40 * 6);
  EXPECT_GT(moved, 40 * 5);
}

// Elements on one edge are parallel branches: after every update the charge that the curl
// of H brings to the edge equals what the edge's own capacitance and every branch take, each
// branch by its own law (a source by its polarity). Pairs of every kind, two of a kind, all
// four together; the inductors' sums then add up the edge's new E.
TEST(SharedEdges, EveryBranchOnASharedEdgeCarriesItsOwnCurrent) {
  SolverData d;
  ASSERT_TRUE(Box(d, 12));
  struct Branch { char kind; double value; char pol; };
  struct Edge { int x, y, z; char dir; std::vector<Branch> b; };
  const double p = 1e-12, n = 1e-9;
  const std::vector<Edge> edges = {
      {2, 2, 2, 'Z', {{'S', 50, '+'}, {'R', 100, 0}}},  {3, 3, 3, 'Z', {{'S', 50, '+'}, {'C', p, 0}}},
      {4, 4, 4, 'Z', {{'L', n, 0}, {'C', p, 0}}},       {5, 5, 5, 'Z', {{'L', n, 0}, {'R', 100, 0}}},
      {6, 6, 6, 'Z', {{'C', p, 0}, {'R', 100, 0}}},     {7, 7, 7, 'Z', {{'S', 50, '+'}, {'S', 75, '-'}}},
      {8, 8, 8, 'Y', {{'R', 100, 0}, {'R', 200, 0}}},   {9, 9, 9, 'Y', {{'C', p, 0}, {'C', 2 * p, 0}}},
      {9, 3, 9, 'Y', {{'L', n, 0}, {'L', 2 * n, 0}}},
      {3, 9, 5, 'X', {{'S', 50, '-'}, {'R', 100, 0}, {'C', p, 0}, {'L', n, 0}}}};
  ElementArrays el;
  for (const Edge& e : edges)
    for (const Branch& b : e.b) {
      if (b.kind == 'S') el.VoltageSources.push_back(Src(e.x, e.y, e.z, e.dir, b.value, b.pol));
      if (b.kind == 'R') el.Resistors.push_back(Elem(e.x, e.y, e.z, e.dir, b.value));
      if (b.kind == 'C') el.Capacitors.push_back(Elem(e.x, e.y, e.z, e.dir, b.value));
      if (b.kind == 'L') el.Inductors.push_back(Ind(e.x, e.y, e.z, e.dir, b.value));
    }
  struct Steady : ISignal {
    double GetSignal(double) const override { return 1.5; }
  } sig;
  LumpedRun run;
  ASSERT_TRUE(run.Prepare(d, el));
  std::mt19937 rng(3);
  const double len = 1e-3, A = 1e-6, dt = d.TimeStepSec, eps0 = double(Eps0);
  for (int step = 0; step < 4; ++step) {
    for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) rvtest::FillRandom(*a, rng, 1e-2f);
    std::vector<float> e0, sum0;
    for (const Edge& e : edges) e0.push_back(EdgeOf(d, e.dir, e.x, e.y, e.z));
    for (const tInductor& s : run.Inductors) sum0.push_back(step == 0 ? 0 : s.Accum);
    ASSERT_TRUE(run.KeepEdges(d));
    for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez}) rvtest::FillRandom(*a, rng, 1e-2f);  // what the E update wrote
    ASSERT_TRUE(run.Update(d, &sig, step));
    size_t inductor = 0;
    for (size_t i = 0; i < edges.size(); ++i) {
      const Edge& e = edges[i];
      const double E0 = e0[i], E1 = EdgeOf(d, e.dir, e.x, e.y, e.z);
      const double in = A * EdgeCurlH(d, e.dir, e.x, e.y, e.z) / d.TimeStep;  // A curl H
      double taken = eps0 * A / dt * (E1 - E0), scale = std::fabs(in) + std::fabs(taken);
      for (const Branch& b : e.b) {
        double I = 0;
        if (b.kind == 'R') I = len * (E1 + E0) / 2 / b.value;
        if (b.kind == 'S') I = (len * (E1 + E0) / 2 - (b.pol == '-' ? -1.5 : 1.5)) / b.value;
        if (b.kind == 'C') I = b.value * len * (E1 - E0) / dt;
        if (b.kind == 'L') {
          I = len * dt / b.value * sum0[inductor];
          EXPECT_FLOAT_EQ(run.Inductors[inductor].Accum, float(sum0[inductor] + E1)) << i;
          ++inductor;
        }
        taken += I;
        scale += std::fabs(I);
      }
      EXPECT_NEAR(in, taken, 1e-5 * scale) << "edge " << i << " step " << step;
    }
  }

  // A spark gap shares its edge with nothing: the run is refused, and the gap left out.
  el.SparkGaps.push_back(At<tSparkGap>(4, 4, 4, 'Z'));
  el.SparkGaps.push_back(At<tSparkGap>(4, 4, 4, 'X'));
  std::string err;
  EXPECT_FALSE(run.Prepare(d, el, &err));
  EXPECT_EQ(std::tuple(err, run.GapEdges[0].Active, run.GapEdges[1].Active, run.Skipped()),
            std::tuple("Разрядник на одном ребре с другим элементом в строке 1 таблицы", false, true, 1));
}

namespace {

// The ring of the centre Z edge of a 16-node PEC box that holds a source of inner R 2 Rp
// '+' and a resistor 2 Rp (together Rp), a capacitor C and an inductor L, after a short
// pulse of the source: its frequency and Q from the edge's voltage, as the damped ring
// exp(-a t) cos(wd t) gives them (w0^2 = wd^2 + a^2, Q = w0 / 2a).
std::pair<double, double> Ring(double Rp, double C, double L) {
  SolverData d;
  if (!Box(d, 16)) return {0, 0};
  ElementArrays el;
  el.VoltageSources = {Src(8, 8, 8, 'Z', 2 * Rp, '+')};
  el.Resistors = {Elem(8, 8, 8, 'Z', 2 * Rp)};
  el.Capacitors = {Elem(8, 8, 8, 'Z', C)};
  el.Inductors = {Ind(8, 8, 8, 'Z', L)};
  Pulse sig;
  sig.T0 = 60e-12; sig.Tau = 15e-12;
  RunKernels k;
  std::vector<double> v;
  const int steps = 1500, from = 150;  // the pulse is over by step 100
  if (RunSteps(d, k, el, &sig, steps, [&](int) { v.push_back(double(d.Ez(8, 8, 8)) * d.Dz); }).End !=
      RunEnd::Completed)
    return {0, 0};
  // Zero crossings (interpolated) give the period; the peaks of |v| between them the decay.
  std::vector<double> zeros, tPeak, logPeak;
  double peak = 0, tp = 0;
  for (size_t i = from; i + 1 < v.size(); ++i) {
    if (std::fabs(v[i]) > peak) peak = std::fabs(v[i]), tp = double(i);
    if ((v[i] < 0) != (v[i + 1] < 0)) {
      zeros.push_back(double(i) + v[i] / (v[i] - v[i + 1]));
      if (zeros.size() > 1) tPeak.push_back(tp), logPeak.push_back(std::log(peak));
      peak = 0;
    }
  }
  if (zeros.size() < 6) return {0, 0};
  const double dt = d.TimeStepSec;
  const double wd = 2 * kPi / (2 * (zeros.back() - zeros.front()) / double(zeros.size() - 1) * dt);
  double st = 0, sl = 0, stt = 0, stl = 0;  // least squares of log peak over time
  const double m = double(tPeak.size());
  for (size_t i = 0; i < tPeak.size(); ++i) {
    st += tPeak[i]; sl += logPeak[i]; stt += tPeak[i] * tPeak[i]; stl += tPeak[i] * logPeak[i];
  }
  const double a = -(m * stl - st * sl) / (m * stt - st * st) / dt;
  const double w0 = std::sqrt(wd * wd + a * a);
  return {w0 / (2 * kPi), w0 / (2 * a)};
}

}  // namespace

// A parallel RLC on one edge, fed by the source beside it, rings at 1 / (2 pi sqrt(L Ct)) with
// Q = R sqrt(Ct / L): R the source's inner R and the resistor in parallel, Ct the capacitor
// and what the grid puts across the edge. That is quasi-static here (the box and the
// wavelength are many cells): the edges of a cubic grid are equal capacitors eps0 A / len,
// and between neighbouring nodes of an unbounded cubic lattice of equal elements the
// lattice gives 3 of them (the R/3 of a lattice of resistors), the edge's own included.
TEST(SharedEdges, AParallelRLCEdgeRingsAtItsFrequencyWithTheQItsRGives) {
  const double lattice = 3 * double(Eps0) * 1e-6 / 1e-3;
  for (const auto& [R, C, L] : {std::tuple{1000.0, 1e-12, 1e-9}, {300.0, 4e-12, 0.5e-9}}) {
    const double Ct = C + lattice;
    const auto [f, Q] = Ring(R, C, L);
    const double f0 = 1 / (2 * kPi * std::sqrt(L * Ct)), Q0 = R * std::sqrt(Ct / L);
    EXPECT_NEAR(f, f0, 0.003 * f0) << C;
    EXPECT_NEAR(Q, Q0, 0.01 * Q0) << C;
  }
}

// A source of 50 Ohm and a resistor of 100 Ohm on one edge drive a 50 Ohm load through a
// short line: a Norton source of 2/3 V behind 33.3 Ohm. Each element's power in the report
// is its own branch's: the source delivers what its neighbour and the load take, and the
// two on the shared edge add up to the edge's own sum.
TEST(SharedEdges, EachElementOnASharedEdgeReportsItsOwnPower) {
  Line L;
  ASSERT_TRUE(BuildLine(L));
  ElementArrays el;
  el.VoltageSources.push_back(SourceAt(Line::X0, 50));
  el.Resistors = {ElementAt(Line::X0, 100), ElementAt(Line::X1, 50)};
  const int period = int(std::lround(1 / (L.sig.Freq * L.d.TimeStepSec))), delay = 3 * period;
  ASSERT_EQ(RunLine(L, el, delay + 3 * period, delay).End, RunEnd::Completed);
  const double n = L.d.CurStep - L.d.SARDelay;
  const double source = L.k.Lumped.SourcePower[0] / n, near = L.k.Lumped.ResistorPower[0] / n;
  const double load = L.d.PowerZ(Line::X1, Line::Y, Line::Z) / n, edge = L.d.PowerZ(Line::X0, Line::Y, Line::Z) / n;
  EXPECT_TRUE(std::isnan(L.k.Lumped.ResistorPower[1]));  // alone on its edge: the edge's sum
  const double Rth = 100.0 / 3, Vth = 2.0 / 3, Vedge = Vth * 50 / (Rth + 50);
  EXPECT_NEAR(load, Vth * Vth * 50 / (2 * (Rth + 50) * (Rth + 50)), 0.01 * load);
  EXPECT_NEAR(near, Vedge * Vedge / (2 * 100), 0.01 * near);
  EXPECT_NEAR(-source, near + load, 0.01 * -source);
  EXPECT_NEAR(source + near, edge, 0.01 * -source);

  rvtest::TempDir tmp;
  L.d.SARDir = tmp / "SAR/";
  SarReportInput in;
  in.Sources = &L.k.Lumped.VoltageSources;
  in.Resistors = &L.k.Lumped.Resistors;
  in.SourcePower = &L.k.Lumped.SourcePower;
  in.ResistorPower = &L.k.Lumped.ResistorPower;
  in.Model = {&L.d.Space, &L.d.Layers};
  std::string err;
  SarSummary sum;
  ASSERT_TRUE(WriteSARReports(L.d, in, err, &sum)) << err;
  EXPECT_FLOAT_EQ(sum.SourcePowerSum, float(source));
  std::vector<double> resistors;  // the report's "мощность, Вт" of each resistor
  const std::string head = "        мощность, Вт ";
  for (const std::string& line : rvtest::ReadLines(L.d.SARDir + "SAR.txt"))
    if (line.rfind(head, 0) == 0) resistors.push_back(std::stod(line.substr(head.size())));
  ASSERT_EQ(resistors.size(), 2u);
  EXPECT_NEAR(resistors[0], near, 1e-4 * near);  // printed to 5 digits
  EXPECT_NEAR(resistors[1], load, 1e-4 * load);
}
