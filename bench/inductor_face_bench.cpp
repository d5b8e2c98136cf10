// How near an absorbing face (Mur's, 1/R, RT-ABC) an inductor may sit: long runs of one
// kicked inductor edge at a given distance from one such face (the other five faces PEC),
// for a few cell shapes and inductances. Slow growth shows only after tens of thousands of
// steps, so this is a sweep for the rule, not a test.
//
//   inductor_face_bench [--steps S] [--shape cubic|flat|tall|thick|all] [--face mur|diss|rtabc]
//                       [--cells 1,2,3] [--L 1e-9,1e-8] [--q 1.05,2] [--courant 1] [--box N]
//
// Shapes: cubic 1 mm cells, Z edge, face X=1; flat 5 x 5 x 1 mm cells, X edge, face Z=1;
// tall 1 x 1 x 5 mm cells, Z edge, face X=1; thick: the same cells, X edge, face Z=1;
// flat2, flat3, flat10: 2 x 2 x 1, 3 x 3 x 1, 10 x 10 x 1 mm cells as flat. --q gives L as
// multiples of minL (below) instead of --L. The
// step is --courant times the grid's limit (1: the value a new grid gets; RT-ABC: always
// half a cell). The box has cells + 14 nodes along the face's normal and, across it, 18
// nodes of cells up to 2 mm and 10 of larger ones, or N nodes with --box. One line per run:
//   bench: shape=<s> face=<f> cells=<n> L=<H> minL=<H> courant=<c> steps=<S> early=<e>
//          mid=<m> late=<l> late_to_early=<r> late_to_mid=<g> verdict=bounded|grows|diverged
//          log10_windows=<w1,...,w20>
// early: the largest |E| of the grid over the first 2 % of the steps (the kick is 1 V/m);
// mid: over 45..50 %; late: over the last 5 %; log10_windows: log10 of the largest |E| of
// each twentieth of the run. A run grows when its last four twentieths rise one after another
// to 1.5 times the least of the second half, and late exceeds 1e-3 x early (a field that has
// left the box and only rounds around 0 does not count).
// minL: the least L the open grid allows the edge (CheckInductorStability, faces aside).
//
// --all N: instead, a box of N^3 cells of the shape's sizes with the face condition on all
// six faces (pec: a closed box), the inductor at the centre and a 50 ohm resistor 4 cells
// from it along X (a source's inner R, the source itself off); --cells is ignored. The line
// adds per1000=<log10 of the growth per 1,000 steps over the second half>.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "solver/constants.h"
#include "solver/lumped.h"
#include "solver/resultpaths.h"
#include "solver/runsetup.h"
#include "solver/solverdata.h"
#include "solver/timeloop.h"

#include "quiet_run.h"

using namespace rv;
using rv::bench::Quiet;

