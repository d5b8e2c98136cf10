// Solver throughput: the H and E updates with PEC, Mur, 1/R, RT-ABC or PML faces, in vacuum and with half the
// box filled with a lossy or a dispersive dielectric, against two bare Yee updates of a
// vacuum box run side by side (constant coefficients, six arrays, nothing else): one in
// float arithmetic, and one with the solver's arithmetic (float storage, each value widened
// to double and rounded when stored), the measure of what the kernels could reach.
//
//   solver_bench [--steps S] [--sizes 100,200,300] [--threads 1,8] [--repeat R] [--case NAME]
//
// --case times those cases alone (a comma-separated list, taking turns as below), without
// the references unless it names them (for whole-process comparisons).
//
// Each figure is the best of R timed runs (default 3), so a shared machine's other load
// disturbs it less.
// One line per result, to_reference over the float reference (case=reference) and
// to_reference_double over the double one (case=reference_double):
//   bench: case=<name> N=<n> threads=<t> steps=<s> mcells_per_s=<x> to_reference=<r> to_reference_double=<r>
// and what the run's check for fields that are no longer finite adds to a step:
//   bench: case=finite_check N=<n> threads=<t> steps=<s> step_ms=<m> check_cost_pct=<p>
#include <omp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "boundaries/pml.h"
#include "solver/constants.h"
#include "solver/dissipation.h"
#include "solver/edgematerial.h"
#include "solver/faces.h"
#include "solver/mur.h"
#include "solver/resultpaths.h"
#include "solver/rtabc.h"
#include "solver/solverdata.h"
#include "solver/yee.h"

#include "bench_common.h"
#include "solver/kernelattrs.h"

using namespace rv;
using rv::bench::RefMath;
using rv::bench::TimeReference;

