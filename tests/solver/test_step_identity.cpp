// Whole steps through the run's default items give the same bits as the plain step (each
// item on its own, in the loop's order, on one thread), on one thread and on eight, for
// every case of the whole-step benchmark.
#include <gtest/gtest.h>

#include <set>

#include "../../bench/run_cases.h"
#include "run_fixture.h"
#include "solver/faces.h"
#include "solver/mur.h"
#include "solver/power.h"
#include "solver/runsetup.h"
#include "solver/timeloop.h"

using namespace rv;
using namespace rvtest;

namespace {

// The plain step: every item a separate pass over its arrays.
StepHooks PlainHooks(SolverData& d, RunKernels& k) {
  StepHooks h;
  h.UpdateH = [&d] { ASSERT_TRUE(UpdateH(d)); };
  h.UpdateE = [&d, &k] { ASSERT_TRUE(UpdateE(d, k.Cache)); };
  h.UpdateEDebye = [&d, &k] { ASSERT_TRUE(UpdateEDebye(d, k.Cache)); };
  h.KeepLumpedEdges = [&d, &k] { ASSERT_TRUE(k.Lumped.KeepEdges(d)); };
  h.UpdateLumpedElements = [&d, &k](int s) { ASSERT_TRUE(k.Lumped.Update(d, k.Signal, s)); };
  h.ApplySymmetry = [&d] { ASSERT_TRUE(ApplySymmetry(d)); };
  h.ApplyMur = [&d, &k] { ASSERT_TRUE(ApplyMur(d, k.Wave)); };
  h.SaveMurPlanes = [&d, &k] { ASSERT_TRUE(SaveMurPlanes(d, k.Wave)); };
  h.ApplyPEC = [&d] { ASSERT_TRUE(ApplyPEC(d)); };
  // Nothing folded (k.Fusion is never set for a step here): only the run's power edges.
  h.AccumulatePower = [&d, &k](bool on) {
    ASSERT_TRUE(AccumulatePower(d, on, &k.Fusion, [&k](SolverData& s) { return k.Lumped.SettlePower(s); }));
  };
  return h;
}

struct CaseRun {
  SolverData d;
  RunKernels k;
  bench::Sine sig;
};

// A case with random fields (so every face and element works from the first step), a
// symmetry face where the case has Mur faces, `steps` steps from a SAR delay of 3.
// everyEdge: power added up on every edge, not only where absorbed or read. unfolded: a
// feature between H and E (its items empty here) keeps every item a pass of its own.
void RunCase(CaseRun& r, const bench::RunCase& c, int threads, bool plain, int steps,
             bool everyEdge = false, bool unfolded = false) {
  const int n = 40;  // 64,000 cells: the kernels use their threads
  std::string err;
  ASSERT_TRUE(bench::BuildRunCase(r.d, n, c, err)) << err;
  SolverData& d = r.d;
  if (c.mur) {
    d.MurFace[FaceZ1] = 0;
    d.SymEFace[FaceZ1] = 1;
    d.AnySymE = 1;
  }
  d.SARDelay = 3;
  d.TFSFSource = unfolded;
  std::mt19937 rng(11);
  for (t3DSpaceArray* f : {&d.Ex, &d.Ey, &d.Ez, &d.Hx, &d.Hy, &d.Hz}) FillRandom(*f, rng, 0.3f);
  r.k.PowerReadCells = {{n / 2, n / 2, 3 * n / 4}};  // an output's cell in vacuum
  ASSERT_TRUE(PrepareRunKernels(d, c.lossy ? bench::SomeElements(n) : ElementArrays{}, &r.sig, r.k,
                                &err)) << err;
  if (everyEdge) r.k.Fusion.Spans.Clear();
  const StepHooks h = plain ? PlainHooks(d, r.k) : DefaultStepHooks(d, r.k);
  const int saved = omp_get_max_threads();
  omp_set_num_threads(threads);
  d.StepCount = steps;
  d.Stopped = 0;
  runtest::NullCallbacks cb;
  const RunOutcome o = RunTimeLoop(d, h, cb);
  omp_set_num_threads(saved);
  ASSERT_EQ(o.End, RunEnd::Completed) << o.Error;
}

}  // namespace