namespace {


struct NoSignal : ISignal {
  double GetSignal(double) const override { return 0; }
};

struct Shape {
  const char* name;
  double d[3];  // cell sizes, m
  int axis;     // the inductor's edge
  int normal;   // the absorbing face's normal (its face at node 1)
};

const Shape kShapes[] = {
    {"cubic", {1e-3, 1e-3, 1e-3}, 2, 0},
    {"flat", {5e-3, 5e-3, 1e-3}, 0, 2},
    {"tall", {1e-3, 1e-3, 5e-3}, 2, 0},
    {"thick", {1e-3, 1e-3, 5e-3}, 0, 2},
    {"flat2", {2e-3, 2e-3, 1e-3}, 0, 2},
    {"flat3", {3e-3, 3e-3, 1e-3}, 0, 2},
    {"flat10", {10e-3, 10e-3, 1e-3}, 0, 2},
};

constexpr int kWindows = 20;

struct Result {
  double early = 0, mid = 0, late = 0;
  double window[kWindows] = {};  // the largest |E| of each twentieth of the run
  bool diverged = false;
  double minL = 0;  // the grid's own bound for this edge, faces aside
};

// Nodes per axis: the distance plus room behind the inductor along the normal, and on the
// other axes enough cells that the PEC faces stay well away.
// L < 0: -L times the edge's own bound minL.
Result Run(const Shape& s, const char* face, int cells, double L, int steps, double courant, int box, int all) {
  SolverData d;
  int n[3];
  for (int a = 0; a < 3; ++a)
    n[a] = all > 0 ? all + 1 : a == s.normal ? cells + 14 : box > 0 ? box : (s.d[a] > 2e-3 ? 10 : 18);
  SetGridSize(d, n[0], n[1], n[2]);
  ResizeSpace(d);
  d.Dx = s.d[0]; d.Dy = s.d[1]; d.Dz = s.d[2];
  d.CellVolume = d.Dx * d.Dy * d.Dz;
  const bool rtabc = std::strcmp(face, "rtabc") == 0;
  if (rtabc) d.Dx = d.Dy = d.Dz = s.d[s.normal];
  d.TimeStep = rtabc ? d.Dx / 2 : courant / std::sqrt(1 / (d.Dx * d.Dx) + 1 / (d.Dy * d.Dy) + 1 / (d.Dz * d.Dz));
  d.TimeStepSec = d.TimeStep / double(LightSpeed);
  d.CourantX = d.TimeStep / d.Dx; d.CourantY = d.TimeStep / d.Dy; d.CourantZ = d.TimeStep / d.Dz;
  d.HalfDx = d.Dx / 2;
  const int low[3] = {FaceX1, FaceY1, FaceZ1};
  const size_t f = size_t(low[s.normal]);
  const bool pec = std::strcmp(face, "pec") == 0;
  for (int g = 1; g <= 6; ++g) {
    const size_t x = size_t(g);
    if (pec || (all <= 0 && x != f)) { d.PECFace[x] = d.AnyPEC = d.AnyPECOrSym = 1; continue; }
    if (all <= 0 && x != f) continue;
    if (std::strcmp(face, "mur") == 0) d.MurFace[x] = d.AnyMur = 1;
    else if (std::strcmp(face, "diss") == 0) d.DissipationFace[x] = d.AnyDissipation = 1;
    else d.RTABCFace[x] = d.AnyRTABC = 1;
  }
  d.SARDelay = 1 << 30;
  FindObjectBounds(d);
  Result r;
  if (AllocFieldArrays(d) == 0) { r.diverged = true; return r; }
  ClearFields(d);
  InductorGrid open = InductorGridOf(d);
  open.MurFace = open.DissipationFace = open.RTABCFace = FaceFlags{};
  r.minL = CheckInductorStability(open, {{n[0] / 2, n[1] / 2, n[2] / 2, s.axis, 1e-30}}).MinL;
  if (L < 0) L = -L * r.minL;
  tInductor ind;
  int at[3];
  for (int a = 0; a < 3; ++a) at[a] = a == s.normal && all <= 0 ? cells + 1 : n[a] / 2;
  ind.X = at[0]; ind.Y = at[1]; ind.Z = at[2]; ind.Dir = "XYZ"[s.axis]; ind.L = L;
  ElementArrays el;
  el.Inductors.push_back(ind);
  if (all > 0) el.Resistors.push_back({at[0] + 4, at[1], at[2], ind.Dir, 50.0});
  (s.axis == 0 ? d.Ex : s.axis == 1 ? d.Ey : d.Ez)(at[0], at[1], at[2]) = 1;
  NoSignal sig;
  RunKernels k;
  k.WatchGrowth = false;  // the sweep measures the growth itself
  k.Centre = {n[0] / 2, n[1] / 2, n[2] / 2};
  std::string err;
  d.StepCount = steps;
  if (!PrepareRunKernels(d, el, &sig, k, &err)) { r.diverged = true; return r; }
  StepHooks h = DefaultStepHooks(d, k);
  const int every = 16;
  d.OutputRate = every;
  h.RecordOutputPoints = [&](int) {
    const int step = d.CurStep - 1;
    const bool e = step < steps / 50, m = step >= steps * 9 / 20 && step < steps / 2, l = step >= steps * 19 / 20;
    double v = 0;
    for (const t3DSpaceArray* a : {&d.Ex, &d.Ey, &d.Ez})
      for (size_t i = 0; i < a->size(); ++i) v = std::max(v, double(std::fabs(a->data()[i])));
    double& w = r.window[std::min(kWindows - 1, int(int64_t(step) * kWindows / steps))];
    w = std::max(w, v);
    if (!e && !m && !l) return;
    double& peak = e ? r.early : m ? r.mid : r.late;
    peak = std::max(peak, v);
  };
  Quiet cb;
  d.Stopped = 0;
  const RunOutcome o = RunTimeLoop(d, h, cb);
  r.diverged = o.End != RunEnd::Completed || !std::isfinite(r.late);
  return r;
}

std::vector<double> Numbers(const char* text) {
  std::vector<double> v;
  std::stringstream ss(text);
  std::string item;
  while (std::getline(ss, item, ',')) v.push_back(std::atof(item.c_str()));
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  int steps = 60000;
  double courant = 1;
  int box = 0, all = 0;
  std::string shape = "all", face = "mur";
  std::vector<double> cells = {1, 2, 3, 4, 6, 8}, Ls = {1e-9, 1e-8, 1e-7, 1e-6};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--steps") steps = std::max(100, std::atoi(argv[i + 1]));
    else if (a == "--shape") shape = argv[i + 1];
    else if (a == "--face") face = argv[i + 1];
    else if (a == "--cells") cells = Numbers(argv[i + 1]);
    else if (a == "--L") Ls = Numbers(argv[i + 1]);
    else if (a == "--q") {
      Ls = Numbers(argv[i + 1]);
      for (double& q : Ls) q = -q;
    }
    else if (a == "--courant") courant = std::atof(argv[i + 1]);
    else if (a == "--box") box = std::max(6, std::atoi(argv[i + 1]));
    else if (a == "--all") all = std::max(10, std::atoi(argv[i + 1]));
  }
  for (const Shape& s : kShapes) {
    if (shape != "all" && shape != s.name) continue;
    for (const double c : cells)
      for (const double L : Ls) {
        const Result r = Run(s, face.c_str(), int(c), L, steps, courant, box, all);
        const double used = L < 0 ? -L * r.minL : L;
        // Growth: the last windows rise one after another and end well above the least
        // of the second half (a beat between two modes rises and falls again).
        double least = r.window[kWindows / 2];
        for (int w = kWindows / 2; w < kWindows; ++w) least = std::min(least, r.window[w]);
        const double* tail = r.window + kWindows - 4;
        const bool rising = tail[0] < tail[1] && tail[1] < tail[2] && tail[2] < tail[3];
        const bool grows = r.diverged || (rising && tail[3] > 1.5 * least && r.late > 1e-3 * r.early);
        // log10 growth per 1,000 steps: the second half's last window against its first.
        const double first = r.window[kWindows / 2], last = r.window[kWindows - 1];
        const double per1000 = first > 0 && last > 0
                                    ? std::log10(last / first) * 1000.0 / (double(steps) * (kWindows / 2 - 1) / kWindows)
                                    : 0.0;
        std::string trend;
        for (const double w : r.window) {
          char b[16];
          std::snprintf(b, sizeof b, "%s%.1f", trend.empty() ? "" : ",", w > 0 ? std::log10(w) : -99.0);
          trend += b;
        }
        std::printf("bench: shape=%s face=%s cells=%d L=%.3g minL=%.3g courant=%.4g steps=%d early=%.3g mid=%.3g "
                    "late=%.3g late_to_early=%.3g late_to_mid=%.3g per1000=%.3f verdict=%s log10_windows=%s\n",
                    s.name, face.c_str(), int(c), used, r.minL, courant, steps, r.early, r.mid, r.late,
                    r.early > 0 ? r.late / r.early : 0.0, r.mid > 0 ? r.late / r.mid : 0.0, per1000,
                    r.diverged ? "diverged" : grows ? "grows" : "bounded", trend.c_str());
        std::fflush(stdout);
      }
  }
  return 0;
}
