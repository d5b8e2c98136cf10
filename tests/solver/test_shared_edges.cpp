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

// One element: kind S(ource), R, C or L, its edge, its value and a source's polarity.
struct One { char kind; int x, y, z; char dir; double v; char pol = '+'; };

ElementArrays Elements(const std::vector<One>& ones) {
  ElementArrays el;
  for (const One& o : ones) {
    if (o.kind == 'S') el.VoltageSources.push_back(tVoltageSource{o.x, o.y, o.z, o.dir, o.v, o.pol});
    if (o.kind == 'R') el.Resistors.push_back(tLumpedElement{o.x, o.y, o.z, o.dir, o.v});
    if (o.kind == 'C') el.Capacitors.push_back(tLumpedElement{o.x, o.y, o.z, o.dir, o.v});
    if (o.kind == 'L') el.Inductors.push_back(tInductor{o.x, o.y, o.z, o.dir, o.v, 0});
  }
  return el;
}

float& EdgeOf(SolverData& d, const One& o) {
  return o.dir == 'X' ? d.Ex(o.x, o.y, o.z) : o.dir == 'Y' ? d.Ey(o.x, o.y, o.z) : d.Ez(o.x, o.y, o.z);
}

// A PEC box of n nodes per axis, 1 mm cells, c*dt = dx/2, fields reserved.
bool Box(SolverData& d, int n) {
  MakeBox(d, n, 1e-3, false);
  return rvtest::Allocate(d);
}

}  // namespace