TEST(StepIdentity, DefaultItemsGiveThePlainStepsBitsOnOneAndEightThreads) {
  const int steps = 12;
  for (const bench::RunCase& c : bench::kRunCases) {
    CaseRun ref;
    RunCase(ref, c, 1, true, steps);
    for (int threads : {1, 8}) {
      CaseRun run;
      RunCase(run, c, threads, false, steps);
      const SolverData &a = ref.d, &b = run.d;
      int at = 0;  // Hx..Ez, PowerX..Z, DebyeX..Z
      for (auto m : {&SolverData::Hx, &SolverData::Hy, &SolverData::Hz, &SolverData::Ex,
                     &SolverData::Ey, &SolverData::Ez, &SolverData::PowerX, &SolverData::PowerY,
                     &SolverData::PowerZ, &SolverData::DebyeX, &SolverData::DebyeY, &SolverData::DebyeZ})
        EXPECT_TRUE(SameBits(a.*m, b.*m)) << c.name << " array " << at++ << " threads " << threads;
      for (size_t p = 0; p < a.MurPlanes.size(); ++p)
        EXPECT_TRUE(SameBits(a.MurPlanes[p], b.MurPlanes[p])) << c.name << " plane " << p;
      // The default step did fold its work into the E pass.
      EXPECT_EQ(run.k.Fusion.Power, c.lossy) << c.name;
      EXPECT_EQ(run.k.Fusion.MurZ, c.mur) << c.name;
      EXPECT_EQ(run.k.Fusion.PecZ, !c.mur) << c.name;
      for (size_t e = 0; e < ref.k.Lumped.Inductors.size(); ++e)
        EXPECT_EQ(ref.k.Lumped.Inductors[e].Accum, run.k.Lumped.Inductors[e].Accum) << c.name;
    }
  }
}

// Power is added up only on edges of absorbing materials and on edges something reads (an
// output's cell; the elements keep their edges' power): those sums keep the bits of a run
// adding up every edge,
// and an edge of a lossless medium, whose sum is only its stored energy's change, stays 0.
TEST(StepIdentity, PowerSumsWhereAbsorbedOrReadMatchARunOverEveryEdge) {
  for (const bench::RunCase& c : bench::kRunCases) {
    if (!c.lossy) continue;
    for (const bool unfolded : {false, true}) {
      CaseRun all, some;
      RunCase(all, c, 8, false, 12, true);
      RunCase(some, c, 8, false, 12, false, unfolded);
      std::set<std::array<int, 4>> read;
      const LumpedRun& l = some.k.Lumped;
      auto add = [&read](const auto& recs, const std::vector<LumpedRun::Edge>& e) {
        for (size_t r = 0; r < recs.size(); ++r) read.insert({e[r].Axis, recs[r].X, recs[r].Y, recs[r].Z});
      };
      add(l.VoltageSources, l.SourceEdges);
      add(l.Resistors, l.ResistorEdges);
      add(l.Capacitors, l.CapacitorEdges);
      add(l.Inductors, l.InductorEdges);
      add(l.SparkGaps, l.GapEdges);
      for (const auto& p : some.k.PowerReadCells)
        for (int a = 0; a < 3; ++a) read.insert({a, p[0], p[1], p[2]});
      int zero = 0, wrong = 0, readSame = 0;
      const SolverData &A = all.d, &S = some.d;
      for (int a = 0; a < 3; ++a) {
        const t3DSpaceArray& pa = a == 0 ? A.PowerX : a == 1 ? A.PowerY : A.PowerZ;
        const t3DSpaceArray& ps = a == 0 ? S.PowerX : a == 1 ? S.PowerY : S.PowerZ;
        for (int i = 0; i < pa.len1(); ++i)
          for (int j = 0; j < pa.len2(); ++j)
            for (int k = 0; k < pa.len3(); ++k) {
              const bool eq = std::memcmp(&pa(i, j, k), &ps(i, j, k), sizeof(float)) == 0;
              const EdgeCoefs e = some.k.Cache.Coefs("XYZ"[a], i, j, k);
              const bool absorbs = e.Ca != 1 || e.DebyeCoef != 0;
              if (read.count({a, i, j, k})) readSame += eq;
              if (eq) continue;
              if (ps(i, j, k) == 0 && !absorbs && !read.count({a, i, j, k})) ++zero;
              else ++wrong;
            }
      }
      EXPECT_EQ(wrong, 0) << c.name << unfolded;
      EXPECT_EQ(readSame, int(read.size())) << c.name << unfolded;
      EXPECT_GT(zero, 0) << c.name << unfolded;  // the vacuum half was left out
    }
  }
}