namespace {

using Clock = std::chrono::steady_clock;

enum class Faces { PEC, Mur, InvR, RTABC, PMLAll, PMLX };

// ---- the solver's kernels in the time loop's order
// With `watched`, the E pass looks for values that are not finite numbers (as in a run) on
// every other step, and each step's seconds go to watched or plain by whether it looked.
double TimeCase(int n, int steps, bool dielectric, bool debye, Faces faces, std::string& err,
                std::vector<double>* watched = nullptr, std::vector<double>* plain = nullptr) {
  SolverData d;
  SetGridSize(d, n + 1, n + 1, n + 1);
  if (!ResizeSpace(d)) { err = "model"; return -1; }
  d.Dx = d.Dy = d.Dz = 1e-3;
  d.TimeStep = 0.5 * d.Dx;
  d.TimeStepSec = d.TimeStep / LightSpeed;
  d.CourantX = d.CourantY = d.CourantZ = 0.5;
  if (dielectric) {
    tLayer& L = d.Layers[1];
    L.On = 1; L.Sigma = 0.5; L.EpsStatic = 4; L.EpsInf = debye ? 2 : 4; L.Mu = 1; L.Density = 1000;
    L.Tau = debye ? 1e-11 : 0;
    d.PolarDielectrics = debye;
    // The lower half along z: every row along z crosses the surface of the dielectric.
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        for (int k = 1; k <= n / 2; ++k) d.Space(i, j, k) = 1;
  }
  const bool mur = faces == Faces::Mur, invr = faces == Faces::InvR, rt = faces == Faces::RTABC;
  const bool pml = faces == Faces::PMLAll || faces == Faces::PMLX;
  for (int f = 1; f <= 6; ++f)
    (mur ? d.MurFace : invr ? d.DissipationFace : rt ? d.RTABCFace : pml ? d.PMLFace : d.PECFace)[f] = 1;
  if (faces == Faces::PMLX)  // X=max absorbs, the other five are PEC
    for (int f = 1; f <= 6; ++f) { d.PMLFace[f] = f == FaceXMax; d.PECFace[f] = f != FaceXMax; }
  d.AnyMur = mur; d.AnyDissipation = invr; d.AnyRTABC = rt; d.AnyPML = pml;
  d.AnyPEC = faces == Faces::PEC || faces == Faces::PMLX;
  FindObjectBounds(d);
  if (AllocFieldArrays(d) == 0 || (debye && !AllocDebyeArrays(d))) { err = "memory"; return -1; }
  ClearFields(d);
  EdgeCoefCache cache;
  if (!cache.Build(d, &err)) return -1;
  PmlState layer;  // eight layers, R 0.01, parabolic
  if (pml && !SetupPML(layer, d, PmlProfile{}, err)) return -1;
  d.Ez((n + 1) / 2, (n + 1) / 2, (n + 1) / 2) = 1;
  const tIncidentWave wave;
  const int c = (n + 1) / 2;
  DissipationRun invR;
  if (invr && !invR.Prepare(d, cache, tScatterCentre{c, c, c})) { err = "1/R"; return -1; }
  // The Mur or PEC Z faces folded into the E pass, as in a run (no lumped rows here).
  StepFusion fusion;
  fusion.MurZ = mur;
  fusion.PecZ = faces == Faces::PEC;
  const StepFusion* fuse = mur || fusion.PecZ || watched ? &fusion : nullptr;
  auto step = [&] {
    UpdateH(d);
    if (invr) {
      d.CurTime -= d.TimeStep;
      invR.Apply(d, nullptr);
      d.CurTime += d.TimeStep;
    }
    if (pml) UpdatePMLH(layer);
    if (debye) UpdateEDebye(d, cache, fuse);
    else UpdateE(d, cache, fuse);
    ApplySymmetry(d);
    if (mur) ApplyMur(d, wave, fuse);
    if (rt) ApplyRTABC(d, wave);
    if (mur) SaveMurPlanes(d, wave, fuse);
    if (rt) ShiftRTABCLevels(d, wave);
    if (pml) UpdatePMLE(layer, d);
    ApplyPEC(d, fuse);
    d.CurTime += d.TimeStep;
  };
  step();  // first touch
  const auto t0 = Clock::now();
  for (int s = 0; s < steps; ++s) {
    if (!watched) { step(); continue; }
    d.CurStep = s + 1;
    fusion.WatchFinite = s % 2 == 1;
    const auto a = Clock::now();
    step();
    (fusion.WatchFinite ? watched : plain)->push_back(std::chrono::duration<double>(Clock::now() - a).count());
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// " to_pec=<r>" for a Mur or PML case: its speed over that of the same box with PEC faces.
template <class C>
std::string ToPec(const C* cases, size_t nc, size_t c, const std::vector<double>& best) {
  const Faces f = cases[c].faces;
  if (f != Faces::Mur && f != Faces::PMLAll && f != Faces::PMLX) return "";
  for (size_t p = 0; p < nc; ++p)
    if (cases[p].faces == Faces::PEC && cases[p].dielectric == cases[c].dielectric &&
        cases[p].debye == cases[c].debye && best[p] < 1e299) {
      char buf[40];
      std::snprintf(buf, sizeof buf, " to_pec=%.3f", best[p] / best[c]);
      return buf;
    }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const rv::bench::Options opt = rv::bench::ParseOptions(argc, argv, {100, 200, 300});
  const int steps = opt.steps, repeat = opt.repeat;
  const std::vector<int>& sizes = opt.sizes;
  const std::vector<int>& threads = opt.threads;
  const char* only = nullptr;
  // Whether --case names the case: one of its comma-separated names.
  auto skip = [&](const char* name) {
    if (!only) return false;
    const std::string list = std::string(",") + only + ",";
    return list.find(std::string(",") + name + ",") == std::string::npos;
  };
  for (int a = 1; a + 1 < argc; ++a)
    if (!std::strcmp(argv[a], "--case")) only = argv[a + 1];
  struct Case { const char* name; bool dielectric, debye; Faces faces; };
  const Case cases[] = {{"vacuum_pec", false, false, Faces::PEC},    {"vacuum_mur", false, false, Faces::Mur},
                        {"dielectric_pec", true, false, Faces::PEC}, {"dielectric_mur", true, false, Faces::Mur},
                        {"debye_pec", true, true, Faces::PEC},       {"vacuum_invr", false, false, Faces::InvR},
                        {"vacuum_rtabc", false, false, Faces::RTABC}, {"pml_all", false, false, Faces::PMLAll},
                        {"pml_x", false, false, Faces::PMLX}};
  for (int n : sizes)
    for (int t : threads) {
      omp_set_num_threads(t);
      const double cells = double(n) * n * n;
      // References and cases take turns, so a change in the machine's other load touches
      // both sides of every ratio alike; each keeps its best time. --case leaves the
      // references out unless it names them.
      const size_t nc = sizeof(cases) / sizeof(cases[0]);
      const char* refNames[2] = {"reference", "reference_double"};
      const RefMath refMath[2] = {RefMath::Float, RefMath::Double};
      double refBest[2] = {1e300, 1e300};
      std::vector<double> best(nc, 1e300);
      std::vector<std::string> errs(nc);
      for (int r = 0; r < repeat; ++r) {
        for (int m = 0; m < 2; ++m) {
          if (only && skip(refNames[m])) continue;
          const double rs = TimeReference(n, steps, refMath[m]);
          if (rs > 0) refBest[m] = std::min(refBest[m], rs);
        }
        for (size_t c = 0; c < nc; ++c) {
          if (!errs[c].empty() || skip(cases[c].name)) continue;
          const double sec = TimeCase(n, steps, cases[c].dielectric, cases[c].debye, cases[c].faces, errs[c]);
          if (sec >= 0) best[c] = std::min(best[c], sec);
        }
      }
      // " to_reference=<r> to_reference_double=<r>" for the references measured.
      double ref[2] = {0, 0};
      auto ratios = [&](double mc) {
        std::string out;
        for (int m = 0; m < 2; ++m)
          if (ref[m] > 0) {
            char buf[64];
            std::snprintf(buf, sizeof buf, " to_%s=%.3f", refNames[m], mc / ref[m]);
            out += buf;
          }
        return out;
      };
      for (int m = 0; m < 2; ++m) {
        if (only && skip(refNames[m])) continue;
        if (refBest[m] > 1e299) {
          std::printf("bench: case=%s N=%d threads=%d skipped: memory\n", refNames[m], n, t);
          continue;
        }
        ref[m] = cells * steps / refBest[m] / 1e6;
      }
      for (int m = 0; m < 2; ++m)
        if (ref[m] > 0)
          std::printf("bench: case=%s N=%d threads=%d steps=%d mcells_per_s=%.1f%s\n", refNames[m], n, t,
                      steps, ref[m], ratios(ref[m]).c_str());
      for (size_t c = 0; c < nc; ++c) {
        if (skip(cases[c].name)) continue;
        if (!errs[c].empty()) {
          std::printf("bench: case=%s N=%d threads=%d skipped: %s\n", cases[c].name, n, t, errs[c].c_str());
          continue;
        }
        const double mc = cells * steps / best[c] / 1e6;
        std::printf("bench: case=%s N=%d threads=%d steps=%d mcells_per_s=%.1f%s%s\n", cases[c].name, n, t,
                    steps, mc, ratios(mc).c_str(), ToPec(cases, nc, c, best).c_str());
      }
      // What the run's look for fields that are no longer finite numbers costs: steps with
      // and without it take turns in one box, so a change in the machine's load touches
      // both; the median of each pair's difference over the median plain step.
      if (!skip("finite_check")) {
        std::vector<double> w, p, diff;
        std::string err;
        for (int r = 0; r < repeat && err.empty(); ++r)
          TimeCase(n, 2 * steps, false, false, Faces::PEC, err, &w, &p);
        for (size_t i = 0; i < w.size() && i < p.size(); ++i) diff.push_back(w[i] - p[i]);
        auto median = [](std::vector<double> v) {
          std::sort(v.begin(), v.end());
          return v.empty() ? 0.0 : v[v.size() / 2];
        };
        if (!err.empty() || p.empty())
          std::printf("bench: case=finite_check N=%d threads=%d skipped: %s\n", n, t, err.c_str());
        else
          std::printf("bench: case=finite_check N=%d threads=%d steps=%zu step_ms=%.2f "
                      "check_cost_pct=%.2f\n",
                      n, t, w.size() + p.size(), median(p) * 1e3, median(diff) / median(p) * 100);
      }
      std::fflush(stdout);
    }
  return 0;
}