// Edges that hold one element each step a whole run with the bits of the kinds' own
// formulas as they were before edges could be shared, kept here as the reference: every
// record from its edge's E before the step's E update and its curl, in extended precision.
// Elements on one edge are parallel branches: the charge the curl of H brings to the edge
// equals what the edge's own capacitance and every branch take, each by its own law (a
// source by its polarity); each inductor's sum adds the edge's new E. A spark gap shares
// its edge with nothing: the run is refused.
TEST(SharedEdges, OneElementKeepsItsOwnUpdateAndEveryBranchOfASharedEdgeItsCurrent) {
  SolverData d;
  ASSERT_TRUE(Box(d, 12));
  std::mt19937 rng(7);
  for (t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) rvtest::FillRandom(*a, rng, 1e-2f);
  // Alone on their edges, in the arrays' order: sources, resistors, capacitors, inductors.
  const std::vector<One> ones = {{'S', 3, 3, 3, 'Z', 50}, {'S', 4, 6, 5, 'X', 73, '-'}, {'R', 5, 5, 5, 'Y', 100},
                                 {'C', 6, 3, 4, 'Z', 1e-12}, {'C', 3, 7, 6, 'Y', 0}, {'L', 7, 7, 7, 'Z', 1e-8}};
  const double p = 1e-12, n = 1e-9;
  const std::vector<std::vector<One>> shared = {
      {{'S', 3, 9, 5, 'X', 50, '-'}, {'R', 3, 9, 5, 'X', 100}, {'C', 3, 9, 5, 'X', p}, {'L', 3, 9, 5, 'X', n}},
      {{'S', 8, 8, 8, 'Z', 50}, {'S', 8, 8, 8, 'Z', 75, '-'}, {'R', 8, 8, 8, 'Z', 200}, {'C', 8, 8, 8, 'Z', 2 * p}},
      {{'L', 9, 3, 9, 'Y', n}, {'L', 9, 3, 9, 'Y', 2 * n}, {'R', 9, 3, 9, 'Y', 100}}};
  std::vector<One> all = ones;
  for (const auto& e : shared) all.insert(all.end(), e.begin(), e.end());
  ElementArrays el = Elements(all);
  Pulse sig;
  sig.T0 = 20e-12; sig.Tau = 10e-12;
  RunKernels k;
  d.StepCount = 40;
  ASSERT_TRUE(PrepareRunKernels(d, el, &sig, k));
  StepHooks h = DefaultStepHooks(d, k);
  std::vector<float> before(all.size());  // each edge's E before the step
  h.UpdateH = [&, updateH = h.UpdateH] {
    for (size_t i = 0; i < all.size(); ++i) before[i] = EdgeOf(d, all[i]);
    updateH();
  };
  int same = 0;
  h.UpdateLumpedElements = [&, lumped = h.UpdateLumpedElements](int step) {
    const LD inv = InvEta0, ts = d.TimeStep, c = LightSpeed, V = SourceValue(&sig, false, d.CurTime);
    const LD len = d.Dx, A = d.Dy * d.Dz;
    std::vector<float> sum0, want;
    for (const tInductor& s : k.Lumped.Inductors) sum0.push_back(step == 0 ? 0 : s.Accum);
    float accum = sum0[0];
    for (size_t i = 0; i < ones.size(); ++i) {
      const One& o = ones[i];
      const LD v = o.v, Eold = before[i], C = EdgeCurlH(d, o.dir, o.x, o.y, o.z);
      const LD alpha = ts / v / inv / A, beta = ts * len / 2 / v / inv / A;
      if (o.kind == 'S')
        want.push_back(float((o.pol == '-' ? -1 : 1) * V * alpha / (1 + beta) + (1 - beta) / (1 + beta) * Eold +
                             C / inv / (1 + beta)));
      if (o.kind == 'R') want.push_back(float((1 - beta) / (1 + beta) * Eold + C / inv / (1 + beta)));
      if (o.kind == 'C') want.push_back(float(Eold + C / inv / (1 + v * len / inv / A * c)));
      if (o.kind == 'L') {
        want.push_back(float(Eold + C / inv - len * ts * ts / inv / A / v / c * LD(accum)));
        accum = float(LD(accum) + LD(want.back()));
      }
    }
    lumped(step);
    for (size_t i = 0; i < ones.size(); ++i) same += std::memcmp(&EdgeOf(d, ones[i]), &want[i], sizeof(float)) == 0;
    EXPECT_EQ(std::memcmp(&accum, &k.Lumped.Inductors[0].Accum, sizeof accum), 0) << step;
    const double dt = d.TimeStepSec;
    size_t at = ones.size(), ind = 1;
    for (const auto& e : shared) {
      const One& o = e[0];
      const double E0 = before[at], E1 = EdgeOf(d, o), l = double(len);
      const double in = double(A) * EdgeCurlH(d, o.dir, o.x, o.y, o.z) / d.TimeStep;
      at += e.size();
      double taken = double(Eps0 * A) / dt * (E1 - E0), scale = std::fabs(in) + std::fabs(taken);
      for (const One& b : e) {
        const double I = b.kind == 'R'   ? l * (E1 + E0) / 2 / b.v
                         : b.kind == 'S' ? (l * (E1 + E0) / 2 - double(b.pol == '-' ? -V : V)) / b.v
                         : b.kind == 'C' ? b.v * l * (E1 - E0) / dt
                                         : l * dt / b.v * sum0[ind];
        if (b.kind == 'L') {
          EXPECT_FLOAT_EQ(k.Lumped.Inductors[ind].Accum, float(sum0[ind] + E1));
          ++ind;
        }
        taken += I;
        scale += std::fabs(I);
      }
      EXPECT_NEAR(in, taken, 1e-5 * scale) << "edge at " << o.x << " step " << step;
    }
  };
  NullCallbacks cb;
  OneThread one;
  ASSERT_EQ(RunTimeLoop(d, h, cb).End, RunEnd::Completed);
  EXPECT_EQ(same, 40 * 6);

  el.SparkGaps = {tSparkGap{8, 8, 8, 0, 'Z', 0}, tSparkGap{8, 8, 8, 0, 'X', 0}};
  LumpedRun run;
  std::string err;
  EXPECT_FALSE(run.Prepare(d, el, &err));
  EXPECT_EQ(std::tuple(err, run.GapEdges[0].Active, run.GapEdges[1].Active, run.Skipped()),
            std::tuple("Разрядник на одном ребре с другим элементом в строке 1 таблицы", false, true, 1));
}

// A parallel RLC on the centre edge of a PEC box (a source of 2R beside a resistor of 2R),
// rung by a short pulse, rings at 1 / (2 pi sqrt(L Ct)) with Q = R sqrt(Ct / L), read from
// the edge's voltage as exp(-a t) cos(wd t): w0^2 = wd^2 + a^2, Q = w0 / 2a. Ct is C and,
// quasi-statically, the grid across the edge: in an unbounded cubic lattice of equal edge
// capacitors eps0 A / len the neighbouring nodes see 3 of them, the edge's own included.
TEST(SharedEdges, AParallelRLCEdgeRingsAtItsFrequencyWithTheQItsRGives) {
  const double lattice = 3 * double(Eps0) * 1e-6 / 1e-3;
  for (const auto& [R, C, L] : {std::tuple{1000.0, 1e-12, 1e-9}, {300.0, 4e-12, 0.5e-9}}) {
    SolverData d;
    ASSERT_TRUE(Box(d, 16));
    const ElementArrays el = Elements(
        {{'S', 8, 8, 8, 'Z', 2 * R}, {'R', 8, 8, 8, 'Z', 2 * R}, {'C', 8, 8, 8, 'Z', C}, {'L', 8, 8, 8, 'Z', L}});
    Pulse sig;
    sig.T0 = 60e-12; sig.Tau = 15e-12;  // over by step 100
    RunKernels k;
    std::vector<double> v;
    ASSERT_EQ(RunSteps(d, k, el, &sig, 1500, [&](int) { v.push_back(d.Ez(8, 8, 8)); }).End, RunEnd::Completed);
    // The zero crossings give the period, a line through the log of the peaks the decay.
    std::vector<double> zeros;
    double peak = 0, tp = 0, st = 0, sl = 0, stt = 0, stl = 0, m = 0;
    for (size_t i = 150; i + 1 < v.size(); ++i) {
      if (std::fabs(v[i]) > peak) peak = std::fabs(v[i]), tp = double(i);
      if ((v[i] < 0) == (v[i + 1] < 0)) continue;
      zeros.push_back(double(i) + v[i] / (v[i] - v[i + 1]));
      if (zeros.size() > 1) st += tp, sl += std::log(peak), stt += tp * tp, stl += tp * std::log(peak), ++m;
      peak = 0;
    }
    ASSERT_GT(zeros.size(), 10u);
    const double dt = d.TimeStepSec;
    const double wd = kPi * double(zeros.size() - 1) / ((zeros.back() - zeros.front()) * dt);
    const double a = -(m * stl - st * sl) / (m * stt - st * st) / dt, w0 = std::sqrt(wd * wd + a * a);
    const double Ct = C + lattice, f0 = 1 / (2 * kPi * std::sqrt(L * Ct)), Q0 = R * std::sqrt(Ct / L);
    EXPECT_NEAR(w0 / (2 * kPi), f0, 0.003 * f0) << C;
    EXPECT_NEAR(w0 / (2 * a), Q0, 0.01 * Q0) << C;
  }
}

// A source of 50 Ohm and a resistor of 100 Ohm on one edge drive a 50 Ohm load through a
// short line: a Norton source of 2/3 V behind 33.3 Ohm. Each element's power, in the run
// and in the report, is its own branch's, and none stays on the edges.
TEST(SharedEdges, EachElementOnASharedEdgeReportsItsOwnPower) {
  Line L;
  ASSERT_TRUE(BuildLine(L));
  ElementArrays el;
  el.VoltageSources.push_back(SourceAt(Line::X0, 50));
  el.Resistors = {ElementAt(Line::X0, 100), ElementAt(Line::X1, 50)};
  const int period = int(std::lround(1 / (L.sig.Freq * L.d.TimeStepSec))), delay = 3 * period;
  ASSERT_EQ(RunLine(L, el, delay + 3 * period, delay).End, RunEnd::Completed);
  const LumpedRun& run = L.k.Lumped;
  const double n = L.d.CurStep - L.d.SARDelay, source = run.SourcePower[0] / n, near = run.ResistorPower[0] / n;
  const double load = run.ResistorPower[1] / n;
  const double Rth = 100.0 / 3, Vth = 2.0 / 3, Vedge = Vth * 50 / (Rth + 50);
  EXPECT_NEAR(load, Vth * Vth * 50 / (2 * (Rth + 50) * (Rth + 50)), 0.01 * load);
  EXPECT_NEAR(near, Vedge * Vedge / (2 * 100), 0.01 * near);
  EXPECT_NEAR(-source, near + load, 0.01 * -source);
  // The elements keep their power: their edges' sums hold none of it.
  EXPECT_EQ(std::tuple(L.d.PowerZ(Line::X0, Line::Y, Line::Z), L.d.PowerZ(Line::X1, Line::Y, Line::Z)),
            std::tuple(0.0f, 0.0f));

  rvtest::TempDir tmp;
  L.d.SARDir = tmp / "SAR/";
  SarReportInput in{1, &run.VoltageSources, &run.Resistors, {&L.d.Space, &L.d.Layers}, &run.SourcePower,
                    &run.ResistorPower};
  std::string err;
  SarSummary sum;
  ASSERT_TRUE(WriteSARReports(L.d, in, err, &sum)) << err;
  EXPECT_FLOAT_EQ(sum.SourcePowerSum, float(source));
}
